#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vexor::testing {

// Assembles DNS-format messages byte by byte, as a peer on the network would
// send them, so the readers are tested against wire bytes and not against the
// library that also reads them.
class DnsMessageBuilder {
  public:
    DnsMessageBuilder(std::uint16_t id, std::uint16_t flags, std::uint16_t questions,
                      std::uint16_t answers) {
        for (const std::uint16_t field :
             {id, flags, questions, answers, std::uint16_t{0}, std::uint16_t{0}}) {
            Short(field);
        }
    }

    // A name as dot-separated labels, ending with the root label.
    DnsMessageBuilder& Name(std::string_view dotted) {
        while (!dotted.empty()) {
            const auto dot = dotted.find('.');
            const auto label = dotted.substr(0, dot);
            bytes.push_back(static_cast<std::uint8_t>(label.size()));
            bytes.insert(bytes.end(), label.begin(), label.end());
            dotted = dot == std::string_view::npos ? std::string_view() : dotted.substr(dot + 1);
        }
        bytes.push_back(0);
        return *this;
    }
    // A compression pointer to offset `at` in place of a name.
    DnsMessageBuilder& Pointer(std::uint16_t at) { return Short(0xc000 | at); }
    DnsMessageBuilder& Question(std::uint16_t type, std::uint16_t klass) {
        return Short(type).Short(klass);
    }
    // The fixed part of a record after its name, then its data.
    DnsMessageBuilder& Record(std::uint16_t type, std::uint16_t klass,
                              const std::vector<std::uint8_t>& data) {
        Short(type).Short(klass).Short(0).Short(120).Short(static_cast<std::uint16_t>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    DnsMessageBuilder& Short(std::uint16_t value) {
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
        bytes.push_back(static_cast<std::uint8_t>(value & 0xff));
        return *this;
    }

    std::vector<std::uint8_t> bytes;
};

} // namespace vexor::testing
