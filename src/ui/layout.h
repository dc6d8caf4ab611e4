#pragma once
// Forms described as data. A form is a fixed pixel layout: a table of controls with their
// kinds, ids, positions, captions and tab order. The table needs no Win32, so layouts and
// their rules are checked natively; src/ui/form.* turns a table into windows.
#include <cstdint>
#include <string>
#include <vector>

namespace vexlo::ui {

enum class Kind : std::uint8_t {
    Label,     // static text, sized to its text unless kFixedSize
    Edit,      // single-line edit
    Button,    // push button
    Picture,   // windowless bitmap painted by the form (banner, logo)
    CheckBox,
    GroupBox,
    ComboList, // drop-down list (no typing)
    ComboEdit, // drop-down with an editable text
    RadioButton,
    RadioGroup,  // group box whose items (ControlDef::items) are radio buttons with ids id+1+i
    SpinEdit,    // edit with up and down arrows for whole numbers minValue..maxValue
    PageControl, // tabs over pages; a Page's parent is its page control
    Page,        // one page of a page control: caption is the tab text, holds controls
    Custom,      // window of a class registered by a component (ControlDef::items names it)
};

// Flags that say how a control behaves beyond its kind.
enum Flag : std::uint32_t {
    kNone        = 0,
    kDefault     = 1u << 0,  // Enter presses it
    kCancel      = 1u << 1,  // Esc presses it
    kPassword    = 1u << 2,  // edit masks its text with '*'
    kTransparent = 1u << 3,  // label or picture lets what lies beneath show through
    kStretch     = 1u << 4,  // picture stretched to the control's box
    kDisabled    = 1u << 5,
    kReadOnly    = 1u << 6,
    kAutoSize    = 1u << 7,  // picture sized to its bitmap, custom control to its text
    kNumeric     = 1u << 8,  // edit accepts digits only
    kHidden      = 1u << 9,
    kOwnerDraw   = 1u << 10, // list items drawn by the form (fixed item height)
    kGroupStart  = 1u << 11, // first of a group of radio buttons
    kFixedSize   = 1u << 12, // label keeps the table's size instead of its text's
    kUnderline   = 1u << 13, // label or custom control starts with underlined text
};

struct ControlDef {
    Kind kind;
    int id;             // control id, also used by the tests to find the control
    const char* name;   // the control's name as the code refers to it
    int left, top, width, height;
    const char* text;   // caption; for pictures the bitmap resource name
    int tabOrder;       // -1: not a tab stop
    std::uint32_t flags;
    int parent = 0;     // id of a group box or page that holds it; 0 for the form itself
    // List and radio group items separated by '\n'; for a Custom control its window class.
    const char* items = nullptr;
    int minValue = 0, maxValue = 0;  // range of a spin edit
};

// Ids of a radio group's buttons follow the group's own id.
inline int RadioItemId(int groupId, int index) { return groupId + 1 + index; }

enum class Position : std::uint8_t { DesktopCenter, ScreenCenter, OwnerCenter, Default };

enum class Border : std::uint8_t {
    Single,   // fixed single border with a caption
    Dialog,   // fixed dialog frame with a caption
    None,     // no border and no caption
};

struct FormDef {
    const char* className;   // window class, named after the form's class
    const char* caption;
    int clientWidth, clientHeight;
    Border border;
    bool systemMenu;         // false: no system menu and no border icons at all
    bool stayOnTop;
    Position position;
    const ControlDef* controls;
    int controlCount;
};

struct Rect {
    int left, top, right, bottom;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// Window position that centres a window of the given size in an area, clamped so
// that its top-left corner stays inside the area.
Rect CenterIn(const Rect& area, int width, int height);

// Control indices in the order windows must be created (the system's tab order is
// creation order): siblings by tab order, then those without one in table order, each
// container followed at once by its own controls. Controls whose parent is missing
// from the table are left out.
std::vector<int> CreationOrder(const FormDef& def);

// The id of the control with the given flag, or 0.
int FindFlagged(const FormDef& def, std::uint32_t flag);

const ControlDef* FindControl(const FormDef& def, int id);

// The items of a list or radio group.
std::vector<std::string> SplitItems(const char* items);

// Group boxes and radio groups are drawn around their controls, which are windows of the
// same parent; pages are windows of their own. Where a control lies in the window that
// holds it: its table position plus those of the group boxes around it, up to the form
// or the nearest page. holder is the id of that page, or 0 for the form.
struct Placement {
    int holder = 0;
    int left = 0, top = 0;
};
Placement PlaceOf(const FormDef& def, const ControlDef& c);

// The rectangle of item index of a radio group of the given size and item count, in the
// group's coordinates, for a font whose text height is textHeight: one column, the
// items sharing the height below the caption evenly.
Rect RadioItemRect(int groupWidth, int groupHeight, int count, int index, int textHeight);

// A radio group's index brought into its range: below -1 becomes -1 (none chosen),
// beyond the last item the last item.
int RadioIndexInRange(long long index, int count);

}  // namespace vexlo::ui
