#include "DnsSdBrowser.h"

#include "DnsMessage.h"
#include "DnsSdAnswer.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace vexor {
namespace {

using Clock = std::chrono::steady_clock;

constexpr Ipv4 kMdnsGroup{224, 0, 0, 251};
constexpr std::uint16_t kMdnsPort = 5353;

struct Question {
    std::string name;
    std::uint16_t type = 0;
    std::uint16_t id = 0;
    int asked = 0;
    bool answered = false;
    Clock::time_point first;
    Clock::time_point last;
};

class Browse {
  public:
    Browse(IDatagramSocket& socket, std::vector<Ipv4> interfaces, const FoundSink& found,
           Clock::time_point deadline, const DnsSdTiming& timing)
        : socket_(socket), interfaces_(std::move(interfaces)), found_(found), deadline_(deadline),
          timing_(timing), random_(std::random_device{}()) {}

    void Run() {
        for (const char* type : kDnsSdMachineTypes) {
            Ask(std::string(type) + ".local", dns::kTypePtr);
        }
        for (;;) {
            const auto now = Clock::now();
            if (now >= deadline_) {
                return;
            }
            AskDue(now);
            FollowUp();
            const auto wake = NextEvent();
            if (wake == Clock::time_point::max()) {
                return;
            }
            if (auto datagram = socket_.ReceiveUntil(std::min(wake, deadline_))) {
                Handle(*datagram);
            }
        }
    }

  private:
    void Ask(const std::string& name, std::uint16_t type) {
        if (questions_.size() >= timing_.maxServices * 2 + 8 ||
            !asked_.insert({AsciiLower(name), type}).second) {
            return;
        }
        Question question;
        question.name = name;
        question.type = type;
        // Zero is no id: a reply with it could answer anyone.
        question.id = static_cast<std::uint16_t>(random_() % 0xFFFF + 1);
        questions_.push_back(std::move(question));
    }

    // The time of the next ask of `question`: at once, then after the repeat
    // delay, then after twice that.
    Clock::time_point NextAsk(const Question& question) const {
        if (question.answered || question.asked >= timing_.asks) {
            return Clock::time_point::max();
        }
        if (question.asked == 0) {
            return Clock::time_point::min();
        }
        return question.last + timing_.repeatDelay * (1 << (question.asked - 1));
    }

    void AskDue(Clock::time_point now) {
        for (Question& question : questions_) {
            if (NextAsk(question) > now) {
                continue;
            }
            const auto bytes = DnsQuery(question.id, question.name, question.type);
            for (const Ipv4& via : interfaces_) {
                socket_.SendTo(bytes, {kMdnsGroup, kMdnsPort}, via);
            }
            if (question.asked++ == 0) {
                question.first = now;
            }
            question.last = now;
        }
    }

    // Asks for what the answers so far leave missing, and reports every
    // service whose host and address are known.
    void FollowUp() {
        for (const auto& [key, instance] : instances_) {
            const auto target = targets_.find(key);
            if (target == targets_.end()) {
                Ask(instance, dns::kTypeSrv);
                continue;
            }
            const std::string host = AsciiLower(target->second);
            const auto address = addresses_.find(host);
            if (address == addresses_.end()) {
                Ask(target->second, dns::kTypeA);
                continue;
            }
            if (reported_.insert(host).second) {
                if (auto machine = DnsSdMachine(target->second, address->second)) {
                    found_(std::move(*machine));
                }
            }
        }
    }

    // When to look again: the next ask due, or the moment a question asked for
    // the last time has had its answer window; none when all are settled.
    Clock::time_point NextEvent() const {
        auto next = Clock::time_point::max();
        for (const Question& question : questions_) {
            const auto ask = NextAsk(question);
            if (ask != Clock::time_point::max()) {
                next = std::min(next, ask);
            } else if (!question.answered && question.last + timing_.answerWindow > Clock::now()) {
                next = std::min(next, question.last + timing_.answerWindow);
            }
        }
        return next;
    }

    Question* Asked(std::uint16_t id) {
        for (Question& question : questions_) {
            if (question.id == id && question.asked > 0) {
                return &question;
            }
        }
        return nullptr;
    }

    void Handle(const Datagram& datagram) {
        // Responders answer a one-shot query from their own port, echoing its id.
        if (datagram.from.port != kMdnsPort) {
            return;
        }
        const auto message = ReadDnsMessage(datagram.bytes);
        if (!message || !message->response) {
            return;
        }
        Question* question = Asked(message->id);
        if (question == nullptr) {
            return;
        }
        for (const DnsRecord& record : message->records) {
            Take(record);
        }
        // A PTR question has no last answer: it is asked until its repeats are
        // done. A SRV or A question is settled by its answer.
        if (question->type == dns::kTypeSrv) {
            question->answered = targets_.contains(AsciiLower(question->name));
        } else if (question->type == dns::kTypeA) {
            question->answered = addresses_.contains(AsciiLower(question->name));
        }
    }

    void Take(const DnsRecord& record) {
        switch (record.type) {
        case dns::kTypePtr:
            if (asked_.contains({AsciiLower(record.name), dns::kTypePtr}) &&
                instances_.size() < timing_.maxServices) {
                instances_.emplace(AsciiLower(record.target), record.target);
            }
            break;
        case dns::kTypeSrv:
            if (targets_.size() < timing_.maxServices && !record.target.empty()) {
                targets_.emplace(AsciiLower(record.name), record.target);
            }
            break;
        case dns::kTypeA:
            if (addresses_.size() < timing_.maxServices && record.address != Ipv4{}) {
                addresses_.emplace(AsciiLower(record.name), record.address);
            }
            break;
        default:
            break;
        }
    }

    IDatagramSocket& socket_;
    const std::vector<Ipv4> interfaces_;
    const FoundSink& found_;
    const Clock::time_point deadline_;
    const DnsSdTiming& timing_;
    std::mt19937 random_;
    std::vector<Question> questions_;
    // Keyed by names in lower case: DNS compares names so.
    std::set<std::pair<std::string, std::uint16_t>> asked_;
    std::map<std::string, std::string> instances_;
    std::map<std::string, std::string> targets_;
    std::map<std::string, Ipv4> addresses_;
    std::set<std::string> reported_;
};

} // namespace

void BrowseDnsSdItself(const DiscoverySeams& seams, const FoundSink& found,
                       Clock::time_point deadline, const DnsSdTiming& timing) {
    if (auto link = OpenMulticastLink(seams)) {
        Browse(*link->socket, std::move(link->interfaces), found, deadline, timing).Run();
    }
}

} // namespace vexor
