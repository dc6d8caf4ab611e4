#pragma once
// The records that the 32-bit library and the 64-bit hook helper exchange over their pipe:
// one fixed-size request, one fixed-size reply, the same bytes in either bitness. Hook
// handles travel as 32-bit values (the system keeps them within 32 bits for exactly this)
// and are widened with their sign on the receiving side.
#include <cstdint>
#include <string>

namespace vexlo::hookchannel {

constexpr std::uint32_t kMagic = 0x4B4F4856;  // "VHOK"
constexpr std::uint32_t kVersion = 1;

enum class Kind : std::uint32_t { IconLayout = 1, DesktopMenu = 2 };

struct Request {
    std::uint32_t magic = kMagic;
    std::uint32_t version = kVersion;
    std::uint32_t kind = 0;     // Kind
    std::uint32_t install = 0;  // 1 installs, 0 removes
};
static_assert(sizeof(Request) == 16 && alignof(Request) == 4, "the request is the same in both bitnesses");

struct Reply {
    std::uint32_t magic = kMagic;
    std::uint32_t version = kVersion;
    std::uint32_t hook = 0;  // the icon layout hook, as a 32-bit value; 0 for none
    std::uint32_t ok = 0;    // the desktop menu hooks' boolean, 0 or 1
};
static_assert(sizeof(Reply) == 16 && alignof(Reply) == 4, "the reply is the same in both bitnesses");

// Only well-formed requests of this version are served; anything else is dropped.
bool IsValid(const Request& request);
bool IsValid(const Reply& reply);

// "\\.\pipe\Vexlo.Hook64.<user SID>.<session>.<desktop>": one helper per user, session and
// desktop. Characters that a pipe name cannot hold, or that could add a level, become '_'.
std::string PipeName(const std::string& userSid, std::uint32_t session, const std::string& desktop);

}  // namespace vexlo::hookchannel
