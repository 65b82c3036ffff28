#pragma once
// Shared Base64 tables (internal to textcodec).

#include <cstdint>

namespace textcodec {

namespace detail {

inline constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of each byte, 0xFF for bytes outside the alphabet ("=" included).
struct Base64Values {
    uint8_t v[256];
    constexpr Base64Values() : v()
    {
        for (int i = 0; i < 256; ++i)
            v[i] = 0xFF;
        for (int i = 0; i < 64; ++i)
            v[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<uint8_t>(i);
    }
};
inline constexpr Base64Values kBase64Values{};

} // namespace detail

} // namespace textcodec
