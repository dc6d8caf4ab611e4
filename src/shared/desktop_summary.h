#pragma once
// The desktop summary: the first 522 bytes of a desktop record, which hold every field
// that the lists of desktops read (identifier, name, flags, folder name). The cipher
// deciphers each byte from the ones before it, so a reader that needs only these fields
// deciphers an eighth of the record and gets exactly what the full read gives for them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shared/crypto/cipher.h"
#include "shared/records.h"
#include "shared/shortstr.h"

namespace vexlo {

#pragma pack(push, 1)
struct TDesktopSummary {
    std::int64_t Id;
    ShortString Name;
    std::uint8_t Enabled;
    std::uint8_t NoIconTarget;
    ShortString FolderName;
};
#pragma pack(pop)

inline constexpr std::size_t kDesktopSummarySize = 522;
static_assert(sizeof(TDesktopSummary) == kDesktopSummarySize, "the summary is the record's first 522 bytes");
static_assert(offsetof(TDesktopSummary, Id) == offsetof(TDesktopRecord, Id), "layout");
static_assert(offsetof(TDesktopSummary, Name) == offsetof(TDesktopRecord, Name), "layout");
static_assert(offsetof(TDesktopSummary, Enabled) == offsetof(TDesktopRecord, Enabled), "layout");
static_assert(offsetof(TDesktopSummary, NoIconTarget) == offsetof(TDesktopRecord, NoIconTarget), "layout");
static_assert(offsetof(TDesktopSummary, FolderName) == offsetof(TDesktopRecord, FolderName), "layout");
static_assert(offsetof(TDesktopRecord, Program522) == kDesktopSummarySize, "the summary ends where the rest starts");

// The summary's fields of a record.
TDesktopSummary SummaryOf(const TDesktopRecord& record);
// What ApplyStoredRecord does to these fields: the first min(plain.size(), 522) bytes
// replace the start of the summary, the rest stays as it was.
void ApplyStoredSummary(TDesktopSummary& summary, std::string_view plain);
// What a reset record holds in these fields, with the identifier the reset chose.
void ResetDesktopSummary(TDesktopSummary& summary, std::int64_t id);
// What a list of desktops by name needs (the menus, the switcher): Id, Name and Enabled,
// the summary's first 265 bytes. Deciphering stops there: CFB-8 costs a block of the
// cipher per byte, and the rest would be half of the work.
inline constexpr std::size_t kDesktopListingSize = offsetof(TDesktopSummary, NoIconTarget);

// The plain bytes of a stored record that the summary needs: its first `bytes`, at most
// the summary's size.
std::string DecipherSummary(const crypto::PassPhraseKey& key, std::string_view stored,
                            std::size_t bytes = kDesktopSummarySize);

// ---- Win32 builds: the settings store's summary reads ----

// What ReadDesktop(index, record) gives for the summary's fields, for a record that held
// `summary` before. Never raises.
void ReadDesktopSummary(std::int32_t index, TDesktopSummary& summary) noexcept;
// The summaries of desktops 0 .. GetDesktopsCount() - 1, each as ReadDesktop gives it
// for a zero-filled record, with the key opened and the pass phrase derived once. Empty
// when the count cannot be read or is not positive. The count comes from the registry,
// which anyone may have damaged: at most `most` are read, so a count in the millions
// cannot stall Explorer's menu or the switcher.
// With `bytes` below the summary's size, only that many bytes of each are read (the
// rest stays zero).
inline constexpr std::int32_t kMostListedDesktops = 1024;
std::vector<TDesktopSummary> ReadDesktopSummaries(std::int32_t most = kMostListedDesktops,
                                                  std::size_t bytes = kDesktopSummarySize);

}  // namespace vexlo
