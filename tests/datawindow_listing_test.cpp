// The data listing's lines, caught from a text device instead of a printer.
#include <gtest/gtest.h>

#include "common/text_file.h"
#include "desktop/datawindow/data_listing.h"
#include "tests/datawindow_test_support.h"

namespace cluster {
namespace {

using testing::FillGrids;
using testing::U;

class CollectingDevice : public TextDevice {
 public:
  void OpenDevice() override {}
  void HandOver(std::string_view bytes) override { text.append(bytes); }
  void CloseDevice() override {}
  std::string text;
};

std::string ListingOf(const DataGrids& grids) {
  CollectingDevice device;
  TextFile out;
  out.BindDevice(device);
  out.OpenForWriting();
  CheckIo();
  WriteDataListing(grids, out);
  out.CloseTextFile();
  CheckIo();
  return device.text;
}

TEST(DataListingTest, TwoObjectExample) {
  DataGrids grids;
  testing::SetUpTwoTypedObjects(grids);
  const std::string expected =
      "\n"
      "\n"
      "Data =\n"
      "\n" +
      U(" 対　象   ") + U(" ラベル   ") + "\n" +
      U(" 対象 1   ") + "A         " + "\n" +
      U(" 対象 2   ") + "B         " + "\n" +
      "\n" +
      "          " + U(" 対象 1   ") + U(" 対象 2   ") + "\n" +
      U(" 対象 1   ") + "*         " + "*         " + "\n" +
      U(" 対象 2   ") + "2.5       " + "*         " + "\n";
  EXPECT_EQ(ListingOf(grids), expected);
}

TEST(DataListingTest, BlankCellsPrintAsTenBlanksAndLongTextsWhole) {
  DataGrids grids;
  FillGrids(grids, {U("北海道札幌市"), "B"}, {{" "}});
  const std::string listing = ListingOf(grids);
  // The 12-byte label pushes the rest of its line two columns on.
  const std::string labelLine = U(" 対象 1   ") + U("北海道札幌市") + "\n";
  const std::string matrixLine = U(" 対象 2   ") + std::string(10, ' ') + "*         \n";
  EXPECT_NE(listing.find(labelLine), std::string::npos);
  EXPECT_NE(listing.find(matrixLine), std::string::npos);
}

TEST(DataListingTest, GridsWithoutObjectRowsPrintTheirHeaderRowsOnly) {
  DataGrids grids;
  testing::SetUpWithoutObjectRows(grids);
  EXPECT_EQ(ListingOf(grids), "\n\nData =\n\n" + U(" 対　象   ") + U(" ラベル   ") + "\n\n" + std::string(10, ' ') + "\n");
}

}  // namespace
}  // namespace cluster
