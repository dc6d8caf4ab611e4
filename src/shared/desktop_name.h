#pragma once
// Names of the Win32 desktop objects behind the product's desktops.
#include <cstdint>
#include <string>

namespace vexlo {

// "Default" for identifier 1 (the system's own desktop), else "Vexlo_" followed by the
// identifier in signed decimal.
std::string DesktopObjectName(std::int64_t id);

}  // namespace vexlo
