#include "shell/context_rules.h"

#include <algorithm>
#include <string>

namespace vexlo {

namespace {

constexpr std::size_t kMaxShortText = 255;

// Position of the last `wanted` unit, skipping the trail byte of an ANSI two-byte
// character (which may have the value of a backslash); npos when there is none.
template <class Ch>
std::size_t FindLast(std::basic_string_view<Ch> s, Ch wanted, LeadByteTest lead) {
    std::size_t last = std::basic_string_view<Ch>::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if constexpr (sizeof(Ch) == 1) {
            if (lead && lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
                ++i;
                continue;
            }
        }
        if (s[i] == wanted) last = i;
    }
    return last;
}

template <class Ch>
Ch FoldAscii(Ch c) {
    return c >= Ch('a') && c <= Ch('z') ? static_cast<Ch>(c - Ch('a') + Ch('A')) : c;
}

}  // namespace

// ---- Verbs and GetCommandString ------------------------------------------------------------

std::optional<std::uint16_t> VerbOffset(std::uintptr_t verb) {
    if ((verb >> 16) != 0) return std::nullopt;
    return static_cast<std::uint16_t>(verb);
}

template <class Ch>
std::size_t WriteZeroTerminated(std::basic_string_view<Ch> text, Ch* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = Ch(0);
    return n;
}

std::uint32_t AnswerCommandString(std::uintptr_t offset, std::uint32_t type,
                                  std::string_view helpText, char* buffer,
                                  std::uint32_t bufferSize) {
    if (offset != 0) return hr::kInvalidArg;
    switch (type) {
        case kGcsHelpTextA:
            WriteZeroTerminated(helpText, buffer, bufferSize);
            return hr::kOk;
        case kGcsHelpTextW: {
            const std::u16string wide(helpText.begin(), helpText.end());  // the help texts are ASCII
            WriteZeroTerminated(std::u16string_view(wide), reinterpret_cast<char16_t*>(buffer), bufferSize);
            return hr::kOk;
        }
        case kGcsValidateA:
        case kGcsValidateW:
            return hr::kOk;
        case kGcsVerbA:
        case kGcsVerbW:
            return hr::kNotImpl;
        default:
            return hr::kInvalidArg;
    }
}

// ---- Targets -------------------------------------------------------------------------------

bool MayReceiveItems(const TDesktopRecord& record) {
    return record.Enabled != 0 && record.NoIconTarget == 0;
}

std::optional<std::string> TargetFolder(const TDesktopRecord& record, const TargetPlaces& places) {
    if (record.Id == 1) {
        std::string folder = places.userDesktop ? places.userDesktop() : std::string();
        if (folder.empty()) return std::nullopt;
        if (folder.size() > kMaxShortText) folder.resize(kMaxShortText);
        return folder;
    }
    const std::string_view name = record.FolderName.View();
    if (places.profileFolder.empty() || places.isSafeName == nullptr || !places.isSafeName(name))
        return std::nullopt;
    std::string folder = places.profileFolder + "\\";
    if (folder.size() >= kMaxShortText) return std::nullopt;  // no room for any of the name
    // The cut may end the name early: what is left must still be a safe name.
    const std::string_view kept = name.substr(0, kMaxShortText - folder.size());
    if (!places.isSafeName(kept)) return std::nullopt;
    folder.append(kept.data(), kept.size());
    return folder;
}

std::vector<IconTarget> BuildTargetList(std::int32_t count, const DesktopReader& readDesktop,
                                        const TargetPlaces& places) {
    std::vector<IconTarget> targets;
    for (std::int32_t i = 0; i < count; ++i) {
        TDesktopRecord record{};
        readDesktop(i, record);
        if (!MayReceiveItems(record)) continue;
        std::optional<std::string> folder = TargetFolder(record, places);
        if (!folder) continue;
        targets.push_back({record.Name.Str(), std::move(*folder)});
    }
    return targets;
}

// ---- Menu and commands -----------------------------------------------------------------------

std::uint32_t IconCommandOffset(IconCommand command, std::size_t n) {
    const std::size_t groupEnd = command.action == IconAction::CreateShortcut ? n : 2 * n;
    return static_cast<std::uint32_t>(groupEnd - 1 - command.target);
}

std::optional<IconCommand> IconCommandAt(std::uint32_t offset, std::size_t n) {
    if (offset < n) return IconCommand{IconAction::CreateShortcut, n - 1 - offset};
    if (offset < 2 * n) return IconCommand{IconAction::CopyTo, 2 * n - 1 - offset};
    return std::nullopt;
}

bool OffersIconManager(std::int32_t desktopCount, bool trayWindowExists) {
    return desktopCount > 0 && trayWindowExists;
}

