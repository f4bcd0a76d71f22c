#include "HostName.h"

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
    return EqualsIgnoringCase(name.substr(name.size() - kLocalSuffix.size()), kLocalSuffix);
}

} // namespace

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
