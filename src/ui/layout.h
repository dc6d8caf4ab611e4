#pragma once
// Forms described as data. A form is a fixed pixel layout: a table of controls with their
// kinds, ids, positions, captions and tab order, and the options of its window. The table
// needs no Win32, so layouts and their rules are checked natively; src/ui/form.* turns a
// table into windows. Tables are written with designated initialisers, one meaning per
// field:
//   {.kind = Kind::Edit, .id = id::eServer, .name = "eServer", .at = {72, 16, 125, 21},
//    .tab = 0, .parent = id::gbConnection, .textLimit = 255}
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexlo::ui {

enum class Kind : std::uint8_t {
    Label,       // static text, sized to its text unless kFixedSize
    Edit,        // single-line edit
    Button,      // push button
    Picture,     // bitmap or icon in a window of its own, painted double-buffered
    CheckBox,
    GroupBox,    // frames the controls whose parent it is; they stay the holder's windows
    ComboList,   // drop-down list (no typing)
    ComboEdit,   // drop-down with an editable text
    RadioButton,
    RadioGroup,  // group box whose items are radio buttons with ids id+1+i
    SpinEdit,    // edit with up and down arrows for whole numbers minValue..maxValue
    PageControl, // tabs over pages; a Page's parent is its page control
    Page,        // one page of a page control: caption is the tab text, holds controls
    Custom,      // window of a class registered by a component (className)
    ListView,    // report-less list view of large icons (the switcher's groups)
};
inline constexpr int kKindCount = static_cast<int>(Kind::ListView) + 1;

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
    kBold        = 1u << 14, // the form's bold font instead of its normal one
    kHolder      = 1u << 15, // custom control whose children are its own windows (a scroll box)
};

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
};

struct ControlDef {
    Kind kind = Kind::Label;
    int id = 0;                        // control id, also how the tests find the control
    const char* name = "";             // the control's name as the code refers to it
    Box at{};                          // place in its holder (group boxes add theirs) and size
    const char* text = nullptr;        // caption
    int tab = -1;                      // tab order among its siblings; -1: not a tab stop
    std::uint32_t flags = kNone;
    int parent = 0;                    // id of a group box or page that holds it; 0: the form
    const char* items = nullptr;       // list and radio group items separated by '\n'
    int textLimit = 0;                 // edits: most characters one can type; 0: the system's
    int minValue = 0, maxValue = 0;    // spin edits: the range
    const char* className = nullptr;   // custom controls: the window class
    const char* resource = nullptr;    // pictures: the bitmap resource
};

// Ids of a radio group's buttons follow the group's own id.
inline int RadioItemId(int groupId, int index) { return groupId + 1 + index; }

enum class Position : std::uint8_t { DesktopCenter, ScreenCenter, OwnerCenter, Default };

enum class Border : std::uint8_t {
    Single,   // fixed single border with a caption
    Dialog,   // fixed dialog frame with a caption
    None,     // no border and no caption
};

// Extended window options of a form.
enum WindowOption : std::uint32_t {
    kToolWindow = 1u << 0,  // no taskbar button, small caption
    kTopmost    = 1u << 1,  // above every window that is not topmost
    kLayered    = 1u << 2,  // composed by the system (set by itself with a colour key)
};

// A colour: one of the system's colours by index (COLOR_BTNFACE is 15), or red, green and
// blue in the system's COLORREF order (0x00BBGGRR).
struct Colour {
    bool system = true;
    std::uint32_t value = 15;
};
inline constexpr Colour SystemColour(std::uint32_t index) { return {true, index}; }
inline constexpr Colour Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {false, static_cast<std::uint32_t>(r | (g << 8) | (b << 16))};
}

struct FormDef {
    const char* className = "";        // window class, named after the form's class
    const char* caption = "";
    int clientWidth = 0, clientHeight = 0;
    Border border = Border::Single;
    bool systemMenu = true;            // false: no system menu and no border icons at all
    bool stayOnTop = false;
    Position position = Position::DesktopCenter;
    std::span<const ControlDef> controls{};
    std::uint32_t options = 0;         // WindowOption flags
    Colour background{};               // what the form's client area is filled with
    // Pixels of this colour are holes: the window is not drawn there and clicks reach
    // what lies below. Makes the window layered.
    std::optional<Colour> colourKey{};
    bool activateOnShow = true;        // false: shown without taking the activation
    int fontHeight = -11;              // "MS Sans Serif" at this height, normal and bold
};

struct Rect {
    int left, top, right, bottom;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// Window position that centres a window of the given size in an area, clamped so
// that its top-left corner stays inside the area.
Rect CenterIn(const Rect& area, int width, int height);

// The controls of a form: those of its table, then any added at run time.
class ControlList {
public:
    ControlList() = default;
    explicit ControlList(std::span<const ControlDef> table);
    void Add(const ControlDef& c) { all_.push_back(&c); }
    int Count() const { return static_cast<int>(all_.size()); }
    const ControlDef& operator[](int i) const { return *all_[static_cast<std::size_t>(i)]; }
    const ControlDef* Find(int id) const;
    // The id of the first control with the given flag, or 0.
    int FindFlagged(std::uint32_t flag) const;
    // The id of the first control of the given kind, or 0.
    int FindKind(Kind kind) const;
    // The radio group whose button has the given id, or null.
    const ControlDef* RadioGroupOf(int buttonId) const;

private:
    std::vector<const ControlDef*> all_;
};

// The control that a label names: a label without a tab stop written directly before a
// text or list control of the same holder that has one (a table's "User name:" then its
// edit). Its index, or -1.
int LabelledControl(const ControlList& list, int index);

// Control indices in the order windows must be created (the system's tab order is
// creation order): siblings by tab order, then those without one in list order, each
// container followed at once by its own controls; a label that names a control comes
// just before it (LabelledControl). Controls whose parent is missing
// from the list are left out.
std::vector<int> CreationOrder(const ControlList& list);
std::vector<int> CreationOrder(const FormDef& def);

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
Placement PlaceOf(const ControlList& list, const ControlDef& c);
Placement PlaceOf(const FormDef& def, const ControlDef& c);

// The rectangle of item index of a radio group of the given size and item count, in the
// group's coordinates, for a font whose text height is textHeight: one column, the
// items sharing the height below the caption evenly.
Rect RadioItemRect(int groupWidth, int groupHeight, int count, int index, int textHeight);

// A radio group's index brought into its range: below -1 becomes -1 (none chosen),
// beyond the last item the last item.
int RadioIndexInRange(long long index, int count);

}  // namespace vexlo::ui
