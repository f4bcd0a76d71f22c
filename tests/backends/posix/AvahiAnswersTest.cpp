// What a browse through avahi-daemon takes of the services the network
// announced: addresses on this machine's subnets, a share per sender, and
// goodbyes honoured.
#include "backends/posix/AvahiAnswers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <tuple>

namespace vexor {
namespace {

const std::vector<ConnectedSubnet> kSubnets{{{192, 168, 1, 10}, {255, 255, 255, 0}},
                                            {{10, 20, 0, 1}, {255, 255, 0, 0}}};

FoundMachine Machine(std::string name, Ipv4 address) {
    return {MachineSource::DnsSd, std::move(name), "", address};
}

std::vector<std::string> Names(const AvahiAnswers& answers) {
    std::vector<std::string> names;
    for (const FoundMachine& machine : answers.Machines()) {
        names.push_back(machine.name);
    }
    return names;
}

TEST(AvahiAnswers, AnAddressIsTakenOnlyOnAConnectedSubnet) {
    const struct {
        Ipv4 address;
        bool taken;
    } cases[] = {
        {{192, 168, 1, 77}, true},  {{192, 168, 1, 255}, true}, {{10, 20, 250, 3}, true},
        {{192, 168, 2, 77}, false}, {{10, 21, 0, 1}, false},    {{8, 8, 8, 8}, false},
        {{127, 0, 0, 1}, false},
    };
    for (const auto& c : cases) {
        AvahiAnswers answers(kSubnets);
        answers.Resolved("i", Machine("NAS", c.address));
        EXPECT_EQ(answers.Machines().size(), c.taken ? 1U : 0U)
            << int(c.address[0]) << "." << int(c.address[2]) << "." << int(c.address[3]);
    }
}

// One address announcing hundreds of machines gives its first 32 and no more;
// repeats of those do not use up its share, and another address keeps its own.
TEST(AvahiAnswers, OneSenderGivesAtMostItsShareInArrivalOrder) {
    AvahiAnswers answers(kSubnets);
    const Ipv4 flood{192, 168, 1, 66};
    answers.Resolved("nas", Machine("NAS-SALA", {192, 168, 1, 20}));
    for (int i = 0; i < 400; ++i) {
        answers.Resolved("f" + std::to_string(i), Machine("LIXO" + std::to_string(i), flood));
        // The same machine again, by another of its services.
        answers.Resolved("g" + std::to_string(i), Machine("LIXO" + std::to_string(i % 3), flood));
    }
    answers.Resolved("pc", Machine("PC-ESCRITORIO", {10, 20, 5, 5}));
    const auto names = Names(answers);
    ASSERT_EQ(names.size(), 2 + AvahiAnswers::kPerSender);
    EXPECT_EQ(names.front(), "NAS-SALA");
    EXPECT_EQ(names[1], "LIXO0");
    EXPECT_EQ(names[AvahiAnswers::kPerSender], "LIXO31");
    EXPECT_EQ(names.back(), "PC-ESCRITORIO");
}

TEST(AvahiAnswers, AGoodbyeRemovesTheMachineAndCostsNoShare) {
    const struct {
        std::vector<std::pair<char, std::string>> events; // R: resolved, G: goodbye
        std::vector<std::string> listed;
    } cases[] = {
        {{{'R', "a"}, {'G', "a"}}, {}},
        {{{'G', "a"}, {'R', "a"}}, {}},
        {{{'R', "a"}, {'R', "b"}, {'G', "b"}}, {"HOST-A"}},
        {{{'R', "a"}, {'G', "x"}}, {"HOST-A"}},
    };
    for (const auto& c : cases) {
        AvahiAnswers answers(kSubnets);
        for (const auto& [kind, instance] : c.events) {
            if (kind == 'R') {
                std::string name = "HOST-" + instance;
                for (char& letter : name) {
                    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
                }
                answers.Resolved(instance, Machine(name, {192, 168, 1, 9}));
            } else {
                answers.Removed(instance);
            }
        }
        EXPECT_EQ(Names(answers), c.listed);
    }
    // Machines that said goodbye leave room for others of the same sender.
    AvahiAnswers answers(kSubnets);
    for (std::size_t i = 0; i < AvahiAnswers::kPerSender; ++i) {
        answers.Resolved("t" + std::to_string(i),
                         Machine("TEMP" + std::to_string(i), {10, 20, 1, 1}));
        answers.Removed("t" + std::to_string(i));
    }
    answers.Resolved("fica", Machine("FICA", {10, 20, 1, 1}));
    EXPECT_EQ(Names(answers), std::vector<std::string>{"FICA"});
}

// A removal takes away only what that service gave: a machine another service
// still resolves to stays, and a machine of the same name at another address
// (another sender) is not touched.
TEST(AvahiAnswers, ARemovalTakesOnlyWhatThatServiceGave) {
    const Ipv4 nasAt{192, 168, 1, 20};
    const Ipv4 floodAt{192, 168, 1, 66};
    using Event = std::tuple<char, std::string, std::string, Ipv4>; // N/R/G, instance, machine
    const struct {
        const char* what;
        std::vector<Event> events;
        std::vector<std::string> listed;
    } cases[] = {
        {"two services of one machine, one removed: the machine stays",
         {{'R', "smb", "NAS", nasAt}, {'R', "ws", "NAS", nasAt}, {'G', "smb", "", {}}},
         {"NAS@20"}},
        {"both removed: gone",
         {{'R', "smb", "NAS", nasAt},
          {'R', "ws", "NAS", nasAt},
          {'G', "smb", "", {}},
          {'G', "ws", "", {}}},
         {}},
        {"another sender's service of the same name, removed: the honest one stays",
         {{'R', "smb", "NAS", nasAt}, {'R', "falso", "NAS", floodAt}, {'G', "falso", "", {}}},
         {"NAS@20"}},
        {"a service that resolves again elsewhere no longer gives the first machine",
         {{'R', "smb", "NAS", nasAt}, {'R', "smb", "NAS-NOVO", nasAt}},
         {"NAS-NOVO@20"}},
        {"removed, then announced again and resolved: listed",
         {{'G', "smb", "", {}}, {'N', "smb", "", {}}, {'R', "smb", "NAS", nasAt}},
         {"NAS@20"}},
        {"removed while its resolve ran: not listed",
         {{'N', "smb", "", {}}, {'G', "smb", "", {}}, {'R', "smb", "NAS", nasAt}},
         {}},
    };
    for (const auto& c : cases) {
        AvahiAnswers answers(kSubnets);
        for (const auto& [kind, instance, name, address] : c.events) {
            if (kind == 'N') {
                answers.Announced(instance);
            } else if (kind == 'R') {
                answers.Resolved(instance, Machine(name, address));
            } else {
                answers.Removed(instance);
            }
        }
        std::vector<std::string> listed;
        for (const FoundMachine& machine : answers.Machines()) {
            listed.push_back(machine.name + "@" + std::to_string(machine.address[3]));
        }
        EXPECT_EQ(listed, c.listed) << c.what;
    }
}

} // namespace
} // namespace vexor
