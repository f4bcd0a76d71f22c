#pragma once

#include "UniqueHandle.h"

#include <unistd.h>

namespace vexor {

// A POSIX file descriptor (a file, a socket, a folder); -1 owns nothing.
struct DescriptorPolicy {
    using Value = int;
    static constexpr int Invalid() noexcept { return -1; }
    static void Close(int descriptor) { ::close(descriptor); }
};

using UniqueDescriptor = UniqueResource<DescriptorPolicy>;

} // namespace vexor
