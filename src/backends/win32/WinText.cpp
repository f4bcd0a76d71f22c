#include "WinText.h"

#include <windows.h>

namespace vexor::win32 {
namespace {

std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string FromWide(UINT codePage, std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    // No best fit: it would turn a character the code page lacks into a look-alike
    // that means something else (a slash, a quote); such a character becomes '?'.
    // UTF-8 holds every character and takes neither option.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* replacement = utf8 ? nullptr : "?";
    const int length =
        WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                            replacement, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, replacement, nullptr);
    return narrow;
}

} // namespace

std::wstring Utf8ToWide(std::string_view text) {
    return ToWide(CP_UTF8, text);
}

std::string WideToUtf8(std::wstring_view text) {
    return FromWide(CP_UTF8, text);
}

std::string Utf8ToAnsi(std::string_view text) {
    return FromWide(CP_ACP, ToWide(CP_UTF8, text));
}

std::wstring AnsiToWide(std::string_view text) {
    return ToWide(CP_ACP, text);
}

std::string AnsiToUtf8(std::string_view text) {
    return FromWide(CP_UTF8, ToWide(CP_ACP, text));
}

} // namespace vexor::win32
