#pragma once

#include <memory>

namespace vexor {

// Calls `Free` on what a UniqueHandle owns.
template <auto Free> struct CallFree {
    template <typename T> void operator()(T* owned) const { Free(owned); }
};

// Sole ownership of what a C library hands out as a pointer (a list, a session,
// a system object), given back with `Free` when the owner goes: one line per
// kind of handle instead of a deleter class each.
template <typename T, auto Free> using UniqueHandle = std::unique_ptr<T, CallFree<Free>>;

} // namespace vexor
