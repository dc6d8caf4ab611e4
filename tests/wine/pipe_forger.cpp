// Plays the attacker on the hook helper's pipe, for the channel tests. The name is the one
// the library computes for this user, session and desktop.
//   pipe_forger serve VALUE  holds the name first and answers every request with VALUE
//   pipe_forger serve VALUE admins   the same, the pipe owned by the Administrators group
//   pipe_forger silent       holds the name first, takes a request and never answers
//   pipe_forger spam         connects to the helper over and over from four threads, each
//                            keeping 16 connections
// Sets the event "VexloForgerReached" once a client has connected.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "shared/hook_channel.h"
#include "shared/hook_channel_win.h"
#include "shared/security.h"

namespace {

using namespace vexlo;

int Serve(const std::string& name, bool answer, std::uint32_t value, const std::string& how = "") {
    UserOnlySecurity security;
    SECURITY_ATTRIBUTES* attributes = security.Attributes();
    // Owned by a group of the user's token that is not the user.
    SECURITY_DESCRIPTOR admins{};
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID group = nullptr;
    SECURITY_ATTRIBUTES adminsAttributes{sizeof adminsAttributes, &admins, FALSE};
    if (how == "admins") {
        if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                      &group) ||
            !InitializeSecurityDescriptor(&admins, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorOwner(&admins, group, FALSE) || !SetSecurityDescriptorDacl(&admins, TRUE, nullptr, FALSE))
            return 5;
        attributes = &adminsAttributes;
    }
    const HANDLE pipe =
        CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE, PIPE_TYPE_BYTE | PIPE_WAIT,
                         PIPE_UNLIMITED_INSTANCES, 64, 64, 0, attributes);
    if (pipe == INVALID_HANDLE_VALUE) return 3;
    const HANDLE reached = CreateEventA(nullptr, TRUE, FALSE, "VexloForgerReached");
    for (;;) {
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return 4;
        SetEvent(reached);
        hookchannel::Request request;
        DWORD done = 0;
        if (ReadFile(pipe, &request, sizeof request, &done, nullptr) && answer) {
            hookchannel::Reply reply;
            reply.hook = value;
            reply.ok = 1;
            WriteFile(pipe, &reply, sizeof reply, &done, nullptr);
            char none;
            ReadFile(pipe, &none, 1, &done, nullptr);
        }
        while (!answer) Sleep(1000);
        DisconnectNamedPipe(pipe);
    }
}

DWORD WINAPI SpamThread(void* name);

int Spam(const std::string& name) {
    // Several threads at once, each in a tight loop: the library's client must still win
    // an instance now and then.
    for (int i = 0; i < 3; ++i) CreateThread(nullptr, 0, SpamThread, const_cast<std::string*>(&name), 0, nullptr);
    return static_cast<int>(SpamThread(const_cast<std::string*>(&name)));
}

DWORD WINAPI SpamThread(void* param) {
    const std::string& name = *static_cast<const std::string*>(param);
    HANDLE held[16] = {};
    for (unsigned n = 0;; ++n) {
        HANDLE& slot = held[n % 16];
        if (slot) CloseHandle(slot);
        slot = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (slot == INVALID_HANDLE_VALUE) {
            slot = nullptr;
            WaitNamedPipeA(name.c_str(), 50);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string name = hookchannel::PipeNameHere(UserOnlySecurity());
    if (std::strcmp(argv[1], "serve") == 0 && (argc == 3 || argc == 4))
        return Serve(name, true, static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0)), argc == 4 ? argv[3] : "");
    if (std::strcmp(argv[1], "silent") == 0) return Serve(name, false, 0);
    if (std::strcmp(argv[1], "spam") == 0) return Spam(name);
    return 2;
}
