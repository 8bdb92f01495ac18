#include <windows.h>

#include <cstdint>
#include <limits>

// The product is formed in 64 bits so it never overflows; halves round away
// from zero, and a quotient outside the int range is reported as -1 like a
// zero denominator.
extern "C" int WINAPI MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    int64_t product = int64_t(number) * numerator;
    int64_t divisor = denominator;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    const int64_t half = divisor / 2;
    // Truncating division after moving the product half a divisor away from
    // zero rounds to nearest with halves away from zero.
    int64_t quotient = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min()) return -1;
    return int(quotient);
}
