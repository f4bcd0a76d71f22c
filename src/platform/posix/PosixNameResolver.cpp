#include "PosixNameResolver.h"

#include "LocalLinkQuery.h"

#include <algorithm>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <system_error>

namespace vexor {
namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

std::string EntryKey(const std::string& name) {
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return key;
}

std::optional<PosixNameResolver::Answer> SystemLookup(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* raw = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &raw) != 0 || raw == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<addrinfo, AddrInfoDeleter> list(raw);
    PosixNameResolver::Answer answer;
    answer.canonicalName = list->ai_canonname != nullptr ? list->ai_canonname : name;
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
        Ipv4 bytes{};
        std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr,
                    4);
        // getaddrinfo repeats an address once per socket type; a host record lists it once.
        if (std::find(answer.addresses.begin(), answer.addresses.end(), bytes) ==
            answer.addresses.end()) {
            answer.addresses.push_back(bytes);
        }
    }
    return answer;
}

} // namespace

PosixNameResolver::PosixNameResolver(std::shared_ptr<NameAnswerCache> learnt, LinkQuery linkQuery)
    : learnt_(std::move(learnt)), linkQuery_(std::move(linkQuery)) {
    if (!linkQuery_) {
        linkQuery_ = [](const std::string& name) {
            return QueryLocalLink(name, InterfaceTargets());
        };
    }
}

PosixNameResolver::~PosixNameResolver() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    for (auto& worker : workers_) {
        worker.join();
    }
}

PosixNameResolver::Answer PosixNameResolver::Lookup(const std::string& name) const {
    if (auto found = SystemLookup(name)) {
        return *found;
    }
    if (auto learnt = learnt_->Find(name); !learnt.empty()) {
        return {name, std::move(learnt)};
    }
    // Windows asks the local link only for names that are not fully qualified
    // (and for names in the ".local" domain).
    if (name.find('.') != std::string::npos && !IsLocalDomainName(name)) {
        return {name, {}};
    }
    return {name, linkQuery_(name)};
}

void PosixNameResolver::Finish(const std::shared_ptr<Entry>& entry, Answer answer) {
    {
        const std::lock_guard lock(mutex_);
        entry->answer = std::move(answer);
        entry->done = true;
        entry->when = std::chrono::steady_clock::now();
    }
    changed_.notify_all();
}

PosixNameResolver::Answer PosixNameResolver::Resolve(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    std::unique_lock lock(mutex_);
    auto& slot = entries_[EntryKey(name)];
    const auto now = std::chrono::steady_clock::now();
    if (slot && (!slot->done || now - slot->when < kAnswerLifetime)) {
        const std::shared_ptr<Entry> entry = slot;
        if (entry->started || entry->done) {
            changed_.wait(lock, [&] { return entry->done; });
            return entry->answer;
        }
        // Still waiting in the background queue: this caller does it now.
        entry->started = true;
        lock.unlock();
        Answer answer = Lookup(name);
        Finish(entry, answer);
        return answer;
    }
    slot = std::make_shared<Entry>();
    slot->started = true;
    const std::shared_ptr<Entry> entry = slot;
    lock.unlock();
    Answer answer = Lookup(name);
    Finish(entry, answer);
    return answer;
}

void PosixNameResolver::Prefetch(const std::string& name) {
    if (name.empty()) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        auto& slot = entries_[EntryKey(name)];
        const auto now = std::chrono::steady_clock::now();
        if (slot && (!slot->done || now - slot->when < kAnswerLifetime)) {
            return;
        }
        slot = std::make_shared<Entry>();
        queue_.emplace_back(name, slot);
        if (idle_ < queue_.size() && workers_.size() < kMaxInFlight) {
            try {
                workers_.emplace_back([this] { Work(); });
                ++idle_;
            } catch (const std::system_error&) {
                // No thread to be had: the name is resolved when it is asked for.
            }
        }
    }
    work_.notify_one();
}

void PosixNameResolver::ForgetAnswers() {
    const std::lock_guard lock(mutex_);
    std::erase_if(entries_, [](const auto& item) { return item.second->done; });
}

void PosixNameResolver::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) {
            return;
        }
        auto [name, entry] = std::move(queue_.front());
        queue_.pop_front();
        if (entry->started) {
            continue;
        }
        entry->started = true;
        --idle_;
        lock.unlock();
        Answer answer = Lookup(name);
        Finish(entry, std::move(answer));
        lock.lock();
        ++idle_;
    }
}

} // namespace vexor
