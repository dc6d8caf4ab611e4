// VexloHook64.exe: keeps the desktop hooks of the 64-bit library on a 64-bit Explorer for
// the 32-bit main programs, whose own library cannot hook a 64-bit thread. Started by that
// library on the caller's desktop with the main program's process id; serves the install
// and remove requests of every main program of the user there, over a pipe of a few
// instances that only the user's programs of the product, at the helper's integrity level
// or above, may use. Each client's hooks stay until that client removes them or ends; the
// helper ends when no client holds any. Hooks set by a thread go when the thread ends, so
// everything happens on this one thread.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "shared/handles.h"
#include "shared/hook_channel.h"
#include "shared/hook_channel_win.h"
#include "shared/security.h"

namespace {

using namespace vexlo;
using hookchannel::Kind;

// Several clients are served at once, and each must finish its request (send it, read the
// answer, close) within this time or is dropped: one stalled or idle client cannot hold
// the others up for longer.
constexpr int kInstances = 8;
constexpr DWORD kClientDeadlineMs = 3000;
// Clients watched at once for their end; with the instances and the message queue this
// stays under the system's limit of 64 waited objects.
constexpr std::size_t kMaxClients = 32;
constexpr std::size_t kMaxRefused = 16;
constexpr DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista and later

using HookExplorerFn = HHOOK(WINAPI*)(std::uint32_t);
using HookContextFn = BOOL(WINAPI*)(std::uint32_t);

struct Library {
    UniqueHmodule module;
    HookExplorerFn hookExplorer = nullptr;
    HookContextFn hookContext = nullptr;
};

// Vexlo64.dll from this program's folder: the system loads the hooks' DLL into Explorer
// from the path it was loaded from here.
bool LoadLibraryHere(Library& lib, const std::wstring& folder) {
    if (folder.empty()) return false;
    lib.module.reset(LoadLibraryExW((folder + L"Vexlo64.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!lib.module) return false;
    lib.hookExplorer = reinterpret_cast<HookExplorerFn>(
        reinterpret_cast<void*>(GetProcAddress(lib.module.get(), "HookExplorer")));
    lib.hookContext = reinterpret_cast<HookContextFn>(
        reinterpret_cast<void*>(GetProcAddress(lib.module.get(), "HookContext")));
    return lib.hookExplorer && lib.hookContext;
}

// Owner and access list for the user alone (UserOnlySecurity), and a mandatory label at
// this process's integrity level that refuses lower levels reading or writing: without
// it a low-integrity process of the user could open the pipe, and a medium one could
// drive an elevated helper (Vista and later; the helper needs them, so a token without a
// level fails closed).
class PipeSecurity {
public:
    bool Build() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
        const UniqueHandle owned(token);
        DWORD size = 0;
        GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
        if (size == 0) return false;
        level_.resize(size);
        if (!GetTokenInformation(token, TokenIntegrityLevel, level_.data(), size, &size)) return false;
        const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(level_.data())->Label.Sid;
        // The ACE's SidStart is the first DWORD of the SID that follows it.
        const DWORD aceSize =
            static_cast<DWORD>(sizeof(SYSTEM_MANDATORY_LABEL_ACE) - sizeof(DWORD) + GetLengthSid(sid));
        std::vector<BYTE> ace(aceSize);
        auto* label = reinterpret_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace.data());
        label->Header.AceType = SYSTEM_MANDATORY_LABEL_ACE_TYPE;
        label->Header.AceSize = static_cast<WORD>(aceSize);
        label->Mask = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP;
        if (!CopySid(GetLengthSid(sid), &label->SidStart, sid)) return false;
        sacl_.resize(sizeof(ACL) + aceSize);
        const auto acl = reinterpret_cast<PACL>(sacl_.data());
        return InitializeAcl(acl, static_cast<DWORD>(sacl_.size()), ACL_REVISION) &&
               AddAce(acl, ACL_REVISION, MAXDWORD, label, aceSize) &&
               SetSecurityDescriptorSacl(user_.Attributes()->lpSecurityDescriptor, TRUE, acl, FALSE);
    }
    SECURITY_ATTRIBUTES* Attributes() { return user_.Attributes(); }
    const UserOnlySecurity& User() const { return user_; }

private:
    UserOnlySecurity user_;
    std::vector<BYTE> level_, sacl_;
};

// A main program that talks to the helper, watched for its end while it holds hooks.
struct Client {
    DWORD id = 0;
    UniqueHandle process;  // SYNCHRONIZE
    bool iconLayout = false;
    bool desktopMenu = false;
    bool HoldsAny() const { return iconLayout || desktopMenu; }
};

// One pipe instance and the client it serves: connected, its request read, the answer
// written, then its close awaited. Every step is one overlapped operation on the event.
struct Instance {
    enum class Stage { Listening, Reading, Writing, Closing, Broken };
    UniqueFile pipe;
    UniqueHandle event;
    OVERLAPPED ov{};
    Stage stage = Stage::Broken;
    bool pending = false;  // an operation is under way on ov: it must end before ov is reused
    DWORD since = 0;  // when the client connected
    UniqueHandle client;
    hookchannel::Request request;
    hookchannel::Reply reply;
    char none = 0;
};

class Server {
public:
    Server(Library& lib, const PipeSecurity& security, std::wstring folder, Client starter, std::wstring starterImage)
        : lib_(lib), security_(security), folder_(std::move(folder)), starterImage_(std::move(starterImage)) {
        clients_.push_back(std::move(starter));
    }
    Instance* instances() { return instances_; }
    void Run();

private:
    // The client must be the user's and a program of the product: in the helper's folder,
    // or the program that started it. Anyone else is dropped at once.
    bool Welcome(HANDLE process) const {
        if (!process || !hookchannel::RunsAs(process, security_.User().User())) return false;
        const std::wstring image = hookchannel::ProcessImage(process);
        const std::wstring folder = image.substr(0, image.find_last_of(L'\\') + 1);
        return hookchannel::SamePath(folder, folder_) || hookchannel::SamePath(image, starterImage_);
    }
    // Refused processes are kept open, so their ids cannot be reused while they are known,
    // and one that keeps connecting is turned away without being examined again.
    bool Admit(Instance& in) {
        const DWORD id = hookchannel::PipePeerId(in.pipe.get(), false);
        for (std::size_t i = refused_.size(); i-- > 0;) {
            if (WaitForSingleObject(refused_[i].process.get(), 0) == WAIT_OBJECT_0)
                refused_.erase(refused_.begin() + static_cast<std::ptrdiff_t>(i));
            else if (refused_[i].id == id)
                return false;
        }
        in.client.reset(id ? OpenProcess(kQueryLimited | SYNCHRONIZE, FALSE, id) : nullptr);
        if (Welcome(in.client.get())) return true;
        if (in.client) {
            if (refused_.size() == kMaxRefused) refused_.erase(refused_.begin());
            refused_.push_back(Client{id, std::move(in.client)});
        }
        return false;
    }
    void Listen(Instance& in);
    void Drop(Instance& in);
    void Advance(Instance& in);
    void AdvanceReady();
    hookchannel::Reply Serve(const hookchannel::Request& request, Instance& in);
    void Release(Client& client);
    bool Busy() const {
        for (const Instance& in : instances_)
            if (in.stage == Instance::Stage::Reading || in.stage == Instance::Stage::Writing) return true;
        return false;
    }
    Client* Find(DWORD id) {
        for (Client& c : clients_)
            if (c.id == id) return &c;
        return nullptr;
    }
    static bool& Hold(Client& c, Kind kind) { return kind == Kind::IconLayout ? c.iconLayout : c.desktopMenu; }
    bool OthersHold(const Client* self, Kind kind) {
        for (Client& c : clients_)
            if (&c != self && Hold(c, kind)) return true;
        return false;
    }
    void ForgetIdle() {
        for (std::size_t i = clients_.size(); i-- > 0;)
            if (!clients_[i].HoldsAny()) clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
    }

    Library& lib_;
    const PipeSecurity& security_;
    std::wstring folder_, starterImage_;
    std::vector<Client> clients_;
    std::vector<Client> refused_;
    Instance instances_[kInstances];
};

void Server::Listen(Instance& in) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        in.ov = OVERLAPPED{};
        in.ov.hEvent = in.event.get();
        in.stage = Instance::Stage::Listening;
        in.pending = true;
        if (ConnectNamedPipe(in.pipe.get(), &in.ov)) return;  // completes through the event
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) return;
        in.pending = false;
        if (error == ERROR_PIPE_CONNECTED) {  // connected before the call: the event is not set
            SetEvent(in.event.get());
            return;
        }
        DisconnectNamedPipe(in.pipe.get());  // a client that came and went: listen again
    }
    ResetEvent(in.event.get());  // out of service: nothing to wait for
    in.stage = Instance::Stage::Broken;
}

