#include "Utf8Text.h"

namespace vexor {

std::size_t Utf8Length(std::string_view text) {
    std::size_t length = 0;
    for (const char c : text) {
        // Continuation bytes (10xxxxxx) belong to the character before them.
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++length;
        }
    }
    return length;
}

std::string Utf8ToUpper(std::string_view text) {
    std::string upper(text);
    for (std::size_t i = 0; i < upper.size(); ++i) {
        const auto c = static_cast<unsigned char>(upper[i]);
        if (c >= 'a' && c <= 'z') {
            upper[i] = static_cast<char>(c - 'a' + 'A');
        } else if (c == 0xC3 && i + 1 < upper.size() &&
                   (static_cast<unsigned char>(upper[i + 1]) & 0xC0) == 0x80) {
            // U+00E0..U+00FE except U+00F7 (division sign): second byte A0..BE.
            // A lead byte with no continuation after it is passed through alone.
            const auto next = static_cast<unsigned char>(upper[i + 1]);
            if (next >= 0xA0 && next <= 0xBE && next != 0xB7) {
                upper[i + 1] = static_cast<char>(next - 0x20);
            }
            ++i;
        }
    }
    return upper;
}

} // namespace vexor
