#include "Win32Discovery.h"

#include "Win32Adapters.h"
#include "WinHttpPost.h"
#include "WinsockDatagram.h"
#include "XmlLiteReader.h"

namespace vexor::win32 {

DiscoverySeams Win32DiscoverySeams() {
    return {AdapterAddresses, OpenWinsockDatagramSocket, WinHttpPost, NewXmlLiteReader, WinHttpGet};
}

} // namespace vexor::win32
