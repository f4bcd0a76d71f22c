#pragma once

#include "core/discovery/LinkNameQuery.h"
#include "seams/Clock.h"

#include <string_view>
#include <vector>

namespace vexor {

// Asks the local link for the address of `name` from a socket of its own (see
// QueryLinkName), with NetBIOS names in CP850; nothing when no answer comes
// before the questions are given up or `deadline` passes.
std::vector<Ipv4> QueryLocalLink(std::string_view name, const LinkTargets& targets,
                                 SteadyTime deadline);

} // namespace vexor
