#pragma once

#include "base/ResourcePacker.h"
#include "seams/NetworkEnumeration.h"

#include <map>
#include <string>
#include <vector>

namespace vexor::fakes {

// One resource of the fake neighbourhood and what lies beneath it.
struct FakeNode {
    ResourceEntry entry;
    std::vector<FakeNode> children;
    bool openFails = false;
    std::uint32_t readError = net::kNoError;
};

FakeNode Provider(const std::string& name, std::vector<FakeNode> children);
FakeNode Domain(const std::string& name, std::vector<FakeNode> children);
FakeNode Server(const std::string& remoteName, std::vector<FakeNode> children = {});
FakeNode Share(const std::string& remoteName);

// An in-memory network neighbourhood served through the enumeration interface.
// A container is found by its remote name; the root is the record with none.
class FakeNetwork : public INetworkEnumeration {
  public:
    explicit FakeNetwork(std::vector<FakeNode> topLevel);
    FakeNetwork(const FakeNetwork&) = delete;
    FakeNetwork& operator=(const FakeNetwork&) = delete;

    bool rootOpenFails = false;
    std::uint32_t rootReadError = net::kNoError;

    // "open:NAME", "read:NAME", "close:NAME" in call order ("<root>" for the root).
    std::vector<std::string> calls;
    int openHandles() const { return static_cast<int>(open_.size()); }

    std::uint32_t openEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                           const NetResource* container, NetEnumHandle* handle) override;
    std::uint32_t enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                               std::uint32_t* size) override;
    std::uint32_t closeEnum(NetEnumHandle handle) override;

  private:
    struct OpenContainer {
        std::string name;
        std::vector<ResourceEntry> entries;
        std::uint32_t readError = net::kNoError;
        std::size_t next = 0;
    };
    void Index(const std::vector<FakeNode>& nodes);

    FakeNode root_;
    std::map<std::string, const FakeNode*> byName_;
    std::map<std::intptr_t, OpenContainer> open_;
    std::intptr_t nextHandle_ = 1;
};

} // namespace vexor::fakes
