#pragma once
// A form: a top-level window built from a control table (ui/layout.h), with the behaviour
// every window of the library shares: the "MS Sans Serif" fonts, fixed client size,
// centring, the owner-window rule, icon ownership, default and cancel buttons, tab order,
// close queries, modal and modeless showing, keyboard navigation for modeless forms that
// live on a host's message loop, the window options of the table (tool window, colour
// key, background, showing without activation), and controls added at run time.
#include <windows.h>

#include <deque>
#include <span>
#include <string>
#include <vector>

#include "shared/handles.h"
#include "shared/secret.h"
#include "ui/controls.h"
#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui/surfaces.h"
#include "ui/window.h"

namespace vexlo::ui {

enum ModalResult : int { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL };

enum class CloseAction { None, Hide, Free };

class Form;

template <typename M>
struct MemberOf;
template <typename C, typename T>
struct MemberOf<T C::*> {
    using Class = C;
    using Type = T;
};

// A row of a form's command table: what a control's notification does. Rows are written
// On<&TformX::btOKClick>(id::btOK, BN_CLICKED), inside the form's class (its handlers are
// private); a new command is one row.
struct Command {
    int id;
    int code;  // BN_CLICKED, EN_CHANGE, CBN_SELCHANGE ...
    void (*run)(Form& form);
};

// Handlers: a form answers the base's OnXxx handlers, which it calls once its own part is
// done: OnCreate when the window, its controls, icon and window options are all in place
// (raising there makes Handle raise); OnCommand after clicks on disabled controls are
// dropped, Esc has become a click on the cancel button and a radio button's click its
// group's (the form's own OnCommand runs the command table); OnNotify, OnDrawItem and
// OnMeasureItem after the control kinds had theirs; OnDestroy while the controls still
// exist; OnError shows the text to the user. Closing asks FormCloseQuery and then
// FormClose instead of OnClose.
class Form : public Window, public DialogWindow, public Backdrop {
public:
    // commands: the form's command table (kept by the caller, as def is).
    explicit Form(const FormDef& def, std::span<const Command> commands = {});
    ~Form() override;

    // The window, created on first use together with its controls; raises on failure.
    HWND Handle();
    bool HandleAllocated() const { return Hwnd() != nullptr; }
    const FormDef& Def() const { return def_; }
    const ControlList& Controls() const { return controls_; }

    // The form takes the icon over and destroys it with the window. A handle that is not
    // a valid icon is destroyed nowhere and leaves the window without an icon.
    void SetIcon(HICON icon);

    // Gives this form its own owner (null: none) instead of the library's owner window;
    // takes effect when the window is created.
    void SetOwner(HWND owner);
    // Shows the named bitmap resource in a picture (null: no picture); the window must exist.
    void SetPicture(int id, const char* resource);
    // Shows an icon in a picture, drawn at the picture's size; the caller keeps the icon
    // (shared system icons are never destroyed).
    void SetPictureIcon(int id, HICON icon);
    // Shows a system icon (IDI_WARNING ...) in a picture at the picture's size.
    void SetPictureSystemIcon(int id, const char* name);
    // What a picture that carries text says to screen readers.
    void SetPictureText(int id, const std::string& text);

    // Adds a control to the window, as if it stood in the table: the definition and its
    // texts are copied; the parent (a group box, a page or 0), the place inside it and
    // the tab order among its siblings count as in a table. Raises on failure.
    HWND AddControl(const ControlDef& def);

    // Shows the form modeless on the calling thread's message loop. From here on the
    // window owns this object: destroying the window deletes it. Takes the activation
    // unless the form's options say otherwise.
    void ShowModeless();
    // Runs a message loop until a modal result is set or the window goes away; the
    // window is destroyed before this returns.
    int ShowModal();
    void SetModalResult(int result) { modalResult_ = result; }
    int ModalResultValue() const { return modalResult_; }
    // The modal results as handlers, for the rows of a command table (ui/bindings.h).
    void ConfirmModal() { SetModalResult(mrOk); }
    void CancelModal() { SetModalResult(mrCancel); }

    // Asks the form to close, as a click on the close box would.
    void Close();

    HWND Item(int id) const;
    std::string Text(int id) const;
    // The text of a password box, wiped when the caller is done with it.
    SecretString SecretText(int id) const { return SecretString(Text(id)); }
    void SetText(int id, const std::string& text);
    bool Enabled(int id) const;
    void SetEnabled(int id, bool enabled);
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    // The chosen item of a list or radio group, or the active page of a page control;
    // -1 for none. Setting an index beyond the items leaves none chosen, and sends no
    // notification, as a program's choice is no click.
    int ItemIndex(int id) const;
    void SetItemIndex(int id, int index);
    void SetItems(int id, const std::vector<std::string>& items);
    void FocusControl(int id);
    void SetCaption(const std::string& caption);

