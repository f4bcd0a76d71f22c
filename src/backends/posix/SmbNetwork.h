#pragma once

#include "base/ResourcePacker.h"
#include "seams/NeighbourhoodSource.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

class SmbContext;

// The kinds of listed entry this source reads (libsmbclient's numbers).
constexpr unsigned kSmbWorkgroup = 1;
constexpr unsigned kSmbServer = 2;

// One entry of an SMB listing.
struct SmbEntry {
    unsigned type = 0;
    std::string name;
    std::string comment;
};

// The SMB browse list on Linux, through libsmbclient: the workgroups and the
// servers of each, as the browse masters list them (SMB1 only). Access is
// anonymous; no server of the list is ever connected to, nor any address that
// a workgroup's name spells.
//
// libsmbclient cannot be cancelled, and a silent browse master holds a listing
// for its whole time-out. The browse therefore runs on a thread of its own and
// is abandoned at the deadline: a refresh reports what the browse has found so
// far, and, while a browse still runs, the last complete browse list. A browse
// abandoned by one refresh goes on and serves the next ones once complete.
class SmbBrowser : public INeighbourhoodSource {
  public:
    // `list` reads one smb:// URL's entries (the errno of a failure otherwise);
    // libsmbclient's when none is given. The deadline is on `clock`.
    using Lister = std::function<int(const std::string& url, std::vector<SmbEntry>& entries)>;
    explicit SmbBrowser(Lister list = {}, const IClock& clock = SystemClock());
    ~SmbBrowser() override;
    SmbBrowser(const SmbBrowser&) = delete;
    SmbBrowser& operator=(const SmbBrowser&) = delete;

    void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) override;
    // True while a browse abandoned at a deadline still runs.
    bool Busy() const override;

    // How long before the deadline a refresh stops waiting for a browse under
    // way and serves the last complete list instead.
    static constexpr std::chrono::milliseconds kServeMargin{100};

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
    const IClock& clock_;
};

// True when libsmbclient would take `name`, asked for as a workgroup, as a
// host to connect to: an IPv4 address in any form the resolver reads
// ("10.0.0.1", "10.1", "0x0a000001"), an IPv6 literal, a DNS name, localhost.
bool WorkgroupNameSpellsAHost(std::string_view name);

// The name under which the root of the network lists its one provider.
constexpr const char* kSmbProviderName = "Rede Microsoft Windows";

// A workgroup's name as one path segment of an smb:// URL: percent-encoded, so
// that no name from the network can name another host, port or user.
std::string SmbUrlSegment(std::string_view name);

} // namespace vexor
