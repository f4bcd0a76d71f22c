#include "Win32Neighbourhood.h"

#include "Win32Discovery.h"
#include "Win32DnsSd.h"
#include "Win32Network.h"
#include "discovery/EnumerationBrowse.h"
#include "discovery/MergedNetwork.h"
#include "discovery/WsdClient.h"

namespace vexor::win32 {

// The provider the merged root lists; the walk never shows its name.
constexpr const char* kProviderName = "Microsoft Windows Network";

std::unique_ptr<INetworkEnumeration> MakeWin32Network(std::shared_ptr<NameAnswerCache> learnt) {
    std::vector<std::unique_ptr<INeighbourhoodSource>> sources;
    // Each source runs on a thread of its own with an enumeration of its own.
    sources.push_back(std::make_unique<EnumerationSource>(std::make_unique<Win32Network>()));
    sources.push_back(std::make_unique<WsdSource>(Win32DiscoverySeams(), learnt));
    sources.push_back(std::make_unique<DnsSdSource>(std::move(learnt)));
    auto shares = std::make_shared<Win32Network>();
    return std::make_unique<MergedNetwork>(
        kProviderName, std::move(sources),
        [shares](const std::string& server, std::vector<ResourceEntry>& entries) {
            std::string remote = "\\\\" + server;
            NetResource container{};
            container.dwScope = net::kScopeGlobalNet;
            container.dwDisplayType = net::kDisplayServer;
            container.dwUsage = net::kUsageContainer;
            container.lpRemoteName = remote.data();
            return ReadContainer(*shares, &container, entries);
        });
}

} // namespace vexor::win32
