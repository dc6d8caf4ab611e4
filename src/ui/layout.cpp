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

ControlList::ControlList(std::span<const ControlDef> table) {
    all_.reserve(table.size());
    for (const ControlDef& c : table) all_.push_back(&c);
}

const ControlDef* ControlList::Find(int id) const {
    for (const ControlDef* c : all_)
        if (c->id == id) return c;
    return nullptr;
}

int ControlList::FindFlagged(std::uint32_t flag) const {
    for (const ControlDef* c : all_)
        if (c->flags & flag) return c->id;
    return 0;
}

int ControlList::FindKind(Kind kind) const {
    for (const ControlDef* c : all_)
        if (c->kind == kind) return c->id;
    return 0;
}

const ControlDef* ControlList::RadioGroupOf(int buttonId) const {
    for (const ControlDef* g : all_) {
        if (g->kind != Kind::RadioGroup || buttonId <= g->id) continue;
        if (buttonId - g->id - 1 < static_cast<int>(SplitItems(g->items).size())) return g;
    }
    return nullptr;
}

int LabelledControl(const ControlList& list, int index) {
    if (index < 0 || index + 1 >= list.Count()) return -1;
    const ControlDef& label = list[index];
    const ControlDef& next = list[index + 1];
    if (label.kind != Kind::Label || label.tab >= 0 || next.parent != label.parent || next.tab < 0) return -1;
    switch (next.kind) {
    case Kind::Edit:
    case Kind::ComboList:
    case Kind::ComboEdit:
    case Kind::SpinEdit: return index + 1;
    default: return -1;
    }
}

namespace {

void AppendChildren(const ControlList& list, int parent, std::vector<int>& out, int depth) {
    // Bounded by the list's size, so parents that form a loop still end.
    if (depth > list.Count()) return;
    std::vector<int> siblings;
    for (int i = 0; i < list.Count(); ++i)
        if (list[i].parent == parent && list[i].id != parent) siblings.push_back(i);
    std::stable_sort(siblings.begin(), siblings.end(), [&](int a, int b) {
        const int ta = list[a].tab;
        const int tb = list[b].tab;
        if ((ta < 0) != (tb < 0)) return ta >= 0;  // ordered controls first
        if (ta < 0) return false;                   // the rest keep list order
        return ta < tb;
    });
    // A label stands just before the control it names: the system names a control after
    // the static text before it in z-order, and a label's mnemonic moves to the next
    // control. Labels are no tab stops, so the tab order stays the table's.
    std::vector<int> placed;
    placed.reserve(siblings.size());
    for (int i : siblings) {
        if (LabelledControl(list, i) >= 0) continue;
        for (int j : siblings)
            if (LabelledControl(list, j) == i) placed.push_back(j);
        placed.push_back(i);
    }
    for (int i : placed) {
        out.push_back(i);
        // A container's controls follow it, so the system's tab order (creation order)
        // walks into a group box where the group box stands among its siblings.
        if (list[i].id != 0) AppendChildren(list, list[i].id, out, depth + 1);
    }
}

}  // namespace

std::vector<int> CreationOrder(const ControlList& list) {
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(list.Count()));
    AppendChildren(list, 0, order, 0);
    return order;
}

std::vector<int> CreationOrder(const FormDef& def) { return CreationOrder(ControlList(def.controls)); }

int FindFlagged(const FormDef& def, std::uint32_t flag) { return ControlList(def.controls).FindFlagged(flag); }

const ControlDef* FindControl(const FormDef& def, int id) {
    for (const ControlDef& c : def.controls)
        if (c.id == id) return &c;
    return nullptr;
}

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

Placement PlaceOf(const ControlList& list, const ControlDef& c) {
    Placement at{0, c.at.left, c.at.top};
    const ControlDef* p = list.Find(c.parent);
    // Bounded by the list's size, so a list whose parents form a loop still ends.
    for (int depth = 0; p && depth < list.Count(); ++depth) {
        if (p->kind == Kind::Page || (p->flags & kHolder)) {
            at.holder = p->id;
            break;
        }
        at.left += p->at.left;
        at.top += p->at.top;
        p = p->parent != p->id ? list.Find(p->parent) : nullptr;
    }
    return at;
}

Placement PlaceOf(const FormDef& def, const ControlDef& c) { return PlaceOf(ControlList(def.controls), c); }

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
