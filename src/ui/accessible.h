#pragma once
// What a screen reader learns about a window of ours through Active Accessibility: a
// small IAccessible that answers role, name, value, state and default action itself and
// leaves the rest (place, parent, navigation, focus) to the system's own object for the
// window. Custom controls describe themselves with it; standard controls that the system
// names too little under some systems get their name through it. oleacc is loaded only
// when a reader asks (WM_GETOBJECT), so a process without one never maps it.
#include <windows.h>

#include <string>
#include <vector>

#include "shared/handles.h"

namespace vexlo::ui {

struct AccessibleItem {
    long role = 0;         // ROLE_SYSTEM_...; 0: the system's answer
    long state = 0;        // STATE_SYSTEM_... added to the system's answer
    std::string name{};    // empty: the system's answer
    std::string value{};
    std::string action{};  // the default action's name ("Press", "Jump")
};

class AccessibleObject;

// The description a window gives of itself (and of its children, such as a list's items),
// held for readers that ask from other threads. The window keeps it current and raises the
// events that say it changed.
class Accessible {
public:
    Accessible();
    ~Accessible();  // cuts off every reader still holding the object
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;

    void Describe(const AccessibleItem& self);
    void SetName(const std::string& name);
    void SetValue(const std::string& value);
    // The children, ids 1..n.
    void SetChildren(std::vector<AccessibleItem> children);
    // accDoDefaultAction posts this message to the window, wParam the child id.
    void SetActionMessage(HWND wnd, UINT msg);
    // The answer to WM_GETOBJECT: the object for OBJID_CLIENT, otherwise the system's.
    LRESULT Answer(HWND wnd, WPARAM wp, LPARAM lp);

private:
    AccessibleObject& Object();
    ComPtr<AccessibleObject> object_;
};

// The accessible object of a standard control, made on first use (the control answers
// readers with it from then on until it is destroyed); null without a control.
Accessible* ControlAccessible(HWND ctl);

// Gives a standard control an accessible name of its own (a combo box, a tab control);
// called again, it renames. Its own object stays the system's in every other respect.
void NameControl(HWND ctl, const std::string& name);

// Raises a win event for the window's client object (child 0: the window itself).
void NotifyClient(DWORD event, HWND wnd, LONG child = 0);

// The text of a label as a name: mnemonic ampersands removed ("&&" stays one "&").
std::string NameFromLabel(const std::string& text);

}  // namespace vexlo::ui
