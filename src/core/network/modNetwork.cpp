#include "modNetwork.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace vexor {
namespace {

std::string StringFromPointer(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

class Walker {
  public:
    Walker(INetworkEnumeration& network, IItemSink& list, EnumBufferAllocator allocate)
        : network_(network), list_(list), allocate_(allocate) {}

    // Opens the container that `record` describes and hands each entry it holds
    // to `visit`, reading again until the platform has no more entries, so a
    // container larger than one buffer is walked whole.
    template <typename Visit> bool ForEachEntry(NetResource& record, Visit visit) {
        NetEnumHandle handle = nullptr;
        if (network_.openEnum(net::kScopeGlobalNet, net::kTypeAny, net::kUsageAll, &record,
                              &handle) != net::kNoError) {
            return false;
        }
        EnumerationCloser closer(network_, handle);
        const auto buffer = allocate_(kEnumBufferSize);
        if (!buffer) {
            return true;
        }
        constexpr std::int32_t capacity = kEnumBufferSize / sizeof(NetResource);
        // A provider that never says "no more" is not followed past the bound.
        std::size_t read = 0;
        while (read < kMaxEntriesPerContainer) {
            std::int32_t count = -1;
            std::uint32_t size = kEnumBufferSize;
            if (network_.enumResource(handle, &count, buffer.get(), &size) != net::kNoError ||
                count <= 0) {
                return true;
            }
            for (std::int32_t i = 0;
                 i < std::min(count, capacity) && read < kMaxEntriesPerContainer; ++i, ++read) {
                std::memcpy(&record, buffer.get() + i * sizeof(NetResource), sizeof(NetResource));
                visit(record);
            }
        }
        return true;
    }

    void EnumerateContainer(NetResource& record, const std::string& prefix) {
        ForEachEntry(record, [&](NetResource& entry) {
            switch (entry.dwDisplayType) {
            case net::kDisplayDomain:
                EnumerateContainer(entry, prefix);
                break;
            case net::kDisplayServer:
                list_.AddItem(prefix + WithoutBackslashes(StringFromPointer(entry.lpRemoteName)));
                EnumerateContainer(entry, prefix);
                break;
            default:
                break;
            }
        });
    }

    bool Run() {
        NetResource record{};
        record.lpRemoteName = nullptr;
        // Top-level entries are providers: each is walked, none is listed.
        return ForEachEntry(record, [&](NetResource& entry) { EnumerateContainer(entry, {}); });
    }

  private:
    INetworkEnumeration& network_;
    IItemSink& list_;
    EnumBufferAllocator allocate_;
};

} // namespace

std::unique_ptr<std::byte[]> AllocateEnumBuffer(std::size_t size) {
    try {
        return std::make_unique<std::byte[]>(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool ListNetworkMachines(INetworkEnumeration& network, IItemSink& list,
                         EnumBufferAllocator allocate) {
    try {
        return Walker(network, list, allocate).Run();
    } catch (const std::exception&) {
        // A list that refuses a line abandons the whole walk; every level has
        // already released what it held on the way out.
        return false;
    }
}

} // namespace vexor
