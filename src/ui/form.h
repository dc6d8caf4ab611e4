#pragma once
// A form: a top-level window built from a control table (ui/layout.h), with the behaviour
// every dialog of the library shares: the "MS Sans Serif" font, fixed client size,
// centring, the owner-window rule, icon ownership, default and cancel buttons, tab order,
// close queries, modal and modeless showing, and keyboard navigation for modeless forms
// that live on a host's message loop.
#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "shared/handles.h"
#include "ui/layout.h"

namespace vexlo::ui {

enum ModalResult : int { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL };

enum class CloseAction { None, Hide, Free };

class Form {
public:
    explicit Form(const FormDef& def);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The window, created on first use together with its controls; raises on failure.
    HWND Handle();
    bool HandleAllocated() const { return wnd_ != nullptr; }
    const FormDef& Def() const { return def_; }

    // The form takes the icon over and destroys it with the window. A handle that is not
    // a valid icon is destroyed nowhere and leaves the window without an icon.
    void SetIcon(HICON icon);

    // Gives this form its own owner (null: none) instead of the library's owner window;
    // takes effect when the window is created.
    void SetOwner(HWND owner);
    // Shows the named bitmap resource in a picture of the table (null: no picture); the
    // window must exist.
    void SetPicture(int id, const char* resource);
    // Shows an icon in a picture of the table, drawn at the picture's size; the caller
    // keeps the icon (shared system icons are never destroyed).
    void SetPictureIcon(int id, HICON icon);

    // Shows the form modeless on the calling thread's message loop. From here on the
    // window owns this object: destroying the window deletes it.
    void ShowModeless();
    // Runs a message loop until a modal result is set or the window goes away; the
    // window is destroyed before this returns.
    int ShowModal();
    void SetModalResult(int result) { modalResult_ = result; }
    int ModalResultValue() const { return modalResult_; }

    // Asks the form to close, as a click on the close box would.
    void Close();

    HWND Item(int id) const;
    std::string Text(int id) const;
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

    static Form* FromHandle(HWND wnd);

protected:
    virtual void FormCreate() {}
    virtual bool FormCloseQuery() { return true; }
    virtual void FormClose(CloseAction& /*action*/) {}
    virtual void FormDestroy() {}
    // WM_COMMAND from a control of the table (clicks only reach enabled controls).
    virtual void Command(int /*id*/, int /*code*/) {}
    // Any other message; return true when handled and set the result.
    virtual bool HandleMessage(UINT /*msg*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }

    // Shows an error that reached the form's event dispatch, the way an unhandled
    // error of an event handler is shown to the user.
    virtual void ReportError(const char* text);

    HFONT Font() const;

private:
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    void CreateControls();
    HWND CreateControl(const ControlDef& c);
    void PaintPictures(HDC dc);
    void OnActivate(WPARAM wp);
    void OnNextDlgCtl(WPARAM wp, LPARAM lp);
    int DefaultButtonId() const;
    void ClickButton(int id);
    void Destroyed();

    struct Picture {
        const ControlDef* def;
        UniqueHbitmap bitmap;
        HICON icon = nullptr;
        int width = 0, height = 0;
    };

    const FormDef& def_;
    HWND wnd_ = nullptr;
    HICON icon_ = nullptr;
    HWND savedFocus_ = nullptr;
    bool ownOwner_ = false;
    HWND owner_ = nullptr;
    int modalResult_ = mrNone;
    bool modeless_ = false;
    bool creating_ = false;
    std::vector<Picture> pictures_;
};

// Unregisters the window classes of the forms and frees the shared font; the library
// calls it when it unloads, so a reload at another address registers afresh.
void ReleaseFormResources() noexcept;

}  // namespace vexlo::ui
