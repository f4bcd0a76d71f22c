#include "FakeNetwork.h"

namespace vexor::fakes {
namespace {

FakeNode Node(std::uint32_t displayType, const std::string& name, std::vector<FakeNode> children) {
    FakeNode node;
    node.entry.displayType = displayType;
    node.entry.remoteName = name;
    node.entry.provider = std::string("Fake Network");
    node.children = std::move(children);
    return node;
}

} // namespace

FakeNode Provider(const std::string& name, std::vector<FakeNode> children) {
    return Node(net::kDisplayNetwork, name, std::move(children));
}
FakeNode Domain(const std::string& name, std::vector<FakeNode> children) {
    return Node(net::kDisplayDomain, name, std::move(children));
}
FakeNode Server(const std::string& remoteName, std::vector<FakeNode> children) {
    return Node(net::kDisplayServer, remoteName, std::move(children));
}
FakeNode Share(const std::string& remoteName) {
    FakeNode node = Node(net::kDisplayShare, remoteName, {});
    node.entry.type = net::kTypeDisk;
    return node;
}

FakeNetwork::FakeNetwork(std::vector<FakeNode> topLevel) {
    root_.children = std::move(topLevel);
    Index(root_.children);
}

void FakeNetwork::Index(const std::vector<FakeNode>& nodes) {
    for (const auto& node : nodes) {
        if (node.entry.remoteName) {
            byName_.emplace(*node.entry.remoteName, &node);
        }
        Index(node.children);
    }
}

std::uint32_t FakeNetwork::openEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                                    const NetResource* container, NetEnumHandle* handle) {
    const bool isRoot = container == nullptr || container->lpRemoteName == nullptr;
    const std::string name = isRoot ? "<root>" : container->lpRemoteName;
    calls.push_back("open:" + name);
    if (scope != net::kScopeGlobalNet || type != net::kTypeAny || usage != net::kUsageAll) {
        return net::kErrorInvalidParameter;
    }
    const FakeNode* node = &root_;
    if (isRoot) {
        if (rootOpenFails) {
            return net::kErrorNoNetwork;
        }
    } else {
        const auto found = byName_.find(name);
        if (found == byName_.end()) {
            return net::kErrorBadNetPath;
        }
        node = found->second;
        if (node->openFails) {
            return net::kErrorBadNetPath;
        }
    }
    OpenContainer opened{name, {}, isRoot ? rootReadError : node->readError, 0};
    for (const auto& child : node->children) {
        opened.entries.push_back(child.entry);
    }
    const std::intptr_t id = nextHandle_++;
    open_.emplace(id, std::move(opened));
    *handle = reinterpret_cast<NetEnumHandle>(id);
    return net::kNoError;
}

std::uint32_t FakeNetwork::enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                                        std::uint32_t* size) {
    const auto found = open_.find(reinterpret_cast<std::intptr_t>(handle));
    if (found == open_.end()) {
        return net::kErrorInvalidHandle;
    }
    OpenContainer& opened = found->second;
    calls.push_back("read:" + opened.name);
    if (opened.readError != net::kNoError) {
        return opened.readError;
    }
    return ReadResources(opened.entries, opened.next, count, buffer, size);
}

std::uint32_t FakeNetwork::closeEnum(NetEnumHandle handle) {
    const auto found = open_.find(reinterpret_cast<std::intptr_t>(handle));
    if (found == open_.end()) {
        return net::kErrorInvalidHandle;
    }
    calls.push_back("close:" + found->second.name);
    open_.erase(found);
    return net::kNoError;
}

} // namespace vexor::fakes
