#pragma once

#include "platform/api/DiscoverySeams.h"

namespace vexor::win32 {

// The discovery seams on Windows: Winsock 2 datagrams, WinHTTP (no proxy: the
// peers are on the local link), XmlLite, and the adapters that
// GetAdaptersAddresses lists.
DiscoverySeams Win32DiscoverySeams();

std::vector<Ipv4> AdapterAddresses();
std::unique_ptr<IDatagramSocket> OpenWinsockDatagramSocket();
std::optional<std::string> WinHttpPost(const std::string& url, const std::string& body,
                                       std::chrono::milliseconds limit, std::size_t maxBytes);

} // namespace vexor::win32
