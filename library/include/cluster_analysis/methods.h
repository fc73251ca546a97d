// The seven methods of hierarchical clustering the engine runs.
//
//   single     the least of d(k,a), d(k,b)
//   complete   the greatest of them
//   average    (na d(k,a) + nb d(k,b)) / (na + nb)   (UPGMA)
//   weighted   (d(k,a) + d(k,b)) / 2                 (WPGMA)
//   median     d(k,a)/2 + d(k,b)/2 - d(a,b)/4, on d^2 (Gower)
//   centroid   the squared distance of the centroids, on d^2
//   ward       the increase of the within-cluster sum of squares, on d^2/2
//
// Every operation is an 80-bit extended one, grouped as written; the
// least pair merges next, and of equal values the pair formed first (the
// pair whose higher id is lower, then whose lower id is).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace cluster_analysis {

enum class Method { single, complete, average, weighted, median, centroid, ward };

// In the order above.
const std::vector<Method>& AllMethods();

// "single", "complete", ..., "ward"; and the method of a name, nothing for
// an unknown one.
std::string_view NameOf(Method method);
std::optional<Method> MethodNamed(std::string_view name);

// Whether the method works from observations' coordinates without a
// matrix (single, median, centroid, ward), and whether it is defined by
// Euclidean geometry (median, centroid, ward).
bool WorksFromCoordinates(Method method);
bool NeedsEuclidean(Method method);

}  // namespace cluster_analysis
