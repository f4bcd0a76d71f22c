#pragma once

#include "core/discovery/MergedNetwork.h"
#include "core/discovery/NameAnswerCache.h"

#include <memory>

namespace vexor::win32 {

// The network neighbourhood on Windows: WNet's browse list, WS-Discovery and
// DNS-SD, and with `sweep` the sweep of the local subnets, merged into one
// walk. No server is opened through WNet. Addresses learnt go into `learnt`;
// `hooks` hear of each refresh and each machine found.
std::unique_ptr<MergedNetwork> MakeWin32Network(std::shared_ptr<NameAnswerCache> learnt,
                                                RefreshHooks hooks = {}, bool sweep = true);

} // namespace vexor::win32
