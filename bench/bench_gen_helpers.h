#pragma once
// What the benchmark's generators share: a fixed-seed generator
// (splitmix64), so that their inputs are the same on every run and every
// machine, and helpers for the names, sizes and leaves they lay out.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cmp_builder.h"

namespace bwbench {

class TRandom {
 public:
  explicit TRandom(uint64_t seed) : FState(seed) {}
  uint64_t Next() {
    uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A float in [lo, hi) with all 24 bits of the fraction in use.
  float Range(float lo, float hi) {
    const float unit = static_cast<float>(Next() >> 40) / 16777216.0f;
    return lo + unit * (hi - lo);
  }
  // An integer in [0, n).
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
  // One of `items`.
  template <class T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }
  template <class T>
  void Shuffle(std::vector<T>& v) {
    for (size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[Below(i)]);
  }

 private:
  uint64_t FState;
};

// Words of the names modders give materials and images: "ku_fighter_hull07".
inline constexpr std::string_view kSurfaces[] = {"hull", "detail", "glass", "light", "panel", "decal",
                                                 "trim", "metal",  "grate", "vent",  "pipe",  "window",
                                                 "logo", "rust",   "glow",  "base"};

// `prefix` and `n` with leading zeros to `width` digits: "Seg0012".
inline std::string Numbered(const std::string& prefix, size_t n, size_t width) {
  std::string digits = std::to_string(n);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return prefix + digits;
}

inline std::string BaseName(const std::string& fileName) {
  return fileName.substr(0, fileName.rfind('.'));
}

// A size at `quantile` of a list, from the sizes at a few quantiles of it:
// log-linear between them, and beyond the first and last on their lines.
struct TKnot {
  double Quantile, Bytes;
};
template <size_t N>
double SizeAt(const TKnot (&knots)[N], double quantile) {
  const TKnot* k = knots;
  while (k + 2 < std::end(knots) && quantile > k[1].Quantile) ++k;
  const double t = (quantile - k[0].Quantile) / (k[1].Quantile - k[0].Quantile);
  return std::exp(std::log(k[0].Bytes) + t * (std::log(k[1].Bytes) - std::log(k[0].Bytes)));
}

// The data of a leaf of floats or of one 32-bit word.
inline bwtest::Bytes Floats(std::initializer_list<float> values) {
  bwtest::Bytes b;
  for (float f : values) bwtest::PutF32(b, f);
  return b;
}
inline bwtest::Bytes Word(uint32_t v) {
  bwtest::Bytes b;
  bwtest::PutU32(b, v);
  return b;
}

}  // namespace bwbench
