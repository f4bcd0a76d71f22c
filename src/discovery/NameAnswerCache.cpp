#include "NameAnswerCache.h"

namespace vexor {

void NameAnswerCache::Learn(std::string_view name, const std::vector<Ipv4>& addresses) {
    const std::string key = MachineKey(name);
    if (key.empty()) {
        return;
    }
    const std::lock_guard lock(mutex_);
    if (addresses.empty()) {
        known_.erase(key);
        return;
    }
    if (known_.size() >= kMaxNames && known_.find(key) == known_.end()) {
        return;
    }
    known_[key] = addresses;
}

void NameAnswerCache::Clear() {
    const std::lock_guard lock(mutex_);
    known_.clear();
}

std::vector<Ipv4> NameAnswerCache::Find(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    const auto found = known_.find(MachineKey(name));
    return found == known_.end() ? std::vector<Ipv4>{} : found->second;
}

} // namespace vexor
