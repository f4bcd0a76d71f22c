#include "TestXmlReader.h"
#include "backends/posix/LibXml2Reader.h"

namespace vexor::testing {

XmlReaderFactory SystemXmlReader() {
    return NewLibXml2Reader;
}

} // namespace vexor::testing