std::optional<IconMenu> BuildIconMenu(const std::vector<IconTarget>& targets,
                                      std::string_view selectedPath) {
    if (targets.empty()) return std::nullopt;
    const std::size_t n = targets.size();
    IconMenu menu{{{kCreateShortcutCaption, {}}, {kCopyToCaption, {}}},
                  std::string(selectedPath),
                  static_cast<std::uint32_t>(2 * n)};
    const IconAction actions[2] = {IconAction::CreateShortcut, IconAction::CopyTo};
    for (int g = 0; g < 2; ++g) {
        for (std::size_t p = 0; p < n; ++p)
            menu.groups[g].entries.push_back(
                {targets[p].name, IconCommandOffset({actions[g], p}, n)});
    }
    return menu;
}

// ---- Paths -----------------------------------------------------------------------------------

template <class Ch>
std::basic_string_view<Ch> LastComponent(std::basic_string_view<Ch> path, LeadByteTest lead) {
    const std::size_t slash = FindLast(path, Ch('\\'), lead);
    return slash == path.npos ? path : path.substr(slash + 1);
}

template <class Ch>
std::basic_string_view<Ch> FolderPart(std::basic_string_view<Ch> path, LeadByteTest lead) {
    const std::size_t slash = FindLast(path, Ch('\\'), lead);
    return slash == path.npos ? std::basic_string_view<Ch>() : path.substr(0, slash);
}

template <class Ch>
std::basic_string_view<Ch> ShortcutDescription(std::basic_string_view<Ch> path, LeadByteTest lead) {
    const std::basic_string_view<Ch> name = LastComponent(path, lead);
    const std::size_t dot = FindLast(name, Ch('.'), lead);
    return dot == name.npos ? name : name.substr(0, dot);
}

template <class Ch>
std::basic_string<Ch> JoinPath(std::basic_string_view<Ch> folder, std::basic_string_view<Ch> name) {
    std::basic_string<Ch> joined(folder);
    joined += Ch('\\');
    joined.append(name.data(), name.size());
    return joined;
}

template <class Ch>
std::basic_string<Ch> ShortcutPath(std::basic_string_view<Ch> folder,
                                   std::basic_string_view<Ch> path, LeadByteTest lead) {
    std::basic_string<Ch> result = JoinPath(folder, ShortcutDescription(path, lead));
    for (const char c : {'.', 'l', 'n', 'k'}) result += Ch(c);
    return result;
}

template <class Ch>
bool TreeCopyStops(std::basic_string_view<Ch> source, LeadByteTest lead) {
    if (source.empty()) return false;
    const std::size_t last = source.size() - 1;
    return FindLast(source, Ch('\\'), lead) == last || FindLast(source, Ch('.'), lead) == last;
}

template <class Ch>
bool FolderInsideTree(std::basic_string_view<Ch> folder, std::basic_string_view<Ch> tree) {
    while (!tree.empty() && tree.back() == Ch('\\')) tree.remove_suffix(1);
    if (tree.empty() || folder.size() < tree.size()) return false;
    for (std::size_t i = 0; i < tree.size(); ++i)
        if (FoldAscii(folder[i]) != FoldAscii(tree[i])) return false;
    return folder.size() == tree.size() || folder[tree.size()] == Ch('\\');
}

#define VEXLO_PATH_RULES(Ch)                                                                      \
    template std::size_t WriteZeroTerminated<Ch>(std::basic_string_view<Ch>, Ch*, std::size_t);   \
    template std::basic_string_view<Ch> LastComponent<Ch>(std::basic_string_view<Ch>,             \
                                                          LeadByteTest);                          \
    template std::basic_string_view<Ch> FolderPart<Ch>(std::basic_string_view<Ch>, LeadByteTest); \
    template std::basic_string_view<Ch> ShortcutDescription<Ch>(std::basic_string_view<Ch>,       \
                                                                LeadByteTest);                    \
    template std::basic_string<Ch> ShortcutPath<Ch>(std::basic_string_view<Ch>,                   \
                                                    std::basic_string_view<Ch>, LeadByteTest);    \
    template std::basic_string<Ch> JoinPath<Ch>(std::basic_string_view<Ch>,                       \
                                                std::basic_string_view<Ch>);                      \
    template bool TreeCopyStops<Ch>(std::basic_string_view<Ch>, LeadByteTest);                    \
    template bool FolderInsideTree<Ch>(std::basic_string_view<Ch>, std::basic_string_view<Ch>);

VEXLO_PATH_RULES(char)
VEXLO_PATH_RULES(wchar_t)
VEXLO_PATH_RULES(char16_t)
#undef VEXLO_PATH_RULES

// ---- Run-as extension ----------------------------------------------------------------------

bool IsWindowsXpOrLater(bool versionKnown, std::uint32_t major, std::uint32_t minor) {
    return versionKnown && (major > 5 || (major == 5 && minor >= 1));
}

bool OffersRunAsItem(bool versionKnown, std::uint32_t major, std::uint32_t minor) {
    return !IsWindowsXpOrLater(versionKnown, major, minor);
}

}  // namespace vexlo
