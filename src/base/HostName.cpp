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

std::string_view WithoutLocalDomain(std::string_view name) {
    const std::string_view bare = WithoutTrailingDot(name);
    if (!EndsWithLocal(bare)) {
        return name;
    }
    const std::string_view host = bare.substr(0, bare.size() - kLocalSuffix.size());
    return host.substr(0, host.find_last_not_of(' ') + 1);
}

std::string MachineKey(std::string_view name) {
    return AsciiLower(WithoutTrailingDot(WithoutLocalDomain(name)));
}

} // namespace vexor
