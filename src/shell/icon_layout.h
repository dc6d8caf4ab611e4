#pragma once
// The icon layout file without Win32: the values a save writes, the one block
// that writes them at once, and the reading of the section back into target positions.
//
// The plain save writes "Items", then "ItemCaption"n, "ItemX"n, "ItemY"n for n = 0 ..
// count - 1, one WritePrivateProfileStringA call each, after erasing the section; each such
// call re-reads and rewrites the whole file. The plain restore reads every entry with
// GetPrivateProfileStringA and, per entry, every icon's text. Both grow with the square of
// the icon count. Here the save is one erase and one WritePrivateProfileSectionA, and the
// restore one GetPrivateProfileSectionA and one pass over the icons, with the same file and
// the same final positions. The Win32 side does:
//
//   save:    values = SaveValues(icons);  k = SectionWritablePrefix(values);
//            WritePrivateProfileStringA(section, NULL, NULL, file);          // the erase
//            WritePrivateProfileSectionA(section, SectionBlock(values, k).data(), file);
//            for (i = k .. values.size() - 1) WritePrivateProfileStringA(section,
//                values[i].key, values[i].value, file);   // none unless a caption holds CR/LF
//   restore: read the section, doubling the buffer while the result is >= size - 2;
//            targets = RestoredPositions(ParseLayoutSection(section text), captions);
//            LVM_SETITEMPOSITION(i, PackItemPosition(*targets[i])) where targets[i] is set.
//
// Why these produce the literal algorithm's file (observed on Wine 8, whose profile code
// re-reads the file before every write that follows within about two seconds of the last):
// - The literal erase removes the section and the first write creates it again at the end
//   of the file, under the name as now given; new keys are appended to the section in the
//   order written. WritePrivateProfileSectionA alone would keep an existing section where
//   it stands and under its old spelling (names compare without case), so the erase stays.
// - Each value passes through a reload before the save ends: the writer drops blanks
//   (tab, LF, VT, FF, CR, space, ^Z) before the value, and the reload drops them after it.
//   The block therefore holds each value as the file finally keeps it (StoredValue). If
//   Windows' writer keeps values as given (not verifiable here), captions with blanks at an
//   end are the only place where its literal file could differ.
// - A caption with a line break inside (LF, or a CR alone: Wine's loader ends lines at
//   both) becomes several lines, and the reload reads them as further keys, even
//   sections, which later literal writes may then update in place. No single section write
//   can produce that, so values from the first such one on are written one at a time (the
//   file is then exactly the literal one). Explorer's item names never hold CR or LF, so
//   this is the slow path of a stand-in only.
//
// Checked against Wine 8 itself: 700 random saves (blanks, quotes, "=", ";", "[", CR, LF,
// bytes above 0x7F, 250-byte captions, files with other sections and an old section spelt
// otherwise) gave byte-identical files, and 150 damaged files gave the literal reads' moves.
//
// Reading follows GetPrivateProfileStringA into a 255-byte buffer as Wine does it:
// only the first section of the name is read (the section read gives just that one, and
// the per-key reads look nowhere else); in it the first key of the name (ASCII case
// ignored) counts, a key without "="
// reads as missing; one pair of matching quotes (' or ") around the value is removed and
// the text is cut to 254 bytes (Wine quirk kept: a quoted value whose text after the first
// quote is exactly 255 bytes long loses one more byte). Limits: lengths are counted in
// bytes, as in single-byte code pages; Wine's Unicode case folding (e.g. Turkish dotted I)
// is not followed. Numbers are read as stated (ParseIniInteger).
//
// Bad files : a restore never moves an icon to a position the
// file does not hold. The literal algorithm reads a missing or non-numeric coordinate as 0;
// here an entry whose X or Y is missing or not a number does nothing. So does one whose
// position LVM_SETITEMPOSITION cannot carry: outside the signed 16-bit range (it would land
// elsewhere), or (-1, -1) (the list view's sentinel for "the origin"). Counts larger than
// the entries present cost nothing: only entries present in the section are looked at.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::shell {

