#pragma once

#include "discovery/MergedNetwork.h"
#include "discovery/Neighbourhood.h"
#include "platform/common/ResourcePacker.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

class SmbContext;

// The SMB browse list on Linux, through libsmbclient: the workgroups and the
// servers of each, as the browse masters list them (SMB1 only). Access is
// anonymous; no server of the list is ever connected to.
class SmbBrowser : public INeighbourhoodSource {
  public:
    SmbBrowser();
    ~SmbBrowser() override;
    SmbBrowser(const SmbBrowser&) = delete;
    SmbBrowser& operator=(const SmbBrowser&) = delete;

    // Reports every server of every workgroup. libsmbclient cannot be bounded
    // in time: a silent browse master holds this call past `deadline`.
    void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) override;

  private:
    bool Ready();

    std::unique_ptr<SmbContext> context_;
};

// The name under which the root of the network lists its one provider.
constexpr const char* kSmbProviderName = "Rede Microsoft Windows";

// A workgroup's name as one path segment of an smb:// URL: percent-encoded, so
// that no name from the network can name another host, port or user.
std::string SmbUrlSegment(std::string_view name);

} // namespace vexor
