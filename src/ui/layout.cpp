#include "ui/layout.h"

#include <algorithm>

namespace vexlo::ui {

Rect CenterIn(const Rect& area, int width, int height) {
    int left = area.left + (area.Width() - width) / 2;
    int top = area.top + (area.Height() - height) / 2;
    left = std::max(left, area.left);
    top = std::max(top, area.top);
    return {left, top, left + width, top + height};
}

namespace {

void AppendChildren(const FormDef& def, int parent, std::vector<int>& out) {
    std::vector<int> siblings;
    for (int i = 0; i < def.controlCount; ++i)
        if (def.controls[i].parent == parent && def.controls[i].id != parent) siblings.push_back(i);
    std::stable_sort(siblings.begin(), siblings.end(), [&](int a, int b) {
        const int ta = def.controls[a].tabOrder;
        const int tb = def.controls[b].tabOrder;
        if ((ta < 0) != (tb < 0)) return ta >= 0;  // ordered controls first
        if (ta < 0) return false;                   // the rest keep table order
        return ta < tb;
    });
    for (int i : siblings) {
        out.push_back(i);
        // A container's controls follow it, so the system's tab order (creation order)
        // walks into a group box where the group box stands among its siblings.
        if (def.controls[i].id != 0) AppendChildren(def, def.controls[i].id, out);
    }
}

}  // namespace

std::vector<int> CreationOrder(const FormDef& def) {
    std::vector<int> order;
    order.reserve(def.controlCount);
    AppendChildren(def, 0, order);
    return order;
}

int FindFlagged(const FormDef& def, std::uint32_t flag) {
    for (int i = 0; i < def.controlCount; ++i)
        if (def.controls[i].flags & flag) return def.controls[i].id;
    return 0;
}

const ControlDef* FindControl(const FormDef& def, int id) {
    for (int i = 0; i < def.controlCount; ++i)
        if (def.controls[i].id == id) return &def.controls[i];
    return nullptr;
}

}  // namespace vexlo::ui

namespace vexlo::ui {

std::vector<std::string> SplitItems(const char* items) {
    std::vector<std::string> out;
    if (!items || !*items) return out;
    std::string current;
    for (const char* p = items; *p; ++p) {
        if (*p == '\n') {
            out.push_back(current);
            current.clear();
        } else {
            current.push_back(*p);
        }
    }
    out.push_back(current);
    return out;
}

Placement PlaceOf(const FormDef& def, const ControlDef& c) {
    Placement at{0, c.left, c.top};
    const ControlDef* p = FindControl(def, c.parent);
    // Bounded by the table's size, so a table whose parents form a loop still ends.
    for (int depth = 0; p && depth < def.controlCount; ++depth) {
        if (p->kind == Kind::Page) {
            at.holder = p->id;
            break;
        }
        at.left += p->left;
        at.top += p->top;
        p = p->parent != p->id ? FindControl(def, p->parent) : nullptr;
    }
    return at;
}

Rect RadioItemRect(int groupWidth, int groupHeight, int count, int index, int textHeight) {
    if (count <= 0) return {0, 0, 0, 0};
    const int share = std::max(groupHeight - textHeight - 5, 0);
    const int itemHeight = share / count;
    const int topMargin = textHeight + 1 + (share % count) / 2;
    const int left = 8, top = index * itemHeight + topMargin;
    return {left, top, left + std::max(groupWidth - 10, 0), top + itemHeight};
}

int RadioIndexInRange(long long index, int count) {
    if (index < -1) return -1;
    if (index >= count) return count - 1;
    return static_cast<int>(index);
}

}  // namespace vexlo::ui
