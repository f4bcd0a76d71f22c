#pragma once

#include "discovery/MergedNetwork.h"

#include <memory>

namespace vexor::win32 {

// DNS-SD where Windows offers it: DnsServiceBrowse and DnsServiceResolve
// (Windows 10 1809 and later), looked up in dnsapi.dll at run time. Where they
// are missing (older Windows, Wine) the source finds nothing.
class DnsSdSource : public INeighbourhoodSource {
  public:
    void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) override;
};

} // namespace vexor::win32
