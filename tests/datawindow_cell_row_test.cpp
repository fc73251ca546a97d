// The compact texts of one grid row, against a plain vector of strings.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "desktop/datawindow/cell_row.h"

namespace cluster {
namespace {

void ExpectSameTexts(const CellRow& row, const std::vector<std::string>& model) {
  ASSERT_EQ(row.Size(), model.size());
  for (std::size_t i = 0; i < model.size(); ++i) EXPECT_EQ(row.Text(i), model[i]) << "cell " << i;
}

TEST(CellRowTest, TextsOfEveryLengthReadBackWhateverTheyReplace) {
  // 15 bytes is the longest text kept in the cell itself.
  const std::vector<std::string> texts = {"", "a", std::string(15, 'b'), std::string(16, 'c'),
                                          "0.123456789012345", std::string(300, 'd'), "e"};
  CellRow row(2);
  std::vector<std::string> model(2);
  for (const std::string& first : texts) {
    for (const std::string& second : texts) {
      row.SetText(0, first);
      row.SetText(1, second);
      model = {first, second};
      ExpectSameTexts(row, model);
      row.SetText(0, second);  // replaced in place, longer or shorter
      model[0] = second;
      ExpectSameTexts(row, model);
    }
  }
}

TEST(CellRowTest, TextsWithZeroBytesAndDoubleByteCharactersKeepEveryByte) {
  CellRow row(3);
  const std::string withZero("a\0b", 3);
  const std::string longWithZero = std::string(20, 'x') + std::string(1, '\0') + "y";
  const std::string doubleByte = "\x91\xce\x8f\xdb\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9\x82\xab";
  row.SetText(0, withZero);
  row.SetText(1, longWithZero);
  row.SetText(2, doubleByte);
  ExpectSameTexts(row, {withZero, longWithZero, doubleByte});
}

TEST(CellRowTest, CopyingCellsWithinTheRowKeepsTheirTexts) {
  // Insert and Delete shift cells along a row by copying a cell's text into
  // its neighbour; a long text then comes from the row's own store, which
  // may move while it is copied.
  const std::size_t size = 40;
  CellRow row(size);
  std::vector<std::string> model(size);
  for (std::size_t i = 0; i < size; ++i) {
    model[i] = std::string(i % 3 == 0 ? 4 : 20 + i, static_cast<char>('A' + i % 26));
    row.SetText(i, model[i]);
  }
  for (int round = 0; round < 50; ++round) {
    for (std::size_t k = size - 1; k >= 1; --k) {  // shift right
      row.SetText(k, row.Text(k - 1));
      model[k] = model[k - 1];
    }
    for (std::size_t k = 0; k + 1 < size; ++k) {  // shift left
      row.SetText(k, row.Text(k + 1));
      model[k] = model[k + 1];
    }
    row.SetText(size / 2, row.Text(size / 2));  // onto itself
    row.SetText(round % size, std::string(25 + static_cast<std::size_t>(round), 'z'));
    model[round % size] = std::string(25 + static_cast<std::size_t>(round), 'z');
    ExpectSameTexts(row, model);
  }
}

TEST(CellRowTest, RandomEditsMatchAPlainRowAndTheStoreStaysBounded) {
  std::mt19937 random(20261208);
  CellRow row;
  std::vector<std::string> model;
  std::size_t longest = 0;
  for (int step = 0; step < 20000; ++step) {
    const auto choice = random() % 100;
    if (choice < 3) {
      const std::size_t size = random() % 60;
      row.Resize(size);
      model.resize(size);
    } else if (!model.empty() && choice < 20) {
      const std::size_t from = random() % model.size();
      const std::size_t to = random() % model.size();
      row.SetText(to, row.Text(from));
      model[to] = model[from];
    } else if (!model.empty()) {
      const std::size_t at = random() % model.size();
      const std::size_t length = random() % 4 == 0 ? random() % 200 : random() % 24;
      std::string text(length, '\0');
      for (char& c : text) c = static_cast<char>(random() % 256);
      row.SetText(at, text);
      model[at] = text;
      longest = std::max(longest, length);
    }
    if (step % 97 == 0) ExpectSameTexts(row, model);
    // Garbage may not outgrow the texts in use (plus the allowance that
    // spares small rows from constant compaction).
    std::size_t inUse = 0;
    for (const std::string& text : model) inUse += text.size() > 15 ? text.size() : 0;
    ASSERT_LE(row.StoreBytes(), 2 * std::max<std::size_t>(inUse, 4096) + longest) << "step " << step;
  }
  ExpectSameTexts(row, model);
}

}  // namespace
}  // namespace cluster
