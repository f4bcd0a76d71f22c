#include "FilePath.h"

#include "Utf8Codec.h"

namespace vexor {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One overload of each pair is used, the one for this system's paths; paths of
// eight-bit units are UTF-8 already.
[[maybe_unused]] std::string NativeToUtf8(const std::string& native) {
    return native;
}

[[maybe_unused]] std::string NativeToUtf8(const std::wstring& wide) {
    std::string text;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = static_cast<char16_t>(wide[i]);
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() &&
                          static_cast<char16_t>(wide[i + 1]) >= 0xDC00 &&
                          static_cast<char16_t>(wide[i + 1]) <= 0xDFFF;
        if (pair) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(wide[++i]) - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(text, c);
    }
    return text;
}

[[maybe_unused]] void NativeFromUtf8(std::string_view text, std::string& native) {
    native = std::string(text);
}

[[maybe_unused]] void NativeFromUtf8(std::string_view text, std::wstring& wide) {
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = NextFromUtf8(text, i).value_or(kReplacement);
        if (c >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
    }
}

bool IsSeparator(FilePath::String::value_type c) {
#ifdef _WIN32
    return c == L'\\' || c == L'/';
#else
    return c == '/';
#endif
}

} // namespace

FilePath FilePath::FromUtf8(std::string_view text) {
    String native;
    NativeFromUtf8(text, native);
    return FilePath(std::move(native));
}

std::string FilePath::utf8() const {
    return NativeToUtf8(native_);
}

FilePath FilePath::parent() const {
    std::size_t end = native_.size();
    while (end > 0 && !IsSeparator(native_[end - 1])) {
        --end;
    }
    if (end == 0) {
        return {};
    }
    // The separator stays where it belongs to a root: "/" or a drive's "C:\".
    const std::size_t root = native_.size() > 2 && native_[1] == ':' ? 3 : 1;
    const std::size_t keep = end <= root ? end : end - 1;
    return FilePath(native_.substr(0, keep));
}

FilePath FilePath::name() const {
    std::size_t start = native_.size();
    while (start > 0 && !IsSeparator(native_[start - 1])) {
        --start;
    }
    return FilePath(native_.substr(start));
}

FilePath FilePath::operator/(std::string_view name) const {
    String joined = native_;
    if (!joined.empty() && !IsSeparator(joined.back())) {
        joined += kSeparator;
    }
    joined += FromUtf8(name).native_;
    return FilePath(std::move(joined));
}

} // namespace vexor
