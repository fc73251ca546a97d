// The texts of one grid row, kept compactly.
//
// A loaded 5001 x 5001 matrix has 25 million cells. As std::string objects
// they would take 32 bytes each plus a heap block for every text longer than
// 15 bytes (a value written with 15 significant digits is 17), about 1.2 GB,
// and a batch run would spend most of its time having the system hand out
// and clear those pages. Here a cell is 16 bytes: a text of up to 15 bytes
// lies in the cell itself, and a longer one in a byte store the row shares,
// which the cell points into. Overwritten long texts leave garbage in that
// store; it is compacted once the garbage outweighs what is still in use,
// so editing a cell again and again cannot grow the row without bound.
//
// A text read with Text() stays valid until the row is next changed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cluster {

class CellRow {
 public:
  explicit CellRow(std::size_t size = 0) : cells_(size) {}

  std::size_t Size() const noexcept { return cells_.size(); }
  // Cells that come into the row are empty; cells that leave it are dropped.
  void Resize(std::size_t size);

  std::string_view Text(std::size_t index) const noexcept;
  void SetText(std::size_t index, std::string_view text);

  // Bytes held in the shared store, in use or not (for tests of the
  // compaction).
  std::size_t StoreBytes() const noexcept { return longTexts_.size(); }

 private:
  static constexpr std::size_t kInPlace = 15;
  static constexpr std::uint8_t kInStore = 0xFF;
  // Garbage below this is left alone, so small rows are not compacted at
  // every edit.
  static constexpr std::size_t kGarbageAllowance = 4096;

  // In place: size holds the length and bytes the text. In the store: size
  // is kInStore and bytes hold the text's offset and length in longTexts_.
  struct Slot {
    std::array<char, kInPlace> bytes{};
    std::uint8_t size = 0;
  };
  static_assert(sizeof(Slot) == 16);
  struct StoredText {
    std::uint64_t offset;
    std::uint64_t length;  // below 2^56: it is kept in seven bytes
  };

  static StoredText StoredTextOf(const Slot& slot) noexcept;
  static void SetStoredText(Slot& slot, StoredText stored) noexcept;
  void Release(const Slot& slot) noexcept;
  // Compacts the store when its garbage outweighs its texts in use.
  void CompactIfWasteful() noexcept {
    if (garbage_ > kGarbageAllowance) CompactWhenWasteful();
  }
  void CompactWhenWasteful() noexcept;

  std::vector<Slot> cells_;
  std::string longTexts_;
  std::size_t garbage_ = 0;
};

}  // namespace cluster
