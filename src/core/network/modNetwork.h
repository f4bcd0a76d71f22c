#pragma once

#include "seams/NetworkEnumeration.h"
#include "seams/Window.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vexor {

// Size of the buffer each level of the walk reads its entries into.
constexpr std::uint32_t kEnumBufferSize = 31744;

// Hands out the zero-filled enumeration buffers of the walk; null when memory
// cannot be had.
using EnumBufferAllocator = std::unique_ptr<std::byte[]> (*)(std::size_t size);

std::unique_ptr<std::byte[]> AllocateEnumBuffer(std::size_t size);

// Walks the network neighbourhood depth first from its root and adds the name of
// every server it meets, backslashes removed, to the end of `list`. False when
// the root cannot be opened or the list refused a line; names added before stay.
bool ListNetworkMachines(INetworkEnumeration& network, IItemSink& list,
                         EnumBufferAllocator allocate = AllocateEnumBuffer);

} // namespace vexor
