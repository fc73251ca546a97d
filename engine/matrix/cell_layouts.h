// How the agglomeration keeps its working pair values in memory (why they
// are kept this way is told in agglomerate.cpp).
//
// A value is normally kept split: hi is the
// value rounded to double and lo the remainder value - hi as a float. The
// remainder is exact and has at most 11 significant bits, so it fits a float
// whenever it lies in the float range: for values between about 2^-86 and
// 2^180, and zero, which covers squared distances of any ordinary data.
// Reading adds the two back in extended precision, which gives the value
// again in every bit, except for -0, whose halves add up to +0: a pair value
// is -0 only when a dissimilarity given as -0 is taken as it is (the set-up
// then reports it as lost) or when an operation underflowed, which the flags
// below report.
//
// A value outside those bounds cannot be split exactly. Storing it raises
// the overflow or underflow flag (a half beyond its range; a tiny half that
// is not exact), so a stretch of split stores is exact exactly when neither
// flag was raised. The store then falls back to keeping whole 80-bit values
// (WideCells) for the rest of the run.
#pragma once

#include <cfenv>
#include <cstddef>

#include "common/float_checks.h"

namespace cluster {

// Stores `value` split: its double rounding at `hi`, and the rest, value -
// hi, rounded to a float (Lo = float) or a double (Lo = double) at `lo`.
// Written out for x87: left to itself the compiler rounds both halves into
// scratch memory and copies them on, which costs a failed store forward
// per value. Here hi goes to its place, is subtracted back from there, and
// lo follows. The places may lie in packed records (void pointers).
template <typename Lo>
inline void StoreSplit(void* hi, void* lo, Real value) {
  static_assert(sizeof(Lo) == 4 || sizeof(Lo) == 8, "a float or a double rest");
  // The bytes written, as the compiler must know them.
  auto& hiBytes = *static_cast<char(*)[8]>(hi);
  auto& loBytes = *static_cast<char(*)[sizeof(Lo)]>(lo);
  if constexpr (sizeof(Lo) == 4) {
    asm("fstl (%2)\n\tfsubl (%2)\n\tfstps (%3)" : "=m"(hiBytes), "=m"(loBytes) : "r"(hi), "r"(lo), "t"(value) : "st");
  } else {
    asm("fstl (%2)\n\tfsubl (%2)\n\tfstpl (%3)" : "=m"(hiBytes), "=m"(loBytes) : "r"(hi), "r"(lo), "t"(value) : "st");
  }
}

// Twelve bytes, packed: a full square takes a quarter less memory than
// with padding to 16.
struct __attribute__((packed, aligned(4))) SplitReal {
  double hi;
  float lo;
};
static_assert(sizeof(SplitReal) == 12, "split cells are packed");

struct SplitCells {
  using Cell = SplitReal;
  static constexpr bool kSplit = true;
  static constexpr bool kSquare = true;  // a full square of rows
  static Real Load(const Cell& cell) {
    return static_cast<Real>(cell.hi) + static_cast<Real>(cell.lo);
  }

  // A merge's own factors (counts, weights, the merged pair's value) are
  // read again for every row of its pass, and x87 keeps few of them on its
  // stack; split, each reload is two cheap loads instead of an 80-bit one.
  using Constant = SplitReal;
  // Splits a value within the bounds above (kept a little inside them) and
  // says whether it did; touches no floating-point flag.
  static bool MakeConstant(Real value, Constant& constant) {
    const Real magnitude = value < 0 ? -value : value;
    if (!(magnitude == 0 || (magnitude >= 0x1p-86L && magnitude < 0x1p+180L))) return false;
    constant.hi = static_cast<double>(value);
    // A zero keeps its sign in both halves (-0 + +0 would give +0).
    constant.lo = magnitude == 0 ? static_cast<float>(value)
                                 : static_cast<float>(value - static_cast<Real>(constant.hi));
    return true;
  }
  static Real ValueOf(const Constant& constant) { return Load(constant); }
  static void Store(Cell& cell, Real value) {
    char* const bytes = reinterpret_cast<char*>(&cell);
    StoreSplit<float>(bytes, bytes + offsetof(SplitReal, lo), value);
  }
  // Stores one value in two cells; lo is worked out at the first, so the
  // second, often far away, is only written.
  static void StoreTwice(Cell& first, Cell& second, Real value) {
    asm("fstl (%2)\n\tfstl (%3)\n\tfsubl (%2)\n\tfsts 8(%2)\n\tfstps 8(%3)"
        : "=m"(first), "=m"(second)
        : "r"(&first), "r"(&second), "t"(value)
        : "st");
  }
};

// Split cells in a packed triangle: half the memory of the square, for
// stores whose square would not pay for its memory.
struct SplitTriangleCells : SplitCells {
  static constexpr bool kSquare = false;
};

struct WideCells {
  using Cell = Real;
  static constexpr bool kSplit = false;
  static constexpr bool kSquare = false;  // a packed triangle
  static Real Load(const Cell& cell) { return cell; }
  using Constant = Real;
  static bool MakeConstant(Real value, Constant& constant) {
    constant = value;
    return true;
  }
  static Real ValueOf(const Constant& constant) { return constant; }
  static void Store(Cell& cell, Real value) { cell = value; }
  static void StoreTwice(Cell& first, Cell& second, Real value) {
    first = value;
    second = value;
  }
};

// Flags that tell a stretch of split stores (and the arithmetic before
// them) went beyond what split cells hold exactly.
constexpr int kSplitLossFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW;

inline void ClearSplitLossFlags() { std::feclearexcept(kSplitLossFlags); }
inline bool SplitStoresWereExact() { return std::fetestexcept(kSplitLossFlags) == 0; }

}  // namespace cluster
