// The UTF-8 helpers: upper-casing keeps a valid text valid and keeps its length
// in code points; the length never exceeds the byte count.
#include "base/Utf8Text.h"

#include <cstdlib>
#include <string>

namespace {

bool ValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80         ? 1
                                   : (c >> 5) == 6  ? 2
                                   : (c >> 4) == 14 ? 3
                                   : (c >> 3) == 30 ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string upper = Utf8ToUpper(text);
    if (upper.size() != text.size() || Utf8Length(text) > text.size()) {
        std::abort();
    }
    if (ValidUtf8(text) && (!ValidUtf8(upper) || Utf8Length(upper) != Utf8Length(text))) {
        std::abort();
    }
    // Bytes below 0x80 that are not lower-case letters never change.
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 && !(c >= 'a' && c <= 'z') && upper[i] != text[i]) {
            std::abort();
        }
    }
    return 0;
}
