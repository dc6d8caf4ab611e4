#include "shared/hook_channel.h"

namespace vexlo::hookchannel {

bool IsValid(const Request& request) {
    return request.magic == kMagic && request.version == kVersion &&
           (request.kind == static_cast<std::uint32_t>(Kind::IconLayout) ||
            request.kind == static_cast<std::uint32_t>(Kind::DesktopMenu)) &&
           request.install <= 1;
}

bool IsValid(const Reply& reply) { return reply.magic == kMagic && reply.version == kVersion && reply.ok <= 1; }

std::string PipeName(const std::string& userSid, std::uint32_t session, const std::string& desktop) {
    std::string name = "\\\\.\\pipe\\Vexlo.Hook64." + userSid + "." + std::to_string(session) + ".";
    for (char c : desktop) {
        const unsigned char u = static_cast<unsigned char>(c);
        name += (u < 0x20 || c == '\\' || c == '/' || c == ':') ? '_' : c;
    }
    // A pipe name holds at most 256 characters.
    if (name.size() > 256) name.resize(256);
    return name;
}

}  // namespace vexlo::hookchannel
