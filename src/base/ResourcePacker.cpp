#include "ResourcePacker.h"

#include <cstring>

namespace vexor {
namespace {

std::size_t TextBytes(const std::optional<std::string>& text) {
    return text ? text->size() + 1 : 0;
}

std::size_t EntryBytes(const ResourceEntry& entry) {
    return sizeof(NetResource) + TextBytes(entry.localName) + TextBytes(entry.remoteName) +
           TextBytes(entry.comment) + TextBytes(entry.provider);
}

// Copies one text below `top` and returns where it now starts.
char* PlaceText(const std::optional<std::string>& text, unsigned char*& top) {
    if (!text) {
        return nullptr;
    }
    top -= text->size() + 1;
    std::memcpy(top, text->c_str(), text->size() + 1);
    return reinterpret_cast<char*>(top);
}

} // namespace

PackResult PackResources(const std::vector<ResourceEntry>& entries, std::size_t& next,
                         std::int32_t maxCount, void* buffer, std::uint32_t size) {
    PackResult result;
    if (next >= entries.size()) {
        result.status = net::kErrorNoMoreItems;
        return result;
    }
    // Asked for no entry, the read reads none and succeeds, as the Windows call does.
    if (maxCount == 0) {
        return result;
    }
    if (buffer == nullptr) {
        result.status = net::kErrorMoreData;
        result.required = static_cast<std::uint32_t>(EntryBytes(entries[next]));
        return result;
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    unsigned char* top = bytes + size;
    std::size_t used = 0;
    while (next < entries.size() && (maxCount < 0 || result.count < maxCount)) {
        const ResourceEntry& entry = entries[next];
        const std::size_t needed = EntryBytes(entry);
        if (used + needed > size) {
            break;
        }
        NetResource record{};
        record.dwScope = entry.scope;
        record.dwType = entry.type;
        record.dwDisplayType = entry.displayType;
        record.dwUsage = entry.usage;
        record.lpLocalName = PlaceText(entry.localName, top);
        record.lpRemoteName = PlaceText(entry.remoteName, top);
        record.lpComment = PlaceText(entry.comment, top);
        record.lpProvider = PlaceText(entry.provider, top);
        std::memcpy(bytes + result.count * sizeof(NetResource), &record, sizeof record);
        used += needed;
        ++result.count;
        ++next;
    }
    if (result.count == 0) {
        result.status = net::kErrorMoreData;
        result.required = static_cast<std::uint32_t>(EntryBytes(entries[next]));
    }
    return result;
}

std::uint32_t ReadResources(const std::vector<ResourceEntry>& entries, std::size_t& next,
                            std::int32_t* count, void* buffer, std::uint32_t* size) {
    const PackResult packed = PackResources(entries, next, *count, buffer, *size);
    if (packed.status == net::kErrorMoreData) {
        *size = packed.required;
    } else if (packed.status == net::kNoError) {
        *count = packed.count;
    }
    return packed.status;
}

} // namespace vexor
