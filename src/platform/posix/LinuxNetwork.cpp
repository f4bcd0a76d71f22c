#include "LinuxNetwork.h"

#include "AvahiDnsSd.h"
#include "CurlHttp.h"
#include "LibXml2Reader.h"
#include "PosixDatagram.h"
#include "PosixInterfaces.h"
#include "SmbNetwork.h"
#include "discovery/SsdpClient.h"
#include "discovery/WsdClient.h"

namespace vexor {

std::unique_ptr<MergedNetwork> MakeLinuxNetwork(std::shared_ptr<PosixNameResolver> resolver) {
    std::vector<std::shared_ptr<INeighbourhoodSource>> sources;
    sources.push_back(std::make_shared<SmbBrowser>());
    const DiscoverySeams seams{MulticastInterfaces, OpenPosixDatagramSocket, CurlPost,
                               NewLibXml2Reader, CurlGet};
    sources.push_back(std::make_shared<WsdSource>(seams));
    sources.push_back(std::make_shared<LinuxDnsSdSource>(seams));
    sources.push_back(std::make_shared<SsdpSource>(seams));
    RefreshHooks hooks{[resolver](SteadyTime deadline) { resolver->BeginRefresh(deadline); },
                       [resolver](const std::string& name) { resolver->Prefetch(name); }};
    return std::make_unique<MergedNetwork>(kSmbProviderName, std::move(sources),
                                           resolver->learntShared(), std::move(hooks));
}

} // namespace vexor
