#pragma once

// Lengths for screens of any pixel density. Every length the program gives in pixels is a length
// at 96 dpi; on a screen of D dpi it is drawn as round(length x D / 96) physical pixels, so at
// 96 dpi nothing changes. This is the one place that rule lives.

namespace corvalo {

inline constexpr int kBaseDpi = 96;

// A length at 96 dpi as physical pixels at `dpi`: the nearest integer, a half going away from
// zero (so that a negative screen coordinate is treated like a positive one). A DPI of 0 or less
// (none known) counts as 96.
int DpiScaled(int length, int dpi);

// Physical pixels at `dpi` back as a length at 96 dpi, rounded the same way. For every dpi of 96
// or more, DpiUnscaled(DpiScaled(x, dpi), dpi) == x: a length stored at 96 dpi, shown and stored
// again, comes back unchanged, restart after restart.
int DpiUnscaled(int pixels, int dpi);

}  // namespace corvalo
