// Tables of observations as the batch tool reads them, and their distances.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "datafiles/observation_table.h"
#include "tests/scratch_dir.h"

namespace cluster {
namespace {

using testing::ScratchDir;

class ObservationTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IoErrorCode() = 0;
    SetDecimalSeparator('.');
  }
  ObservationTable Read(const std::string& bytes, char separator = ',') {
    dir.Write("table", bytes);
    return ReadObservationTable(dir.Path("table"), separator, 1000);
  }
  std::string ErrorOf(const std::string& bytes, char separator = ',') {
    try {
      Read(bytes, separator);
    } catch (const EObservationTable& e) {
      return e.Message();
    }
    return "no error";
  }
  ScratchDir dir;
};

TEST_F(ObservationTableTest, HeaderQuotesSeparatorsAndBlankLines) {
  const ObservationTable table = Read("name,x,y\r\n\"a, the first\",1,2\r\n\r\nb, 3.5 ,-4\r\n");
  EXPECT_EQ(table.labels, (std::vector<std::string>{"a, the first", "b"}));
  EXPECT_EQ(table.columns, 2);
  EXPECT_EQ(table.values, (std::vector<Real>{1, 2, 3.5L, -4}));
  // Without a header the first line is an observation; tabs separate.
  const ObservationTable tabs = Read("a\t1\t2\nb\t3\t4\n", '\t');
  EXPECT_EQ(tabs.Rows(), 2);
  EXPECT_EQ(tabs.values, (std::vector<Real>{1, 2, 3, 4}));
}

TEST_F(ObservationTableTest, ACtrlZIsNoEndOfATable) {
  EXPECT_EQ(ErrorOf("A,0,0\nB,1,1\x1A" "5\nC,3,0\n"), "line 2, column 3: '1\x1A" "5' is not a number");
  // After the byte the rest of the table is read.
  EXPECT_EQ(Read("A,0\n\x1A,1\nC,3\n").Rows(), 3);
}

TEST_F(ObservationTableTest, ValuesAreWeighedBeforeTheyTakeMemory) {
  // The first row (9002 bytes with its line end) of 19,012: room for 3 such
  // rows, 3000 values. The 5 rows after it are shorter (2002 bytes), so
  // the values then grow by half again: 4500, 6750.
  std::string ones;
  std::string longer;
  for (int c = 0; c < 1000; ++c) {
    ones += ",1";
    longer += ",1.000001";
  }
  std::string text = "r" + longer + "\n";
  for (int r = 0; r < 5; ++r) text += "s" + ones + "\n";
  dir.Write("wide", text);
  std::vector<std::uint64_t> asked;
  const ObservationTable table =
      ReadObservationTable(dir.Path("wide"), ',', 10, [&](std::uint64_t bytes) { asked.push_back(bytes); });
  EXPECT_EQ(table.values.size(), 6000u);
  EXPECT_EQ(asked, (std::vector<std::uint64_t>{3000 * sizeof(Real), 4500 * sizeof(Real), 6750 * sizeof(Real)}));
  // A growth refused is the run refused, before it takes the memory.
  struct Refused {};
  EXPECT_THROW(ReadObservationTable(dir.Path("wide"), ',', 10,
                                    [](std::uint64_t bytes) {
                                      if (bytes > 4000 * sizeof(Real)) throw Refused();
                                    }),
               Refused);
}

TEST_F(ObservationTableTest, WhatIsWrongIsNamedByLineAndColumn) {
  EXPECT_EQ(ErrorOf("a,1,2\nb,3\n"), "line 2, column 3: missing: the rows have 2 coordinates");
  EXPECT_EQ(ErrorOf("a,1,2\nb,3,4,5\n"), "line 2, column 4: '5' is one coordinate too many (the rows have 2)");
  EXPECT_EQ(ErrorOf("x,y\na,1\nb,\n"),
            "line 3, column 2: empty: a missing value (give --missing pairwise to compute each distance over the "
            "coordinates both rows hold)");
  EXPECT_EQ(ErrorOf("a,1,2\nb,three,4\n"), "line 2, column 2: 'three' is not a number");
  EXPECT_EQ(ErrorOf("a,1,x\n"), "line 1, column 3: 'x' is not a number");  // a number in it: not a header
  EXPECT_EQ(ErrorOf("a\n"), "line 1, column 2: missing: a row holds a label and at least one coordinate");
}

TEST_F(ObservationTableTest, NumbersUseTheUsersDecimalSeparator) {
  SetDecimalSeparator(',');
  const ObservationTable table = Read("a\t1,5\nb\t2\n", '\t');
  SetDecimalSeparator('.');
  EXPECT_EQ(table.values, (std::vector<Real>{1.5L, 2}));
}

TEST_F(ObservationTableTest, LabelsInUtf8OrCodePage932) {
  const ObservationTable utf8 = Read("\xEF\xBB\xBF東京,1\n大阪,2\n");  // with a byte-order mark
  EXPECT_TRUE(utf8.utf8);
  EXPECT_EQ(utf8.Utf8Labels(), (std::vector<std::string>{"東京", "大阪"}));
  EXPECT_EQ(utf8.Cp932Labels(), (std::vector<std::string>{Cp932FromUtf8("東京"), Cp932FromUtf8("大阪")}));
  const ObservationTable cp932 = Read(Cp932FromUtf8("東京,1\n大阪,2\n"));
  EXPECT_FALSE(cp932.utf8);
  EXPECT_EQ(cp932.Utf8Labels(), (std::vector<std::string>{"東京", "大阪"}));
}

TEST_F(ObservationTableTest, StandardizedColumnsAndConstantOnesLeftOut) {
  // Column 1: 1, 2, 3 (mean 2, sd 1); column 2 constant; column 3: 0, 0, 6
  // (mean 2, sd sqrt((4 + 4 + 16) / 2) = sqrt(12)).
  ObservationTable table = Read("a,1,7,0\nb,2,7,0\nc,3,7,6\n");
  EXPECT_EQ(Standardize(table), (std::vector<std::int32_t>{2}));
  ASSERT_EQ(table.columns, 2);
  const long double s = std::sqrt(12.0L);
  const std::vector<Real> expected = {-1, -2 / s, 0, -2 / s, 1, 4 / s};
  for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(table.values[k], expected[k]) << k;
  // The header's names follow the columns kept.
  ObservationTable named = Read("name,x,flat,z\na,1,7,0\nb,2,7,0\nc,3,7,6\n");
  Standardize(named);
  EXPECT_EQ(named.names, (std::vector<std::string>{"x", "z"}));
}

TEST_F(ObservationTableTest, SquaredDistancesAreExactSums) {
  // (0, 0), (1, 1), (3, 0): squared distances 2, 9, 5 (no root is taken).
  const ObservationTable table = Read("a,0,0\nb,1,1\nc,3,0\n");
  const LowerTriangle squares = SquaredDistances(table);
  EXPECT_EQ(squares.At(2, 1), 2);
  EXPECT_EQ(squares.At(3, 1), 9);
  EXPECT_EQ(squares.At(3, 2), 5);
}

}  // namespace
}  // namespace cluster
