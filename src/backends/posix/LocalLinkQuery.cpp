#include "LocalLinkQuery.h"

#include "PosixDatagram.h"
#include "base/OemCodePage.h"

namespace vexor {

std::vector<Ipv4> QueryLocalLink(std::string_view name, const LinkTargets& targets,
                                 SteadyTime deadline) {
    const auto socket = OpenPosixDatagramSocket();
    if (!socket) {
        return {};
    }
    return QueryLinkName(*socket, SystemClock(), name, targets, deadline, NetbiosCodePage());
}

} // namespace vexor
