#pragma once
// TvxLink: a text label that behaves as a hyperlink. Blue text, the hand cursor,
// underlined while the pointer is over it and plain once it has left; a click opens Link
// through the shell unless the click handler has been replaced.
#include <windows.h>

#include <functional>
#include <string>

namespace vexlo {

class TvxLink {
public:
    // The window class that forms name for a link label (ui::Kind::Custom).
    static constexpr const char* kClassName = "TvxLink";
    static void Register();
    static TvxLink* FromHandle(HWND wnd);

    std::string Link;
    // Called on a click; starts as Open.
    std::function<void()> OnClick;

    // Hands Link to the shell with the verb "open"; a failure shows nothing.
    void Open() const;

    bool Hovering() const { return hover_; }

private:
    explicit TvxLink(HWND wnd);
    ~TvxLink();
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    void SetBaseFont(HFONT font);
    // The label's font with exactly the given style: underlined or plain.
    void SetStyle(bool underline);
    void Paint();
    void MouseEnter();
    void MouseLeave();

    HWND wnd_;
    LOGFONTA base_{};
    bool hasBase_ = false;
    HFONT font_ = nullptr;      // the font in use, ours
    bool hover_ = false;
    bool pressed_ = false;
};

}  // namespace vexlo
