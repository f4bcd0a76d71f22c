#include "LinuxNetwork.h"

#include "AvahiDnsSd.h"
#include "CurlHttp.h"
#include "LibXml2Reader.h"
#include "PosixDatagram.h"
#include "SmbNetwork.h"
#include "discovery/MergedNetwork.h"
#include "discovery/WsdClient.h"

namespace vexor {
namespace {

class BrowseListSource : public INeighbourhoodSource {
  public:
    explicit BrowseListSource(std::shared_ptr<SmbBrowser> browser) : browser_(std::move(browser)) {}
    std::vector<FoundMachine> Find() override { return browser_->BrowseList(); }

  private:
    std::shared_ptr<SmbBrowser> browser_;
};

class DnsSdSource : public INeighbourhoodSource {
  public:
    explicit DnsSdSource(std::shared_ptr<NameAnswerCache> learnt) : learnt_(std::move(learnt)) {}
    std::vector<FoundMachine> Find() override { return BrowseDnsSd(*learnt_); }

  private:
    std::shared_ptr<NameAnswerCache> learnt_;
};

} // namespace

std::unique_ptr<INetworkEnumeration> MakeLinuxNetwork(std::shared_ptr<PosixNameResolver> resolver) {
    const auto browser = std::make_shared<SmbBrowser>(resolver);
    std::vector<std::unique_ptr<INeighbourhoodSource>> sources;
    sources.push_back(std::make_unique<BrowseListSource>(browser));
    sources.push_back(std::make_unique<WsdSource>(
        DiscoverySeams{MulticastInterfaces, OpenPosixDatagramSocket, CurlPost, NewLibXml2Reader},
        resolver->learntShared()));
    sources.push_back(std::make_unique<DnsSdSource>(resolver->learntShared()));
    return std::make_unique<MergedNetwork>(
        kSmbProviderName, std::move(sources),
        [browser, resolver](const std::string& server, std::vector<ResourceEntry>& entries) {
            return browser->ListShares(server, entries);
        });
}

} // namespace vexor
