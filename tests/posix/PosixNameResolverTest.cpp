// The resolution chain and its background resolution, in an empty network
// namespace so that no lookup leaves this machine.
#include "platform/posix/PosixNameResolver.h"
#include "NamespaceRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace vexor {
namespace {

using namespace std::chrono_literals;

std::string Dotted(const std::vector<Ipv4>& addresses) {
    std::string text;
    for (const Ipv4& a : addresses) {
        if (!text.empty()) {
            text += ',';
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (i > 0) {
                text += '.';
            }
            text += std::to_string(a[i]);
        }
    }
    return text.empty() ? "-" : text;
}

// A local link on which every name but those starting with "NINGUEM" answers
// after 200 ms, and that counts what it was asked.
struct SlowLink {
    std::mutex mutex;
    std::map<std::string, int> asked;

    std::vector<Ipv4> operator()(const std::string& name) {
        {
            const std::lock_guard lock(mutex);
            ++asked[name];
        }
        std::this_thread::sleep_for(200ms);
        if (name.rfind("NINGUEM", 0) == 0) {
            return {};
        }
        return {{10, 0, 0, static_cast<std::uint8_t>(name.size())}};
    }
    std::string Asked() {
        const std::lock_guard lock(mutex);
        std::string text;
        for (const auto& [name, times] : asked) {
            text += name + "×" + std::to_string(times) + " ";
        }
        return text;
    }
};

std::string ResolveAheadThenInTurn() {
    std::ostringstream out;
    SlowLink link;
    const auto learnt = std::make_shared<NameAnswerCache>();
    learnt->Learn("nas", {{10, 9, 8, 7}});
    PosixNameResolver resolver(learnt, [&](const std::string& name) { return link(name); });
    const std::vector<std::string> names{"ALFA",     "NINGUEM1", "BETA",
                                         "NINGUEM2", "NINGUEM3", "GAMA-LONGA"};
    const auto start = std::chrono::steady_clock::now();
    for (const auto& name : names) {
        resolver.Prefetch(name);
    }
    for (const auto& name : names) {
        out << name << "=" << Dotted(resolver.Resolve(name).addresses) << " ";
    }
    // Six names of 200 ms each, resolved side by side.
    out << (std::chrono::steady_clock::now() - start < 450ms ? "parallel" : "one after another")
        << "\n";
    // Asked again within the refresh, negative answers included: nothing new is sent.
    for (const auto& name : {"alfa", "NINGUEM1"}) {
        out << name << "=" << Dotted(resolver.Resolve(name).addresses) << " ";
    }
    out << "\n" << link.Asked() << "\n";
    resolver.ForgetAnswers();
    out << "NINGUEM1=" << Dotted(resolver.Resolve("NINGUEM1").addresses) << "\n";
    // The system resolver, then what was learnt, come before the local link.
    for (const auto& name : {"localhost", "NAS", "nas.local", "servidor.example"}) {
        out << name << "=" << Dotted(resolver.Resolve(name).addresses) << " ";
    }
    out << "\n" << link.Asked();
    return out.str();
}

TEST(PosixNameResolver, ResolvesAheadOnceAndInTheChainsOrder) {
    const auto output = testing::RunInNetworkNamespace("", ResolveAheadThenInTurn);
    if (!output) {
        GTEST_SKIP() << "network namespaces are not permitted here; run as root";
    }
    EXPECT_EQ(*output, "ALFA=10.0.0.4 NINGUEM1=- BETA=10.0.0.4 NINGUEM2=- NINGUEM3=- "
                       "GAMA-LONGA=10.0.0.10 parallel\n"
                       "alfa=10.0.0.4 NINGUEM1=- \n"
                       "ALFA×1 BETA×1 GAMA-LONGA×1 NINGUEM1×1 NINGUEM2×1 NINGUEM3×1 \n"
                       "NINGUEM1=-\n"
                       "localhost=127.0.0.1 NAS=10.9.8.7 nas.local=10.9.8.7 servidor.example=- \n"
                       "ALFA×1 BETA×1 GAMA-LONGA×1 NINGUEM1×2 NINGUEM2×1 NINGUEM3×1 ");
}

} // namespace
} // namespace vexor
