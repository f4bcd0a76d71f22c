#include "ReportOptions.h"

namespace vexor {

const char* const kReportUsage =
    "Uso: vexormoralto [--relatorio [ARQUIVO]] [--formato texto|csv]\n"
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
    "  --ajuda, --help        mostra esta ajuda\n"
    "  --versao, --version    mostra a versão do programa\n";

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

} // namespace vexor
