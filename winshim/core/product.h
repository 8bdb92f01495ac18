// The product's name, defined once in the build (VARNEL_PRODUCT_NAME in the
// top-level CMakeLists.txt, WINSHIM_PRODUCT_NAME here), and its lower-case form,
// which names the product's folders, files and process on Linux.
#pragma once

#include <array>
#include <cstddef>

namespace winshim {

inline constexpr char PRODUCT_NAME[] = WINSHIM_PRODUCT_NAME;

template <std::size_t N>
constexpr std::array<char, N> PRODUCT_LowerCase(const char (&text)[N]) {
    std::array<char, N> lower{};
    for (std::size_t i = 0; i < N; ++i)
        lower[i] = text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] - 'A' + 'a') : text[i];
    return lower;
}

// "varnel": NUL-terminated, so .data() is a C string.
inline constexpr std::array<char, sizeof PRODUCT_NAME> PRODUCT_FOLDER = PRODUCT_LowerCase(PRODUCT_NAME);

}  // namespace winshim
