#pragma once

#include "PosixNameResolver.h"
#include "discovery/Neighbourhood.h"
#include "platform/ResourcePacker.h"

#include <memory>
#include <string>
#include <vector>

namespace vexor {

class SmbContext;

// The SMB side of the network neighbourhood on Linux, through libsmbclient:
// the browse list (workgroups and their servers, SMB1 only) and the shares of a
// server (any protocol). Access is anonymous.
class SmbBrowser {
  public:
    explicit SmbBrowser(std::shared_ptr<PosixNameResolver> resolver);
    ~SmbBrowser();
    SmbBrowser(const SmbBrowser&) = delete;
    SmbBrowser& operator=(const SmbBrowser&) = delete;

    // Every server of every workgroup that the browse masters list; each name
    // starts resolving at once, so no one name nobody answers holds up the rest.
    std::vector<FoundMachine> BrowseList();
    // The shares of `server`, reached by the address the resolver gives.
    std::uint32_t ListShares(const std::string& server, std::vector<ResourceEntry>& entries);

  private:
    bool Ready();

    std::shared_ptr<PosixNameResolver> resolver_;
    std::unique_ptr<SmbContext> context_;
};

// The name under which the root of the network lists its one provider.
constexpr const char* kSmbProviderName = "Rede Microsoft Windows";

// The Windows error the enumeration reports for a failed browse with `error`.
std::uint32_t NetErrorFromErrno(int error);

} // namespace vexor
