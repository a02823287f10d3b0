#pragma once

#include <cstddef>
#include <cstdint>

namespace kx::gen {

// splitmix64's output function: a bijective 64-bit mix.
constexpr uint64_t Mix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// A value that depends only on its three inputs. Entities (customer i, depot d, ...) draw their
// own streams from it, so what one entity gets never depends on how many numbers another used.
constexpr uint64_t Hash(uint64_t seed, uint64_t stream, uint64_t index) {
  return Mix64(Mix64(Mix64(seed) ^ stream) ^ index);
}

// splitmix64. Written out here instead of <random> distributions, whose results differ between
// standard libraries; the files must be byte-identical everywhere for the same seed.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  Random(uint64_t seed, uint64_t stream, uint64_t index) : state_(Hash(seed, stream, index)) {}

  uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // 0 <= result < n (n > 0). The modulo bias is far below anything a test data set could show.
  uint64_t Below(uint64_t n) { return Next() % n; }
  // lo <= result <= hi.
  int64_t Between(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(Below(static_cast<uint64_t>(hi - lo) + 1));
  }
  // True with the probability perMille / 1000.
  bool Chance(unsigned perMille) { return Below(1000) < perMille; }

 private:
  uint64_t state_;
};

template <typename T, std::size_t N>
const T& Pick(Random& rng, const T (&items)[N]) {
  return items[rng.Below(N)];
}

}  // namespace kx::gen
