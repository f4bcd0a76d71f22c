#include "WsdMessages.h"

#include "base/AsciiText.h"
#include "base/DottedQuad.h"
#include "base/RandomBits.h"

#include "XmlFields.h"

#include <charconv>

namespace vexor {
namespace {

const std::string kSoap = "http://www.w3.org/2003/05/soap-envelope";
const std::string kWsa = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
const std::string kWsd = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
const std::string kWsdp = "http://schemas.xmlsoap.org/ws/2006/02/devprof";
const std::string kPub = "http://schemas.microsoft.com/windows/pub/2005/07";

const std::string kHeader = kSoap + " Header";
const std::string kAction = kWsa + " Action";
const std::string kMessageId = kWsa + " MessageID";
const std::string kRelatesTo = kWsa + " RelatesTo";
const std::string kProbeMatch = kWsd + " ProbeMatch";
const std::string kResolveMatch = kWsd + " ResolveMatch";
const std::string kEndpointReference = kWsa + " EndpointReference";
const std::string kAddress = kWsa + " Address";
const std::string kTypes = kWsd + " Types";
const std::string kXAddrs = kWsd + " XAddrs";
const std::string kHost = kWsdp + " Host";
const std::string kComputer = kPub + " Computer";

const std::string kProbeMatchesAction = kWsd + "/ProbeMatches";
const std::string kResolveMatchesAction = kWsd + "/ResolveMatches";

std::string Envelope(const std::string& to, const std::string& action, const std::string& messageId,
                     const std::string& extraHeader, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<soap:Envelope xmlns:soap=\"" +
           kSoap + "\" xmlns:wsa=\"" + kWsa + "\" xmlns:wsd=\"" + kWsd + "\" xmlns:wsdp=\"" +
           kWsdp + "\"><soap:Header><wsa:To>" + to + "</wsa:To><wsa:Action>" + action +
           "</wsa:Action><wsa:MessageID>" + messageId + "</wsa:MessageID>" + extraHeader +
           "</soap:Header><soap:Body>" + body + "</soap:Body></soap:Envelope>";
}

// A peer's text placed inside one of our messages.
std::string XmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '&':
            escaped += "&amp;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t\r\n", at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
        words.emplace_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

} // namespace

std::string WsdProbe(const std::string& messageId) {
    return Envelope("urn:schemas-xmlsoap-org:ws:2005:04:discovery", kWsd + "/Probe", messageId, "",
                    "<wsd:Probe><wsd:Types>wsdp:Device</wsd:Types></wsd:Probe>");
}

std::string WsdResolve(const std::string& messageId, const std::string& endpoint) {
    return Envelope("urn:schemas-xmlsoap-org:ws:2005:04:discovery", kWsd + "/Resolve", messageId,
                    "",
                    "<wsd:Resolve><wsa:EndpointReference><wsa:Address>" + XmlEscaped(endpoint) +
                        "</wsa:Address></wsa:EndpointReference></wsd:Resolve>");
}

std::string WsdGetMetadata(const std::string& messageId, const std::string& endpoint) {
    return Envelope(
        XmlEscaped(endpoint), "http://schemas.xmlsoap.org/ws/2004/09/transfer/Get", messageId,
        "<wsa:ReplyTo><wsa:Address>" + kWsa + "/role/anonymous</wsa:Address></wsa:ReplyTo>", "");
}

std::optional<WsdReply> ParseWsdReply(const XmlReaderFactory& xml, std::string_view document) {
    const auto fields = ReadXmlFields(xml, document);
    if (!fields) {
        return std::nullopt;
    }
    WsdReply reply;
    std::string action;
    for (const XmlField& field : *fields) {
        if (PathEndsWith(field, {kHeader, kAction})) {
            action = std::string(TrimBlanks(field.text));
        } else if (PathEndsWith(field, {kHeader, kMessageId})) {
            reply.messageId = std::string(TrimBlanks(field.text));
        } else if (PathEndsWith(field, {kHeader, kRelatesTo})) {
            reply.relatesTo = std::string(TrimBlanks(field.text));
        } else if (PathEndsWith(field, {kProbeMatch}) || PathEndsWith(field, {kResolveMatch})) {
            reply.matches.emplace_back();
        } else if (reply.matches.empty()) {
            continue;
        } else if (PathEndsWith(field, {kProbeMatch, kEndpointReference, kAddress}) ||
                   PathEndsWith(field, {kResolveMatch, kEndpointReference, kAddress})) {
            reply.matches.back().endpoint = std::string(TrimBlanks(field.text));
        } else if (PathEndsWith(field, {kProbeMatch, kTypes}) ||
                   PathEndsWith(field, {kResolveMatch, kTypes})) {
            reply.matches.back().types = Words(field.text);
        } else if (PathEndsWith(field, {kProbeMatch, kXAddrs}) ||
                   PathEndsWith(field, {kResolveMatch, kXAddrs})) {
            reply.matches.back().xaddrs = Words(field.text);
        }
    }
    if (action != kProbeMatchesAction && action != kResolveMatchesAction) {
        return std::nullopt;
    }
    std::erase_if(reply.matches, [](const WsdMatch& match) { return match.endpoint.empty(); });
    return reply;
}

std::optional<std::string> ParseMetadataComputer(const XmlReaderFactory& xml,
                                                 std::string_view document) {
    const auto fields = ReadXmlFields(xml, document);
    if (!fields) {
        return std::nullopt;
    }
    for (const XmlField& field : *fields) {
        if (PathEndsWith(field, {kHost, kComputer})) {
            if (std::string text = std::string(TrimBlanks(field.text)); !text.empty()) {
                return text;
            }
        }
    }
    return std::nullopt;
}

WsdComputer ParseComputerText(std::string_view text) {
    const std::size_t slash = text.find('/');
    WsdComputer computer{std::string(text.substr(0, slash)), {}};
    if (slash == std::string_view::npos) {
        return computer;
    }
    const std::string_view membership = text.substr(slash + 1);
    for (const std::string_view kind : {"Workgroup:", "Domain:"}) {
        if (membership.substr(0, kind.size()) == kind) {
            computer.workgroup = membership.substr(kind.size());
        }
    }
    return computer;
}

namespace {

bool FetchableFrom(std::string_view url, const Ipv4& from) {
    constexpr std::string_view kScheme = "http://";
    if (url.substr(0, kScheme.size()) != kScheme) {
        return false;
    }
    url.remove_prefix(kScheme.size());
    std::string_view authority = url.substr(0, url.find_first_of("/?#"));
    if (authority.find('@') != std::string_view::npos) {
        return false;
    }
    if (const auto colon = authority.find(':'); colon != std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        unsigned value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc() || end != port.data() + port.size() || value == 0 ||
            value > 65535) {
            return false;
        }
        authority = authority.substr(0, colon);
    }
    const auto host = ParseDottedQuad(authority);
    // Loopback, unspecified and multicast senders cannot be peers on the link.
    return host && *host == from && from[0] != 127 && from[0] != 0 && from[0] < 224;
}

} // namespace

std::optional<std::string> UsableXaddr(const std::vector<std::string>& xaddrs, const Ipv4& from) {
    for (const std::string& address : xaddrs) {
        if (FetchableFrom(address, from)) {
            return address;
        }
    }
    return std::nullopt;
}

std::string NewMessageId() {
    std::uint64_t bits[2] = {RandomBits(), RandomBits()};
    std::string id = "urn:uuid:";
    constexpr char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20) {
            id += '-';
        }
        unsigned digit = static_cast<unsigned>(bits[i / 16] >> (4 * (i % 16)) & 15);
        if (i == 12) {
            digit = 4;
        } else if (i == 16) {
            digit = 8 | (digit & 3);
        }
        id += kHex[digit];
    }
    return id;
}

} // namespace vexor
