// The native and CSV data files: exact bytes written, what loads give, the
// refusals, and the CSV name rule.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <new>
#include <random>

#include "tests/sanitizer_build.h"
#include "common/errors.h"
#include "common/text_file.h"
#include "common/texts.h"
#include "desktop/datawindow/csv_file.h"
#include "desktop/datawindow/grid_editing.h"
#include "desktop/datawindow/native_file.h"
#include "datafiles/object_limit.h"
#include "tests/datawindow_test_support.h"

namespace cluster {
namespace {

using testing::FillGrids;
using testing::ScratchDir;
using testing::U;

// Labels and lower triangle as the grids hold them.
struct GridContent {
  std::vector<std::string> labels;
  std::vector<std::vector<std::string>> lower;
  bool operator==(const GridContent&) const = default;
};

GridContent ContentOf(const DataGrids& grids) {
  GridContent content;
  const std::int32_t n = ObjectCountOf(grids);
  for (std::int32_t i = 1; i <= n; ++i) content.labels.emplace_back(grids.Labels.Cell(1, i));
  for (std::int32_t i = 2; i <= n; ++i) {
    content.lower.emplace_back();
    for (std::int32_t j = 1; j < i; ++j) content.lower.back().emplace_back(grids.Matrix.Cell(j, i));
  }
  return content;
}

void ExpectHeadingsAndMask(const DataGrids& grids, std::int32_t n) {
  ASSERT_EQ(grids.Labels.RowCount(), n + 1);
  ASSERT_EQ(grids.Matrix.RowCount(), n + 1);
  ASSERT_EQ(grids.Matrix.ColCount(), n + 1);
  for (std::int32_t i = 1; i <= n; ++i) {
    EXPECT_EQ(grids.Labels.Cell(0, i), ObjectHeading(i));
    EXPECT_EQ(grids.Matrix.Cell(0, i), ObjectHeading(i));
    EXPECT_EQ(grids.Matrix.Cell(i, 0), ObjectHeading(i));
    for (std::int32_t k = i; k <= n; ++k) EXPECT_EQ(grids.Matrix.Cell(k, i), "*");
  }
}

class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override { IoErrorCode() = 0; }
  void TearDown() override { IoErrorCode() = 0; }
  // The grids of a new window after loading the file `name` of the scratch
  // folder in either format.
  DataGrids LoadedNative(const std::string& name) const {
    DataGrids grids;
    SetInitialState(grids);
    LoadNativeFile(grids, dir.Path(name));
    return grids;
  }
  DataGrids LoadedCsv(const std::string& name) const {
    DataGrids grids;
    SetInitialState(grids);
    LoadCsvFile(grids, dir.Path(name));
    return grids;
  }
  ScratchDir dir;
};

// ---- Native file ---------------------------------------------------------

TEST_F(DataFileTest, NativeSaveOfTheThreeObjectExample) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C"}, {{"2.5"}, {" 4 ", "1.25\t"}});
  SaveNativeFile(grids, dir.Path("abc"));
  EXPECT_EQ(dir.Read("abc"), "3\r\nA\r\nB\r\nC\r\n2.5\r\n4\r\n1.25\r\n");
}

TEST_F(DataFileTest, NativeSaveOfOneObjectHasTwoLines) {
  DataGrids grids;
  FillGrids(grids, {U("東京")}, {});
  SaveNativeFile(grids, dir.Path("one"));
  EXPECT_EQ(dir.Read("one"), "1\r\n" + U("東京") + "\r\n");
}

TEST_F(DataFileTest, NativeSaveEmptiesAnExistingFile) {
  dir.Write("old", std::string(500, 'x'));
  DataGrids grids;
  SetInitialState(grids);
  SaveNativeFile(grids, dir.Path("old"));
  EXPECT_EQ(dir.Read("old"), "2\r\n\r\n\r\n\r\n");
}

TEST_F(DataFileTest, NativeLoadOfTheThreeObjectExample) {
  dir.Write("abc", "3\r\nA\r\nB\r\nC\r\n2.5\r\n4\r\n1.25\r\n");
  const DataGrids grids = LoadedNative("abc");
  ExpectHeadingsAndMask(grids, 3);
  EXPECT_EQ(ContentOf(grids), (GridContent{{"A", "B", "C"}, {{"2.5"}, {"4", "1.25"}}}));
}

