#include "NetbiosMessages.h"

#include "seams/Utf8Codec.h"

#include <algorithm>

namespace vexor::netbios {
namespace {

constexpr std::size_t kEncodedBytes = 32;
constexpr std::size_t kNodeNameBytes = 18;
constexpr std::size_t kUnitIdBytes = 6;
constexpr std::uint16_t kGroupFlag = 0x8000;

// The node status request asks the name "*" followed by fifteen zero bytes.
std::string WildcardName() {
    return "CK" + std::string(30, 'A');
}

std::string Encode16(const std::array<std::uint8_t, 16>& bytes) {
    std::string encoded;
    for (const std::uint8_t byte : bytes) {
        encoded += static_cast<char>('A' + (byte >> 4));
        encoded += static_cast<char>('A' + (byte & 0x0F));
    }
    return encoded;
}

std::optional<std::array<std::uint8_t, 16>> Padded(std::string_view oemName, std::uint8_t suffix) {
    if (oemName.size() > kMaxNameBytes) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 16> bytes{};
    bytes.fill(' ');
    std::copy(oemName.begin(), oemName.end(), bytes.begin());
    bytes[15] = suffix;
    return bytes;
}

// The first label of a name as the codec reads it (a scope ID follows a dot).
std::string_view FirstLabel(std::string_view name) {
    return name.substr(0, name.find('.'));
}

std::uint8_t AsciiUpper(std::uint8_t c) {
    return c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

std::string TrimmedName(std::span<const std::uint8_t> fifteen, const IOemCodePage& codePage) {
    std::string oem(fifteen.begin(), fifteen.end());
    while (!oem.empty() && (oem.back() == ' ' || oem.back() == '\0')) {
        oem.pop_back();
    }
    return codePage.ToUtf8(oem);
}

} // namespace

std::optional<std::string> OemName(std::string_view name, const IOemCodePage& codePage) {
    if (name.empty() || name.find('.') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string upper;
    for (std::size_t i = 0; i < name.size();) {
        auto c = NextFromUtf8(name, i);
        if (!c) {
            return std::nullopt;
        }
        // ASCII and Latin-1 small letters (not the division sign, not ÿ).
        if ((*c >= U'a' && *c <= U'z') || (*c >= 0xE0 && *c <= 0xFE && *c != 0xF7)) {
            *c -= 0x20;
        }
        AppendUtf8(upper, *c);
    }
    auto oem = codePage.FromUtf8(upper);
    if (!oem || oem->empty() || oem->size() > kMaxNameBytes) {
        return std::nullopt;
    }
    return oem;
}

std::optional<std::string> EncodeName(std::string_view oemName, std::uint8_t suffix) {
    const auto bytes = Padded(oemName, suffix);
    if (!bytes) {
        return std::nullopt;
    }
    return Encode16(*bytes);
}

std::optional<std::array<std::uint8_t, 16>> DecodeName(std::string_view label) {
    if (label.size() != kEncodedBytes) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto high = static_cast<std::uint8_t>(AsciiUpper(label[2 * i]) - 'A');
        const auto low = static_cast<std::uint8_t>(AsciiUpper(label[2 * i + 1]) - 'A');
        if (high > 15 || low > 15) {
            return std::nullopt;
        }
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return bytes;
}

std::optional<std::vector<std::uint8_t>> NameQuery(std::uint16_t id, std::string_view name,
                                                   std::uint8_t suffix, bool broadcast,
                                                   const IOemCodePage& codePage) {
    const auto oem = OemName(name, codePage);
    const auto encoded = oem ? EncodeName(*oem, suffix) : std::nullopt;
    if (!encoded) {
        return std::nullopt;
    }
    const auto flags = static_cast<std::uint16_t>(dns::kFlagRecursionDesired |
                                                  (broadcast ? dns::kFlagBroadcast : 0));
    return dns::Query(id, *encoded, dns::kTypeNb, flags);
}

std::vector<std::uint8_t> NodeStatusRequest(std::uint16_t id) {
    return dns::Query(id, WildcardName(), dns::kTypeNbstat);
}

std::optional<NameQueryAnswer> ReadNameQueryAnswer(std::span<const std::uint8_t> bytes,
                                                   std::uint16_t id, std::string_view name,
                                                   std::uint8_t suffix,
                                                   const IOemCodePage& codePage) {
    const auto message = dns::Read(bytes, {id, true, true});
    const auto oem = OemName(name, codePage);
    const auto expected = oem ? Padded(*oem, suffix) : std::nullopt;
    if (!message || !expected || message->opcode() != 0) {
        return std::nullopt;
    }
    // A negative answer may carry no record at all.
    if (message->rcode() != 0) {
        return NameQueryAnswer{};
    }
    for (const dns::Record& record : message->answers) {
        const auto asked = DecodeName(FirstLabel(record.name));
        if (record.type != dns::kTypeNb || !asked) {
            continue;
        }
        std::array<std::uint8_t, 16> upper{};
        std::transform(asked->begin(), asked->end(), upper.begin(), AsciiUpper);
        if (upper != *expected) {
            continue;
        }
        NameQueryAnswer answer{true, {}};
        // Each entry is its NB flags and an address.
        for (std::size_t at = 0; at + 6 <= record.data.size(); at += 6) {
            const Ipv4 address{record.data[at + 2], record.data[at + 3], record.data[at + 4],
                               record.data[at + 5]};
            if (std::find(answer.addresses.begin(), answer.addresses.end(), address) ==
                answer.addresses.end()) {
                answer.addresses.push_back(address);
            }
        }
        return answer;
    }
    return std::nullopt;
}

std::optional<std::string> NodeStatus::Workstation() const {
    for (const NodeName& entry : names) {
        if (entry.suffix == kWorkstation && !entry.group) {
            return entry.name;
        }
    }
    return std::nullopt;
}

std::optional<std::string> NodeStatus::Workgroup() const {
    for (const NodeName& entry : names) {
        if (entry.suffix == kWorkstation && entry.group) {
            return entry.name;
        }
    }
    return std::nullopt;
}

std::optional<NodeStatus> ReadNodeStatus(std::span<const std::uint8_t> bytes, std::uint16_t id,
                                         const IOemCodePage& codePage) {
    const auto message = dns::Read(bytes, {id, true, true});
    if (!message || message->rcode() != 0) {
        return std::nullopt;
    }
    for (const dns::Record& record : message->answers) {
        if (record.type != dns::kTypeNbstat || record.data.empty()) {
            continue;
        }
        NodeStatus status;
        const std::span<const std::uint8_t> data(record.data);
        const std::size_t count = data[0];
        std::size_t at = 1;
        for (std::size_t i = 0; i < count && at + kNodeNameBytes <= data.size(); ++i) {
            NodeName entry;
            entry.name = TrimmedName(data.subspan(at, 15), codePage);
            entry.suffix = data[at + 15];
            entry.flags = static_cast<std::uint16_t>(data[at + 16] << 8 | data[at + 17]);
            entry.group = (entry.flags & kGroupFlag) != 0;
            status.names.push_back(std::move(entry));
            at += kNodeNameBytes;
        }
        if (at + kUnitIdBytes <= data.size()) {
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), kUnitIdBytes,
                        status.unitId.begin());
        }
        return status;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> NameQueryResponse(std::uint16_t id, std::string_view oemName,
                                            std::uint8_t suffix,
                                            const std::vector<Ipv4>& addresses) {
    dns::Message message;
    message.id = id;
    message.flags = dns::kFlagResponse | dns::kFlagAuthoritative | dns::kFlagRecursionDesired;
    dns::Record record;
    record.name = EncodeName(oemName.substr(0, kMaxNameBytes), suffix).value_or("");
    record.type = dns::kTypeNb;
    record.ttl = 300000;
    for (const Ipv4& address : addresses) {
        record.data.insert(record.data.end(), {0, 0});
        record.data.insert(record.data.end(), address.begin(), address.end());
    }
    message.answers.push_back(std::move(record));
    return dns::Write(message).value_or(std::vector<std::uint8_t>{});
}

std::vector<std::uint8_t> NodeStatusResponse(std::uint16_t id, const std::vector<NodeName>& names) {
    dns::Message message;
    message.id = id;
    message.flags = dns::kFlagResponse | dns::kFlagAuthoritative;
    dns::Record record;
    record.name = WildcardName();
    record.type = dns::kTypeNbstat;
    const std::size_t count = std::min<std::size_t>(names.size(), 255);
    record.data.push_back(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const auto padded =
            Padded(std::string_view(names[i].name).substr(0, kMaxNameBytes), names[i].suffix);
        record.data.insert(record.data.end(), padded->begin(), padded->end());
        record.data.push_back(static_cast<std::uint8_t>(names[i].flags >> 8));
        record.data.push_back(static_cast<std::uint8_t>(names[i].flags & 0xFF));
    }
    // The statistics: the unit ID and the counters, all zero here.
    record.data.resize(record.data.size() + 46, 0);
    message.answers.push_back(std::move(record));
    return dns::Write(message).value_or(std::vector<std::uint8_t>{});
}

} // namespace vexor::netbios
