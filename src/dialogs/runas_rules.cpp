#include "dialogs/runas_rules.h"

namespace vexlo {

std::string RunAsCommandLine(std::string_view application, std::string_view parameters) {
    std::string line;
    line.reserve(application.size() + parameters.size() + 3);
    line += '"';
    line.append(application.data(), application.size());
    line += "\" ";
    line.append(parameters.data(), parameters.size());
    return line;
}

LaunchRequest MakeLaunchRequest(const RunAsFields& f) {
    return {f.application, RunAsCommandLine(f.application, f.parameters), f.user, f.password,
            f.domain};
}

std::string TrimSystemMessage(std::string_view message) {
    std::size_t end = message.size();
    while (end > 0) {
        const char c = message[end - 1];
        if (c != ' ' && c != '\r' && c != '\n' && c != '.') break;
        --end;
    }
    return std::string(message.substr(0, end));
}

RunAsGate DecideRunAsGate(RunAsMutexWait wait, bool dialogOpenOnThisThread) {
    switch (wait) {
        case RunAsMutexWait::Acquired:
            // Only the thread whose dialog is open can acquire a held mutex again.
            return dialogOpenOnThisThread ? RunAsGate::RefuseAndRelease : RunAsGate::Open;
        case RunAsMutexWait::Abandoned:
            return RunAsGate::Open;
        case RunAsMutexWait::HeldElsewhere:
            return RunAsGate::Refuse;
        case RunAsMutexWait::Unavailable:
            break;
    }
    // Without the mutex only the byte is left: claimed atomically, never taken as stale.
    return dialogOpenOnThisThread ? RunAsGate::Refuse : RunAsGate::OpenIfFlagClaimed;
}

}  // namespace vexlo
