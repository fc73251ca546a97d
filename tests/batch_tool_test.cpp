// cluster-analysis-batch, run as a user runs it: its options, its files, its
// exit status and messages.
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <tuple>
#include <regex>
#include <sstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/sanitizer_build.h"
#include "batch/batch_options.h"
#include "common/codepage.h"
#include "tests/file_bytes.h"

namespace cluster {
namespace {

using testing::FileBytes;
using testing::WriteFileBytes;

const std::string kHeader = Cp932FromUtf8("読み込まれた距離...");
const std::string kThreeObjectEcho =
    "\r\n" + kHeader + "\r\nA         \r\nB         2.5       \r\nC         4         1.25      \r\n";

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class BatchToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/batch-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const { WriteFileBytes(Path(name), bytes); }
  static std::string Read(const std::string& path) { return FileBytes(path); }
  // Runs the tool; `prefix` is shell text run before it (a ulimit), and
  // `toStdout` where its standard output goes instead of a file.
  Result Run(const std::string& arguments, const std::string& prefix = "", const std::string& toStdout = "") const {
    const std::string out = toStdout.empty() ? "> '" + Path("stdout") + "'" : toStdout;
    std::ofstream(Path("stdout"), std::ios::trunc).close();
    const std::string command = prefix + std::string("env -u DISPLAY LC_ALL=C ") + BATCH_TOOL + " " + arguments +
                                " " + out + " 2> '" + Path("stderr") + "'";
    const int raw = std::system(command.c_str());
    return Result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Read(Path("stdout")), Read(Path("stderr"))};
  }
  static std::string Shell(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    pclose(pipe);
    return output;
  }
  void WriteThreeObjects() const {
    Write("three.txt", "3\r\nA\r\nB\r\nC\r\n2.5\r\n4\r\n1.25\r\n");
    Write("three.csv", ",A,B,C\r\nA\r\nB,2.5\r\nC,4,1.25\r\n");
  }
  // A native file of n objects on a line: d(i, j) = i - j.
  void WriteLine(const std::string& name, int n) const {
    std::string text = std::to_string(n) + "\r\n";
    for (int i = 1; i <= n; ++i) text += "p" + std::to_string(i) + "\r\n";
    for (int i = 2; i <= n; ++i) {
      for (int j = 1; j < i; ++j) text += std::to_string(i - j) + "\r\n";
    }
    Write(name, text);
  }
  // The height of a PNG picture, from its header.
  static unsigned PngHeight(const std::string& png) {
    const auto* b = reinterpret_cast<const unsigned char*>(png.data());
    return png.size() < 24 ? 0 : (b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23];
  }
  std::string dir_;
};

TEST_F(BatchToolTest, NativeAndCsvGiveTheSameEchoAndTree) {
  WriteThreeObjects();
  // Ward: halved squares 3.125 (A,B), 8 (A,C), 0.78125 (B,C); B and C merge
  // at 0.78125, then A joins at ((1+1)*3.125 + (1+1)*8 - 1*0.78125) / 3.
  const std::string merges = "2\t3\t4\t0.78125\t2\n1\t4\t5\t7.15625\t3\n";
  for (const char* data : {"three.txt", "three.csv"}) {
    SCOPED_TRACE(data);
    const Result r = Run("--method ward --output '" + Path("out.txt") + "' --merges - '" + Path(data) + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, merges);
    EXPECT_EQ(Read(Path("out.txt")), kThreeObjectEcho);
  }
  // A CSV file without its ending is read as CSV when asked.
  std::rename(Path("three.csv").c_str(), Path("three-csv").c_str());
  EXPECT_EQ(Run("--method ward --csv --merges - '" + Path("three-csv") + "'").out, merges);
}

TEST_F(BatchToolTest, CentroidMergesAndAFileForTheList) {
  WriteThreeObjects();
  // Centroid: squares 6.25, 16, 1.5625; B and C at 1.5625, then A at
  // 6.25/2 + 16/2 - 1.5625/4 = 10.734375.
  const Result r = Run("--method centroid --merges '" + Path("m.tsv") + "' '" + Path("three.txt") + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Read(Path("m.tsv")), "2\t3\t4\t1.5625\t2\n1\t4\t5\t10.734375\t3\n");
}

