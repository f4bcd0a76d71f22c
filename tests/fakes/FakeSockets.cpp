#include "FakeSockets.h"

#include <algorithm>
#include <cstring>

namespace vexor::fakes {

int FakeSockets::count(const std::string& call) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
        return c == call || c.rfind(call + ":", 0) == 0;
    }));
}

int FakeSockets::startup(std::uint16_t versionRequested, SocketsStartupRecord& record) {
    calls.push_back("startup:" + std::to_string(versionRequested));
    if (startupResult != 0) {
        return startupResult;
    }
    record.wVersion = grantedVersion;
    record.wHighVersion = grantedVersion;
    record.iMaxSockets = maxSockets;
    return 0;
}

int FakeSockets::cleanup() {
    calls.push_back("cleanup");
    return cleanupResult;
}

int FakeSockets::lastError() {
    calls.push_back("lastError");
    return hostNameError;
}

int FakeSockets::hostName(char* name, int length) {
    calls.push_back("hostName:" + std::to_string(length));
    if (!localName || static_cast<int>(localName->size()) >= length) {
        return kSocketError;
    }
    std::memcpy(name, localName->c_str(), localName->size() + 1);
    return 0;
}

const HostEnt* FakeSockets::Publish(const Host& host) {
    // Scribble over the previous record first, so a caller that kept it past this
    // call reads garbage (and the sanitizers notice freed memory).
    std::memset(&record_, 0xA5, sizeof record_);
    name_ = host.officialName;
    bytes_ = host.addresses;
    list_.clear();
    for (auto& address : bytes_) {
        list_.push_back(reinterpret_cast<char*>(address.data()));
    }
    list_.push_back(nullptr);
    record_.h_name = name_.data();
    record_.h_aliases = nullptr;
    record_.h_addrtype = kAfInet;
    record_.h_length = host.length;
    record_.h_addr_list = list_.data();
    return &record_;
}

const HostEnt* FakeSockets::hostByName(const char* name) {
    calls.push_back(std::string("hostByName:") + name);
    const auto found = hostsByName.find(name);
    return found == hostsByName.end() ? nullptr : Publish(found->second);
}

const HostEnt* FakeSockets::hostByAddr(const char* address, int length, int type) {
    std::array<unsigned char, 4> key{};
    std::memcpy(key.data(), address, std::min<std::size_t>(4, static_cast<std::size_t>(length)));
    calls.push_back("hostByAddr:" + std::to_string(key[0]) + "." + std::to_string(key[1]) + "." +
                    std::to_string(key[2]) + "." + std::to_string(key[3]) + "/" +
                    std::to_string(length) + "/" + std::to_string(type));
    const auto found = namesByAddress.find(key);
    if (found == namesByAddress.end()) {
        return nullptr;
    }
    return Publish(Host{found->second, {{key.begin(), key.end()}}, 4});
}

} // namespace vexor::fakes
