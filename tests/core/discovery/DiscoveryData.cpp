#include "TestXmlReader.h"

#include <fstream>
#include <sstream>

namespace vexor::testing {

std::string DiscoveryData(const std::string& name) {
    std::ifstream in(std::string(VEXOR_DISCOVERY_DATA) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace vexor::testing
