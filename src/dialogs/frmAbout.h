#pragma once
// The About window: a borderless, topmost picture with the edition and the caller's
// version, shown modeless on the caller's message loop; OK closes and destroys it.
#include <windows.h>

#include <cstdint>

#include "ui/form.h"

namespace vexlo {

class TformAbout : public ui::Form {
public:
    TformAbout();

protected:
    bool OnCreate() override;
    void FormClose(ui::CloseAction& action) override;

private:
    static const ui::Command kCommands[];
    void btOkClick();
};

// Creates and shows an About window and returns its handle. Only the low 8 bits of the
// edition count: 1 to 3 choose an edition picture, anything else shows none. A null
// version reads as empty.
HWND ShowAboutWindow(HICON icon, std::uint32_t edition, const char* version);

}  // namespace vexlo
