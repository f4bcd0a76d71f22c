#include "ResolvConf.h"

#include <arpa/inet.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace vexor {
namespace {

// A resolv.conf larger than this is read only this far.
constexpr std::size_t kMaxBytes = 64 * 1024;

} // namespace

std::vector<Ipv4> ParseNameservers(std::string_view text) {
    std::vector<Ipv4> servers;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword;
        std::string value;
        if (!(words >> keyword >> value) || keyword != "nameserver") {
            continue;
        }
        Ipv4 address{};
        if (inet_pton(AF_INET, value.c_str(), address.data()) == 1 &&
            std::find(servers.begin(), servers.end(), address) == servers.end()) {
            servers.push_back(address);
        }
    }
    return servers;
}

std::vector<Ipv4> ResolvConfServers() {
    std::ifstream file("/etc/resolv.conf", std::ios::binary);
    std::string text;
    char buffer[4096];
    while (file && text.size() < kMaxBytes) {
        file.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
    }
    return ParseNameservers(std::string_view(text).substr(0, kMaxBytes));
}

} // namespace vexor