    // The form's fonts: "MS Sans Serif" at the form's height, normal or bold, at its DPI.
    HFONT Font(bool bold = false) const;
    // The DPI the form is laid out at: its window's when made, a new one when the system
    // says so (WM_DPICHANGED); 96 before the window exists.
    int Dpi() const override { return dpi_; }
    // A screen-compatible memory DC for measuring text: cheaper than a window's DC.
    HDC MeasureDc();
    // The brush of the form's background.
    HBRUSH BackgroundBrush() const;

    // With a colour key: cuts the window to its visible controls, so a click on the key
    // colour reaches the window below everywhere. Made with the controls; call it again
    // after showing, hiding or moving one.
    void UpdateKeyRegion();

    // For pictures and see-through labels: fills dc (in the child's client coordinates)
    // with what lies beneath the child: the form's background and the pictures below it.
    void PaintBeneath(HWND child, HDC dc) const override;

    static Form* FromHandle(HWND wnd) { return As<Form>(wnd); }

    // Ends a modeless form whose thread is ending or has ended: its password boxes are
    // wiped while they exist, and the object is deleted without touching the window,
    // which the system takes away with the thread.
    void Abandon() noexcept override;
    // Ctrl+Tab and Ctrl+PageDown show the next page of the form's page control, with
    // Shift or PageUp the one before, wherever the focus is in the form.
    bool DialogKey(const MSG& msg) override;

protected:
    virtual bool FormCloseQuery() { return true; }
    virtual void FormClose(CloseAction& /*action*/) {}

    // Runs the first row of the command table for the control and notification (one row
    // at most: a handler may end the form).
    void OnCommand(int id, int code, HWND from) override;

    // Shows an error that reached the form's event dispatch, the way an unhandled
    // error of an event handler is shown to the user.
    void OnError(const char* text) override;

    // What every form does, before and after its handlers.
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp) override;

    // The controls of the table are laid out again at the new DPI; a form that places
    // windows of its own places them again here.
    virtual void DpiChanged(int /*oldDpi*/) {}

private:
    void CreateControls();
    void NameLabelledControls();
    void RouteCommand(int id, int code, HWND from);
    void CloseRequested();
    void Destroying();
    bool FormMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    HWND CreateControl(const ControlDef& c);
    controls::Site SiteOf(const ControlDef& c, const char* text);
    SIZE FrameSize(int dpi) const;
    void OnDpiMessage(LPARAM suggested);
    void OnDpiChanged(int dpi, const RECT& target);
    void RescaleChildren(int oldDpi);
    // Holds the fonts of the form's height at the DPI (controls::HoldFontHeight); the
    // height held before, which the caller releases once no control uses it.
    int HoldFontsAt(int dpi);
    void StackPictures();
    void OnActivate(WPARAM wp);
    void OnNextDlgCtl(WPARAM wp, LPARAM lp);
    int DefaultButtonId() const;
    HWND ActivePage(HWND tabs) const;
    bool TabAroundPages(HWND tabs, bool back);
    void ClickButton(int id);

    // A control added at run time, with its own copies of its texts.
    struct AddedControl {
        ControlDef def;
        std::string name, text, items, className, resource;
    };

    const FormDef& def_;
    std::span<const Command> commands_;
    ControlList controls_;
    std::deque<AddedControl> added_;
    std::vector<HWND> pictures_;  // bottom to top
    UniqueHbrush ownBrush_;
    UniqueHdc measureDc_;
    UniqueHicon icon_;
    HWND savedFocus_ = nullptr;
    bool ownOwner_ = false;
    HWND owner_ = nullptr;
    int modalResult_ = mrNone;
    bool modeless_ = false;
    int dpi_ = 96;
    int heldFontHeight_ = 0;  // 0: none held
};

// A command row that calls handler, a member function without arguments of the form's
// class (or of Form, such as CancelModal).
template <auto handler>
constexpr Command On(int id, int code) {
    return {id, code, [](Form& form) {
                using Class = typename MemberOf<decltype(handler)>::Class;
                (static_cast<Class&>(form).*handler)();
            }};
}

// Unregisters the window classes of the library and frees the shared fonts; the library
// calls it when it unloads, so a reload at another address registers afresh.
void ReleaseFormResources() noexcept;

}  // namespace vexlo::ui
