#include "frmPrincipal.h"

#include "AddressReport.h"
#include "ReportLocation.h"
#include "base/Utf8Text.h"
#include "core/network/modNetwork.h"
#include "core/resolver/AddressText.h"

#include <algorithm>
#include <array>

namespace vexor {
namespace {

constexpr std::size_t kHostNameLength = 256;
constexpr int kMinimumSockets = 1;

// A number the way the messages about socket errors have always written it: a
// blank in front when it is not negative.
std::string NumberWithSignPlace(int number) {
    std::string text = number >= 0 ? " " : "";
    text += std::to_string(number);
    return text;
}

} // namespace

frmPrincipal::frmPrincipal(PlatformServices services, FormControls controls)
    : platform_(services), controls_(controls) {}

void frmPrincipal::Click(std::string_view control) {
    if (control == "btnAtualizar") {
        btnAtualizar_Click();
    } else if (control == "btnImprimir") {
        btnImprimir_Click();
    } else if (control == "btnAjuda") {
        btnAjuda_Click();
    } else if (control == "btnSair") {
        btnSair_Click();
    }
}

void frmPrincipal::SocketsInitialize() {
    SocketsStartupRecord record;
    if (platform_.sockets.startup(kSocketsVersion11, record) != 0) {
        platform_.toolkit.messageBox("DLL não esta respondendo.", mb::kOk);
        platform_.toolkit.endProgram(1);
    }
    const int major = lobyte(record.wVersion);
    const int minor = hibyte(record.wVersion);
    if (major < 1 || (major == 1 && minor < 1)) {
        platform_.toolkit.messageBox("Versão do soquete " + std::to_string(major) + "." +
                                         std::to_string(minor) + " não é suportada ",
                                     mb::kOk);
        platform_.toolkit.endProgram(1);
    }
    if (record.iMaxSockets < kMinimumSockets) {
        platform_.toolkit.messageBox("Esta aplicação requer um minimo " +
                                         std::to_string(kMinimumSockets) +
                                         " de soquetes suportados.",
                                     mb::kOk);
        platform_.toolkit.endProgram(1);
    }
}

void frmPrincipal::SocketsCleanup() {
    const int result = platform_.sockets.cleanup();
    if (result != 0) {
        platform_.toolkit.messageBox("Ocorreu um erro no soquete " + std::to_string(result) +
                                         " durante a limpagem ",
                                     mb::kOk);
        platform_.toolkit.endProgram(1);
    }
}

void frmPrincipal::Form_Load() {
    controls_.lstIPS.clear();
    controls_.lstIPRede.setVisible(false);
    SocketsInitialize();

    std::array<char, kHostNameLength> buffer{};
    if (platform_.sockets.hostName(buffer.data(), static_cast<int>(buffer.size())) ==
        kSocketError) {
        platform_.toolkit.messageBox(
            "Erro no soquete " + NumberWithSignPlace(platform_.sockets.lastError()), mb::kOk);
        return;
    }
    // A library that fills the whole buffer still leaves a terminated name.
    buffer.back() = '\0';
    std::string name(buffer.data());
    const std::size_t first = name.find_first_not_of(' ');
    name.erase(0, first == std::string::npos ? name.size() : first);

    const HostEnt* found = platform_.sockets.hostByName(name.c_str());
    if (found == nullptr) {
        platform_.toolkit.messageBox("DLL não está respondendo.", mb::kOk);
        return;
    }
    const HostEnt record = *found;
    const auto addresses = HostAddresses(record);
    controls_.txtIPS.setText(platform_.shell.upperCase(name));
    for (const auto& address : addresses) {
        controls_.lstIPS.AddItem(address);
    }
}

void frmPrincipal::btnAtualizar_Click() {
    platform_.toolkit.setMousePointer(MousePointer::Hourglass);
    Form_Load();
    controls_.rtlIPRede.setVisible(false);
    controls_.lstIPRede.setVisible(true);
    controls_.lstIPRede.clear();
    ListNetworkMachines(platform_.network, controls_.lstIPRede);
    fncMostrarIpDaRede();
    platform_.toolkit.setMousePointer(MousePointer::Default);
}

void frmPrincipal::fncMostrarIpDaRede() {
    const std::int16_t count = controls_.lstIPRede.count();
    for (std::int16_t i = 0; i < count; ++i) {
        const std::string name = controls_.lstIPRede.item(i);
        const std::size_t length = Utf8Length(name);
        // A name past the column still keeps its address apart from it.
        const std::size_t fillLength =
            length < kAddressColumn ? kAddressColumn - length : (length > kAddressColumn ? 1 : 0);
        const std::string fill(fillLength, ' ');
        if (!objResolver) {
            objResolver = std::make_unique<clsIPHostResolver>(platform_.sockets);
        }
        controls_.lstIPRede.setItem(i, name + fill + objResolver->NameToAddress(name));
    }
}

void frmPrincipal::Form_KeyDown(std::uint16_t& keyCode, int /*shift*/) {
    if (keyCode == kKeyF5) {
        btnAtualizar_Click();
    }
}

void frmPrincipal::btnImprimir_Click() {
    const FilePath path = ReportPath(platform_.shell);
    const std::string pathText = path.utf8();
    platform_.toolkit.messageBox("Local do Arquivo:\r\n\r\n" + pathText, mb::kIconInformation,
                                 "Arquivo de IP");

    const std::string report =
        BuildAddressReport(controls_.txtIPS, controls_.lstIPS, controls_.lstIPRede);
    const ShellResult written = platform_.shell.writeReport(path, report);
    if (!written.ok()) {
        platform_.toolkit.messageBox(ReportWriteFailureText(pathText, written), mb::kIconStop,
                                     kApplicationTitle);
        return;
    }
    const ShellResult opened = platform_.shell.openInTextEditor(path);
    if (!opened.ok()) {
        platform_.toolkit.messageBox("O arquivo de IP foi gravado, mas o editor de texto não "
                                     "pôde ser aberto:\r\n\r\n" +
                                         opened.reason + " (erro " + std::to_string(opened.error) +
                                         ").",
                                     mb::kIconStop, kApplicationTitle);
    }
}

void frmPrincipal::btnAjuda_Click() {
    const ShellResult started = platform_.shell.openInBrowser(kHelpUrl);
    if (!started.ok()) {
        platform_.toolkit.messageBox("Ocorreu um erro e a página de ajuda não poderá ser exibida!",
                                     mb::kIconStop, "ERRO - " + std::to_string(started.error));
    }
}

void frmPrincipal::btnSair_Click() {
    platform_.toolkit.endProgram(0);
}

void frmPrincipal::Form_Unload(std::int16_t& /*cancel*/) {
    SocketsCleanup();
}

} // namespace vexor
