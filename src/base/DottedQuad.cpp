#include "DottedQuad.h"

namespace vexor {

std::optional<Ipv4> ParseDottedQuad(std::string_view text) {
    Ipv4 address{};
    std::size_t at = 0;
    for (std::size_t part = 0; part < address.size(); ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') {
                return std::nullopt;
            }
            ++at;
        }
        const std::size_t start = at;
        unsigned number = 0;
        while (at < text.size() && at - start < 3 && text[at] >= '0' && text[at] <= '9') {
            number = number * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
        }
        if (at == start || number > 255 || (at - start > 1 && text[start] == '0')) {
            return std::nullopt;
        }
        address[part] = static_cast<std::uint8_t>(number);
    }
    return at == text.size() ? std::optional<Ipv4>(address) : std::nullopt;
}

} // namespace vexor
