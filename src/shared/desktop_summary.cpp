#include "shared/desktop_summary.h"

#include <algorithm>
#include <cstring>

namespace vexlo {

TDesktopSummary SummaryOf(const TDesktopRecord& record) {
    TDesktopSummary summary;
    std::memcpy(static_cast<void*>(&summary), &record, sizeof summary);
    return summary;
}

void ApplyStoredSummary(TDesktopSummary& summary, std::string_view plain) {
    std::memcpy(static_cast<void*>(&summary), plain.data(), std::min(plain.size(), sizeof summary));
}

void ResetDesktopSummary(TDesktopSummary& summary, std::int64_t id) {
    std::memset(static_cast<void*>(&summary), 0, sizeof summary);
    summary.Id = id;
    summary.Enabled = 1;
}

std::string DecipherSummary(const crypto::PassPhraseKey& key, std::string_view stored, std::size_t bytes) {
    return crypto::DecipherStoredPrefix(key, stored, std::min(bytes, kDesktopSummarySize));
}

}  // namespace vexlo
