#include "ReportOptions.h"

#include <algorithm>

namespace vexor {

const char* const kNoSweepOption = "--sem-varredura";

const char* const kReportUsage =
    "Uso: vexormoralto [--sem-varredura] [--relatorio [ARQUIVO]] [--formato texto|csv]\n"
    "\n"
    "Sem opções, abre a janela do programa.\n"
    "\n"
    "  --relatorio [ARQUIVO]  lista a máquina local e as máquinas da rede e grava o\n"
    "                         relatório em ARQUIVO (na saída padrão quando ARQUIVO\n"
    "                         é - ou falta), com os mesmos bytes de IP.txt\n"
    "  --formato csv          grava o relatório em CSV: origem,nome,endereco; um campo\n"
    "                         que começa com =, +, -, @, tabulação ou retorno de carro\n"
    "                         recebe um ' à frente, para que a planilha não o leia\n"
    "                         como fórmula\n"
    "  --sem-varredura        não varre as sub-redes locais: sozinha, abre a janela,\n"
    "                         que atualiza sem a varredura; com --relatorio, faz o\n"
    "                         relatório sem ela\n"
    "  --ajuda, --help        mostra esta ajuda\n"
    "  --versao, --version    mostra a versão do programa\n"
    "\n"
    "A varredura: a cada atualização, o programa envia um pedido de estado de nó\n"
    "NetBIOS (um datagrama UDP para a porta 137, que também pergunta o nome) a cada\n"
    "endereço das sub-redes privadas (10/8, 172.16/12, 192.168/16) ligadas\n"
    "diretamente às interfaces IPv4 com portadora, broadcast e ARP, menos o endereço\n"
    "da rede, o de broadcast e os desta máquina; no máximo 64 datagramas a cada\n"
    "10 ms e 512 endereços por atualização. Uma sub-rede maior que /23 é varrida\n"
    "como a /23 que contém o endereço desta máquina; nada vai a uma rede roteada.\n"
    "As pontes de contêineres e de máquinas virtuais que o sistema criou (docker*,\n"
    "br-*, virbr*, as veth ligadas a elas; no Windows, os adaptadores que não são\n"
    "Ethernet nem Wi-Fi e os comutadores virtuais do Hyper-V) não são varridas.\n"
    "Cada máquina que responde ao ARP é listada com o nome que anuncia, senão o do\n"
    "seu estado de nó NetBIOS, o do seu registro PTR no DNS, o da resposta mDNS, ou\n"
    "o próprio endereço. Uma máquina lenta para responder ao ARP (um telefone em\n"
    "economia de energia) pode aparecer só na atualização seguinte.\n";

// Parses the options; an error text when they are not understood.
std::optional<std::string> ParseReportOptions(const std::vector<std::string>& arguments,
                                              ReportOptions& options) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--relatorio") {
            options.report = true;
            if (i + 1 < arguments.size() && arguments[i + 1].rfind("--", 0) != 0) {
                options.target = arguments[++i];
            }
        } else if (argument == kNoSweepOption) {
            options.sweep = false;
        } else if (argument == "--formato") {
            if (i + 1 >= arguments.size() ||
                (arguments[i + 1] != "csv" && arguments[i + 1] != "texto")) {
                return "--formato aceita texto ou csv";
            }
            options.csv = arguments[++i] == "csv";
        } else {
            return "opção desconhecida: " + argument;
        }
    }
    if (!options.report) {
        return "--formato só vale com --relatorio";
    }
    return std::nullopt;
}

StartOptions ReadStartOptions(const std::vector<std::string>& arguments) {
    StartOptions start;
    start.sweep = std::find(arguments.begin(), arguments.end(), kNoSweepOption) == arguments.end();
    start.window = std::all_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
        return argument == kNoSweepOption;
    });
    return start;
}

} // namespace vexor
