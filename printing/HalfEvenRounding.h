#pragma once

#include <cstdint>

// Rounds numerator / denominator to the nearest integer, an exact half going to the even
// neighbour. Works on integers only so that decimal factors such as 3.95 never pick up binary
// floating-point error right at a half. The denominator must be positive.
inline std::int64_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
    std::int64_t quotient = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    if (remainder < 0) { // C++ truncates toward zero; we want the floor
        remainder += denominator;
        --quotient;
    }
    const std::int64_t twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        ++quotient;
    return quotient;
}
