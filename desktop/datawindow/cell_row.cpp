#include "desktop/datawindow/cell_row.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>

namespace cluster {

namespace {
constexpr std::size_t kOffsetBytes = 8;
constexpr std::size_t kLengthBytes = 7;
}  // namespace

CellRow::StoredText CellRow::StoredTextOf(const Slot& slot) noexcept {
  StoredText stored{0, 0};
  for (std::size_t b = 0; b < kOffsetBytes; ++b) {
    stored.offset |= std::uint64_t{static_cast<unsigned char>(slot.bytes[b])} << (8 * b);
  }
  for (std::size_t b = 0; b < kLengthBytes; ++b) {
    stored.length |= std::uint64_t{static_cast<unsigned char>(slot.bytes[kOffsetBytes + b])} << (8 * b);
  }
  return stored;
}

void CellRow::SetStoredText(Slot& slot, StoredText stored) noexcept {
  for (std::size_t b = 0; b < kOffsetBytes; ++b) {
    slot.bytes[b] = static_cast<char>((stored.offset >> (8 * b)) & 0xFF);
  }
  for (std::size_t b = 0; b < kLengthBytes; ++b) {
    slot.bytes[kOffsetBytes + b] = static_cast<char>((stored.length >> (8 * b)) & 0xFF);
  }
  slot.size = kInStore;
}

std::string_view CellRow::Text(std::size_t index) const noexcept {
  const Slot& slot = cells_[index];
  if (slot.size != kInStore) return {slot.bytes.data(), slot.size};
  const StoredText stored = StoredTextOf(slot);
  return {longTexts_.data() + stored.offset, static_cast<std::size_t>(stored.length)};
}

void CellRow::Release(const Slot& slot) noexcept {
  if (slot.size == kInStore) garbage_ += static_cast<std::size_t>(StoredTextOf(slot).length);
}

void CellRow::SetText(std::size_t index, std::string_view text) {
  Slot& slot = cells_[index];
  if (text.size() <= kInPlace) {
    // The text may be this cell's own or lie in the store: copy it first.
    std::array<char, kInPlace> bytes{};
    if (!text.empty()) std::memcpy(bytes.data(), text.data(), text.size());
    Release(slot);
    slot.bytes = bytes;
    slot.size = static_cast<std::uint8_t>(text.size());
    CompactIfWasteful();
    return;
  }
  if (slot.size == kInStore) {
    // A text no longer than the one it replaces takes its place.
    StoredText stored = StoredTextOf(slot);
    if (text.size() <= stored.length) {
      std::memmove(longTexts_.data() + stored.offset, text.data(), text.size());
      garbage_ += static_cast<std::size_t>(stored.length) - text.size();
      stored.length = text.size();
      SetStoredText(slot, stored);
      CompactIfWasteful();
      return;
    }
  }
  // Appending may move the store, and the text may lie in it (a cell copied
  // within its row), so the new text is appended before the old one is
  // released.
  const std::uint64_t offset = longTexts_.size();
  const std::less_equal<const char*> notAfter;
  const std::less<const char*> before;
  if (notAfter(longTexts_.data(), text.data()) && before(text.data(), longTexts_.data() + longTexts_.size())) {
    const std::size_t from = static_cast<std::size_t>(text.data() - longTexts_.data());
    longTexts_.append(longTexts_, from, text.size());
  } else {
    longTexts_.append(text);
  }
  Release(slot);
  SetStoredText(slot, StoredText{offset, text.size()});
  CompactIfWasteful();
}

void CellRow::Resize(std::size_t size) {
  for (std::size_t i = size; i < cells_.size(); ++i) Release(cells_[i]);
  cells_.resize(size);
  CompactIfWasteful();
}

void CellRow::CompactWhenWasteful() noexcept {
  const std::size_t inUse = longTexts_.size() - garbage_;
  if (garbage_ <= std::max(inUse, kGarbageAllowance)) return;
  // Compacting only saves room, so it never fails a change that has been
  // made: without the memory for it the garbage stays until the next try.
  std::string compacted;
  try {
    compacted.reserve(inUse);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (Slot& slot : cells_) {
    if (slot.size != kInStore) continue;
    StoredText stored = StoredTextOf(slot);
    const std::uint64_t offset = compacted.size();
    compacted.append(longTexts_, static_cast<std::size_t>(stored.offset), static_cast<std::size_t>(stored.length));
    stored.offset = offset;
    SetStoredText(slot, stored);
  }
  longTexts_ = std::move(compacted);
  garbage_ = 0;
}

}  // namespace cluster
