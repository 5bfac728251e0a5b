#pragma once
// The benchmark's inputs are the same on every run and every machine: a
// fixed-seed generator (splitmix64).

#include <cstdint>
#include <utility>
#include <vector>

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
  template <class T>
  void Shuffle(std::vector<T>& v) {
    for (size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[Below(i)]);
  }

 private:
  uint64_t FState;
};

}  // namespace bwbench