TEST_F(DataFileTest, LoadsWorkOnGridsMadeWithoutAWindow) {
  dir.Write("abc", "3\r\nA\r\nB\r\nC\r\n2.5\r\n4\r\n1.25\r\n");
  dir.Write("abc.csv", ",A,B,C\r\nA\r\nB,2.5\r\nC,4,1.25\r\n");
  const GridContent expected{{"A", "B", "C"}, {{"2.5"}, {"4", "1.25"}}};
  DataGrids native;
  LoadNativeFile(native, dir.Path("abc"));
  EXPECT_EQ(ContentOf(native), expected);
  DataGrids csv;
  LoadCsvFile(csv, dir.Path("abc.csv"));
  EXPECT_EQ(ContentOf(csv), expected);
}

TEST_F(DataFileTest, NativeLoadTakesLinesUnchangedAndIgnoresTextAfterTheCount) {
  dir.Write("f", "\r\n  3 objects here\r\n a, b \r\nB\nC\r\n 2.5 \r\n\r\n1.25\r\nnever read\r\n");
  const DataGrids grids = LoadedNative("f");
  ExpectHeadingsAndMask(grids, 3);
  EXPECT_EQ(ContentOf(grids), (GridContent{{" a, b ", "B", "C"}, {{" 2.5 "}, {"", "1.25"}}}));
}

TEST_F(DataFileTest, NativeLoadOfAShortFileLeavesEmptyCells) {
  dir.Write("short", "3\r\nA\r\n");
  const DataGrids grids = LoadedNative("short");
  ExpectHeadingsAndMask(grids, 3);
  EXPECT_EQ(ContentOf(grids), (GridContent{{"A", "", ""}, {{""}, {"", ""}}}));
}

TEST_F(DataFileTest, NativeLoadOfCountZeroNegativeOrAnEmptyFileLeavesNoObjectRow) {
  for (const std::string bytes : {"0\r\n", "-5\r\n", ""}) {
    dir.Write("none", bytes);
    const DataGrids grids = LoadedNative("none");
    EXPECT_EQ(grids.Labels.RowCount(), 1) << bytes;
    EXPECT_EQ(grids.Matrix.RowCount(), 1) << bytes;
    EXPECT_EQ(grids.Matrix.ColCount(), 1) << bytes;
    EXPECT_EQ(grids.Labels.Cell(1, 0), U(" ラベル"));
    EXPECT_EQ(grids.Matrix.CurrentRow(), 0);
  }
}

