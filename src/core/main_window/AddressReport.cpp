#include "AddressReport.h"

namespace vexor {
namespace {

constexpr const char* kLineEnd = "\r\n";

void AppendItems(std::string& report, const IListBox& list) {
    const std::int16_t count = list.count();
    for (std::int16_t i = 0; i < count; ++i) {
        report += "- " + list.item(i) + kLineEnd;
    }
}

} // namespace

std::string BuildAddressReport(const ITextBox& localName, const IListBox& localAddresses,
                               const IListBox& networkLines) {
    std::string report = "Local: " + localName.text() + kLineEnd + kLineEnd;
    AppendItems(report, localAddresses);
    report += std::string(kLineEnd) + "Rede:" + kLineEnd + kLineEnd;
    AppendItems(report, networkLines);
    return report;
}

std::string ReportWriteFailureText(const std::string& pathText, const ShellResult& result) {
    return "Não foi possível gravar o arquivo de IP:\r\n\r\n" + pathText + "\r\n\r\n" +
           result.reason + " (erro " + std::to_string(result.error) + ").";
}

} // namespace vexor