void Server::Drop(Instance& in) {
    if (in.pending) {
        in.pending = false;
        CancelIo(in.pipe.get());
        DWORD ignored = 0;
        GetOverlappedResult(in.pipe.get(), &in.ov, &ignored, TRUE);
    }
    in.client.reset();
    DisconnectNamedPipe(in.pipe.get());
    Listen(in);
}

// The operation of the instance's stage has completed (or failed): the next one begins.
void Server::Advance(Instance& in) {
    DWORD done = 0;
    const bool ok = GetOverlappedResult(in.pipe.get(), &in.ov, &done, FALSE) != FALSE;
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    in.pending = false;
    ResetEvent(in.event.get());
    in.ov = OVERLAPPED{};
    in.ov.hEvent = in.event.get();
    BOOL started = FALSE;
    switch (in.stage) {
    case Instance::Stage::Listening:
        if (!ok && error != ERROR_PIPE_CONNECTED) return Drop(in);
        if (!Admit(in)) return Drop(in);
        in.since = GetTickCount();
        in.stage = Instance::Stage::Reading;
        started = ReadFile(in.pipe.get(), &in.request, sizeof in.request, nullptr, &in.ov);
        break;
    case Instance::Stage::Reading:
        if (!ok || done != sizeof in.request || !hookchannel::IsValid(in.request)) return Drop(in);
        in.reply = Serve(in.request, in);
        in.stage = Instance::Stage::Writing;
        started = WriteFile(in.pipe.get(), &in.reply, sizeof in.reply, nullptr, &in.ov);
        break;
    case Instance::Stage::Writing:
        if (!ok || done != sizeof in.reply) return Drop(in);
        // Disconnecting drops what the client has not read yet: wait until it closes.
        in.stage = Instance::Stage::Closing;
        started = ReadFile(in.pipe.get(), &in.none, 1, nullptr, &in.ov);
        break;
    case Instance::Stage::Closing:
    case Instance::Stage::Broken:
        return Drop(in);
    }
    in.pending = started || GetLastError() == ERROR_IO_PENDING;
    if (!in.pending) Drop(in);
}

