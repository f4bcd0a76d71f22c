#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vexor {

// A file's path as the system spells it: UTF-16 on Windows, bytes elsewhere.
// The program's own code uses this rather than std::filesystem::path, whose
// library code brings the C++ locale machinery into the Windows program and
// doubles its size. The conversions to and from std::filesystem::path are for
// callers that have one (tests, the Linux backend); they are inline, so a
// program that never calls them carries none of that code.
class FilePath {
  public:
#ifdef _WIN32
    using String = std::wstring;
    static constexpr wchar_t kSeparator = L'\\';
#else
    using String = std::string;
    static constexpr char kSeparator = '/';
#endif

    FilePath() = default;
    explicit FilePath(String native) : native_(std::move(native)) {}
    FilePath(const std::filesystem::path& path) : native_(path.native()) {}
    explicit operator std::filesystem::path() const {
        return std::filesystem::path(native_);
    }

    // Text that is not valid UTF-8 (or UTF-16 on Windows) gives U+FFFD in place
    // of each bad unit.
    static FilePath FromUtf8(std::string_view text);
    std::string utf8() const;

    const String& native() const {
        return native_;
    }
    const String::value_type* c_str() const {
        return native_.c_str();
    }
    bool empty() const {
        return native_.empty();
    }

    // The folder that holds this path: everything before the last separator,
    // keeping the separator of a root ("C:\", "/"); empty when there is none.
    FilePath parent() const;
    // What follows the last separator.
    FilePath name() const;
    // `name` (UTF-8) inside this folder, with one separator between them.
    FilePath operator/(std::string_view name) const;

    bool operator==(const FilePath& other) const = default;

  private:
    String native_;
};

} // namespace vexor
