#include "NameAnswerCache.h"

#include <algorithm>

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
    known_[key] = Known{addresses, 0};
}

void NameAnswerCache::Add(std::string_view name, const Ipv4& address) {
    const std::string key = MachineKey(name);
    if (key.empty()) {
        return;
    }
    const std::lock_guard lock(mutex_);
    if (known_.size() >= kMaxNames && known_.find(key) == known_.end()) {
        return;
    }
    auto& addresses = known_[key].addresses;
    if (addresses.size() < kMaxAddresses &&
        std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
        addresses.push_back(address);
    }
}

void NameAnswerCache::Forget(std::string_view name, const Ipv4& address) {
    const std::lock_guard lock(mutex_);
    const auto found = known_.find(MachineKey(name));
    if (found == known_.end()) {
        return;
    }
    Known& known = found->second;
    std::erase(known.addresses, address);
    if (known.addresses.empty()) {
        known_.erase(found);
    } else if (known.next >= known.addresses.size()) {
        known.next = 0;
    }
}

void NameAnswerCache::Clear() {
    const std::lock_guard lock(mutex_);
    known_.clear();
}

std::vector<Ipv4> NameAnswerCache::Find(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    const auto found = known_.find(MachineKey(name));
    return found == known_.end() ? std::vector<Ipv4>{} : found->second.addresses;
}

void NameAnswerCache::List(const std::vector<std::pair<std::string, Ipv4>>& lines) {
    std::map<std::string, std::vector<Ipv4>> listed;
    for (const auto& [name, address] : lines) {
        const std::string key = MachineKey(name);
        auto& addresses = listed[key];
        if (!key.empty() && address != Ipv4{} && addresses.size() < kMaxAddresses &&
            std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.push_back(address);
        }
    }
    const std::lock_guard lock(mutex_);
    for (auto& [key, addresses] : listed) {
        if (addresses.empty() || (known_.size() >= kMaxNames && !known_.contains(key))) {
            continue;
        }
        known_[key] = Known{std::move(addresses), 0};
    }
}

std::vector<Ipv4> NameAnswerCache::Answer(std::string_view name) {
    const std::lock_guard lock(mutex_);
    const auto found = known_.find(MachineKey(name));
    if (found == known_.end()) {
        return {};
    }
    Known& known = found->second;
    std::vector<Ipv4> answer = known.addresses;
    if (known.next < answer.size()) {
        std::rotate(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(known.next),
                    answer.begin() + static_cast<std::ptrdiff_t>(known.next) + 1);
    }
    known.next = answer.empty() ? 0 : (known.next + 1) % answer.size();
    return answer;
}

} // namespace vexor