hookchannel::Reply Server::Serve(const hookchannel::Request& request, Instance& in) {
    hookchannel::Reply reply;
    const Kind kind = static_cast<Kind>(request.kind);
    const bool install = request.install == 1;
    const DWORD id = GetProcessId(in.client.get());
    Client* client = Find(id);
    if (!client) {
        if (clients_.size() >= kMaxClients) return reply;  // refused: nobody could watch its end
        clients_.push_back(Client{id, std::move(in.client)});
        client = &clients_.back();
    }
    bool& holds = Hold(*client, kind);
    if (install || !OthersHold(client, kind)) {
        // An install replaces the library's stored hooks, so every holder now holds the new
        // ones; a remove takes them off only for the last client that holds them.
        bool set = false;
        if (kind == Kind::IconLayout) {
            const HHOOK hook = lib_.hookExplorer(install ? 1 : 0);
            // Hook handles fit in 32 bits so that processes of both bitnesses can share them.
            reply.hook = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hook));
            set = hook != nullptr;
        } else {
            set = (lib_.hookContext(install ? 1 : 0) & 0xFF) != 0;
            reply.ok = set ? 1 : 0;
            // A pair half set is of no use to anyone: what remains comes off.
            if (install && !set) lib_.hookContext(0);
        }
        if (install && !set)
            for (Client& c : clients_) Hold(c, kind) = false;
        holds = install && set;
    } else {
        // Others still hold the hooks: they stay for them, and only this client's hold goes.
        reply.ok = kind == Kind::DesktopMenu && holds ? 1 : 0;
        holds = false;
    }
    ForgetIdle();
    return reply;
}

