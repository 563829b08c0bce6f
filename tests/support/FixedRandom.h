#pragma once

#include "platform/RandomSource.h"

#include <deque>

// Returns scripted numbers (each taken modulo the bound), then 0.
class FixedRandom : public RandomSource {
public:
    FixedRandom() = default;
    FixedRandom(std::initializer_list<std::uint32_t> values) : values(values) {}
    std::uint32_t Random(std::uint32_t bound) override {
        bounds.push_back(bound);
        if (values.empty())
            return 0;
        const auto v = values.front() % bound;
        values.pop_front();
        return v;
    }
    std::deque<std::uint32_t> values;
    std::deque<std::uint32_t> bounds;
};
