#pragma once

#include "discovery/NameAnswerCache.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vexor {

// How a Linux machine finds another machine's address the way Windows does: the
// system resolver first (hosts file, DNS, whatever nsswitch.conf names); when it
// knows nothing, the addresses learnt from the network; then the local link
// (NetBIOS broadcast and mDNS). Answers, negative ones too, are kept for one
// refresh, and names can be resolved ahead in the background so that the
// caller who asks later finds the answer ready.
class PosixNameResolver {
  public:
    struct Answer {
        std::string canonicalName;
        std::vector<Ipv4> addresses;
    };
    // The last step of the chain: the local link, or a stand-in in tests.
    using LinkQuery = std::function<std::vector<Ipv4>(const std::string& name)>;

    static constexpr std::size_t kMaxInFlight = 32;
    // An answer older than this is asked again even within one refresh.
    static constexpr std::chrono::seconds kAnswerLifetime{10};

    explicit PosixNameResolver(
        std::shared_ptr<NameAnswerCache> learnt = std::make_shared<NameAnswerCache>(),
        LinkQuery linkQuery = {});
    ~PosixNameResolver();
    PosixNameResolver(const PosixNameResolver&) = delete;
    PosixNameResolver& operator=(const PosixNameResolver&) = delete;

    // The answer for `name`; waits for a resolution already under way.
    Answer Resolve(const std::string& name);
    // Starts resolving `name` in the background and returns at once.
    void Prefetch(const std::string& name);
    // A new refresh: answers already given are asked afresh next time.
    void ForgetAnswers();

    NameAnswerCache& learnt() { return *learnt_; }
    const std::shared_ptr<NameAnswerCache>& learntShared() const { return learnt_; }

  private:
    struct Entry {
        bool started = false;
        bool done = false;
        Answer answer;
        std::chrono::steady_clock::time_point when;
    };

    Answer Lookup(const std::string& name) const;
    void Finish(const std::shared_ptr<Entry>& entry, Answer answer);
    void Work();

    std::shared_ptr<NameAnswerCache> learnt_;
    LinkQuery linkQuery_;
    std::mutex mutex_;
    // Signalled when an answer is in; `work_` when the queue has a name.
    std::condition_variable changed_;
    std::condition_variable work_;
    std::map<std::string, std::shared_ptr<Entry>> entries_;
    std::deque<std::pair<std::string, std::shared_ptr<Entry>>> queue_;
    std::vector<std::thread> workers_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

} // namespace vexor
