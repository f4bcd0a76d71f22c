#pragma once

#include "FakeNetwork.h"
#include "FakeShell.h"
#include "FakeSockets.h"
#include "FakeWindow.h"
#include "core/main_window/frmPrincipal.h"

#include <memory>

namespace vexor::fakes {

// The main window wired to a complete fake platform.
struct FormHarness {
    explicit FormHarness(std::vector<FakeNode> network = {}) : network(std::move(network)) {}

    FakeSockets sockets;
    FakeNetwork network;
    FakeShell shell;
    FakeToolkit toolkit;
    FakeTextBox txtIPS;
    FakeListBox lstIPS;
    FakeListBox lstIPRede;
    FakeLabel rtlIPRede;
    frmPrincipal form{PlatformServices{sockets, network, shell, toolkit},
                      FormControls{txtIPS, lstIPS, lstIPRede, rtlIPRede}};
};

} // namespace vexor::fakes
