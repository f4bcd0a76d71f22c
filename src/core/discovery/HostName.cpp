#include "HostName.h"

#include <algorithm>

namespace vexor {
namespace {

constexpr std::string_view kLocalSuffix = ".local";

std::string_view WithoutTrailingDot(std::string_view name) {
    if (!name.empty() && name.back() == '.') {
        name.remove_suffix(1);
    }
    return name;
}

bool EndsWithLocal(std::string_view name) {
    if (name.size() <= kLocalSuffix.size()) {
        return false;
    }
    const std::string_view tail = name.substr(name.size() - kLocalSuffix.size());
    return std::equal(tail.begin(), tail.end(), kLocalSuffix.begin(),
                      [](char a, char b) { return AsciiLower(a) == b; });
}

} // namespace

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLower(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return AsciiLower(c); });
    return folded;
}

bool IsLocalDomainName(std::string_view name) {
    return EndsWithLocal(WithoutTrailingDot(name));
}

std::string MachineKey(std::string_view name) {
    name = WithoutTrailingDot(name);
    if (EndsWithLocal(name)) {
        name.remove_suffix(kLocalSuffix.size());
    }
    return AsciiLower(name);
}

} // namespace vexor