TEST_F(DataFileTest, NativeLoadOfANonNumberOrAMissingFileFailsWithTheGridsUnchanged) {
  dir.Write("bad", "three\r\nA\r\n");
  DataGrids grids;
  FillGrids(grids, {"keep"}, {});
  try {
    LoadNativeFile(grids, dir.Path("bad"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 106);
    EXPECT_EQ(e.Message(), U("入力値が数値ではありません"));
  }
  try {
    LoadNativeFile(grids, dir.Path("missing"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
    EXPECT_EQ(e.Message(), U("ファイルが見つかりません"));
  }
  EXPECT_EQ(ContentOf(grids), (GridContent{{"keep"}, {}}));
}

TEST_F(DataFileTest, NativeSaveIntoAMissingFolderFails) {
  DataGrids grids;
  SetInitialState(grids);
  try {
    SaveNativeFile(grids, dir.Path("no/such/file"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 3);
  }
}

TEST_F(DataFileTest, NativeRoundTripTrimsValuesOnly) {
  DataGrids grids;
  FillGrids(grids, {" a b ", "x,y", "\"q\""}, {{" 1 "}, {" ", "2"}});
  SaveNativeFile(grids, dir.Path("rt"));
  const DataGrids loaded = LoadedNative("rt");
  ExpectHeadingsAndMask(loaded, 3);
  EXPECT_EQ(ContentOf(loaded), (GridContent{{" a b ", "x,y", "\"q\""}, {{"1"}, {"", "2"}}}));
}

TEST_F(DataFileTest, NativeCountAboveTheLimitIsRefusedBeforeTheGridsChange) {
  dir.Write("big", "1001\r\n");
  DataGrids grids;
  FillGrids(grids, {"A", "B"}, {{"1"}});
  EXPECT_THROW(LoadNativeFile(grids, dir.Path("big")), ETooManyObjects);
  EXPECT_EQ(ContentOf(grids), (GridContent{{"A", "B"}, {{"1"}}}));
  ExpectHeadingsAndMask(grids, 2);
  // A batch tool with a larger store reads the same file.
  LoadNativeFile(grids, dir.Path("big"), 2000);
  EXPECT_EQ(ObjectCountOf(grids), 1001);
}

TEST_F(DataFileTest, NativeCountAtTheLimitIsRead) {
  dir.Write("full", "1000\r\n");
  const DataGrids grids = LoadedNative("full");
  EXPECT_EQ(ObjectCountOf(grids), 1000);
  EXPECT_EQ(grids.Matrix.Cell(1000, 1000), "*");
  EXPECT_EQ(grids.Matrix.Cell(1, 1000), "");
}

TEST(TooManyObjectsTest, MessageNamesBothNumbers) {
  const ETooManyObjects error(1001, 1000);
  EXPECT_EQ(error.Message(), U("ファイルの対象の数 1001 が上限の 1000 を超えているので読み出せません"));
  EXPECT_NO_THROW(CheckDeclaredObjectCount(1000, 1000));
  EXPECT_THROW(CheckDeclaredObjectCount(1001, 1000), ETooManyObjects);
}

// ---- CSV file ------------------------------------------------------------

TEST(EnsureCsvExtensionTest, AppendsUnlessTheNameEndsInExactlyCsv) {
  EXPECT_EQ(EnsureCsvExtension("data"), "data.csv");
  EXPECT_EQ(EnsureCsvExtension("data.csv"), "data.csv");
  EXPECT_EQ(EnsureCsvExtension("data.CSV"), "data.CSV");
  EXPECT_EQ(EnsureCsvExtension("data.Csv"), "data.Csv.csv");
  EXPECT_EQ(EnsureCsvExtension("abc"), "abc.csv");
  EXPECT_EQ(EnsureCsvExtension(".csv"), ".csv.csv");
  EXPECT_EQ(EnsureCsvExtension("x.csv"), "x.csv");
  EXPECT_EQ(EnsureCsvExtension(""), ".csv");
  EXPECT_EQ(EnsureCsvExtension("/tmp/d.txt"), "/tmp/d.txt.csv");
}

TEST(CsvFieldTest, QuotesOnlyWhatWouldNotReadBack) {
  EXPECT_EQ(CsvField("A"), "A");
  EXPECT_EQ(CsvField(""), "");
  EXPECT_EQ(CsvField("2.5"), "2.5");
  EXPECT_EQ(CsvField(U("東京")), U("東京"));
  EXPECT_EQ(CsvField("a b"), "\"a b\"");
  EXPECT_EQ(CsvField("x,y"), "\"x,y\"");
  EXPECT_EQ(CsvField(" "), "\" \"");
  EXPECT_EQ(CsvField("a\tb"), "\"a\tb\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("\"q"), "\"\"\"q\"");
  // A last lead byte without its second byte (UTF-8 "あ" read as code page
  // 932 ends in 0x82) is quoted; a whole double-byte character is not.
  EXPECT_EQ(CsvField("\xE3\x81\x82"), "\"\xE3\x81\x82\"");
  EXPECT_EQ(CsvField("\x82"), "\"\x82\"");
  EXPECT_EQ(CsvField("\x82\xA0"), "\x82\xA0");
}

TEST_F(DataFileTest, CsvSaveOfTheThreeObjectExample) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C"}, {{"2.5"}, {" 4 ", "1.25"}});
  SaveCsvFile(grids, dir.Path("abc.csv"));
  EXPECT_EQ(dir.Read("abc.csv"), ",A,B,C\r\nA\r\nB,2.5\r\nC,4,1.25\r\n");
}

TEST_F(DataFileTest, CsvSaveOfAFreshWindow) {
  DataGrids grids;
  SetInitialState(grids);
  SaveCsvFile(grids, dir.Path("fresh.csv"));
  EXPECT_EQ(dir.Read("fresh.csv"), ",,\r\n\r\n,\r\n");
  DataGrids loaded;
  FillGrids(loaded, {"x", "y", "z"}, {{"1"}, {"2", "3"}});
  LoadCsvFile(loaded, dir.Path("fresh.csv"));
  ExpectHeadingsAndMask(loaded, 2);
  EXPECT_EQ(ContentOf(loaded), (GridContent{{"", ""}, {{""}}}));
}

TEST_F(DataFileTest, CsvSaveQuotesLabelsAndValuesThatWouldNotReadBack) {
  DataGrids grids;
  FillGrids(grids, {"a b", "x,y", "\"q\""}, {{"1 5"}, {" ", "2"}});
  SaveCsvFile(grids, dir.Path("q.csv"));
  EXPECT_EQ(dir.Read("q.csv"),
            ",\"a b\",\"x,y\",\"\"\"q\"\"\"\r\n"
            "\"a b\"\r\n"
            "\"x,y\",\"1 5\"\r\n"
            "\"\"\"q\"\"\",,2\r\n");
  const DataGrids loaded = LoadedCsv("q.csv");
  ExpectHeadingsAndMask(loaded, 3);
  EXPECT_EQ(ContentOf(loaded), (GridContent{{"a b", "x,y", "\"q\""}, {{"1 5"}, {"", "2"}}}));
}

TEST_F(DataFileTest, CsvLoadOfTheThreeObjectExample) {
  dir.Write("abc", ",A,B,C\r\nA\r\nB,2.5\r\nC,4,1.25\r\n");
  const DataGrids grids = LoadedCsv("abc");
  ExpectHeadingsAndMask(grids, 3);
  EXPECT_EQ(ContentOf(grids), (GridContent{{"A", "B", "C"}, {{"2.5"}, {"4", "1.25"}}}));
}

TEST_F(DataFileTest, CsvLoadTakesLabelsFromLineOneAndDropsExtraFields) {
  dir.Write("f.csv", "corner,A,B\nnot looked at,at all\nZZ,7,8,9\nextra line\n");
  const DataGrids grids = LoadedCsv("f.csv");
  ExpectHeadingsAndMask(grids, 2);
  EXPECT_EQ(ContentOf(grids), (GridContent{{"A", "B"}, {{"7"}}}));
}

TEST_F(DataFileTest, CsvLoadSplitsUnquotedBlanks) {
  // A value with a blank inside reads as two fields; the label "a b" reads
  // as two labels, so the count grows by one.
  dir.Write("b.csv", ",a b,C\r\na b\r\nC,1 5\r\nD,1,2\r\n");
  const DataGrids grids = LoadedCsv("b.csv");
  ExpectHeadingsAndMask(grids, 3);
  EXPECT_EQ(ContentOf(grids), (GridContent{{"a", "b", "C"}, {{"1"}, {"1", "2"}}}));
}

TEST_F(DataFileTest, CsvLoadWithoutObjects) {
  for (const std::string bytes : {"", "\r\nA\r\n", "A,\r\n", "only\r\n"}) {
    dir.Write("none", bytes);
    const DataGrids grids = LoadedCsv("none");
    const std::int32_t expected = bytes == "A,\r\n" ? 1 : 0;
    EXPECT_EQ(ObjectCountOf(grids), expected) << bytes;
    EXPECT_EQ(grids.Matrix.RowCount(), expected + 1) << bytes;
  }
}

TEST_F(DataFileTest, CsvLoadOfAShortRowStopsWithTheListIndexError) {
  dir.Write("short.csv", ",A,B,C\r\nA\r\nB,1\r\nC,2\r\n");
  DataGrids grids;
  SetInitialState(grids);
  try {
    LoadCsvFile(grids, dir.Path("short.csv"));
    FAIL() << "no error";
  } catch (const EListIndexError& e) {
    EXPECT_EQ(e.Message(), U("リストのインデックスが範囲を超えています (2)"));
  }
  // Labels, headings and the rows before stay; the mask is not written for
  // the new object.
  EXPECT_EQ(ObjectCountOf(grids), 3);
  EXPECT_EQ(grids.Labels.Cell(1, 3), "C");
  EXPECT_EQ(grids.Matrix.Cell(0, 3), ObjectHeading(3));
  EXPECT_EQ(grids.Matrix.Cell(1, 2), "1");
  EXPECT_EQ(grids.Matrix.Cell(1, 3), "2");
  EXPECT_EQ(grids.Matrix.Cell(3, 3), "");
}

TEST_F(DataFileTest, CsvLoadOfAMissingLastLineFails) {
  dir.Write("cut.csv", ",A,B\r\nA\r\n");
  DataGrids grids;
  SetInitialState(grids);
  try {
    LoadCsvFile(grids, dir.Path("cut.csv"));
    FAIL() << "no error";
  } catch (const EListIndexError& e) {
    EXPECT_EQ(e.Message(), U("リストのインデックスが範囲を超えています (1)"));
  }
}

TEST_F(DataFileTest, CsvLoadOfAMissingFileFails) {
  DataGrids grids;
  SetInitialState(grids);
  try {
    LoadCsvFile(grids, dir.Path("missing.csv"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
  }
  EXPECT_EQ(ObjectCountOf(grids), 2);
}

TEST_F(DataFileTest, CsvWithMoreThanTheLimitIsRefusedBeforeTheGridsChange) {
  std::string header;
  for (int i = 0; i < 1001; ++i) header += ",L";
  dir.Write("big.csv", header + "\r\n");
  DataGrids grids;
  FillGrids(grids, {"A", "B"}, {{"1"}});
  EXPECT_THROW(LoadCsvFile(grids, dir.Path("big.csv")), ETooManyObjects);
  EXPECT_EQ(ContentOf(grids), (GridContent{{"A", "B"}, {{"1"}}}));
}

TEST_F(DataFileTest, CsvRoundTripOfJapaneseLabels) {
  DataGrids grids;
  FillGrids(grids, {U("札幌"), U("仙台"), U("東京")}, {{"535"}, {"605", "165"}});
  SaveCsvFile(grids, dir.Path("jp.csv"));
  const DataGrids loaded = LoadedCsv("jp.csv");
  EXPECT_EQ(ContentOf(loaded), ContentOf(grids));
}

TEST_F(DataFileTest, CsvRoundTripOfLabelsEndingInALeadByte) {
  // UTF-8 "あ", "い", "う" as code page 932 bytes each end in a lead byte.
  DataGrids grids;
  FillGrids(grids, {"\xE3\x81\x82", "\xE3\x81\x84", "\xE3\x81\x86"}, {{"1"}, {"2", "3"}});
  SaveCsvFile(grids, dir.Path("utf8.csv"));
  const DataGrids loaded = LoadedCsv("utf8.csv");
  EXPECT_EQ(ContentOf(loaded), ContentOf(grids));
}

TEST_F(DataFileTest, CsvRoundTripOfAnyBytesButLineEnds) {
  // Labels of any bytes but CR, LF and Ctrl-Z, and values without blanks
  // at their ends (the save trims values), come back as they were saved.
  std::mt19937 random(20261208);
  const auto text = [&](std::size_t length, bool trimmed) {
    std::string bytes;
    while (bytes.size() < length) {
      const auto b = static_cast<char>(random() % 256);
      if (b == '\r' || b == '\n' || b == 26) continue;
      bytes += b;
    }
    if (trimmed) bytes = TrimBlanks(bytes);
    return bytes;
  };
  for (int round = 0; round < 200; ++round) {
    const auto n = static_cast<std::int32_t>(2 + random() % 5);
    std::vector<std::string> labels;
    std::vector<std::vector<std::string>> lower;
    for (std::int32_t i = 1; i <= n; ++i) labels.push_back(text(random() % 6, false));
    for (std::int32_t i = 2; i <= n; ++i) {
      lower.emplace_back();
      for (std::int32_t j = 1; j < i; ++j) lower.back().push_back(text(random() % 4, true));
    }
    DataGrids grids;
    FillGrids(grids, labels, lower);
    SaveCsvFile(grids, dir.Path("any.csv"));
    const DataGrids loaded = LoadedCsv("any.csv");
    ASSERT_EQ(ContentOf(loaded), ContentOf(grids)) << "round " << round;
  }
}

// Runs `load` in a process of its own whose address space is limited to
// `megabytes`; it exits with 0 when the load raised ETooManyObjects or
// finished, and with 1 when it ran out of memory.
template <typename Load>
void ExpectLoadWithinMemory(std::size_t megabytes, Load load) {
  if (testing::kAddressSanitizer) GTEST_SKIP() << "the address sanitizer needs more address space than any limit";
  const auto bounded = [&] {
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = megabytes << 20;
    setrlimit(RLIMIT_AS, &limit);
    try {
      load();
    } catch (const ETooManyObjects&) {
    } catch (const std::bad_alloc&) {
      std::exit(1);
    }
    std::exit(0);
  };
  EXPECT_EXIT(bounded(), ::testing::ExitedWithCode(0), "");
}

TEST_F(DataFileTest, ALongCsvLineCostsNoMoreThanItsBytes) {
  // 20 MiB of commas: as a header beyond the limit, and as a data row whose
  // fields beyond its own are dropped. Stored as fields, they would take
  // over 600 MB.
  const std::string commas(20u << 20, ',');
  dir.Write("header.csv", commas + "\r\n");
  dir.Write("row.csv", ",A,B\r\nA\r\nB,1" + commas + "\r\n");
  ExpectLoadWithinMemory(300, [&] {
    DataGrids grids;
    LoadCsvFile(grids, dir.Path("header.csv"));
  });
  ExpectLoadWithinMemory(300, [&] {
    DataGrids grids;
    LoadCsvFile(grids, dir.Path("row.csv"));
    if (grids.Matrix.Cell(1, 2) != "1") std::exit(2);
  });
}

TEST_F(DataFileTest, ACsvHeaderBeyondTheLimitNamesItsCount) {
  dir.Write("big.csv", std::string(5000, ',') + "\r\n");
  DataGrids grids;
  try {
    LoadCsvFile(grids, dir.Path("big.csv"), 1000);
    ADD_FAILURE() << "no error";
  } catch (const ETooManyObjects& e) {
    EXPECT_EQ(e.Message(), U("ファイルの対象の数 5000 が上限の 1000 を超えているので読み出せません"));
  }
}

}  // namespace
}  // namespace cluster
