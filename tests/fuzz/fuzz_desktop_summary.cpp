// The desktop summary read against the full one: for any pass phrase, any record that was
// there before and any stored text (well-formed or damaged), the summary's fields are
// exactly what the full read leaves in the record. So is a reset.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "shared/crypto/cipher.h"
#include "shared/desktop_summary.h"
#include "shared/settings_rules.h"

using namespace vexlo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t passLength = data[0] % 24;
    const bool encipher = data[1] & 1;
    const std::uint8_t fill = data[2];
    data += 3;
    size -= 3;
    if (size < passLength) return 0;
    const std::string_view pass(reinterpret_cast<const char*>(data), passLength);
    std::string stored(reinterpret_cast<const char*>(data + passLength), size - passLength);
    // Either a stored text as the main program writes it (of any plain length), or bytes
    // as a damaged registry value holds them.
    if (encipher) stored = crypto::EncipherToStored(pass, stored);

    TDesktopRecord record;
    std::memset(static_cast<void*>(&record), fill, sizeof record);
    TDesktopSummary summary = SummaryOf(record);

    ApplyStoredRecord(record, crypto::DecipherStored(pass, stored));
    const crypto::PassPhraseKey key(pass);
    ApplyStoredSummary(summary, DecipherSummary(key, stored));
    const TDesktopSummary expected = SummaryOf(record);
    if (std::memcmp(&expected, &summary, sizeof summary) != 0) std::abort();
    // A listing reads only the first fields: exactly those of the full summary.
    const std::string listing = DecipherSummary(key, stored, kDesktopListingSize);
    const std::string full = DecipherSummary(key, stored);
    if (listing.size() > kDesktopListingSize || full.compare(0, listing.size(), listing) != 0) std::abort();
    if (listing.size() != std::min(full.size(), kDesktopListingSize)) std::abort();

    const std::int64_t id = static_cast<std::int64_t>(fill) * 100003;
    ResetDesktopRecord(record, DesktopDefaults{id});
    ResetDesktopSummary(summary, id);
    const TDesktopSummary reset = SummaryOf(record);
    if (std::memcmp(&reset, &summary, sizeof summary) != 0) std::abort();
    return 0;
}
