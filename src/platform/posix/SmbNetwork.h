#pragma once

#include "PosixNameResolver.h"
#include "platform/NetworkEnumeration.h"
#include "platform/ResourcePacker.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexor {

class SmbContext;

// The network neighbourhood on Linux, browsed with libsmbclient: one provider at
// the root, workgroups beneath it as domains, their servers as "\\NAME", and each
// server's shares. Access is anonymous. Opening the root reads the browse list
// whole (every workgroup and its servers) and starts resolving every server's
// name at once, so that no one name that nobody answers holds up the others.
class SmbNetwork : public INetworkEnumeration {
  public:
    explicit SmbNetwork(
        std::shared_ptr<PosixNameResolver> resolver = std::make_shared<PosixNameResolver>());
    ~SmbNetwork() override;
    SmbNetwork(const SmbNetwork&) = delete;
    SmbNetwork& operator=(const SmbNetwork&) = delete;

    std::uint32_t openEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                           const NetResource* container, NetEnumHandle* handle) override;
    std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                               std::uint32_t* size) override;
    std::uint32_t closeEnum(NetEnumHandle handle) override;

  private:
    struct Listing {
        std::vector<ResourceEntry> entries;
        std::size_t next = 0;
    };

    // The browse list as read when the root was last opened.
    struct BrowseList {
        std::uint32_t status = net::kNoError;
        std::vector<ResourceEntry> workgroups;
        std::map<std::string, std::vector<ResourceEntry>> servers;
    };

    std::uint32_t List(const NetResource& container, std::vector<ResourceEntry>& entries);
    // Serves a container from the browse list read at the root, or lists it.
    std::uint32_t Served(const NetResource& container, std::vector<ResourceEntry>& entries);
    void ReadBrowseList();

    std::shared_ptr<PosixNameResolver> resolver_;
    std::unique_ptr<SmbContext> context_;
    std::optional<BrowseList> browse_;
    std::map<std::uintptr_t, Listing> open_;
    std::uintptr_t nextHandle_ = 1;
};

// The name under which the root of the network lists its one provider.
constexpr const char* kSmbProviderName = "Rede Microsoft Windows";

// The Windows error the enumeration reports for a failed browse with `error`.
std::uint32_t NetErrorFromErrno(int error);

} // namespace vexor
