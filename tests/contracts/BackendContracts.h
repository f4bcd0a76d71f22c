#pragma once

// What every backend that fills a seam must do, written once as tables and run
// over each backend: the POSIX suite runs them over PosixSockets and PosixShell,
// the Win32 suite over Win32Sockets and Win32Shell.
#include "core/resolver/clsIPHostResolver.h"
#include "seams/Shell.h"
#include "seams/Sockets.h"

#include <gtest/gtest.h>

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

} // namespace vexor::contracts
