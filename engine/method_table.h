// The methods the engine knows, one row each.
//
// Every part of the program that needs to know something of a method reads
// it here: its name (the batch tool's --method, the library's and the
// bindings' argument), its caption on a picture, what the set-up makes of a
// dissimilarity d, the units SciPy gives its heights in, whether it is
// defined by Euclidean geometry, and whether the coordinate path can run it.
// What a row cannot hold is its update rule, which the matrix path's passes
// inline (engine/update_rules.h, and its case in agglomerate.cpp). Adding a
// method is a row, its rule and its tests.
//
// Each method keeps the selector value (DistType) it has always had: the
// desktop program's two are 0 and 1, and its store refuses the others.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace cluster {

// DistType values.
inline constexpr std::uint8_t kCentroidMethod = 0;   // squared distances of centroids
inline constexpr std::uint8_t kWardMethod = 1;       // increase of the sum of squares
inline constexpr std::uint8_t kSingleLinkage = 2;    // the least dissimilarity
inline constexpr std::uint8_t kCompleteLinkage = 3;  // the greatest dissimilarity
inline constexpr std::uint8_t kAverageLinkage = 4;   // UPGMA: the mean over all pairs
inline constexpr std::uint8_t kWeightedLinkage = 5;  // WPGMA: the mean of the two merged
inline constexpr std::uint8_t kMedianMethod = 6;     // Gower's weighted centroid, squared

// What the set-up makes of a dissimilarity d: the centroid and median
// methods work on d^2, Ward's on d^2 / 2, the linkages on d as given.
enum class SetUpValue { kSquare, kHalfSquare, kAsGiven };

// A height in SciPy's units, from one in the method's own: as it is, its
// square root, or the root of twice it.
enum class SciPyUnits { kAsIs, kSquareRoot, kRootOfTwice };

struct MethodInfo {
  std::uint8_t code;
  std::string_view name;     // "ward"
  std::string_view caption;  // UTF-8, the method's usual Japanese name
  SetUpValue setUp;
  SciPyUnits scipyUnits;
  bool euclidean;            // defined by Euclidean geometry: needs Euclidean distances
  bool fromCoordinates;      // the coordinate path can run it
};

// In the order the usage and the documents list them.
inline constexpr std::array<MethodInfo, 7> kMethods = {{
    {kSingleLinkage, "single", "最短距離法", SetUpValue::kAsGiven, SciPyUnits::kAsIs, false, true},
    {kCompleteLinkage, "complete", "最長距離法", SetUpValue::kAsGiven, SciPyUnits::kAsIs, false, false},
    {kAverageLinkage, "average", "群平均法", SetUpValue::kAsGiven, SciPyUnits::kAsIs, false, false},
    {kWeightedLinkage, "weighted", "重み付き群平均法", SetUpValue::kAsGiven, SciPyUnits::kAsIs, false, false},
    {kMedianMethod, "median", "メディアン法", SetUpValue::kSquare, SciPyUnits::kSquareRoot, true, true},
    {kCentroidMethod, "centroid", "重心法", SetUpValue::kSquare, SciPyUnits::kSquareRoot, true, true},
    {kWardMethod, "ward", "Ward法", SetUpValue::kHalfSquare, SciPyUnits::kRootOfTwice, true, true},
}};

// The row of a selector, or of a name; nothing for one the engine does not know.
constexpr const MethodInfo* FindMethod(std::uint8_t code) {
  for (const MethodInfo& method : kMethods) {
    if (method.code == code) return &method;
  }
  return nullptr;
}
constexpr const MethodInfo* FindMethod(std::string_view name) {
  for (const MethodInfo& method : kMethods) {
    if (method.name == name) return &method;
  }
  return nullptr;
}

constexpr bool IsKnownMethod(std::uint8_t code) { return FindMethod(code) != nullptr; }

// What the set-up makes of d for a selector; any other selector sets up
// squares, as the desktop program has always done.
constexpr SetUpValue SetUpValueOf(std::uint8_t code) {
  const MethodInfo* method = FindMethod(code);
  return method != nullptr ? method->setUp : SetUpValue::kSquare;
}

// "single, complete, average, weighted, median, centroid or ward", and
// those the coordinate path runs: "single, median, centroid and ward".
std::string_view MethodNamesText();
std::string_view CoordinateMethodNamesText();

}  // namespace cluster
