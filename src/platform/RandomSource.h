#pragma once

#include <cstdint>

// Random numbers for seeds and effects; tests substitute fixed sequences.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A number in 0 .. bound-1, uniformly; bound must be above 0.
    virtual std::uint32_t Random(std::uint32_t bound) = 0;
};

// The operating system's random source: independent draws, never the same
// sequence twice because two calls fall in the same clock tick.
class SystemRandom : public RandomSource {
public:
    std::uint32_t Random(std::uint32_t bound) override;
};
