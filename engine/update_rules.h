// The Lance-Williams update rules of every method, written once for every
// caller.
//
// Each rule gives the dissimilarity between a cluster n and the cluster made
// by merging a and b (a the smaller id), from d(a, n), d(b, n), d(a, b) and
// member counts. The grouping of the operations below is fixed: it decides
// the last bits of every result, and those bits decide ties in later minimum
// searches, so the merge tree depends on it. Member counts are integers,
// added and multiplied as integers and converted to Real only as operands;
// rules that add converted counts get the same bits (see WardCombine). The groupings, as written with extended reals:
//
//   centroid  (d(b,n) w2 + d(a,n) w1) - d(a,b) w3,  w1 = na/(na+nb),
//             w2 = nb/(na+nb), w3 = na nb/(na+nb)^2
//   ward      ((nn+na) d(n,a) + (nn+nb) d(n,b) - nn d(a,b)) / (nn+na+nb)
//   single    d(a,n) if d(a,n) <= d(b,n), else d(b,n)
//   complete  d(a,n) if d(a,n) >= d(b,n), else d(b,n)
//   average   (na d(a,n) + nb d(b,n)) / (na+nb)
//   weighted  (d(a,n) + d(b,n)) / 2
//   median    (d(a,n) / 2 + d(b,n) / 2) - d(a,b) / 4
//
// each product, sum, difference and quotient rounded once, left to right as
// the parentheses say.
#pragma once

#include <cstdint>

#include "common/errors.h"
#include "common/float_checks.h"

namespace cluster {

// The centroid rule's per-merge factors: w1 = na/(na+nb), w2 = nb/(na+nb),
// w3 = na*nb/(na+nb)^2. They depend on the merged pair only, so a merge
// computes them once; the products are the same bits as when recomputed.
struct CentroidWeights {
  Real w1;
  Real w2;
  Real w3;
};

inline CentroidWeights CentroidWeightsFor(std::int32_t na, std::int32_t nb) {
  // The product and the square in 64 bits: exact for any count, and the
  // same values as in 32 bits wherever those do not overflow.
  const std::int64_t sum = std::int64_t{na} + nb;
  return {static_cast<Real>(na) / static_cast<Real>(sum),
          static_cast<Real>(nb) / static_cast<Real>(sum),
          static_cast<Real>(std::int64_t{na} * nb) / static_cast<Real>(sum * sum)};
}

// d(new, n) = (d(b, n) * w2 + d(a, n) * w1) - d(a, b) * w3, where abW3 is
// the product d(a, b) * w3 (also the same for every n of one merge).
inline Real CentroidCombine(Real dan, Real dbn, Real w1, Real w2, Real abW3) {
  const Real t1 = dan * w1;
  const Real t2 = dbn * w2 + t1;
  return t2 - abW3;
}

// d(new, n) = ((nn+na) d(n, a) + (nn+nb) d(n, b) - nn d(a, b)) / (nn+na+nb),
// grouped as written, with the one division last. The counts come
// converted (nn once per row; na and nb once per merge). Counts and their
// sums are whole numbers no larger than the object count, which the 64-bit
// significand holds exactly, so adding converted counts gives the same bits
// as converting the integer sums, and raises no flag; it saves the store and
// reload that every integer conversion costs on x87.
inline Real WardCombine(Real dna, Real dnb, Real dab, Real nn, Real na, Real nb) {
  const Real withA = nn + na;
  const Real t1 = dna * withA;
  const Real t2 = dnb * (nn + nb) + t1;
  return (t2 - dab * nn) / (withA + nb);
}

// The least of the two, d(a, n) when they are equal (so that of +0 and -0
// the one from the cluster with the smaller id stays).
inline Real SingleCombine(Real dan, Real dbn) { return dan <= dbn ? dan : dbn; }

// The greatest of the two, d(a, n) when they are equal.
inline Real CompleteCombine(Real dan, Real dbn) { return dan >= dbn ? dan : dbn; }

// (na d(a, n) + nb d(b, n)) / (na + nb), the counts converted.
inline Real AverageCombine(Real dan, Real dbn, Real na, Real nb) {
  const Real t1 = dan * na;
  const Real t2 = dbn * nb;
  return (t1 + t2) / (na + nb);
}

// (d(a, n) + d(b, n)) / 2.
inline Real WeightedCombine(Real dan, Real dbn) { return (dan + dbn) / 2; }

// (d(a, n) / 2 + d(b, n) / 2) - abQuarter, where abQuarter is d(a, b) / 4
// (the same for every n of one merge).
inline Real MedianCombine(Real dan, Real dbn, Real abQuarter) { return (dan / 2 + dbn / 2) - abQuarter; }

// Every stored value is finite (the set-up rejects the rest and every
// merge is checked), so an update's first failure is always an overflow: a
// product or sum of finite numbers can neither be invalid nor divide by
// zero. Later operations on the infinity may add the invalid flag, which
// must not decide the message. Raises the flags of an update as that.
inline void RaiseUpdateError() {
  try {
    RaiseFloatErrors();
  } catch (const EMathError&) {
    throw EOverflow();
  }
}

}  // namespace cluster
