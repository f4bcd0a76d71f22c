// The address texts: what IsIPAddress accepts converts to the value its first
// four parts give with the rest folded in, and a host record over fuzzed bytes
// gives back exactly the dotted texts of its addresses.
#include "core/resolver/AddressText.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::int32_t value = IPAddressToLong(text);
    if (IsIPAddress(text) && text.find('.') != std::string_view::npos) {
        // A four-part address is exactly its bytes in memory order.
        std::size_t dots = 0;
        for (const char c : text) {
            dots += c == '.';
        }
        if (dots == 3) {
            unsigned char bytes[4];
            std::memcpy(bytes, &value, 4);
            const std::string back = BytesToIPAddress(bytes, 4);
            if (IPAddressToLong(back) != value || !IsIPAddress(back)) {
                std::abort();
            }
        }
    }
    // Up to four addresses of four bytes each out of the input.
    std::vector<std::vector<char>> addresses;
    for (std::size_t at = 0; at + 4 <= size && addresses.size() < 4; at += 4) {
        addresses.emplace_back(data + at, data + at + 4);
    }
    std::vector<char*> list;
    for (auto& address : addresses) {
        list.push_back(address.data());
    }
    list.push_back(nullptr);
    char name[] = "fuzz";
    const HostEnt record{name, nullptr, 2, 4, list.data()};
    const auto dotted = HostAddresses(record);
    if (dotted.size() != addresses.size() ||
        (!dotted.empty() && dotted.front() != FirstHostAddress(record))) {
        std::abort();
    }
    for (std::size_t i = 0; i < dotted.size(); ++i) {
        if (!IsIPAddress(dotted[i]) ||
            dotted[i] !=
                BytesToIPAddress(reinterpret_cast<unsigned char*>(addresses[i].data()), 4)) {
            std::abort();
        }
    }
    return 0;
}
