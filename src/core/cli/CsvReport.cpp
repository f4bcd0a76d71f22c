#include "CsvReport.h"

#include <string_view>

namespace vexor {
namespace {

std::string CsvField(std::string text) {
    // A spreadsheet evaluates a field that begins like a formula; a leading
    // apostrophe makes it text, the usual spreadsheet-safe form.
    if (!text.empty() &&
        std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
        text.insert(text.begin(), '\'');
    }
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

} // namespace

std::string BuildCsvReport(const std::string& localName,
                           const std::vector<std::string>& localAddresses,
                           const std::vector<std::string>& machineNames,
                           const std::vector<std::string>& networkLines) {
    std::string csv = "origem,nome,endereco\r\n";
    for (const std::string& address : localAddresses) {
        csv += "local," + CsvField(localName) + "," + CsvField(address) + "\r\n";
    }
    for (std::size_t i = 0; i < networkLines.size(); ++i) {
        const std::string name = i < machineNames.size() ? machineNames[i] : networkLines[i];
        // The line is the name, its fill and the address: what follows the name.
        std::string address = networkLines[i].rfind(name, 0) == 0
                                  ? networkLines[i].substr(name.size())
                                  : std::string();
        address.erase(0, address.find_first_not_of(' '));
        csv += "rede," + CsvField(name) + "," + CsvField(address) + "\r\n";
    }
    return csv;
}

} // namespace vexor
