#pragma once
// The display modes a desktop record refers to: built on first use (the primary display's
// modes by mode number, filtered) and kept until the library unloads.
#include <cstdint>
#include <vector>

namespace vexlo {

struct DisplayMode {
    std::int32_t width = 0, height = 0, bitsPerPixel = 0, frequency = 0;
    bool operator==(const DisplayMode& o) const {
        return width == o.width && height == o.height && bitsPerPixel == o.bitsPerPixel &&
               frequency == o.frequency;
    }
};

// Modes below 640 x 480, 8 bits per pixel or 60 Hz are of no use to a desktop.
bool IsUsableDisplayMode(const DisplayMode& m);
// The usable modes in the order given.
std::vector<DisplayMode> FilterDisplayModes(const std::vector<DisplayMode>& all);
// Index of the first mode equal to current in all four values, or -1.
std::int32_t IndexOfDisplayMode(const std::vector<DisplayMode>& modes, const DisplayMode& current);

// Win32 side (display_modes_win.cpp). The list, enumerated on the first call; raises
// only when memory runs out (the next call tries again).
const std::vector<DisplayMode>& DisplayModes();
// The screen's mode as its device context reports it.
DisplayMode CurrentDisplayMode();
// Index of the screen's mode in DisplayModes(); -1 when it is not there or the list could
// not be made (logged). Never raises.
std::int32_t CurrentDisplayModeIndex() noexcept;

// Shut-down step: releases the list, so the next use enumerates again.
void ReleaseDisplayModes() noexcept;

}  // namespace vexlo
