#pragma once

#include "base/ResourcePacker.h"
#include "seams/NetworkEnumeration.h"

#include <map>
#include <vector>

namespace vexor::win32 {

// The Windows networking enumeration (WNet, ANSI calls). Entries are read with
// the platform's own call into a buffer of the caller's size and handed on with
// their texts in UTF-8; entries whose longer UTF-8 texts no longer fit wait for
// the next read.
class Win32Network : public INetworkEnumeration {
  public:
    std::uint32_t openEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                           const NetResource* container, NetEnumHandle* handle) override;
    std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                               std::uint32_t* size) override;
    std::uint32_t closeEnum(NetEnumHandle handle) override;

  private:
    // What each open enumeration read from WNet and has not yet handed on.
    std::map<NetEnumHandle, EntryListing> pending_;
};

} // namespace vexor::win32
