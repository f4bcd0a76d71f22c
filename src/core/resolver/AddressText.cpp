#include "AddressText.h"

#include <algorithm>
#include <limits>

namespace vexor {
namespace {

std::vector<std::string_view> SplitAtDots(std::string_view text) {
    std::vector<std::string_view> parts;
    if (text.empty()) {
        return parts;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        if (dot == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, dot - start));
        start = dot + 1;
    }
}

// Any part value at or past this cannot be folded into the signed 32-bit range
// with a weight of 1 or more; larger values are held at it.
constexpr std::int64_t kValueCeiling = std::int64_t{1} << 32;

// The value of a part made only of decimal digits (held at kValueCeiling);
// false for anything else.
bool DecimalValue(std::string_view part, std::int64_t& value) {
    if (part.empty()) {
        return false;
    }
    value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = std::min(value * 10 + (c - '0'), kValueCeiling);
    }
    return true;
}

// Adds `value` × 256^`power` to `sum` in exact integer arithmetic; false when
// the result leaves the signed 32-bit range. A zero adds nothing at any weight.
bool AddChecked(std::int64_t value, std::size_t power, std::int32_t& sum) {
    if (value == 0) {
        return true;
    }
    if (power > 3) {
        return false;
    }
    const std::int64_t total = sum + value * (std::int64_t{1} << (8 * power));
    if (total < std::numeric_limits<std::int32_t>::min() ||
        total > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    sum = static_cast<std::int32_t>(total);
    return true;
}

} // namespace

std::string BytesToIPAddress(const unsigned char* bytes, int length) {
    std::string text;
    for (int i = 0; i < length; ++i) {
        text += std::to_string(static_cast<unsigned>(bytes[i]));
        text += '.';
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

bool IsIPAddress(std::string_view text) {
    const auto parts = SplitAtDots(text);
    if (parts.size() < 4) {
        return false;
    }
    for (const auto part : parts) {
        std::int64_t value = 0;
        if (!DecimalValue(part, value) || value > 255) {
            return false;
        }
    }
    return true;
}

std::int32_t IPAddressToLong(std::string_view text) {
    const auto parts = SplitAtDots(text);
    if (parts.empty()) {
        return 0;
    }
    std::int32_t sum = 0;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        std::int64_t value = 0;
        if (!DecimalValue(parts[i], value) || !AddChecked(value, i, sum)) {
            return 0;
        }
    }
    // The last number always weighs 256^3 and is folded into the signed range.
    std::int64_t last = 0;
    if (!DecimalValue(parts.back(), last)) {
        return 0;
    }
    if (last >= 128) {
        last -= 256;
    }
    if (!AddChecked(last, 3, sum)) {
        return 0;
    }
    return sum;
}

std::string TrimAtNull(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

std::vector<std::string> HostAddresses(const HostEnt& record) {
    std::vector<std::string> addresses;
    if (record.h_addr_list == nullptr) {
        return addresses;
    }
    for (char** entry = record.h_addr_list; *entry != nullptr; ++entry) {
        addresses.push_back(
            BytesToIPAddress(reinterpret_cast<const unsigned char*>(*entry), record.h_length));
    }
    return addresses;
}

std::string FirstHostAddress(const HostEnt& record) {
    if (record.h_addr_list == nullptr || record.h_addr_list[0] == nullptr) {
        return {};
    }
    return BytesToIPAddress(reinterpret_cast<const unsigned char*>(record.h_addr_list[0]),
                            record.h_length);
}

} // namespace vexor
