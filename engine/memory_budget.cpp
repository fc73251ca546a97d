#include "engine/memory_budget.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "engine/coordinates/coordinate_clustering.h"
#include "engine/leaf_order.h"
#include "engine/matrix/analysis_store.h"

namespace cluster {

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();
// What a run needs beside its data: its threads' stacks and memory pools (a
// thread's pool reserves 64 MB of address space) and its small allocations.
// The program itself is not counted: what it has mapped already is what the
// limits are read against.
constexpr std::uint64_t kProgramBytes = std::uint64_t{96} << 20;

// The number after `key` in a "key: value kB" file (/proc/meminfo,
// /proc/self/status), in bytes; nothing when absent.
std::uint64_t KilobytesField(const char* path, const std::string& key) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, key.size(), key) == 0) {
      std::istringstream fields(line.substr(key.size()));
      std::uint64_t kilobytes = 0;
      if (fields >> kilobytes) return kilobytes * 1024;
    }
  }
  return kUnlimited;
}

// A control-group file holding a number, or "max".
std::uint64_t NumberIn(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text) || text == "max") return kUnlimited;
  try {
    return std::stoull(text);
  } catch (const std::exception&) {
    return kUnlimited;
  }
}

// The folders from a control group up to its hierarchy's root: "/a/b"
// gives "/a/b", "/a" and "".
std::vector<std::string> GroupAndAncestors(std::string group) {
  std::vector<std::string> paths;
  while (!group.empty() && group.back() == '/') group.pop_back();
  for (;;) {
    paths.push_back(group);
    if (group.empty()) return paths;
    const auto slash = group.find_last_of('/');
    group.erase(slash == std::string::npos ? 0 : slash);
  }
}

// The least room (limit less usage) along the path of `group` in one
// hierarchy mounted at `mount`. A level whose files are missing (a group
// named from outside a container, whose mount shows only its own) has no
// say. Limits of 2^60 or more are v1's way of saying none.
std::uint64_t LeastRoomAlong(const std::string& mount, const std::string& group, const char* limitFile,
                             const char* usageFile) {
  std::uint64_t least = kUnlimited;
  for (const std::string& level : GroupAndAncestors(group)) {
    const std::uint64_t limit = NumberIn(mount + level + "/" + limitFile);
    if (limit == kUnlimited || limit >= (std::uint64_t{1} << 60)) continue;
    const std::uint64_t usage = NumberIn(mount + level + "/" + usageFile);
    least = std::min(least, usage == kUnlimited || usage >= limit ? 0 : limit - usage);
  }
  return least;
}

}  // namespace

std::uint64_t ControlGroupRoom(const std::string& root) {
  std::ifstream self(root + "/proc/self/cgroup");
  std::uint64_t least = kUnlimited;
  // Each line is "id:controllers:path": v2's single hierarchy has id 0 and
  // no controllers; v1 names "memory" among a hierarchy's controllers.
  for (std::string line; std::getline(self, line);) {
    const auto first = line.find(':');
    const auto second = first == std::string::npos ? std::string::npos : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
    const std::string group = line.substr(second + 1);
    if (line.compare(0, first, "0") == 0 && controllers == ",,") {
      least = std::min(least, LeastRoomAlong(root + "/sys/fs/cgroup", group, "memory.max", "memory.current"));
    } else if (controllers.find(",memory,") != std::string::npos) {
      least = std::min(least, LeastRoomAlong(root + "/sys/fs/cgroup/memory", group, "memory.limit_in_bytes",
                                             "memory.usage_in_bytes"));
    }
  }
  return least;
}

namespace {

std::uint64_t AddressSpaceRoom() {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  const std::uint64_t mapped = KilobytesField("/proc/self/status", "VmSize:");
  const std::uint64_t allowed = limit.rlim_cur;
  return mapped == kUnlimited || mapped >= allowed ? 0 : allowed - mapped;
}

}  // namespace

MemoryLimit UsableMemory() {
  MemoryLimit limit{KilobytesField("/proc/meminfo", "MemAvailable:"), "available memory"};
  const std::uint64_t group = ControlGroupRoom("");
  if (group < limit.bytes) limit = {group, "the control group's limit"};
  const std::uint64_t address = AddressSpaceRoom();
  if (address < limit.bytes) limit = {address, "ulimit -v"};
  return limit;
}

std::uint64_t MatrixRunNeeds(std::int64_t objects, std::uint8_t method, CapturedValues captured) {
  const std::uint64_t run = AnalysisStore::RunBytes(objects, method, captured);
  return run > kUnlimited - kProgramBytes ? kUnlimited : run + kProgramBytes;
}

std::uint64_t CoordinateRunNeeds(std::int64_t objects, std::int64_t columns) {
  const auto table = static_cast<std::uint64_t>(std::max<std::int64_t>(objects, 0)) *
                     static_cast<std::uint64_t>(std::max<std::int64_t>(columns, 1)) * sizeof(long double);
  return table + CoordinateRunBytes(objects, columns) + kProgramBytes;
}

bool MatrixFits(std::int64_t objects, std::uint8_t method) {
  return MatrixRunNeeds(objects, method) <= UsableMemory().bytes;
}

void CheckMatrixFits(std::int64_t objects, std::uint8_t method, const std::string& extra,
                     CapturedValues captured) {
  const std::uint64_t needed = MatrixRunNeeds(objects, method, captured);
  const MemoryLimit usable = UsableMemory();
  if (needed > usable.bytes) {
    throw EMemoryRefused("the dissimilarity matrix of " + std::to_string(objects) + " objects needs about " +
                         MemoryText(needed) + ", and " + MemoryText(usable.bytes) + " is what " + usable.what +
                         " leaves" + extra);
  }
}

void CheckCoordinatesFit(std::int64_t objects, std::int64_t columns) {
  const std::uint64_t needed = CoordinateRunNeeds(objects, columns);
  const MemoryLimit usable = UsableMemory();
  if (needed > usable.bytes) {
    throw EMemoryRefused(std::to_string(objects) + " observations need about " + MemoryText(needed) +
                         " even without their matrix, and " + MemoryText(usable.bytes) + " is what " + usable.what +
                         " leaves");
  }
}

void CheckLeafOrderFits(std::int64_t objects) {
  const std::uint64_t needed = LeafOrderBytes(objects);
  const MemoryLimit usable = UsableMemory();
  if (needed > usable.bytes) {
    throw EMemoryRefused("the optimal leaf order of " + std::to_string(objects) + " objects needs about " +
                         MemoryText(needed) + ", and " + MemoryText(usable.bytes) + " is what " + usable.what +
                         " leaves");
  }
}

void CheckTableGrowth(std::uint64_t bytes) {
  const MemoryLimit usable = UsableMemory();
  if (bytes > usable.bytes) {
    throw EMemoryRefused("the table's values need another " + MemoryText(bytes) + " as it is read, and " +
                         MemoryText(usable.bytes) + " is what " + usable.what + " leaves");
  }
}

std::string MemoryText(std::uint64_t bytes) {
  char text[32];
  const double megabytes = static_cast<double>(bytes) / (1 << 20);
  if (megabytes >= 1024) {
    std::snprintf(text, sizeof text, "%.1f GB", megabytes / 1024);
  } else {
    std::snprintf(text, sizeof text, "%.0f MB", megabytes);
  }
  return text;
}

}  // namespace cluster
