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
