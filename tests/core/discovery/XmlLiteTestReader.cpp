#include "TestXmlReader.h"
#include "backends/win32/XmlLiteReader.h"

namespace vexor::testing {

XmlReaderFactory SystemXmlReader() {
    return win32::NewXmlLiteReader;
}

} // namespace vexor::testing
