// The desktop menu with 50 desktops: built from the summary read, from the full record
// read, and the time to read the 50 registry values alone, measured in one run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "shared/blocks.h"
#include "shared/crypto/cipher.h"
#include "shared/registry.h"
#include "shared/security.h"
#include "shared/settings.h"
#include "shared/settings_rules.h"
#include "shared/startup.h"
#include "shell/explorer_hooks.h"

using namespace vexlo;

#include "bench_util.h"

namespace {

constexpr int kDesktops = 50;
constexpr const char* kProfile = "BenchMenu";

double Now() { return bench::NowMs() / 1e3; }

// Median of 31 runs, in milliseconds.
template <typename Fn>
double Median(Fn&& fn) {
    std::vector<double> t;
    for (int r = 0; r < 31; ++r) {
        const double a = Now();
        fn();
        t.push_back((Now() - a) * 1e3);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void Seed() {
    const RegKey key = RegKey::OpenOrCreate(HKEY_CURRENT_USER, DesktopsKeyPath(kProfile));
    for (int i = 0; i < kDesktops; ++i) {
        TDesktopRecord r;
        ResetDesktop(r);
        r.Id = i == 0 ? 1 : 1000 + i;
        r.Name = ShortString::From("Desktop number " + std::to_string(i));
        r.Enabled = i % 7 != 3;
        const std::string plain(reinterpret_cast<const char*>(&r), sizeof r);
        key.WriteString(DesktopValueName(i).c_str(), crypto::EncipherToStored("bench pass", plain));
    }
    key.WriteInteger("DesktopsCount", kDesktops);
    PublishProfileName(ShortString::From(kProfile));
    ShortString::From("bench pass").WriteTo(CryptBlock());
}

void Build(const std::vector<shell::MenuDesktop>* desktops) {
    HMENU menu = CreatePopupMenu();
    if (desktops)
        shell::AppendDesktopMenu(menu, *desktops);
    else
        shell::AppendDesktopMenu(menu);
    DestroyMenu(menu);
}

}  // namespace

int main() {
    startup::Attach();
    Seed();

    const double summary = Median([] { Build(nullptr); });
    const double full = Median([] {
        std::vector<shell::MenuDesktop> desktops;
        const std::int32_t count = GetDesktopsCount();
        for (std::int32_t i = 0; i < count; ++i) {
            TDesktopRecord r{};
            ReadDesktop(i, r);
            desktops.push_back(shell::MenuDesktopOf(r));
        }
        Build(&desktops);
    });
    const double values = Median([] {
        const RegKey key = RegKey::Open(HKEY_CURRENT_USER, DesktopsKeyPath(kProfile));
        std::vector<char> buf(8192);
        for (int i = 0; i < kDesktops; ++i) {
            DWORD type = 0, size = static_cast<DWORD>(buf.size());
            RegQueryValueExA(key.get(), DesktopValueName(i).c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buf.data()), &size);
        }
    });
    std::printf("desktop menu, %d desktops (median of 31)\n", kDesktops);
    std::printf("  menu with the summary read   %8.3f ms  (%.2fx the registry values)\n", summary, summary / values);
    std::printf("  menu with the full read      %8.3f ms  (%.2fx)\n", full, full / values);
    std::printf("  the 50 registry values alone %8.3f ms\n", values);
    RegDeleteKeyA(HKEY_CURRENT_USER, DesktopsKeyPath(kProfile).c_str());
    return 0;
}
