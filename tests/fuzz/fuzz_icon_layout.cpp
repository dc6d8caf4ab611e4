// The icon layout file: whatever the section holds, reading it never fails,
// every target position is one the file holds for that caption and can be set, and the
// linear restore ends where the literal one does. First byte even: the rest is a section
// as GetPrivateProfileSectionA returns it. Odd: the rest is captions separated by 0x01,
// saved through one section block and read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "shell/icon_layout.h"
#include "tests/native/literal_icon_layout.h"

using namespace vexlo::shell;

namespace {

void CheckSection(std::string_view section) {
    const SavedLayout layout = ParseLayoutSection(section);
    if (layout.items < 0) std::abort();
    // Icons named like the values in the file (as read), and one without text.
    std::vector<std::string> captions = {""};
    for (std::string_view rest = section; !rest.empty() && captions.size() < 64;) {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
            captions.push_back(ReadProfileString(line.substr(eq + 1)));
        }
    }
    const auto targets = RestoredPositions(layout, captions);
    if (targets.size() != captions.size()) std::abort();
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!targets[i]) continue;
        if (!IsSettablePosition(*targets[i])) std::abort();
        bool fromFile = false;
        for (const auto& e : layout.entries) fromFile |= e.caption == captions[i] && e.position == targets[i];
        if (!fromFile) std::abort();
    }
    if (layout.items <= 300 && targets != literal::Restore(section, captions)) std::abort();
}

void CheckRoundTrip(std::string_view text) {
    std::vector<LayoutIcon> icons;
    for (std::size_t start = 0; start <= text.size() && icons.size() < 200;) {
        const std::size_t end = std::min(text.find('\x01', start), text.size());
        const auto n = static_cast<std::int32_t>(icons.size());
        icons.push_back({std::string(text.substr(start, end - start)), {n * 37 % 2000 - 100, n * 11 % 900}});
        start = end + 1;
    }
    const auto values = SaveValues(icons);
    if (SectionWritablePrefix(values) != values.size()) return;  // a line break: written per value
    const std::string block = SectionBlock(values, values.size());
    const SavedLayout layout = ParseLayoutSection(block);
    if (layout.items != static_cast<std::int32_t>(icons.size())) std::abort();
    // An icon is found by its caption as the file reads it back; shared captions end at
    // the last icon that had it.
    std::vector<std::string> read;
    for (const auto& v : values) {
        if (v.key.rfind("ItemCaption", 0) == 0) read.push_back(ReadProfileString(StoredValue(v.value)));
    }
    const auto targets = RestoredPositions(layout, read);
    for (std::size_t i = 0; i < read.size(); ++i) {
        std::size_t last = i;
        for (std::size_t j = i; j < read.size(); ++j) {
            if (read[j] == read[i]) last = j;
        }
        if (!targets[i] || *targets[i] != icons[last].position) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) {
        CheckRoundTrip(rest);
    } else {
        CheckSection(rest);
    }
    return 0;
}
