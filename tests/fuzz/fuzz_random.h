#pragma once

// The fuzzer's only source of randomness: a small generator whose sequence
// depends on nothing but its seed, so that a run seed plus an input number
// gives the same input on every machine and in both bitnesses.

#include <cstddef>
#include <cstdint>

namespace testing_support {

// SplitMix64 (Steele, Lea, Flood 2014): 64-bit state, full period.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, bound); bound 0 gives 0. Rejection keeps it unbiased.
    std::uint64_t Below(std::uint64_t bound) {
        if (bound == 0) return 0;
        const std::uint64_t limit = ~0ull - (~0ull % bound);
        std::uint64_t value = Next();
        while (value >= limit) value = Next();
        return value % bound;
    }

    // Uniform in [low, high] (inclusive).
    std::uint64_t Between(std::uint64_t low, std::uint64_t high) { return low + Below(high - low + 1); }

    bool Chance(unsigned percent) { return Below(100) < percent; }

    std::uint8_t Byte() { return static_cast<std::uint8_t>(Next()); }

private:
    std::uint64_t state_;
};

// The generator of one input: independent of every other input's.
inline std::uint64_t InputSeed(std::uint64_t runSeed, std::uint64_t index) {
    Random mix(runSeed ^ (index * 0xD1B54A32D192ED03ull));
    mix.Next();
    return mix.Next();
}

}  // namespace testing_support
