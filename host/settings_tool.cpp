// Seeds and lists settings through the library's own settings store (linked in from the
// same sources), so what "desktops" prints is what the library's readers get.
#include "host/settings_tool.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shared/blocks.h"
#include "shared/crypto/cipher.h"
#include "shared/desktop_name.h"
#include "shared/display_modes.h"
#include "shared/records.h"
#include "shared/registry.h"
#include "shared/security.h"
#include "shared/settings.h"
#include "shared/settings_rules.h"
#include "shared/startup.h"

namespace vexlo::host {

namespace {

// The library's own start-up, in this process.
bool StartStore() {
    if (startup::Attach()) return true;
    std::fprintf(stderr, "Cannot start the settings store (error %lu)\n", GetLastError());
    return false;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = s.find(sep, start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// ID:NAME[:FOLDER[:FLAGS]], FLAGS a comma list of "disabled" and "noicon".
bool ParseDesktop(const std::string& entry, TDesktopRecord& record) {
    const std::vector<std::string> parts = Split(entry, ':');
    if (parts.size() < 2 || parts.size() > 4 || parts[0].empty()) return false;
    char* end = nullptr;
    const long long id = std::strtoll(parts[0].c_str(), &end, 10);
    if (*end != '\0') return false;
    ResetDesktop(record);
    record.Id = id;
    record.Name = ShortString::From(parts[1]);
    if (parts.size() > 2) record.FolderName = ShortString::From(parts[2]);
    if (parts.size() > 3 && !parts[3].empty()) {
        for (const std::string& flag : Split(parts[3], ',')) {
            if (flag == "disabled")
                record.Enabled = 0;
            else if (flag == "noicon")
                record.NoIconTarget = 1;
            else
                return false;
        }
    }
    return true;
}

// Records deciphered with a wrong pass phrase hold arbitrary bytes: keep the console sane.
std::string Quoted(const ShortString& s) {
    std::string text = s.Str();
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return "\"" + text + "\"";
}

}  // namespace

int CmdSeed(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string profile = argv[2], passPhrase = argv[3];
    if (!IsSafeName(profile) || profile.size() > ShortString::kMaxLength) {
        std::fprintf(stderr, "not a usable profile name: %s\n", profile.c_str());
        return 2;
    }
    if (!StartStore()) return 1;
    std::vector<TDesktopRecord> records(static_cast<std::size_t>(argc - 4));
    for (int i = 4; i < argc; ++i) {
        if (!ParseDesktop(argv[i], records[static_cast<std::size_t>(i - 4)])) {
            std::fprintf(stderr, "bad desktop %s (want ID:NAME[:FOLDER[:disabled,noicon]])\n", argv[i]);
            return 2;
        }
    }
    try {
        RegKey::OpenOrCreate(HKEY_CURRENT_USER, kProductKey).WriteString("Profile", profile);
        const std::string desktopsPath = DesktopsKeyPath(profile);
        RegDeleteKeyA(HKEY_CURRENT_USER, desktopsPath.c_str());  // no stale records beyond the count
        const RegKey desktops = RegKey::OpenOrCreate(HKEY_CURRENT_USER, desktopsPath);
        if (!desktops) {
            std::fprintf(stderr, "cannot create the key %s\n", desktopsPath.c_str());
            return 1;
        }
        for (std::size_t i = 0; i < records.size(); ++i) {
            const std::string plain(reinterpret_cast<const char*>(&records[i]), sizeof records[i]);
            desktops.WriteString(DesktopValueName(static_cast<std::int32_t>(i)).c_str(),
                                 crypto::EncipherToStored(passPhrase, plain));
        }
        desktops.WriteInteger("DesktopsCount", static_cast<std::int32_t>(records.size()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    // As the main program does: the pass phrase and the profile go into the shared blocks,
    // where they stay while any process holds the blocks.
    ShortString::From(passPhrase).WriteTo(CryptBlock());
    PublishProfileName(ShortString::From(profile));
    std::printf("seeded profile %s with %u desktop(s)\n", profile.c_str(),
                static_cast<unsigned>(records.size()));
    return 0;
}

int CmdDesktops(int argc, char** argv) {
    if (!StartStore()) return 1;
    if (argc > 2) PublishProfileName(ShortString::From(argv[2]));
    if (argc > 3) ShortString::From(argv[3]).WriteTo(CryptBlock());
    std::printf("product folder: %s\n", ProductFolder().c_str());
    std::printf("profile: %s\n", Quoted(ActiveProfileName()).c_str());
    const std::int32_t count = GetDesktopsCount();
    std::printf("count: %ld\n", static_cast<long>(count));
    constexpr std::int32_t kMostListed = 10000;
    if (count > kMostListed) std::printf("(listing the first %ld)\n", static_cast<long>(kMostListed));
    for (std::int32_t i = 0; i < count && i < kMostListed; ++i) {
        TDesktopRecord record{};
        ReadDesktop(i, record);
        std::printf("%ld: id=%s name=%s folder=%s enabled=%u noicon=%u object=%s port=%u\n",
                    static_cast<long>(i), std::to_string(record.Id).c_str(),
                    Quoted(record.Name).c_str(), Quoted(record.FolderName).c_str(),
                    static_cast<unsigned>(record.Enabled), static_cast<unsigned>(record.NoIconTarget),
                    DesktopObjectName(record.Id).c_str(), static_cast<unsigned>(record.RDPPort));
    }
    return 0;
}

}  // namespace vexlo::host
