#pragma once
// TvxList: a list of pointers to fixed-size blocks that the list allocated and
// owns. Underneath is the general pointer list, an ordered array of untyped pointers; the
// list adds the item size and frees its blocks when they are removed, when it is cleared
// and when it is destroyed. Entries may be null; Clear skips them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

// The general list's index error, with the index in place of %d.
inline constexpr std::string_view kListIndexError = "List index out of bounds (%d)";
std::string ListIndexErrorText(std::int32_t index);

class TvxList {
public:
    explicit TvxList(std::uint16_t itemSize) noexcept : itemSize_(itemSize) {}
    ~TvxList() { Clear(); }
    TvxList(const TvxList&) = delete;
    TvxList& operator=(const TvxList&) = delete;
    TvxList(TvxList&& other) noexcept;
    TvxList& operator=(TvxList&& other) noexcept;

    std::uint16_t ItemSize() const noexcept { return itemSize_; }
    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(items_.size()); }

    // A new block of the item size, contents undefined, appended at the end. Throws
    // std::bad_alloc when no block (or no room in the array) can be had; the list is
    // unchanged then.
    void* NewItem();
    // Appends a null entry (the general list's Add(nil)); the same failure rule.
    std::int32_t AddNull();
    // Frees the block at index (if not null) and removes the entry, moving later entries
    // down. An index outside 0 .. Count() - 1 raises Error(ListIndexErrorText(index)) and
    // changes nothing.
    void DeleteItem(std::int32_t index);
    // Frees every non-null block, then empties the list.
    void Clear() noexcept;
    // The general list's read access: the same index error as DeleteItem.
    void* Item(std::int32_t index) const;

private:
    void CheckIndex(std::int32_t index) const;

    std::vector<void*> items_;
    std::uint16_t itemSize_;
};

}  // namespace vexlo
