// The report builder over fuzzed lists: every line ends in CR LF, and every
// list line appears in the report in order.
#include "FakeWindow.h"
#include "core/main_window/AddressReport.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields;
    while (!rest.empty() && fields.size() < 200) {
        const auto end = rest.find('\0');
        fields.emplace_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    fakes::FakeTextBox name;
    fakes::FakeListBox local;
    fakes::FakeListBox network;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i == 0) {
            name.value = fields[i];
        } else {
            (i % 2 == 0 ? network : local).AddItem(fields[i]);
        }
    }
    const std::string report = BuildAddressReport(name, local, network);
    if (report.size() < 2 || report.substr(report.size() - 2) != "\r\n" ||
        report.rfind("Local: " + name.value, 0) != 0) {
        std::abort();
    }
    std::size_t at = 0;
    for (const auto* list : {&local, &network}) {
        for (const std::string& line : list->lines()) {
            at = report.find(line, at);
            if (at == std::string::npos) {
                std::abort();
            }
            at += line.size();
        }
    }
    return 0;
}
