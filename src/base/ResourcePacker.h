#pragma once

#include "seams/NetworkEnumeration.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexor {

// One resource as a backend knows it, before it is packed into a caller's buffer.
struct ResourceEntry {
    std::uint32_t scope = net::kScopeGlobalNet;
    std::uint32_t type = net::kTypeAny;
    std::uint32_t displayType = net::kDisplayGeneric;
    std::uint32_t usage = 0;
    std::optional<std::string> localName;
    std::optional<std::string> remoteName;
    std::optional<std::string> comment;
    std::optional<std::string> provider;
};

struct PackResult {
    std::uint32_t status = net::kNoError;
    std::int32_t count = 0;
    // Bytes the first entry needs when status is kErrorMoreData.
    std::uint32_t required = 0;
};

// Packs entries from `next` onwards into `buffer` the way the Windows networking
// API fills it: whole records from the start at a fixed stride, their texts from
// the end of the buffer downwards. At most `maxCount` entries (-1: as many as
// fit). Advances `next` past the entries written. Returns kErrorNoMoreItems when
// nothing is left and kErrorMoreData when not even one entry fits.
PackResult PackResources(const std::vector<ResourceEntry>& entries, std::size_t& next,
                         std::int32_t maxCount, void* buffer, std::uint32_t size);

// The read of an enumeration served from `entries`: packs the next of them into
// the caller's buffer, sets the count read, or the size one entry needs when
// not even one fits; returns the status a Windows read returns.
std::uint32_t ReadResources(const std::vector<ResourceEntry>& entries, std::size_t& next,
                            std::int32_t* count, void* buffer, std::uint32_t* size);

// What one open enumeration hands out, and how far its reads have come.
struct EntryListing {
    std::vector<ResourceEntry> entries;
    std::size_t next = 0;

    bool Exhausted() const { return next >= entries.size(); }
    // The next read into the caller's buffer, as ReadResources makes it.
    std::uint32_t Read(std::int32_t* count, void* buffer, std::uint32_t* size) {
        return ReadResources(entries, next, count, buffer, size);
    }
};

} // namespace vexor
