#include "AnnouncedAddresses.h"

namespace vexor {

void AnnouncedAddresses::Begin() {
    const std::lock_guard lock(mutex_);
    addresses_.clear();
}

void AnnouncedAddresses::Add(const Ipv4& address) {
    const std::lock_guard lock(mutex_);
    if (address != Ipv4{} && addresses_.size() < kMaxAddresses) {
        addresses_.insert(address);
    }
}

std::set<Ipv4> AnnouncedAddresses::Snapshot() const {
    const std::lock_guard lock(mutex_);
    return addresses_;
}

} // namespace vexor
