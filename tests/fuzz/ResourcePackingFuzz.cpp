// Packs fuzzed entries into a caller's buffer of a fuzzed size with guard bytes
// on both sides: nothing is written outside it, and every entry that fits reads
// back as it went in.
#include "base/ResourcePacker.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    if (size < 3) {
        return 0;
    }
    const std::uint32_t bufferSize = static_cast<std::uint32_t>(data[0] | data[1] << 8) % 4096;
    const std::int32_t maxCount = static_cast<std::int8_t>(data[2]);
    std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    std::vector<ResourceEntry> entries;
    while (!rest.empty() && entries.size() < 64) {
        const auto end = rest.find('\0');
        ResourceEntry entry;
        entry.displayType = static_cast<std::uint32_t>(rest.size() % 7);
        entry.remoteName = std::string(rest.substr(0, end));
        if (rest.size() % 2 == 0) {
            entry.comment = std::string(rest.substr(0, std::min<std::size_t>(end, 3)));
        }
        entries.push_back(std::move(entry));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    constexpr std::size_t kGuard = 64;
    std::vector<NetResource> storage((bufferSize + 2 * kGuard) / sizeof(NetResource) + 2);
    auto* bytes = reinterpret_cast<unsigned char*>(storage.data());
    std::memset(bytes, 0xA5, storage.size() * sizeof(NetResource));
    unsigned char* buffer = bytes + kGuard;
    std::size_t next = 0;
    std::int32_t count = maxCount;
    std::uint32_t capacity = bufferSize;
    const std::uint32_t status = ReadResources(entries, next, &count, buffer, &capacity);
    for (std::size_t i = 0; i < kGuard; ++i) {
        if (bytes[i] != 0xA5 || buffer[bufferSize + i] != 0xA5) {
            std::abort();
        }
    }
    if (status == net::kNoError) {
        if (count < 0 || static_cast<std::size_t>(count) != next ||
            (maxCount >= 0 && count > maxCount)) {
            std::abort();
        }
        for (std::int32_t i = 0; i < count; ++i) {
            NetResource record;
            std::memcpy(&record, buffer + i * sizeof record, sizeof record);
            const ResourceEntry& entry = entries[static_cast<std::size_t>(i)];
            if (record.lpRemoteName == nullptr || *entry.remoteName != record.lpRemoteName ||
                record.dwDisplayType != entry.displayType ||
                (entry.comment.has_value() != (record.lpComment != nullptr)) ||
                (entry.comment && *entry.comment != record.lpComment)) {
                std::abort();
            }
        }
    }
    return 0;
}
