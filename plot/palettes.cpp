#include "plot/palettes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cluster {

namespace {

constexpr std::array<Rgb, 8> kOkabeIto{{
    {0xE6, 0x9F, 0x00},  // orange
    {0x56, 0xB4, 0xE9},  // sky blue
    {0x00, 0x9E, 0x73},  // bluish green
    {0x00, 0x72, 0xB2},  // blue
    {0xD5, 0x5E, 0x00},  // vermillion
    {0xCC, 0x79, 0xA7},  // reddish purple
    {0xF0, 0xE4, 0x42},  // yellow, faint on white: late
    {0x00, 0x00, 0x00},  // black
}};

constexpr std::array<Rgb, 9> kViridis{{
    {0x44, 0x01, 0x54}, {0x47, 0x2D, 0x7B}, {0x3B, 0x52, 0x8B}, {0x2C, 0x72, 0x8E}, {0x21, 0x90, 0x8C},
    {0x27, 0xAD, 0x81}, {0x5D, 0xC8, 0x63}, {0xAA, 0xDC, 0x32}, {0xFD, 0xE7, 0x25},
}};

constexpr std::array<Rgb, 7> kRdBu{{
    {0x21, 0x66, 0xAC}, {0x67, 0xA9, 0xCF}, {0xD1, 0xE5, 0xF0}, {0xFF, 0xFF, 0xFF},
    {0xFD, 0xDB, 0xC7}, {0xEF, 0x8A, 0x62}, {0xB2, 0x18, 0x2B},
}};

template <std::size_t N>
Rgb Between(const std::array<Rgb, N>& stops, Real t) {
  if (!(t > 0)) return stops.front();  // NaN too
  if (t >= 1) return stops.back();
  const Real at = t * static_cast<Real>(N - 1);
  const auto lower = static_cast<std::size_t>(at);
  const Real share = at - static_cast<Real>(lower);
  const Rgb a = stops[lower];
  const Rgb b = stops[std::min(lower + 1, N - 1)];
  const auto mix = [share](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::lround(static_cast<double>(x + (y - x) * share)));
  };
  return Rgb{mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}

}  // namespace

Rgb GroupColour(std::size_t index) { return kOkabeIto[index % kOkabeIto.size()]; }

Rgb Viridis(Real t) { return Between(kViridis, t); }

Rgb BlueWhiteRed(Real t) { return Between(kRdBu, (t + 1) / 2); }

}  // namespace cluster
