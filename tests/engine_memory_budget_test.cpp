// The room a run may take under control groups, read from a folder laid
// out as /proc and /sys/fs/cgroup are.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "engine/memory_budget.h"
#include "tests/scratch_dir.h"

namespace cluster {
namespace {

using testing::ScratchDir;

constexpr std::uint64_t kNone = std::numeric_limits<std::uint64_t>::max();

class ControlGroupTest : public ::testing::Test {
 protected:
  void File(const std::string& path, const std::string& text) {
    const std::filesystem::path file = dir.Path("root") + path;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }
  std::uint64_t Room() { return ControlGroupRoom(dir.Path("root")); }
  ScratchDir dir;
};

TEST_F(ControlGroupTest, VersionTwoTakesTheLeastAlongThePath) {
  File("/proc/self/cgroup", "0::/user.slice/job\n");
  File("/sys/fs/cgroup/memory.max", "max\n");
  File("/sys/fs/cgroup/user.slice/memory.max", "2000000000\n");
  File("/sys/fs/cgroup/user.slice/memory.current", "1500000000\n");
  File("/sys/fs/cgroup/user.slice/job/memory.max", "900000000\n");
  File("/sys/fs/cgroup/user.slice/job/memory.current", "100000000\n");
  // The child leaves 800 MB, its parent 500 MB: the parent decides.
  EXPECT_EQ(Room(), 500000000u);
  File("/sys/fs/cgroup/user.slice/memory.max", "max\n");
  EXPECT_EQ(Room(), 800000000u);
}

TEST_F(ControlGroupTest, VersionOneReadsTheMemoryHierarchy) {
  File("/proc/self/cgroup", "12:cpu,cpuacct:/batch\n7:memory:/batch/run\n0::/\n");
  File("/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n");  // v1's "no limit"
  File("/sys/fs/cgroup/memory/batch/run/memory.limit_in_bytes", "900000000\n");
  File("/sys/fs/cgroup/memory/batch/run/memory.usage_in_bytes", "300000000\n");
  EXPECT_EQ(Room(), 600000000u);
  // A group over its limit leaves nothing.
  File("/sys/fs/cgroup/memory/batch/run/memory.usage_in_bytes", "950000000\n");
  EXPECT_EQ(Room(), 0u);
}

TEST_F(ControlGroupTest, NoLimitAnywhereIsNoLimit) {
  EXPECT_EQ(Room(), kNone);  // not even /proc/self/cgroup
  File("/proc/self/cgroup", "0::/docker/abc\n");  // a group the mount does not show
  File("/sys/fs/cgroup/memory.max", "max\n");
  EXPECT_EQ(Room(), kNone);
}

}  // namespace
}  // namespace cluster
