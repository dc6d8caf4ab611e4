#include "shared/desktop_name.h"

namespace vexlo {

std::string DesktopObjectName(std::int64_t id) {
    if (id == 1) return "Default";
    return "Vexlo_" + std::to_string(id);
}

}  // namespace vexlo