// A client ended: its hooks come off unless another client holds them too.
void Server::Release(Client& client) {
    if (client.iconLayout && !OthersHold(&client, Kind::IconLayout)) lib_.hookExplorer(0);
    if (client.desktopMenu && !OthersHold(&client, Kind::DesktopMenu)) lib_.hookContext(0);
    client.iconLayout = client.desktopMenu = false;
}

// Every instance that is ready gets its turn, not only the first one a wait names: a
// client flooding one instance would otherwise starve the others.
void Server::AdvanceReady() {
    for (Instance& in : instances_)
        if (WaitForSingleObject(in.event.get(), 0) == WAIT_OBJECT_0) Advance(in);
}

void Server::Run() {
    for (Instance& in : instances_) Listen(in);
    for (;;) {
        HANDLE waits[kInstances + kMaxClients];
        DWORD count = 0;
        DWORD timeout = INFINITE;
        const DWORD now = GetTickCount();
        for (Instance& in : instances_) {
            waits[count++] = in.event.get();
            if (in.stage == Instance::Stage::Listening || in.stage == Instance::Stage::Broken) continue;
            const DWORD spent = now - in.since;
            if (spent >= kClientDeadlineMs) {
                Drop(in);  // too slow: its place goes to the next client
                continue;
            }
            if (timeout == INFINITE || kClientDeadlineMs - spent < timeout) timeout = kClientDeadlineMs - spent;
        }
        for (const Client& c : clients_) waits[count++] = c.process.get();
        // Nothing held and nobody left to ask: done, once no request is under way. A client
        // that has just connected is heard first; one that keeps connecting cannot keep
        // the helper alive.
        if (clients_.empty() && !Busy()) {
            AdvanceReady();
            if (clients_.empty() && !Busy()) return;
            continue;
        }
        const DWORD r = MsgWaitForMultipleObjects(count, waits, FALSE, timeout, QS_ALLINPUT);
        if (r == WAIT_TIMEOUT) continue;
        if (r == WAIT_OBJECT_0 + count) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            continue;
        }
        if (r >= WAIT_OBJECT_0 + count) return;  // the wait itself failed
        AdvanceReady();
        for (std::size_t i = clients_.size(); i-- > 0;) {
            if (WaitForSingleObject(clients_[i].process.get(), 0) != WAIT_OBJECT_0) continue;
            Release(clients_[i]);
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

int Run(DWORD starterId) {
    Client starter;
    starter.id = starterId;
    starter.process.reset(OpenProcess(SYNCHRONIZE | kQueryLimited, FALSE, starterId));
    if (!starter.process) return 3;
    const std::wstring starterImage = hookchannel::ProcessImage(starter.process.get());
    PipeSecurity security;
    if (!security.Build()) return 4;
    const std::string name = hookchannel::PipeNameHere(security.User());
    const std::wstring folder = hookchannel::ModuleFolder(nullptr);
    Library lib;
    if (!LoadLibraryHere(lib, folder)) return 5;
    Server server(lib, security, folder, std::move(starter), starterImage);
    for (int i = 0; i < kInstances; ++i) {
        Instance& in = server.instances()[i];
        // The first instance must create the name: one that exists belongs to another
        // helper of this desktop or to a squatter, and this helper serves neither.
        const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        in.pipe.reset(CreateNamedPipeA(name.c_str(), openMode,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                       kInstances, sizeof(hookchannel::Reply), sizeof(hookchannel::Request), 0,
                                       security.Attributes()));
        in.event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!in.pipe || !in.event) return 6;
    }
    server.Run();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    char* end = nullptr;
    const unsigned long pid = std::strtoul(argv[1], &end, 10);
    if (pid == 0 || *end != '\0') return 2;
    try {
        return Run(static_cast<DWORD>(pid));
    } catch (...) {
        return 1;  // the user's SID could not be read
    }
}
