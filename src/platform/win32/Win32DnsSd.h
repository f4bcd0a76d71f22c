#pragma once

#include "discovery/MergedNetwork.h"
#include "discovery/NameAnswerCache.h"

#include <memory>

namespace vexor::win32 {

// DNS-SD where Windows offers it: DnsServiceBrowse and DnsServiceResolve
// (Windows 10 1809 and later), looked up in dnsapi.dll at run time. Where they
// are missing (older Windows, Wine) the source finds nothing.
class DnsSdSource : public INeighbourhoodSource {
  public:
    explicit DnsSdSource(std::shared_ptr<NameAnswerCache> learnt) : learnt_(std::move(learnt)) {}
    std::vector<FoundMachine> Find() override;

  private:
    std::shared_ptr<NameAnswerCache> learnt_;
};

} // namespace vexor::win32
