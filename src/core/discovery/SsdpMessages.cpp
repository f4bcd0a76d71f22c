#include "SsdpMessages.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <vector>

namespace vexor {
namespace {

// HTTP's optional white space around a field's value; any other control
// character, a CR among them, stays in the value for the checks to refuse.
constexpr std::string_view kHeaderBlanks = " \t";

// Headers an answer may carry; the real ones carry about ten.
constexpr std::size_t kMaxHeaders = 64;
// A description's URL is short; a longer one only costs the fetcher.
constexpr std::size_t kMaxLocation = 512;

struct Header {
    std::string_view name;
    std::string value;
};

// An HTTP token character (RFC 9110 tchar).
bool IsTokenChar(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
        return true;
    }
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// The next line of `text`, ended by CRLF or a bare LF, and what follows it.
std::string_view NextLine(std::string_view& text) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

bool IsStatusOk(std::string_view line) {
    for (const std::string_view version : {"HTTP/1.1 200", "HTTP/1.0 200"}) {
        if (line.substr(0, version.size()) == version &&
            (line.size() == version.size() || line[version.size()] == ' ')) {
            return true;
        }
    }
    return false;
}

bool IsUsableLocation(std::string_view value) {
    return !value.empty() && value.size() <= kMaxLocation &&
           std::all_of(value.begin(), value.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte > 0x20 && byte < 0x7f;
           });
}

} // namespace

std::string SsdpSearch(int maxWaitSeconds) {
    return "M-SEARCH * HTTP/1.1\r\n"
           "HOST: 239.255.255.250:1900\r\n"
           "MAN: \"ssdp:discover\"\r\n"
           "MX: " +
           std::to_string(maxWaitSeconds) +
           "\r\n"
           "ST: ssdp:all\r\n"
           "\r\n";
}

std::optional<SsdpAnswer> ParseSsdpAnswer(std::string_view datagram) {
    if (datagram.size() > kMaxSsdpAnswerBytes) {
        return std::nullopt;
    }
    std::string_view rest = datagram;
    if (!IsStatusOk(NextLine(rest))) {
        return std::nullopt;
    }
    std::vector<Header> headers;
    // Headers end at an empty line or, as some devices send them, with the datagram.
    while (!rest.empty()) {
        const std::string_view line = NextLine(rest);
        if (line.empty()) {
            break;
        }
        if (line.find('\0') != std::string_view::npos) {
            return std::nullopt;
        }
        if (line.front() == ' ' || line.front() == '\t') {
            // A folded line continues the header above it.
            if (headers.empty()) {
                return std::nullopt;
            }
            std::string& value = headers.back().value;
            const std::string_view more = TrimBlanks(line, kHeaderBlanks);
            if (!value.empty() && !more.empty()) {
                value += ' ';
            }
            value += more;
            continue;
        }
        const auto colon = line.find(':');
        const std::string_view name = line.substr(0, colon);
        if (colon == std::string_view::npos || name.empty() ||
            !std::all_of(name.begin(), name.end(), IsTokenChar) || headers.size() >= kMaxHeaders) {
            return std::nullopt;
        }
        headers.push_back({name, std::string(TrimBlanks(line.substr(colon + 1), kHeaderBlanks))});
    }
    SsdpAnswer answer;
    const auto locations = std::count_if(headers.begin(), headers.end(), [](const Header& header) {
        return EqualsIgnoringCase(header.name, "LOCATION");
    });
    // Two LOCATIONs leave it to the reader which one counts: neither does.
    if (locations == 1) {
        const auto at = std::find_if(headers.begin(), headers.end(), [](const Header& header) {
            return EqualsIgnoringCase(header.name, "LOCATION");
        });
        if (IsUsableLocation(at->value)) {
            answer.location = at->value;
        }
    }
    return answer;
}

} // namespace vexor
