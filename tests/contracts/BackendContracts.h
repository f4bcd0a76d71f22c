#pragma once

// What every backend that fills a seam must do, written once as tables and run
// over each backend: the POSIX suite runs them over PosixSockets and PosixShell,
// the Win32 suite over Win32Sockets and Win32Shell.
#include "FakeClock.h"
#include "core/discovery/NameChain.h"
#include "core/resolver/AddressText.h"
#include "core/resolver/clsIPHostResolver.h"
#include "seams/Shell.h"
#include "seams/Sockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace vexor::contracts {

// A Winsock 1.1 start-up that the program's check accepts, and a clean end.
inline void ExpectStartupAndCleanup(ISocketsLibrary& sockets) {
    SocketsStartupRecord record;
    ASSERT_EQ(sockets.startup(0x0101, record), 0);
    EXPECT_EQ(record.wVersion, 0x0101);
    EXPECT_GE(record.iMaxSockets, 1);
    EXPECT_EQ(sockets.cleanup(), 0);
}

// Names the resolver answers, or answers with nothing, on any machine. (An
// empty name differs: Winsock answers it with the local machine.)
inline void ExpectNameLookups(ISocketsLibrary& sockets) {
    clsIPHostResolver resolver(sockets);
    const struct {
        const char* name;
        const char* address;
    } cases[] = {
        {"localhost", "127.0.0.1"},
        {"nome-que-nao-existe.invalid", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resolver.NameToAddress(c.name), c.address) << c.name;
    }
    // An address of three bytes is no IPv4 address.
    EXPECT_EQ(sockets.hostByAddr("\x7f\x00\x00\x01", 3, kAfInet), nullptr);
}

// Upper case as the system's Unicode tables have it, beyond Latin-1 too.
inline void ExpectUnicodeUpperCase(IShell& shell) {
    const struct {
        const char* text;
        const char* upper;
    } cases[] = {
        {"estação-sé", "ESTAÇÃO-SÉ"},
        {"ÿšœž", "ŸŠŒŽ"},
        {"сервер-β", "СЕРВЕР-Β"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shell.upperCase(c.text), c.upper) << c.text;
    }
}

// The refresh's names as the sockets backend answers them: each line of the
// neighbourhood shows the address its machine was found at (two machines that
// share a name each their own) with nothing asked of any resolver, and a name
// resolved ahead answers from the chain. `MakeSockets` builds the backend over
// the names it is given.
inline void ExpectRefreshNamesAnswered(
    const std::function<std::unique_ptr<ISocketsLibrary>(std::shared_ptr<IRefreshNames>)>&
        MakeSockets) {
    using namespace std::chrono_literals;
    fakes::FakeClock clock;
    // What the system resolver was asked, from the chain's worker threads.
    struct Asked {
        std::mutex mutex;
        std::multiset<std::string> names;
    };
    const auto asked = std::make_shared<Asked>();
    const auto names = std::make_shared<NameChain>(
        std::make_shared<NameAnswerCache>(),
        [asked](const std::string& name) -> std::optional<NameAnswer> {
            {
                const std::lock_guard lock(asked->mutex);
                asked->names.insert(name);
            }
            if (name == "OUTRO") {
                return NameAnswer{"outro.example", {{10, 0, 0, 5}}};
            }
            return std::nullopt;
        },
        NameChain::LinkQuery{}, clock);
    names->BeginRefresh(clock.Now() + 1500ms);
    const auto sockets = MakeSockets(names);
    names->learnt()->List({{"servidor.example", {10, 0, 0, 10}},
                           {"PC", {10, 0, 0, 22}},
                           {"pc", {10, 0, 0, 21}},
                           {"10.0.0.50", {10, 0, 0, 50}}});
    names->Prefetch("OUTRO");
    names->Prefetch("NINGUEM");
    const struct {
        const char* name;
        const char* addresses;
        const char* canonical;
    } cases[] = {
        {"servidor.example", "10.0.0.10 ", "servidor.example"},
        {"PC", "10.0.0.22 10.0.0.21 ", "PC"},
        {"pc", "10.0.0.21 10.0.0.22 ", "pc"},
        {"10.0.0.50", "10.0.0.50 ", "10.0.0.50"},
        {"OUTRO", "10.0.0.5 ", "outro.example"},
        {"NINGUEM", "", ""},
    };
    for (const auto& c : cases) {
        const HostEnt* found = sockets->hostByName(c.name);
        std::string addresses;
        for (const auto& address :
             found != nullptr ? HostAddresses(*found) : std::vector<std::string>{}) {
            addresses += address + " ";
        }
        EXPECT_EQ(addresses, c.addresses) << c.name;
        EXPECT_EQ(found != nullptr ? std::string(found->h_name) : "", c.canonical) << c.name;
    }
    // Only the names resolved ahead were asked, each once.
    const std::lock_guard lock(asked->mutex);
    EXPECT_EQ(asked->names, (std::multiset<std::string>{"NINGUEM", "OUTRO"}));
}

} // namespace vexor::contracts