inline constexpr std::string_view kItemsKey = "Items";
inline constexpr std::string_view kCaptionKey = "ItemCaption";
inline constexpr std::string_view kXKey = "ItemX";
inline constexpr std::string_view kYKey = "ItemY";
// The text buffer: list view texts and caption reads hold at most 254 bytes.
inline constexpr std::size_t kTextBuffer = 255;

struct IconPosition {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const IconPosition& o) const { return x == o.x && y == o.y; }
    bool operator!=(const IconPosition& o) const { return !(*this == o); }
};

// One icon as the save reads it from the list view (text, LVM_GETITEMPOSITION).
struct LayoutIcon {
    std::string caption;
    IconPosition position;
};

// One WritePrivateProfileStringA call of the literal save: key and value as passed.
struct IniValue {
    std::string key;
    std::string value;
};

// ---- Save ----

// The literal save's writes after the erase, in order: "Items" = count, then per icon n
// "ItemCaption"n, "ItemX"n, "ItemY"n, numbers in decimal. A caption ends at a zero byte.
std::vector<IniValue> SaveValues(const std::vector<LayoutIcon>& icons);
// How many leading values one section write can write with the literal file as result:
// all of them up to the first whose stored value holds CR or LF. At least 1 ("Items").
std::size_t SectionWritablePrefix(const std::vector<IniValue>& values);
// The value as the file keeps it after the literal writes: without the blanks at both ends.
std::string_view StoredValue(std::string_view value);
// The WritePrivateProfileSectionA argument for values[0 .. count): "key=stored value\0" each,
// then one more "\0". The result's size() includes both final zero bytes.
std::string SectionBlock(const std::vector<IniValue>& values, std::size_t count);
// The whole file after a save into a new file (or one that holds only this section), as
// Wine writes it: "[section]\r\n" and "key=value\r\n" per value. For values without line
// breaks (SectionWritablePrefix(values) == values.size()).
std::string LayoutFileText(std::string_view section, const std::vector<IniValue>& values);

// ---- Restore ----

// What GetPrivateProfileStringA gives for a stored value into a buffer of bufferSize bytes.
std::string ReadProfileString(std::string_view stored, std::size_t bufferSize = kTextBuffer);
// The integer reading: optional blanks (spaces), an optional sign, then decimal
// digits, or hexadecimal ones after "$" or "0x"/"0X"; nothing after the digits. Decimal must
// fit in 32 signed bits; hexadecimal in 32 bits, taken as the bit pattern. Otherwise none
// (that then reads 0).
std::optional<std::int32_t> ParseIniInteger(std::string_view text);
// A position that LVM_SETITEMPOSITION can carry and that is no sentinel (see above).
bool IsSettablePosition(IconPosition p);
// LVM_SETITEMPOSITION's lParam: x in the low 16 bits, y in the high 16 bits.
std::uint32_t PackItemPosition(IconPosition p);

// One saved entry n as the literal restore reads it: its caption (empty when missing) and
// its position, none when X or Y is missing, not a number or not settable.
struct SavedEntry {
    std::int32_t index = 0;
    std::string caption;
    std::optional<IconPosition> position;
};

struct SavedLayout {
    std::int32_t items = 0;             // "Items", 0 when missing, not a number or negative
    std::vector<SavedEntry> entries;    // entries n < items with at least one key, by n
};

// Reads a section as GetPrivateProfileSectionA returns it: "key=value" or "key" strings,
// each ended by a zero byte, the list ended by an empty one (or by the end of the text).
SavedLayout ParseLayoutSection(std::string_view section);

// Where each icon (by list view index, with its current text) ends after the literal
// restore: the position of the last entry with exactly its caption that has a position,
// or none (the icon keeps its place). Linear in entries plus icons.
std::vector<std::optional<IconPosition>> RestoredPositions(const SavedLayout& layout,
                                                           const std::vector<std::string>& captions);

}  // namespace vexlo::shell
