#pragma once
// TvxLink: a text label that behaves as a hyperlink. Blue text, the hand cursor,
// underlined while the pointer is over it and plain once it has left; a click opens Link
// through the shell unless the click handler has been replaced. It is a tab stop where its
// table gives it one; Enter and Space, and a screen reader's default action, act as a
// click; a focus rectangle shows when it has the focus.
#include <windows.h>

#include <functional>
#include <string>

#include "shared/handles.h"
#include "ui/accessible.h"
#include "ui/keyboard.h"
#include "ui/window.h"

namespace vexlo {

class TvxLink : public ui::Window {
public:
    // The window class that forms name for a link label (ui::Kind::Custom).
    static constexpr const char* kClassName = "TvxLink";
    static ui::WindowClass Class() { return {.name = kClassName, .cursor = IDC_HAND}; }

    std::string Link;
    // Called on a click; starts as Open.
    std::function<void()> OnClick;

    // Hands Link to the shell with the verb "open"; a failure shows nothing.
    void Open() const;

    bool Hovering() const { return hover_; }

private:
    friend struct ui::WindowFactory;
    TvxLink();
    bool OnPaint() override;
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void SetBaseFont(HFONT font);
    // The label's font with exactly the given style: underlined or plain.
    void SetStyle(bool underline);
    void MouseEnter();
    void MouseLeave();
    void Activate();
    LRESULT Accessibility(WPARAM wp, LPARAM lp);

    LOGFONTA base_{};
    bool hasBase_ = false;
    UniqueHfont font_;  // the font in use, ours
    bool hover_ = false;
    bool pressed_ = false;
    ui::KeyFocus keys_;
    ui::Accessible accessible_;
};

}  // namespace vexlo