TEST_F(BatchToolTest, HeightsCarryEveryBitOfTheExtendedValue) {
  // 1/3 is not a binary fraction: 21 digits identify the 80-bit value.
  Write("third.txt", "2\r\nA\r\nB\r\n0.5773502691896257645\r\n");
  const Result r = Run("--method centroid --merges - '" + Path("third.txt") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string height = r.out.substr(6, r.out.rfind('\t') - 6);
  EXPECT_EQ(height.size(), 23u) << height;  // "0." and 21 significant digits
  const long double parsed = std::strtold(height.c_str(), nullptr);
  const long double d = 0.5773502691896257645L;
  EXPECT_EQ(parsed, d * d);
}

TEST_F(BatchToolTest, FailuresGiveStatusOneAndTheProgramsMessage) {
  Write("bad.txt", "3\r\nA\r\nB\r\nC\r\n2.5\r\n4\r\nx1\r\n");
  Result r = Run("--method ward '" + Path("bad.txt") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error ===>  Cells[3,2] = x1\n");

  r = Run("--method ward '" + Path("missing.txt") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Path("missing.txt") + ": ファイルが見つかりません\n");  // named

  Write("count.txt", "three\r\nA\r\n");
  r = Run("--method ward '" + Path("count.txt") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Path("count.txt") + ": 入力値が数値ではありません\n");

  Write("one.txt", "1\r\nA\r\n");
  r = Run("--method ward '" + Path("one.txt") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cluster-analysis-batch: nothing to cluster: the data hold 1 object, and clustering needs at least 2\n");

  WriteThreeObjects();
  // An output's failure names the file.
  r = Run("--method ward --output '" + Path("no/such/dir/out.txt") + "' '" + Path("three.txt") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Path("no/such/dir/out.txt") + ": 不正なファイル名です\n");
}

TEST_F(BatchToolTest, TheNumberOfObjectsIsBoundedByMemoryNotByAFixedNumber) {
  // 10,001 objects declared, two labels given: no fixed limit refuses them;
  // the file fails at its first missing value (or, on a machine without
  // the 2.8 GB their matrix needs, is refused for memory at once).
  Write("big.txt", "10001\r\nA\r\nB\r\n");
  Result r = Run("--method ward '" + Path("big.txt") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err == "Error ===>  Cells[2,1] = \n" || r.err.find("leaves") != std::string::npos) << r.err;
  if (testing::kAddressSanitizer) return;
  // In 600 MB of address space the matrix of 20,000 objects (6.1 GB) is
  // refused before anything is read, with both figures.
  Write("huge.txt", "20000\r\n");
  r = Run("--method ward '" + Path("huge.txt") + "'", "ulimit -v 600000; ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("20000 objects needs about 6.1 GB"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("is what ulimit -v leaves"), std::string::npos) << r.err;
  // A CSV file's header is weighed before its labels are kept: twenty
  // million empty labels (20 MB of commas, far more as kept labels) are
  // refused the same way.
  Write("wide.csv", std::string(20000000, ',') + "\r\n");
  r = Run("--method ward '" + Path("wide.csv") + "'", "ulimit -v 400000; ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the dissimilarity matrix of 20000000 objects needs about"), std::string::npos) << r.err;
}

TEST_F(BatchToolTest, UsageErrorsGiveStatusTwoAndTheUsage) {
  WriteThreeObjects();
  const std::vector<std::string> wrong = {"--method upgma '" + Path("three.txt") + "'",
                                          "'" + Path("three.txt") + "'",
                                          "--method ward",
                                          "--method ward --bogus x",
                                          "--method ward --plot out.jpg x.txt",
                                          "--method"};
  for (const std::string& args : wrong) {
    SCOPED_TRACE(args);
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: cluster-analysis-batch"), std::string::npos);
  }
  // An empty name (an unset variable) asks for nothing: refused, not ignored.
  for (const std::string& args : {"--method ward --merges '' '" + Path("three.txt") + "'",
                                  "--method ward --plot '' '" + Path("three.txt") + "'", std::string("--method ward ''")}) {
    SCOPED_TRACE(args);
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: cluster-analysis-batch"), std::string::npos);
  }
  const Result help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: cluster-analysis-batch", 0), 0u);
}

TEST_F(BatchToolTest, VersionPrintsTheNameAndTheProjectsVersion) {
  const std::string expected = std::string("cluster-analysis-batch ") + PROJECT_VERSION_TEXT + "\n";
  // It needs no method and no data file, and stops before reading anything.
  for (const char* args : {"--version", "--method ward --version", "--version missing.txt"}) {
    SCOPED_TRACE(args);
    const Result r = Run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_NE(Run("--help").out.find("  --version "), std::string::npos);
}

TEST_F(BatchToolTest, PlotsAPdfPageAndPngsThatGrowWithTheTree) {
  WriteThreeObjects();
  Result r = Run("--method ward --plot '" + Path("tree.pdf") + "' '" + Path("three.txt") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Shell("pdfinfo '" + Path("tree.pdf") + "'").find("Pages:           1\n"), std::string::npos);
  const std::string text = Shell("pdftotext '" + Path("tree.pdf") + "' -");
  EXPECT_NE(text.find("Ward法"), std::string::npos) << text;
  // The root is at 7.16: the axis runs in round steps to 8.
  EXPECT_NE(text.find("(own units: half squared distances)"), std::string::npos) << text;
  EXPECT_NE(text.find("\n8\n"), std::string::npos) << text;

  WriteLine("ten.txt", 10);
  WriteLine("forty.txt", 40);
  ASSERT_EQ(Run("--method centroid --plot '" + Path("ten.png") + "' '" + Path("ten.txt") + "'").status, 0);
  ASSERT_EQ(Run("--method centroid --plot '" + Path("forty.png") + "' '" + Path("forty.txt") + "'").status, 0);
  const unsigned ten = PngHeight(Read(Path("ten.png")));
  const unsigned forty = PngHeight(Read(Path("forty.png")));
  EXPECT_GT(ten, 0u);
  // Thirty more leaves, each 1.2 character heights further down.
  EXPECT_GT(forty, ten + 30 * 12);

  ASSERT_EQ(Run("--method centroid --plot '" + Path("ten.svg") + "' '" + Path("ten.txt") + "'").status, 0);
  const std::string svg = Read(Path("ten.svg"));
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find(">p10</text>"), std::string::npos);
}

TEST_F(BatchToolTest, TimingsNameEachPhaseThatRan) {
  WriteThreeObjects();
  const Result r = Run("--method ward --timings '" + Path("three.txt") + "'");
  ASSERT_EQ(r.status, 0);
  std::vector<std::string> phases;
  std::istringstream lines(r.err);
  for (std::string line; std::getline(lines, line);) {
    phases.push_back(line.substr(0, line.find('\t')));
    // Milliseconds to three decimals: the phases of a small run take less
    // than one.
    EXPECT_TRUE(std::regex_match(line.substr(line.find('\t') + 1), std::regex("[0-9]+\\.[0-9]{3}"))) << line;
  }
  // The file is read straight into the store: loading is the capture. The
  // outputs are made in a phase of their own, even when none is asked for.
  EXPECT_EQ(phases, (std::vector<std::string>{"load", "prepare", "agglomerate", "outputs", "total"}));
}

TEST_F(BatchToolTest, AnOutputThatIsTheDataFileIsRefusedBeforeAnythingIsWritten) {
  WriteThreeObjects();
  const std::string data = Read(Path("three.txt"));
  ASSERT_EQ(std::system(("mkdir '" + Path("sub") + "' && ln -s three.txt '" + Path("link.png") + "' && ln '" +
                    Path("three.txt") + "' '" + Path("hard.txt") + "'")
                       .c_str()),
            0);
  for (const std::string& option : {"--output '" + Path("three.txt") + "'",
                                    "--merges '" + Path("sub/../three.txt") + "'",
                                    "--plot '" + Path("link.png") + "'", "--output '" + Path("hard.txt") + "'"}) {
    SCOPED_TRACE(option);
    const Result r = Run("--method ward " + option + " '" + Path("three.txt") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is the data file"), std::string::npos) << r.err;
    EXPECT_EQ(Read(Path("three.txt")), data);
  }
  // Two outputs that are one file, though spelt apart: neither is written.
  const Result r = Run("--method ward --output '" + Path("out.txt") + "' --merges '" + Path("sub/../out.txt") +
                       "' '" + Path("three.txt") + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the same file"), std::string::npos) << r.err;
  EXPECT_FALSE(std::ifstream(Path("out.txt")).good());
}

TEST_F(BatchToolTest, OutputsGoThroughPipesAndToStandardOutput) {
  WriteThreeObjects();
  const std::string tool = std::string("env -u DISPLAY LC_ALL=C ") + BATCH_TOOL + " --method ward ";
  const std::string data = " '" + Path("three.txt") + "'";
  // Piped, with the tool's exit status after the output.
  const auto piped = [&](const std::string& options) {
    return Shell("bash -c \"" + tool + options + data + " | cat; echo status \\${PIPESTATUS[0]}\"");
  };
  EXPECT_EQ(piped("--output -"), kThreeObjectEcho + "status 0\n");
  EXPECT_EQ(piped("--output /dev/stdout"), kThreeObjectEcho + "status 0\n");
  EXPECT_EQ(piped("--merges -"), "2\t3\t4\t0.78125\t2\n1\t4\t5\t7.15625\t3\nstatus 0\n");
  // Two outputs on standard output: each writes and closes its own handle,
  // and the second still reaches it (the linkage gives Ward's heights as
  // distances: sqrt(2 x 0.78125) = 1.25).
  EXPECT_EQ(piped("--merges - --linkage -"),
            "2\t3\t4\t0.78125\t2\n1\t4\t5\t7.15625\t3\n1\t2\t1.25\t2\n0\t3\t3.783186487605389\t3\nstatus 0\n");
  Result r = Run("--method ward --merges - --linkage - '" + Path("three.txt") + "'", "", "> /dev/null");
  EXPECT_EQ(r.status, 0) << r.err;
  // Standard output on a regular file is never truncated: both arrive in turn.
  const std::string both = "'" + Path("both.txt") + "'";
  r = Run("--method ward --merges - --linkage -" + data, "", "> " + both);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(Path("both.txt")),
            "2\t3\t4\t0.78125\t2\n1\t4\t5\t7.15625\t3\n1\t2\t1.25\t2\n0\t3\t3.783186487605389\t3\n");
  // A named output that is where standard output goes would be overwritten.
  r = Run("--method ward --merges " + both + " --linkage -" + data, "", "> " + both);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the same file"), std::string::npos) << r.err;
}

TEST_F(BatchToolTest, AnOutputThatCannotBeWrittenWholeFailsWithItsName) {
  WriteThreeObjects();
  const std::string data = " '" + Path("three.txt") + "'";
  // Standard output full, or closed.
  Result r = Run("--method ward --merges - " + data, "", ">/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "standard output: I/O エラー (112): the disk is full\n");
  // The usage and the version are written and checked the same way.
  for (const char* asked : {"--help", "--version"}) {
    r = Run(asked, "", ">/dev/full");
    EXPECT_EQ(r.status, 1) << asked;
    EXPECT_EQ(r.err, "standard output: I/O エラー (112): the disk is full\n") << asked;
  }
  r = Run("--method ward --output - " + data, "", ">&-");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("standard output: ", 0), 0u) << r.err;
  // Pictures on a full device, by their ending.
  for (const std::string name : {"full.pdf", "full.png", "full.svg"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(std::system(("ln -sf /dev/full '" + Path(name) + "'").c_str()), 0);
    r = Run("--method ward --plot '" + Path(name) + "'" + data);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(Path(name) + ": ", 0), 0u) << r.err;
  }
  // A reader that has gone: the write fails instead of ending the tool by
  // a signal.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  posix_spawn_file_actions_addclose(&actions, ends[1]);
  const std::string file = Path("three.txt");
  const char* argv[] = {BATCH_TOOL, "--method", "ward", "--merges", "-", file.c_str(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, BATCH_TOOL, &actions, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  int raw = 0;
  ASSERT_EQ(waitpid(child, &raw, 0), child);
  EXPECT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);
}

TEST_F(BatchToolTest, FontSizesAreWholePointsFromOneTo200) {
  WriteThreeObjects();
  for (const std::string size : {"0", "201", "1000", "-5", "12x", "1.5", ""}) {
    SCOPED_TRACE(size);
    const Result r = Run("--method ward --font-size '" + size + "' '" + Path("three.txt") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--font-size"), std::string::npos) << r.err;
  }
  const Result r = Run("--method ward --font-size 200 --plot '" + Path("big.png") + "' '" + Path("three.txt") + "'");
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(BatchToolTest, PicturesStayWithinWhatViewersOpen) {
  // 120 objects at 200 points: about 38,000 pixels tall as PNG, 120,000
  // dots as PDF. The PNG and the SVG are refused; the PDF is split into
  // pages, each with the heading, and every label is on exactly one page.
  WriteLine("tall.txt", 120);
  for (const char* name : {"tall.png", "tall.svg"}) {
    SCOPED_TRACE(name);
    const Result r = Run("--method ward --font-size 200 --plot '" + Path(name) + "' '" + Path("tall.txt") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("PDF"), std::string::npos) << r.err;
    EXPECT_FALSE(std::ifstream(Path(name)).good());
  }
  const Result r = Run("--method ward --font-size 200 --plot '" + Path("tall.pdf") + "' '" + Path("tall.txt") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string info = Shell("pdfinfo '" + Path("tall.pdf") + "'");
  const auto pagesAt = info.find("Pages:");
  ASSERT_NE(pagesAt, std::string::npos);
  const int pages = std::stoi(info.substr(pagesAt + 6));
  EXPECT_GE(pages, 2);
  std::map<std::string, int> seen;
  for (int page = 1; page <= pages; ++page) {
    const std::string text = Shell("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" +
                                   Path("tall.pdf") + "' -");
    EXPECT_NE(text.find("Ward法"), std::string::npos) << "page " << page;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
      if (word.size() > 1 && word[0] == 'p') ++seen[word];
    }
  }
  EXPECT_EQ(seen.size(), 120u);
  for (const auto& [label, count] : seen) EXPECT_EQ(count, 1) << label;
  // Every page within 14,400 points (200 inches) either way.
  const std::string sizes = Shell("pdfinfo -f 1 -l " + std::to_string(pages) + " '" + Path("tall.pdf") + "'");
  std::istringstream lines(sizes);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Page", 0) != 0 || line.find(" size:") == std::string::npos) continue;
    double width = 0;
    double height = 0;
    ASSERT_EQ(std::sscanf(line.substr(line.find("size:") + 5).c_str(), "%lf x %lf", &width, &height), 2) << line;
    EXPECT_LE(width, 14400);
    EXPECT_LE(height, 14400);
  }
}

TEST_F(BatchToolTest, ThePictureMakesRoomForItsWidestLabel) {
  Write("wide.txt", "2\r\n" + std::string(60, 'W') + "\r\nB\r\n1\r\n");
  const Result r = Run("--method ward --plot '" + Path("wide.svg") + "' '" + Path("wide.txt") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = Read(Path("wide.svg"));
  for (std::size_t at = svg.find("<text x=\""); at != std::string::npos; at = svg.find("<text x=\"", at + 1)) {
    EXPECT_GE(std::stoi(svg.substr(at + 9)), 0) << svg.substr(at, 60);
  }
  EXPECT_NE(svg.find(">" + std::string(60, 'W') + "</text>"), std::string::npos);
}

TEST_F(BatchToolTest, MemoryFollowsTheDataNotWhatTheFileClaims) {
  if (testing::kAddressSanitizer) GTEST_SKIP() << "the address sanitizer needs more address space than any limit";
  WriteThreeObjects();
  // Three objects in a small address space; 18 bytes that declare 10,000
  // objects fail at their first missing value, without a 10,000-object grid.
  Result r = Run("--method ward --merges - '" + Path("three.txt") + "'", "ulimit -v 400000; ");
  EXPECT_EQ(r.status, 0) << r.err;
  // What it claims is weighed against the memory at once: it fails with a
  // message, never by running out of memory.
  Write("claims.txt", "10000\r\nA\r\nB\r\n");
  r = Run("--method ward '" + Path("claims.txt") + "'", "ulimit -v 400000; ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is what ulimit -v leaves"), std::string::npos) << r.err;
}

TEST_F(BatchToolTest, EveryMethodAndEveryOutputOnTheThreeObjects) {
  WriteThreeObjects();
  const std::string data = " '" + Path("three.csv") + "'";
  Result r = Run("--method average --linkage '" + Path("l.tsv") + "' --newick '" + Path("t.nwk") + "' --cut 2 --groups '" +
                 Path("g.tsv") + "' --cophenetic '" + Path("c.txt") + "'" + data);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(Path("l.tsv")), "1\t2\t1.25\t2\n0\t3\t3.25\t3\n");
  EXPECT_EQ(Read(Path("t.nwk")), "(A:3.25,(B:1.25,C:1.25):2);\n");
  EXPECT_EQ(Read(Path("g.tsv")), "A\t1\nB\t2\nC\t2\n");
  EXPECT_EQ(Read(Path("c.txt")), "0.83862786937753464\n");  // 8 / sqrt(91)
  // Each method's last merge, in SciPy's units: A at 2.5 (single), 4
  // (complete), 3.25 (average, weighted), sqrt(10.734375) (median,
  // centroid: squares 6.25 / 2 + 16 / 2 - 1.5625 / 4) and sqrt(2 * 7.15625)
  // (Ward).
  const std::vector<std::pair<std::string, std::string>> last = {
      {"single", "2.5"},    {"complete", "4"},   {"average", "3.25"},          {"weighted", "3.25"},
      {"median", "3.276335605520289"}, {"centroid", "3.276335605520289"}, {"ward", "3.783186487605389"}};
  for (const auto& [method, height] : last) {
    r = Run("--method " + method + " --linkage -" + data);
    ASSERT_EQ(r.status, 0) << method << r.err;
    EXPECT_EQ(r.out, "1\t2\t1.25\t2\n0\t3\t" + height + "\t3\n") << method;
  }
}

TEST_F(BatchToolTest, ObservationsGiveExactSquaresAndLabelsInBothEncodings) {
  // (0, 0) and (1, 1) are sqrt(2) apart: the centroid method merges them at
  // exactly 2, the square itself, not the square of a rounded root; the
  // echo shows the distance, 1.414214.
  Write("points.csv", "name,x,y\n東京,0,0\n大阪,1,1\n");
  Result r = Run("--method centroid --observations --merges - --output '" + Path("echo.txt") + "' --newick '" +
                 Path("t.nwk") + "' '" + Path("points.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t2\t3\t2\t2\n");
  EXPECT_EQ(Read(Path("echo.txt")), "\r\n" + kHeader + "\r\n" + Cp932FromUtf8("東京      ") + "\r\n" +
                                       Cp932FromUtf8("大阪      ") + "1.414214  \r\n");
  EXPECT_EQ(Read(Path("t.nwk")), "(東京:2,大阪:2);\n");  // UTF-8, as the file was
  // The same table in code page 932, with tabs: the same UTF-8 labels.
  Write("points.tsv", Cp932FromUtf8("東京\t0\t0\n大阪\t1\t1\n"));
  r = Run("--method single --observations --newick - '" + Path("points.tsv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "(東京:1.4142135623730951,大阪:1.4142135623730951);\n");
  // A malformed table: line and column.
  Write("bad.csv", "a,1,2\nb,1\n");
  r = Run("--method ward --observations '" + Path("bad.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "line 2, column 3: missing: the rows have 2 coordinates\n");
}

TEST_F(BatchToolTest, PicturesDrawAnyLabelAndNameEveryMethod) {
  // "café" has no code page 932 form: the picture draws it from UTF-8. The
  // caption names the method in Japanese.
  Write("points.csv", "café,0,0\n東京,1,1\nz,5,5\n");
  const std::map<std::string, std::string> captions = {
      {"single", "最短距離法"}, {"complete", "最長距離法"}, {"average", "群平均法"},
      {"weighted", "重み付き群平均法"}, {"median", "メディアン法"}, {"centroid", "重心法"}, {"ward", "Ward法"}};
  for (const auto& [method, caption] : captions) {
    SCOPED_TRACE(method);
    const Result r =
        Run("--method " + method + " --observations --plot '" + Path("p.svg") + "' '" + Path("points.csv") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string svg = Read(Path("p.svg"));
    EXPECT_NE(svg.find(">café</text>"), std::string::npos);
    EXPECT_NE(svg.find(">東京</text>"), std::string::npos);
    EXPECT_NE(svg.find(">" + caption + " (own units: "), std::string::npos);
  }
}

TEST_F(BatchToolTest, StandardizingReportsAConstantColumn) {
  Write("points.csv", "a,1,5\nb,2,5\nc,4,5\n");
  const Result r = Run("--method ward --observations --standardize --merges - '" + Path("points.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("column 2"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.substr(0, 6), "1\t2\t4\t");  // a and b are nearest
}

TEST_F(BatchToolTest, ObservationsByAnotherMetric) {
  // City-block distances, by hand: a-b 3, a-c 9, b-c 6; complete linkage
  // merges a and b at 3, then c at 9. Minkowski with p = 1 is the same.
  Write("points.csv", "a,0,0\nb,1,2\nc,5,4\n");
  for (const std::string metric : {"cityblock", "manhattan", "minkowski --p 1"}) {
    SCOPED_TRACE(metric);
    const Result r = Run("--method complete --observations --metric " + metric + " --merges - '" +
                         Path("points.csv") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\t2\t4\t3\t2\n3\t4\t5\t9\t3\n");
  }
  // A metric the data leave undefined fails, naming the row as a table's
  // user counts them.
  Write("zero.csv", "a,1,2\nb,0,0\nc,5,4\n");
  Result r = Run("--method average --observations --metric cosine '" + Path("zero.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cluster-analysis-batch: row 2 is zero in every column: cosine is undefined for it\n");
  // Usage errors: the Euclidean methods, the coordinates, p without
  // minkowski, p not above 0, an unknown metric, a metric for a matrix.
  for (const char* const args :
       {"--method ward --observations --metric cityblock", "--method average --observations --metric cosine --memory-saving",
        "--method single --observations --p 3", "--method single --observations --metric minkowski --p 0",
        "--method single --observations --metric taxicab", "--method single --metric cityblock"}) {
    SCOPED_TRACE(args);
    r = Run(std::string(args) + " '" + Path("points.csv") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: cluster-analysis-batch"), std::string::npos);
  }
  r = Run("--method ward --observations --metric cityblock '" + Path("points.csv") + "'");
  EXPECT_NE(r.err.find("defined by Euclidean geometry"), std::string::npos) << r.err;
}

// The heights of --merges output, one a line.
std::vector<double> MergeHeights(const std::string& merges) {
  std::vector<double> heights;
  std::istringstream lines(merges);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string field;
    for (int k = 0; k < 4; ++k) std::getline(fields, field, '\t');
    heights.push_back(std::stod(field));
  }
  return heights;
}

TEST_F(BatchToolTest, SquareMatricesAsRAndPandasWriteThem) {
  // R writes the matrix of 12 random points with and without its corner
  // field, and its own hclust's heights; pandas writes it with an empty
  // corner.
  const std::string script =
      "set.seed(4); x <- matrix(rnorm(36), 12, dimnames = list(paste0('p', 1:12), NULL)); d <- dist(x); "
      "write.csv(as.matrix(d), '" + Path("r.csv") + "'); "
      "write.table(as.matrix(d), '" + Path("r.tsv") + "', sep = '\\t'); "
      "writeLines(format(hclust(d, 'average')\\$height, digits = 17), '" + Path("heights.txt") + "')";
  ASSERT_EQ(std::system(("Rscript -e \"" + script + "\"").c_str()), 0);
  const std::string pandas =
      "import numpy, pandas; from scipy.spatial.distance import pdist, squareform; "
      "x = numpy.random.default_rng(4).normal(size=(12, 3)); labels = ['p%d' % k for k in range(1, 13)]; "
      "pandas.DataFrame(squareform(pdist(x)), index=labels, columns=labels).to_csv('" + Path("pandas.csv") + "'); "
      "numpy.savetxt('" + Path("points.csv") + "', x, delimiter=',')";
  ASSERT_EQ(std::system(("/usr/bin/python3 -c \"" + pandas + "\"").c_str()), 0);
  std::vector<double> expected;
  std::istringstream heights(Read(Path("heights.txt")));
  for (double h; heights >> h;) expected.push_back(h);
  ASSERT_EQ(expected.size(), 11u);
  for (const char* file : {"r.csv", "r.tsv"}) {
    SCOPED_TRACE(file);
    const Result r = Run(std::string("--method average --square --merges - '") + Path(file) + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<double> ours = MergeHeights(r.out);
    ASSERT_EQ(ours.size(), expected.size());
    for (std::size_t k = 0; k < ours.size(); ++k) EXPECT_NEAR(ours[k], expected[k], 1e-12 * expected[k]);
  }
  // pandas' matrix gives the tree of the same points read as observations
  // (their distances rounded to doubles once, so the heights to 1e-12).
  Write("labelled.csv", [&] {
    std::istringstream rows(Read(Path("points.csv")));
    std::string row, table;
    for (int k = 1; std::getline(rows, row); ++k) table += "p" + std::to_string(k) + "," + row + "\n";
    return table;
  }());
  const Result square = Run("--method complete --square --merges - '" + Path("pandas.csv") + "'");
  const Result points = Run("--method complete --observations --merges - '" + Path("labelled.csv") + "'");
  ASSERT_EQ(square.status, 0) << square.err;
  ASSERT_EQ(points.status, 0) << points.err;
  const std::vector<double> a = MergeHeights(square.out);
  const std::vector<double> b = MergeHeights(points.out);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) EXPECT_NEAR(a[k], b[k], 1e-12 * b[k]);
}

TEST_F(BatchToolTest, ASquareMatrixIsCheckedAndRecognised) {
  Write("asymmetric.csv", ",a,b,c\na,0,1,2\nb,1,0,3\nc,2,3.5,0\n");
  Result r = Run("--method single --square '" + Path("asymmetric.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "line 4, column 3: 3.5, and line 3, column 4 holds 3: the matrix is not symmetric "
                   "(--square-lower takes its lower triangle)\n");
  // The lower triangle alone: c merges with a at 2, and b-c is 3.5.
  r = Run("--method complete --square-lower --merges - '" + Path("asymmetric.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t2\t4\t1\t2\n3\t4\t5\t3.5\t3\n");
  Write("diagonal.csv", ",a,b\na,0,1\nb,1,0.5\n");
  r = Run("--method single --square '" + Path("diagonal.csv") + "'");
  EXPECT_EQ(r.err, "line 3, column 3: the diagonal holds 0.5, not 0\n");
  Write("wide.csv", ",a,b\na,0,1,2\nb,1,0,2\n");
  r = Run("--method single --square '" + Path("wide.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "line 2: a square matrix of 2 objects has 2 values a row, and this has 3\n");
  // Given without --square: read as observations it draws a note; as a
  // data file, the refusal says what to give.
  Write("matrix.csv", ",a,b,c\na,0,1,2\nb,1,0,3\nc,2,3,0\n");
  r = Run("--method single --observations '" + Path("matrix.csv") + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("give --square instead of --observations"), std::string::npos) << r.err;
  r = Run("--method single '" + Path("matrix.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("for a full square matrix, --square"), std::string::npos) << r.err;
}

TEST_F(BatchToolTest, MissingValuesAreRefusedOrTakenPairwise) {
  // City-block distances over the coordinates both rows hold, scaled by 3
  // over those present, by hand: a-b 1 * 3 = 3, a-c 5 * 3/2 = 7.5, b-c
  // 6 * 3/2 = 9; complete linkage merges a and b at 3, then c at 9.
  Write("gaps.csv", "a,1,2,NA\nb,2,,4\nc,5,1,1\n");
  Result r = Run("--method complete --observations --merges - '" + Path("gaps.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "line 1, column 4: 'NA': a missing value (give --missing pairwise to compute each distance over "
                   "the coordinates both rows hold)\n");
  r = Run("--method complete --observations --missing pairwise --metric cityblock --merges - '" + Path("gaps.csv") +
          "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t2\t4\t3\t2\n3\t4\t5\t9\t3\n");
  for (const char* const args : {"--method ward --observations --missing pairwise --memory-saving",
                                 "--method single --observations --missing pairwise --metric cosine",
                                 "--method single --missing pairwise", "--method single --observations --missing some"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Run(std::string(args) + " '" + Path("gaps.csv") + "'").status, 2);
  }
}

TEST_F(BatchToolTest, DecimalTiesStayTies) {
  // b - a and c - b are both 0.1 as written; in binary floating point
  // c - b is the smaller, and a and b would not merge first.
  Write("points.csv", "a,0.1\nb,0.2\nc,0.3\n");
  for (const char* const metric : {"euclidean", "cityblock", "chebyshev", "sqeuclidean"}) {
    SCOPED_TRACE(metric);
    const Result r = Run(std::string("--method single --observations --metric ") + metric + " --merges - '" +
                         Path("points.csv") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 6), "1\t2\t4\t");
    EXPECT_NE(r.out.find("\n3\t4\t5\t"), std::string::npos) << r.out;
  }
}

TEST_F(BatchToolTest, GowerTakesCategoriesAndMissingValues) {
  // By hand: size's range is 2 and grade's 0 (its terms 0); a-b
  // (2/2 + 1 + 0) / 3, a-c (colour and grade only) 0, b-c (1 + 0) / 2.
  Write("mixed.csv", "name,size,colour,grade\na,1,red,1\nb,3,blue,1\nc,,red,1\n");
  Result r = Run("--method single --observations --metric gower --merges - '" + Path("mixed.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t3\t4\t0\t2\n2\t4\t5\t0.5\t3\n");
  // The grade column named categorical makes 1, 3 and 2 merely different.
  Write("graded.csv", "name,size,grade\na,1,1\nb,2,3\nc,3,2\n");
  r = Run("--method complete --observations --metric gower --categorical grade --merges - '" + Path("graded.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  // a-b (1/2 + 1) / 2 = 0.75, a-c (1 + 1) / 2 = 1, b-c (1/2 + 1) / 2 = 0.75.
  EXPECT_EQ(r.out, "1\t2\t4\t0.75\t2\n3\t4\t5\t1\t3\n");
  // The same table as R writes it, its header without a corner: the names
  // are still the coordinates'.
  Write("graded.tsv", "size\tgrade\na\t1\t1\nb\t2\t3\nc\t3\t2\n");
  r = Run("--method complete --observations --metric gower --categorical grade --merges - '" + Path("graded.tsv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t2\t4\t0.75\t2\n3\t4\t5\t1\t3\n");
  r = Run("--method single --observations --metric gower --categorical weight '" + Path("graded.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("'weight' names no coordinate column"), std::string::npos) << r.err;
  EXPECT_EQ(Run("--method single --observations --categorical grade '" + Path("graded.csv") + "'").status, 2);
}

TEST_F(BatchToolTest, ATableAsRWritesItWithItsRowNames) {
  // write.table(x, sep = "\t") names the columns but not the corner.
  Write("r.tsv", "x\ty\n\"a\"\t0\t0\n\"b\"\t3\t4\n");
  Result r = Run("--method single --observations --merges - '" + Path("r.tsv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\t2\t3\t5\t2\n");
  // A table of coordinates only: read with labels, its first column is
  // taken as them, with a warning; --no-labels takes it as a coordinate.
  Write("plain.csv", "x,y\n0,0\n3,4\n0,1\n");
  r = Run("--method single --observations --merges - '" + Path("plain.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("the first column ('x') holds only numbers and was taken as the labels; give --no-labels"),
            std::string::npos) << r.err;
  r = Run("--method single --observations --no-labels --merges - '" + Path("plain.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // sqrt(18) rounded to 80 bits, as NumPy's longdouble gives it.
  EXPECT_EQ(r.out, "1\t3\t4\t1\t2\n2\t4\t5\t4.24264068711928514629\t3\n");
  Write("one.csv", "5\n1\nx\n");
  r = Run("--method single --observations --no-labels '" + Path("one.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "line 3, column 1: 'x' is not a number\n");
}

TEST_F(BatchToolTest, WrongCombinationsAreUsageErrorsAndWriteNothing) {
  WriteThreeObjects();
  const std::string data = " '" + Path("three.txt") + "'";
  const std::string out = " --output '" + Path("out.txt") + "'";
  for (const std::string& args :
       {"--method upgma" + data, "--method average --cut 2" + data, "--method average --groups -" + data,
        "--method average --cut 0 --groups -" + data, "--method average --cut 4 --groups -" + out + data,
        "--method average --cut 2 --cut-height 1 --groups -" + data, "--method ward --standardize" + data,
        "--method ward --tsv" + data, "--method average --cut-height x --groups -" + out + data}) {
    SCOPED_TRACE(args);
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: cluster-analysis-batch"), std::string::npos);
    EXPECT_FALSE(std::ifstream(Path("out.txt")).good());
  }
}

TEST_F(BatchToolTest, PictureOptionsNeedWhatTheyDraw) {
  WriteThreeObjects();
  const std::string data = " '" + Path("three.txt") + "'";
  const std::string plot = " --plot '" + Path("p.svg") + "'";
  const std::vector<std::pair<std::string, std::string>> wrong = {
      {"--orientation sideways" + plot, "--orientation takes left, right, top or bottom"},
      {"--orientation top", "--orientation needs --plot FILE"},
      {"--truncate 1" + plot, "--truncate K takes a whole number of leaves, at least 2"},
      {"--truncate 5", "--truncate needs --plot FILE"},
      {"--plot-units metres" + plot, "--plot-units takes own or scipy"},
      {"--color-threshold 1 --cut 2" + plot, "--color-threshold and --cut cannot both be given"},
      {"--color-threshold 1", "--color-threshold needs --plot FILE or --heatmap FILE"},
      {"--color-threshold high" + plot, "--color-threshold takes a number, not 'high'"},
      {"--leaf-order best --order -", "--leaf-order takes tree or optimal"},
      {"--heatmap '" + Path("h.png") + "'", "--heatmap needs --observations"},
      {"--heatmap-scale column", "--heatmap-scale needs --heatmap FILE"},
      {"--observations --heatmap '" + Path("h.jpg") + "'", "--heatmap FILE must end in .pdf, .svg or .png"},
  };
  for (const auto& [args, message] : wrong) {
    SCOPED_TRACE(args);
    const Result r = Run("--method average " + args + data);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(std::ifstream(Path("p.svg")).good());
  }
}

// How many times `part` occurs in `text`.
std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(BatchToolTest, PlotsGroupsInColourTruncatedAndTurned) {
  WriteLine("forty.txt", 40);
  const std::string data = " '" + Path("forty.txt") + "'";
  // A cut into 3: the first three Okabe-Ito colours, grey above, one dashed
  // line; a cut alone (no --groups) is for the picture.
  Result r = Run("--method average --cut 3 --plot '" + Path("cut.svg") + "'" + data);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string svg = Read(Path("cut.svg"));
  for (const char* colour : {"#e69f00", "#56b4e9", "#009e73", "#999999"}) {
    EXPECT_NE(svg.find("stroke=\"" + std::string(colour) + "\""), std::string::npos) << colour;
  }
  EXPECT_EQ(svg.find("#0072b2"), std::string::npos);  // no fourth group
  EXPECT_EQ(Count(svg, "stroke-dasharray"), 1u);
  // Objects at i^2: single linkage joins them one by one, p40 last. Truncated
  // to 6 leaves: the cluster of p1..p35, labelled by its size, and p36..p40.
  std::string squares = "40\r\n";
  for (int i = 1; i <= 40; ++i) squares += "p" + std::to_string(i) + "\r\n";
  for (int i = 2; i <= 40; ++i) {
    for (int j = 1; j < i; ++j) squares += std::to_string(i * i - j * j) + "\r\n";
  }
  Write("squares.txt", squares);
  r = Run("--method single --truncate 6 --plot '" + Path("cut.svg") + "' '" + Path("squares.txt") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  svg = Read(Path("cut.svg"));
  EXPECT_NE(svg.find(">(35)</text>"), std::string::npos);
  EXPECT_EQ(svg.find(">p1</text>"), std::string::npos);
  for (int i = 36; i <= 40; ++i) EXPECT_NE(svg.find(">p" + std::to_string(i) + "</text>"), std::string::npos) << i;
  // Leaves on top: upright labels.
  r = Run("--method single --orientation top --plot '" + Path("cut.svg") + "'" + data);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Count(Read(Path("cut.svg")), "rotate(-90)\""), 40u);
}

TEST_F(BatchToolTest, DrawsAClusteredHeatMapOfATable) {
  Write("t.csv", "name,x,y,z\na,1,2,3\nb,1.1,2,3.2\nc,9,8,1\nd,9.5,8,1\ne,5,5,5\nf,5,5.2,5\n");
  const Result r = Run("--method average --observations --cut 2 --heatmap-columns cluster --heatmap-scale column "
                       "--heatmap '" + Path("h.svg") + "' --leaf-order optimal --order - '" + Path("t.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string svg = Read(Path("h.svg"));
  // The page, 18 cells, 6 of the groups' bar and the legend's 100 steps.
  EXPECT_EQ(Count(svg, "<rect "), 1u + 18 + 6 + 100);
  EXPECT_NE(svg.find(">z-score</text>"), std::string::npos);
  // The rows' labels come down the grid in the order --order writes.
  std::size_t at = 0;
  for (std::size_t line = 0, end; (end = r.out.find('\n', line)) != std::string::npos; line = end + 1) {
    const std::size_t found = svg.find(">" + r.out.substr(line, end - line) + "</text>", at);
    ASSERT_NE(found, std::string::npos) << r.out.substr(line, end - line);
    at = found;
  }
  EXPECT_EQ(Run("--method average --observations --heatmap '" + Path("h.png") + "' '" + Path("t.csv") + "'").status, 0);
  EXPECT_EQ(Read(Path("h.png")).substr(1, 3), "PNG");
  // Gower's table keeps a missing value and a category as NaN: its columns
  // cluster over what each pair holds.
  Write("g.csv", "name,size,colour,w\na,1,red,2\nb,,blue,3\nc,3,red,1\nd,8,green,5\n");
  const Result gower = Run("--method average --observations --metric gower --heatmap-columns cluster --heatmap '" +
                           Path("g.svg") + "' '" + Path("g.csv") + "'");
  EXPECT_EQ(gower.status, 0) << gower.err;
  // Standardized, a constant column is left out, and so is its name.
  Write("s.csv", "name,x,flat,z\na,1,7,0\nb,2,7,0\nc,3,7,6\n");
  ASSERT_EQ(Run("--method average --observations --standardize --heatmap '" + Path("s.svg") + "' '" + Path("s.csv") + "'")
                .status,
            0);
  const std::string standardized = Read(Path("s.svg"));
  EXPECT_NE(standardized.find(">z</text>"), std::string::npos);
  EXPECT_EQ(standardized.find(">flat</text>"), std::string::npos);
}

// Random observations without ties: n rows of `columns` normal coordinates.
std::string RandomTable(int n, int columns, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> coordinate(0, 1);
  std::string table;
  char number[40];
  for (int r = 0; r < n; ++r) {
    table += "o" + std::to_string(r);
    for (int c = 0; c < columns; ++c) {
      std::snprintf(number, sizeof number, ",%.17g", coordinate(random));
      table += number;
    }
    table += '\n';
  }
  return table;
}

TEST_F(BatchToolTest, SingleLinkageByAnyMetricWithoutTheMatrix) {
  // The spanning tree over the same dissimilarities: the same merges and
  // heights as on the matrix (random values: no ties), and the same echo
  // and cophenetic correlation, read row by row.
  Write("points.csv", RandomTable(120, 3, 16));
  Write("gaps.csv", "a,1,2,NA\nb,2,,4\nc,5,1,1\nd,0,3,2\n");
  for (const std::string& args : {std::string("--metric cosine '") + Path("points.csv") + "'",
                                  std::string("--metric mahalanobis '") + Path("points.csv") + "'",
                                  std::string("--missing pairwise '") + Path("gaps.csv") + "'"}) {
    SCOPED_TRACE(args);
    const std::string outputs = " --merges - --cophenetic '" + Path("c.txt") + "' --output '" + Path("e.txt") + "' ";
    const Result matrix = Run("--method single --observations --matrix" + outputs + args);
    ASSERT_EQ(matrix.status, 0) << matrix.err;
    const std::string echo = Read(Path("e.txt"));
    const std::string cophenetic = Read(Path("c.txt"));
    const Result tree = Run("--method single --observations --memory-saving" + outputs + args);
    ASSERT_EQ(tree.status, 0) << tree.err;
    EXPECT_EQ(tree.out, matrix.out);
    EXPECT_EQ(Read(Path("e.txt")), echo);
    EXPECT_EQ(Read(Path("c.txt")), cophenetic);
  }
}

TEST_F(BatchToolTest, FromCoordinatesTheSameMergesAsFromTheMatrix) {
  Write("points.csv", RandomTable(300, 4, 15));
  for (const char* method : {"ward", "centroid", "median", "single"}) {
    SCOPED_TRACE(method);
    const Result matrix = Run(std::string("--method ") + method + " --observations --matrix --merges - '" +
                              Path("points.csv") + "'");
    const Result coordinates = Run(std::string("--method ") + method + " --observations --memory-saving --merges - '" +
                                   Path("points.csv") + "'");
    ASSERT_EQ(matrix.status, 0) << matrix.err;
    ASSERT_EQ(coordinates.status, 0) << coordinates.err;
    std::istringstream a(matrix.out);
    std::istringstream b(coordinates.out);
    int merges = 0;
    for (std::string x, y; std::getline(a, x) && std::getline(b, y); ++merges) {
      int l1, r1, id1, m1, l2, r2, id2, m2;
      long double h1, h2;
      ASSERT_EQ(std::sscanf(x.c_str(), "%d\t%d\t%d\t%Lg\t%d", &l1, &r1, &id1, &h1, &m1), 5);
      ASSERT_EQ(std::sscanf(y.c_str(), "%d\t%d\t%d\t%Lg\t%d", &l2, &r2, &id2, &h2, &m2), 5);
      ASSERT_EQ(std::make_tuple(l1, r1, id1, m1), std::make_tuple(l2, r2, id2, m2)) << "merge " << merges + 1;
      EXPECT_LE(std::fabs(h1 - h2), 1e-12L * std::fabs(h1)) << "merge " << merges + 1;
    }
    EXPECT_EQ(merges, 299);
  }
  // The methods with no such formula are refused it.
  const Result average = Run("--method average --observations --memory-saving '" + Path("points.csv") + "'");
  EXPECT_EQ(average.status, 2);
}

TEST_F(BatchToolTest, BeyondTheMatrixMemoryTheCoordinatesAreUsed) {
  if (testing::kAddressSanitizer) GTEST_SKIP() << "the address sanitizer needs more address space than any limit";
  // 5500 observations: their matrix needs about 700 MB, more than 586 MB of
  // address space leaves; from the coordinates Ward's method needs little.
  Write("many.csv", RandomTable(5500, 2, 16));
  const std::string limit = "ulimit -v 600000; ";
  Result r = Run("--method ward --observations --timings --quiet --cut 3 --groups '" + Path("g.tsv") + "' '" +
                     Path("many.csv") + "'",
                 limit);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("distances"), std::string::npos) << "no matrix was made:\n" << r.err;
  const std::string groups = Read(Path("g.tsv"));
  EXPECT_EQ(std::count(groups.begin(), groups.end(), '\n'), 5500);
  // A method that needs the matrix is refused, naming those that would not.
  r = Run("--method complete --observations '" + Path("many.csv") + "'", limit);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("only single, median, centroid and ward"), std::string::npos) << r.err;
  // So is the matrix when it is insisted on.
  r = Run("--method ward --observations --matrix '" + Path("many.csv") + "'", limit);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is what ulimit -v leaves"), std::string::npos) << r.err;
}

TEST(BatchOptionsTest, CsvByEndingAndRequiredParts) {
  std::string error;
  auto options = ParseBatchOptions({"--method", "centroid", "data.CSV"}, error);
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->csv);
  EXPECT_EQ(options->fontSize, "12");
  options = ParseBatchOptions({"--font-size", "9", "--method", "ward", "d.txt"}, error);
  ASSERT_TRUE(options);
  EXPECT_FALSE(options->csv);
  EXPECT_EQ(options->fontSize, "9");
  EXPECT_FALSE(ParseBatchOptions({"--method", "ward", "a", "b"}, error));
  EXPECT_EQ(error, "more than one DATA_FILE given");
  EXPECT_FALSE(ParseBatchOptions({"--method", "Ward", "a"}, error));
  EXPECT_FALSE(ParseBatchOptions({"--output"}, error));
  EXPECT_EQ(error, "--output needs a value");
  options = ParseBatchOptions({"--version"}, error);
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->version);
  EXPECT_FALSE(options->help);
}

TEST_F(BatchToolTest, ATableOfObservationsIsNotReadAsAMatrix) {
  // As R's write.csv(iris[1:5, 1:4]) writes it.
  Write("iris.csv",
        "\"\",\"Sepal.Length\",\"Sepal.Width\",\"Petal.Length\",\"Petal.Width\"\n\"1\",5.1,3.5,1.4,0.2\n"
        "\"2\",4.9,3,1.4,0.2\n\"3\",4.7,3.2,1.3,0.2\n\"4\",4.6,3.1,1.5,0.2\n\"5\",5,3.6,1.4,0.2\n");
  Result r = Run("--method average --merges '" + Path("m.tsv") + "' '" + Path("iris.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("line 2: 4 values where row 1"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--observations"), std::string::npos) << r.err;
  EXPECT_FALSE(std::ifstream(Path("m.tsv")).good());
  // The same rows after a first line without values: refused where a row
  // first holds too many.
  Write("later.csv", ",A,B,C\nA\nB,2.5,7\nC,4,1.25\n");
  r = Run("--method average --merges - '" + Path("later.csv") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("line 3: 2 values where row 2"), std::string::npos) << r.err;
  // Empty fields after a row's values are no values: a spreadsheet's square.
  Write("padded.csv", ",A,B,C\nA,,,\nB,2.5,,\nC,4,1.25,\n");
  r = Run("--method average --merges - '" + Path("padded.csv") + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "2\t3\t4\t1.25\t2\n1\t4\t5\t3.25\t3\n");
}

TEST_F(BatchToolTest, NothingToClusterIsSaidBeforeAnyOutput) {
  Write("header.csv", "name,x,y\n");
  Write("one.csv", "a,1,2\n");
  Write("constant.csv", "a,1,2\nb,1,2\nc,1,2\n");
  const std::string outputs = " --output '" + Path("out.txt") + "' --merges '" + Path("m.tsv") + "' ";
  struct Case {
    std::string args;
    std::string message;
  };
  for (const Case& c : {Case{"--observations '" + Path("header.csv") + "'", "the data hold 0 observations"},
                        Case{"--observations '" + Path("one.csv") + "'", "the data hold 1 observation,"},
                        Case{"--observations --standardize '" + Path("constant.csv") + "'",
                             "every coordinate column is the same in every row"}}) {
    SCOPED_TRACE(c.args);
    const Result r = Run("--method ward" + outputs + c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(std::ifstream(Path("out.txt")).good());
    EXPECT_FALSE(std::ifstream(Path("m.tsv")).good());
  }
}

TEST_F(BatchToolTest, OutputsThroughLinksAndTheDataNamedDash) {
  WriteThreeObjects();
  // A link to a file not yet made is that file: two outputs on it would
  // keep one.
  ASSERT_EQ(std::system(("ln -s t.tsv '" + Path("d.tsv") + "'").c_str()), 0);
  Result r = Run("--method ward --merges '" + Path("d.tsv") + "' --linkage '" + Path("t.tsv") + "' '" +
                 Path("three.txt") + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the same file"), std::string::npos) << r.err;
  EXPECT_FALSE(std::ifstream(Path("t.tsv")).good());
  // A data file named "-" is the file of that name, and no output may be it.
  ASSERT_EQ(std::system(("cp '" + Path("three.txt") + "' '" + Path("-") + "'").c_str()), 0);
  r = Run("--method ward --merges ./- -", "cd '" + dir_ + "' && ");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("is the data file"), std::string::npos) << r.err;
  EXPECT_EQ(Read(Path("-")), Read(Path("three.txt")));
  r = Run("--method ward --merges - -", "cd '" + dir_ + "' && ");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "2\t3\t4\t0.78125\t2\n1\t4\t5\t7.15625\t3\n");
}

TEST_F(BatchToolTest, HeightsInSciPyUnitsWhenAsked) {
  WriteThreeObjects();
  const std::string data = " '" + Path("three.txt") + "'";
  // Ward: own heights 0.78125 and 7.15625, SciPy's 1.25 and
  // sqrt(14.3125) = 3.7831864876053889817...
  Result r = Run("--method ward --units scipy --merges - --cut-height 1 --groups '" + Path("g.tsv") + "'" + data);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "2\t3\t4\t1.25\t2");
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1, 26), "1\t4\t5\t3.783186487605388981");
  EXPECT_EQ(Read(Path("g.tsv")), "A\t1\nB\t2\nC\t3\n");  // 1.25 lies above 1
  r = Run("--method ward --cut-height 1 --groups -" + data);
  EXPECT_EQ(r.out, "A\t1\nB\t2\nC\t2\n");  // 0.78125 does not
  EXPECT_EQ(Run("--method ward --units metres" + data).status, 2);
}

TEST_F(BatchToolTest, CoordinatesBeyondADoubleSquaredGiveNoInfinity) {
  // Ward's own heights here pass 1.8e308; SciPy's (distances) do not.
  Write("huge.csv", "A,1.3e154,0\nB,2.6e154,0\nC,0,3e154\n");
  const Result r = Run("--method ward --observations --newick - --linkage - '" + Path("huge.csv") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("inf"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "0\t1\t1.3e+154\t2");
}

TEST_F(BatchToolTest, LargeTreesAsPicturesSpreadOverThePage) {
  WriteLine("line.txt", 700);
  ASSERT_EQ(Run("--method single --plot '" + Path("line.svg") + "' '" + Path("line.txt") + "'").status, 0);
  // Every merge of a line of 700 objects at 1 stands at one x; the axis runs
  // from the origin to the root, hundreds of pixels to its right.
  const std::string svg = Read(Path("line.svg"));
  std::regex line("<line x1=\"(-?[0-9]+)\" y1=\"(-?[0-9]+)\" x2=\"(-?[0-9]+)\" y2=\"(-?[0-9]+)\"/>");
  int least = 1 << 30;
  int most = -(1 << 30);
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), line); it != std::sregex_iterator(); ++it) {
    least = std::min({least, std::stoi((*it)[1]), std::stoi((*it)[3])});
    most = std::max({most, std::stoi((*it)[1]), std::stoi((*it)[3])});
  }
  EXPECT_GT(most - least, 400) << least << " to " << most;
}

TEST_F(BatchToolTest, ReadingAWideTableIsWeighedAgainstTheMemory) {
  if (testing::kAddressSanitizer) GTEST_SKIP() << "ulimit -v and the sanitizer's shadow memory do not mix";
  // Two rows of 12 million coordinates: 48 MB of text, 384 MB of values.
  std::string row;
  row.reserve(24 << 20);
  for (int k = 0; k < 12000000; ++k) row += ",1";
  Write("wide.csv", "a" + row + "\nb" + row + "\n");
  const Result r = Run("--method single --observations --merges - '" + Path("wide.csv") + "'", "ulimit -v 300000; ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the table's values need another"), std::string::npos) << r.err;
  const Result fits = Run("--method single --observations --merges - '" + Path("wide.csv") + "'");
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_EQ(fits.out, "1\t2\t3\t0\t2\n");
}

}  // namespace
}  // namespace cluster
