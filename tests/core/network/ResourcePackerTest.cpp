#include "base/ResourcePacker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace vexor {
namespace {

std::vector<ResourceEntry> Entries(int count) {
    std::vector<ResourceEntry> entries(count);
    for (int i = 0; i < count; ++i) {
        entries[i].displayType = net::kDisplayServer;
        entries[i].remoteName = "\\\\HOST" + std::to_string(i);
        entries[i].comment = "comentário";
    }
    return entries;
}

NetResource RecordAt(const std::byte* buffer, int index) {
    NetResource record;
    std::memcpy(&record, buffer + index * sizeof(NetResource), sizeof record);
    return record;
}

TEST(ResourcePacker, PacksWholeEntriesWithTheirTextsInsideTheBuffer) {
    const auto entries = Entries(3);
    constexpr std::uint32_t size = 4096;
    auto buffer = std::make_unique<std::byte[]>(size);
    std::size_t next = 0;
    const PackResult result = PackResources(entries, next, -1, buffer.get(), size);
    ASSERT_EQ(result.status, net::kNoError);
    ASSERT_EQ(result.count, 3);
    EXPECT_EQ(next, 3u);
    for (int i = 0; i < 3; ++i) {
        const NetResource record = RecordAt(buffer.get(), i);
        EXPECT_EQ(record.dwDisplayType, net::kDisplayServer);
        EXPECT_EQ(std::string(record.lpRemoteName), "\\\\HOST" + std::to_string(i));
        EXPECT_EQ(record.lpLocalName, nullptr);
        const auto* text = reinterpret_cast<std::byte*>(record.lpRemoteName);
        EXPECT_GE(text, buffer.get() + 3 * sizeof(NetResource));
        EXPECT_LT(text, buffer.get() + size);
    }
    EXPECT_EQ(PackResources(entries, next, -1, buffer.get(), size).status, net::kErrorNoMoreItems);
}

TEST(ResourcePacker, StopsAtCountOrSpaceAndReportsWhenNothingFits) {
    const auto entries = Entries(10);
    auto buffer = std::make_unique<std::byte[]>(1024);
    const struct {
        std::int32_t maxCount;
        std::uint32_t size;
        std::uint32_t status;
        std::int32_t count;
        bool nullBuffer = false;
    } cases[] = {
        {2, 1024, net::kNoError, 2},
        {-1, 300, net::kNoError, 300 / (sizeof(NetResource) + 8 + 12)},
        {-1, sizeof(NetResource), net::kErrorMoreData, 0},
        {-1, 0, net::kErrorMoreData, 0},
        // Asked for none, it reads none and succeeds: a caller that grows its
        // buffer on "more data" would otherwise grow it for ever.
        {0, 1024, net::kNoError, 0},
        // No buffer at all: the size one entry needs.
        {-1, 1024, net::kErrorMoreData, 0, true},
    };
    for (const auto& c : cases) {
        std::size_t next = 0;
        const PackResult result =
            PackResources(entries, next, c.maxCount, c.nullBuffer ? nullptr : buffer.get(), c.size);
        EXPECT_EQ(result.status, c.status) << c.maxCount << "/" << c.size;
        EXPECT_EQ(result.count, c.count) << c.maxCount << "/" << c.size;
        EXPECT_EQ(next, static_cast<std::size_t>(c.count));
        if (c.status == net::kErrorMoreData) {
            EXPECT_EQ(result.required, sizeof(NetResource) + 8 + 12);
        }
    }
}

} // namespace
} // namespace vexor
