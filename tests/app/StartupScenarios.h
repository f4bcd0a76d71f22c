#pragma once

#include "FakeSockets.h"

#include <string>

namespace vexor::fakes {

// The start-up cases both programs are run through: what the sockets library
// does, and what the user then sees, in order: each message box with whether
// the main window stood behind it, then the window's name box and whether the
// window is centred; then the exit status once the window is closed.
struct StartupScenario {
    const char* name;
    const char* transcript;
    int status;
};

inline constexpr StartupScenario kStartupScenarios[] = {
    {"biblioteca-falha", "caixa:DLL não esta respondendo.|janela:oculta\n", 1},
    {"versao-1.0", "caixa:Versão do soquete 1.0 não é suportada |janela:oculta\n", 1},
    {"sem-nome", "caixa:Erro no soquete  10093|janela:oculta\njanela:|centrada:sim\n", 0},
    {"nome-desconhecido", "caixa:DLL não está respondendo.|janela:oculta\njanela:|centrada:sim\n",
     0},
    {"normal", "janela:ESTACAO01|centrada:sim\n", 0},
};

inline void ScriptSockets(FakeSockets& sockets, const std::string& scenario) {
    if (scenario == "biblioteca-falha") {
        sockets.startupResult = 10091;
    } else if (scenario == "versao-1.0") {
        sockets.grantedVersion = 0x0001;
    } else if (scenario == "sem-nome") {
        sockets.localName.reset();
    } else if (scenario != "nome-desconhecido") {
        sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
    }
}

} // namespace vexor::fakes
