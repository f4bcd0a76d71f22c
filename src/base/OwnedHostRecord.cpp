#include "OwnedHostRecord.h"

namespace vexor {

const HostEnt* OwnedHostRecord::Publish(std::string name, const std::vector<Ipv4>& addresses) {
    name_ = std::move(name);
    addresses_ = addresses;
    list_.clear();
    for (auto& address : addresses_) {
        list_.push_back(reinterpret_cast<char*>(address.data()));
    }
    list_.push_back(nullptr);
    record_ = HostEnt{name_.data(), nullptr, kAfInet, 4, list_.data()};
    return &record_;
}

} // namespace vexor
