// The figures' colours.
//
// Groups take the palette of M. Okabe and K. Ito ("Color Universal Design",
// 2002), whose eight colours people with any common colour-vision deficiency
// tell apart, its yellow (faint on white) kept for the seventh group,
// cycling beyond eight; what lies above a
// cut is grey. Values take viridis (S. van der Walt and N. Smith, for
// matplotlib, 2015), perceptually uniform and readable in grey, through
// its nine-step table (R's viridisLite::viridis(9)) joined linearly; values
// either side of 0 take ColorBrewer's diverging RdBu (C. Brewer), blue below,
// white at 0, red above.
#pragma once

#include <cstddef>

#include "common/figure_canvas.h"
#include "common/float_checks.h"

namespace cluster {

inline constexpr Rgb kAboveCutGrey{0x99, 0x99, 0x99};

// The colour of group `index` (0-based) in the order groups are drawn.
Rgb GroupColour(std::size_t index);

// Viridis at t in [0, 1] (clamped): dark purple at 0, yellow at 1.
Rgb Viridis(Real t);

// Blue at -1, white at 0, red at +1 (clamped).
Rgb BlueWhiteRed(Real t);

}  // namespace cluster
