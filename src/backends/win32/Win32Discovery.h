#pragma once

#include "seams/DiscoverySeams.h"

namespace vexor::win32 {

// The discovery seams on Windows: the adapters GetAdaptersAddresses lists,
// Winsock 2 datagrams, WinHTTP and XmlLite.
DiscoverySeams Win32DiscoverySeams();

} // namespace vexor::win32
