#pragma once

#include "core/resolver/clsIPHostResolver.h"
#include "seams/NetworkEnumeration.h"
#include "seams/Shell.h"
#include "seams/Sockets.h"
#include "seams/Window.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vexor {

// The services of the platform the window works through.
struct PlatformServices {
    ISocketsLibrary& sockets;
    INetworkEnumeration& network;
    IShell& shell;
    IToolkit& toolkit;
};

constexpr std::uint16_t kKeyF5 = 116;
constexpr const char* kHelpUrl = "http://www.vexormoralto.com.br/produtos/vexormoralto/ajuda.htm";
constexpr const char* kReportFileName = "IP.txt";
// Column after which a network line's address starts.
constexpr std::size_t kAddressColumn = 20;

// The program's main window: every handler behind its controls.
class frmPrincipal : public IFormEvents {
  public:
    frmPrincipal(PlatformServices services, FormControls controls);

    void Load() override { Form_Load(); }
    void KeyDown(std::uint16_t& keyCode, int shiftState) override {
        Form_KeyDown(keyCode, shiftState);
    }
    void Click(std::string_view control) override;
    void Unload(std::int16_t& cancel) override { Form_Unload(cancel); }

    void Form_Load();
    void Form_KeyDown(std::uint16_t& keyCode, int shift);
    void Form_Unload(std::int16_t& cancel);
    void btnAtualizar_Click();
    void btnImprimir_Click();
    void btnAjuda_Click();
    void btnSair_Click();

    static int hibyte(std::uint16_t wParam) { return (wParam >> 8) & 0xFF; }
    static int lobyte(std::uint16_t wParam) { return wParam & 0xFF; }

    const clsIPHostResolver* resolver() const { return objResolver.get(); }

  private:
    void SocketsInitialize();
    void SocketsCleanup();
    void fncMostrarIpDaRede();

    PlatformServices platform_;
    FormControls controls_;
    std::unique_ptr<clsIPHostResolver> objResolver;
};

} // namespace vexor
