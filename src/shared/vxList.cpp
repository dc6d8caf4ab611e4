#include "shared/vxList.h"

#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "shared/error.h"

namespace vexlo {

namespace {

struct BlockDeleter {
    void operator()(void* block) const noexcept { ::operator delete(block); }
};

}  // namespace

std::string ListIndexErrorText(std::int32_t index) {
    std::string text(kListIndexError);
    text.replace(text.find("%d"), 2, std::to_string(index));
    return text;
}

TvxList::TvxList(TvxList&& other) noexcept
    : items_(std::exchange(other.items_, {})), itemSize_(other.itemSize_) {}

TvxList& TvxList::operator=(TvxList&& other) noexcept {
    if (this != &other) {
        Clear();
        items_ = std::exchange(other.items_, {});
        itemSize_ = other.itemSize_;
    }
    return *this;
}

void* TvxList::NewItem() {
    if (items_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw std::bad_alloc();
    }
    // The block is held until the array has taken it, so a failure of either leaves the
    // list as it was. operator new(0) still gives a distinct non-null block.
    std::unique_ptr<void, BlockDeleter> block(::operator new(itemSize_));
    items_.push_back(block.get());
    return block.release();
}

std::int32_t TvxList::AddNull() {
    if (items_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw std::bad_alloc();
    }
    items_.push_back(nullptr);
    return Count() - 1;
}

void TvxList::CheckIndex(std::int32_t index) const {
    if (index < 0 || index >= Count()) throw Error(ListIndexErrorText(index));
}

void TvxList::DeleteItem(std::int32_t index) {
    CheckIndex(index);
    ::operator delete(items_[static_cast<std::size_t>(index)]);  // null is a no-op
    items_.erase(items_.begin() + index);
}

void TvxList::Clear() noexcept {
    // Freeing a block cannot fail here; the rule "an error while freeing one block is
    // swallowed" has nothing left to catch.
    for (void* block : items_) ::operator delete(block);
    items_.clear();
}

void* TvxList::Item(std::int32_t index) const {
    CheckIndex(index);
    return items_[static_cast<std::size_t>(index)];
}

}  // namespace vexlo
