#include "NameQueryPackets.h"

#include "SharedLibrary.h"

#include <algorithm>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <resolv.h>
#include <strings.h>

namespace vexor {
namespace {

constexpr std::size_t kNetbiosNameLength = 15;
constexpr std::uint8_t kServerSuffix = 0x20;
// The NB record type of RFC 1002 (general name service resource record).
constexpr int kTypeNetbios = 0x20;
// Header flags: a NetBIOS broadcast query asks for recursion and sets B; an mDNS
// query sets none (RFC 6762, 18.2 to 18.6).
constexpr std::uint8_t kNetbiosQueryFlagsHigh = 0x01;
constexpr std::uint8_t kNetbiosQueryFlagsLow = 0x10;
// The top bit of an mDNS answer's class is the cache-flush bit, not the class.
constexpr unsigned kClassMask = 0x7fff;
constexpr std::size_t kEntrySize = 6;

// libresolv's message parser, loaded when the first answer is read rather than
// at start-up. Without it no answer is read.
class LibResolv {
  public:
    LibResolv() {
        ready_ = library_.Bind(initParse, "ns_initparse") &&
                 library_.Bind(parseRecord, "ns_parserr") && library_.Bind(flag, "ns_msg_getflag");
    }
    bool ready() const { return ready_; }

    decltype(&ns_initparse) initParse = nullptr;
    decltype(&ns_parserr) parseRecord = nullptr;
    decltype(&ns_msg_getflag) flag = nullptr;

  private:
    SharedLibrary library_{"libresolv.so.2"};
    bool ready_ = false;
};

const LibResolv& Resolv() {
    static const LibResolv library;
    return library;
}

std::vector<std::uint8_t> MakeQuery(const std::string& name, int type, std::uint16_t id,
                                    std::uint8_t flagsHigh, std::uint8_t flagsLow) {
    std::vector<std::uint8_t> message(NS_PACKETSZ);
    const int length = res_mkquery(ns_o_query, name.c_str(), ns_c_in, type, nullptr, 0, nullptr,
                                   message.data(), static_cast<int>(message.size()));
    if (length < NS_HFIXEDSZ) {
        return {};
    }
    message.resize(static_cast<std::size_t>(length));
    message[0] = static_cast<std::uint8_t>(id >> 8);
    message[1] = static_cast<std::uint8_t>(id & 0xff);
    message[2] = flagsHigh;
    message[3] = flagsLow;
    return message;
}

// A parsed response to query `id`, or nothing when the datagram is not one.
std::optional<ns_msg> ResponseTo(std::span<const std::uint8_t> datagram, std::uint16_t id) {
    ns_msg message{};
    if (!Resolv().ready() || datagram.size() < NS_HFIXEDSZ || datagram.size() > 0xffff ||
        Resolv().initParse(datagram.data(), static_cast<int>(datagram.size()), &message) != 0 ||
        ns_msg_id(message) != id || Resolv().flag(message, ns_f_qr) == 0) {
        return std::nullopt;
    }
    return message;
}

// Hands every answer record of `message` that is of `type`, class IN and owned
// by `owner` to `take`; false when a record cannot be read (a truncated or
// malformed message).
template <typename Take>
bool ForEachAnswer(ns_msg& message, int type, std::string_view owner, Take take) {
    const int count = ns_msg_count(message, ns_s_an);
    for (int i = 0; i < count; ++i) {
        ns_rr record{};
        if (Resolv().parseRecord(&message, ns_s_an, i, &record) != 0) {
            return false;
        }
        const std::string_view name = ns_rr_name(record);
        if (ns_rr_type(record) != type || (ns_rr_class(record) & kClassMask) != ns_c_in ||
            name.size() != owner.size() ||
            strncasecmp(name.data(), owner.data(), owner.size()) != 0) {
            continue;
        }
        if (!take(std::span<const std::uint8_t>(ns_rr_rdata(record), ns_rr_rdlen(record)))) {
            return false;
        }
    }
    return true;
}

Ipv4 AddressAt(std::span<const std::uint8_t> bytes) {
    Ipv4 address{};
    std::copy_n(bytes.begin(), address.size(), address.begin());
    return address;
}

} // namespace

bool IsNetbiosName(std::string_view name) {
    return !name.empty() && name.size() <= kNetbiosNameLength &&
           name.find('.') == std::string_view::npos;
}

std::string NetbiosEncodedName(std::string_view name) {
    std::string padded(name.substr(0, kNetbiosNameLength));
    std::transform(padded.begin(), padded.end(), padded.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    padded.resize(kNetbiosNameLength, ' ');
    padded.push_back(static_cast<char>(kServerSuffix));
    std::string encoded;
    for (const char c : padded) {
        const auto byte = static_cast<std::uint8_t>(c);
        encoded.push_back(static_cast<char>('A' + (byte >> 4)));
        encoded.push_back(static_cast<char>('A' + (byte & 0x0f)));
    }
    return encoded;
}

std::vector<std::uint8_t> BuildNetbiosNameQuery(std::string_view name, std::uint16_t id) {
    if (!IsNetbiosName(name)) {
        return {};
    }
    return MakeQuery(NetbiosEncodedName(name), kTypeNetbios, id, kNetbiosQueryFlagsHigh,
                     kNetbiosQueryFlagsLow);
}

std::vector<std::uint8_t> BuildMdnsQuery(std::string_view host, std::uint16_t id) {
    if (host.empty() || host.size() >= NS_MAXDNAME) {
        return {};
    }
    return MakeQuery(std::string(host), ns_t_a, id, 0, 0);
}

std::optional<std::vector<Ipv4>> ParseNetbiosAnswer(std::span<const std::uint8_t> datagram,
                                                    std::uint16_t id, std::string_view name) {
    auto message = ResponseTo(datagram, id);
    if (!message || !IsNetbiosName(name)) {
        return std::nullopt;
    }
    if (Resolv().flag(*message, ns_f_rcode) != ns_r_noerror) {
        return std::vector<Ipv4>{};
    }
    std::vector<Ipv4> addresses;
    bool answered = false;
    const bool readable =
        ForEachAnswer(*message, kTypeNetbios, NetbiosEncodedName(name), [&](auto data) {
            // Each entry is two bytes of name flags and the owner's address.
            if (data.size() % kEntrySize != 0) {
                return false;
            }
            answered = true;
            for (std::size_t at = 0; at < data.size(); at += kEntrySize) {
                addresses.push_back(AddressAt(data.subspan(at + 2, 4)));
            }
            return true;
        });
    if (!readable || !answered) {
        return std::nullopt;
    }
    return addresses;
}

std::optional<std::vector<Ipv4>> ParseMdnsAnswer(std::span<const std::uint8_t> datagram,
                                                 std::uint16_t id, std::string_view host) {
    auto message = ResponseTo(datagram, id);
    if (!message || Resolv().flag(*message, ns_f_rcode) != ns_r_noerror) {
        return std::nullopt;
    }
    if (!host.empty() && host.back() == '.') {
        host.remove_suffix(1);
    }
    std::vector<Ipv4> addresses;
    const bool readable = ForEachAnswer(*message, ns_t_a, host, [&](auto data) {
        if (data.size() != 4) {
            return false;
        }
        const Ipv4 address = AddressAt(data);
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.push_back(address);
        }
        return true;
    });
    if (!readable || addresses.empty()) {
        return std::nullopt;
    }
    return addresses;
}

} // namespace vexor
