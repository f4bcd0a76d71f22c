#include "LinuxNetwork.h"

#include "app/LinuxDnsSdSource.h"
#include "backends/posix/CurlHttp.h"
#include "backends/posix/LibXml2Reader.h"
#include "backends/posix/NetlinkNeighbours.h"
#include "backends/posix/PosixDatagram.h"
#include "backends/posix/PosixInterfaces.h"
#include "backends/posix/PosixSockets.h"
#include "backends/posix/ResolvConf.h"
#include "backends/posix/SmbNetwork.h"
#include "core/discovery/AddressNamer.h"
#include "core/discovery/LinkNameQuery.h"
#include "core/discovery/SsdpClient.h"
#include "core/discovery/SweepSource.h"
#include "core/discovery/WsdClient.h"

namespace vexor {

std::shared_ptr<NameChain> MakeLinuxNames() {
    return std::make_shared<NameChain>(
        std::make_shared<NameAnswerCache>(), SystemNameLookup,
        [](const std::string& name, SteadyTime deadline) -> std::vector<Ipv4> {
            const auto socket = OpenPosixDatagramSocket();
            if (!socket) {
                return {};
            }
            return QueryLinkName(*socket, SystemClock(), name, LinkTargetsOf(LocalInterfaces()),
                                 deadline, NetbiosCodePage());
        });
}

std::unique_ptr<MergedNetwork> MakeLinuxNetwork(std::shared_ptr<NameChain> names, bool sweep) {
    std::vector<std::shared_ptr<INeighbourhoodSource>> sources;
    sources.push_back(std::make_shared<SmbBrowser>());
    const DiscoverySeams seams{MulticastInterfaces, OpenPosixDatagramSocket, CurlPost,
                               NewLibXml2Reader, CurlGet};
    sources.push_back(std::make_shared<WsdSource>(seams));
    sources.push_back(std::make_shared<LinuxDnsSdSource>(seams));
    sources.push_back(std::make_shared<SsdpSource>(seams));
    const auto announced = std::make_shared<AnnouncedAddresses>();
    if (sweep) {
        sources.push_back(std::make_shared<SweepSource>(
            seams, NeighbourSeams{LocalInterfaces, ReadNetlinkNeighbours}, NetbiosCodePage(),
            SweepTiming{}, announced));
    }
    RefreshHooks hooks{[names](SteadyTime deadline) { names->BeginRefresh(deadline); },
                       [names](const std::string& name) { names->Prefetch(name); }};
    return std::make_unique<MergedNetwork>(
        kSmbProviderName, std::move(sources), names->learnt(), std::move(hooks),
        MergedNetwork::kRefreshDeadline,
        AddressNaming{std::make_shared<AddressNamer>(seams, ResolvConfServers, NetbiosCodePage()),
                      LocalInterfaceAddresses, announced});
}

} // namespace vexor
