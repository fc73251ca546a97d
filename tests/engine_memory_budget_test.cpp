// The room a run may take under control groups, read from a folder laid
// out as /proc and /sys/fs/cgroup are.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
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
  // Writes each file (path, text) under the fake root.
  void Files(std::initializer_list<std::pair<std::string, std::string>> files) {
    for (const auto& [path, text] : files) {
      const std::filesystem::path file = dir.Path("root") + path;
      std::filesystem::create_directories(file.parent_path());
      std::ofstream(file) << text;
    }
  }
  std::uint64_t Room() { return ControlGroupRoom(dir.Path("root")); }
  ScratchDir dir;
};

TEST_F(ControlGroupTest, TheLeastRoomAlongThePathDecides) {
  // cgroup v2: the child leaves 800 MB, its parent 500 MB.
  Files({{"/proc/self/cgroup", "0::/user.slice/job\n"},
         {"/sys/fs/cgroup/memory.max", "max\n"},
         {"/sys/fs/cgroup/user.slice/memory.max", "2000000000\n"},
         {"/sys/fs/cgroup/user.slice/memory.current", "1500000000\n"},
         {"/sys/fs/cgroup/user.slice/job/memory.max", "900000000\n"},
         {"/sys/fs/cgroup/user.slice/job/memory.current", "100000000\n"}});
  const std::uint64_t parentDecides = Room();
  Files({{"/sys/fs/cgroup/user.slice/memory.max", "max\n"}});
  const std::uint64_t childDecides = Room();
  // cgroup v1: the memory hierarchy (the root's huge number is v1's "no
  // limit"); a group over its limit leaves nothing.
  Files({{"/proc/self/cgroup", "12:cpu,cpuacct:/batch\n7:memory:/batch/run\n0::/\n"},
         {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
         {"/sys/fs/cgroup/memory/batch/run/memory.limit_in_bytes", "900000000\n"},
         {"/sys/fs/cgroup/memory/batch/run/memory.usage_in_bytes", "300000000\n"}});
  const std::uint64_t versionOne = Room();
  Files({{"/sys/fs/cgroup/memory/batch/run/memory.usage_in_bytes", "950000000\n"}});
  EXPECT_EQ(parentDecides, 500000000u);
  EXPECT_EQ(childDecides, 800000000u);
  EXPECT_EQ(versionOne, 600000000u);
  EXPECT_EQ(Room(), 0u);
}

TEST_F(ControlGroupTest, NoLimitAnywhereIsNoLimit) {
  EXPECT_EQ(Room(), kNone);  // not even /proc/self/cgroup
  // A group the mount does not show.
  Files({{"/proc/self/cgroup", "0::/docker/abc\n"}, {"/sys/fs/cgroup/memory.max", "max\n"}});
  EXPECT_EQ(Room(), kNone);
}

}  // namespace
}  // namespace cluster
