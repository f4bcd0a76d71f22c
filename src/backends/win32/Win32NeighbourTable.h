#pragma once

#include "seams/NeighbourTable.h"

#include <optional>
#include <vector>

namespace vexor::win32 {

// The system's IPv4 neighbour table (GetIpNetTable2); nothing when it cannot
// be read.
std::optional<std::vector<NeighbourEntry>> ReadIpNetTable();

} // namespace vexor::win32
