#pragma once

#include <type_traits>
#include <utility>

namespace vexor {

// Sole ownership of one handle of a system or a C library (a descriptor, a
// socket, a kernel object, a list or session handed out as a pointer), closed
// exactly once when its owner goes. `Policy` gives the handle's type (`Value`),
// the value that owns nothing (`Invalid()`), never closed, and how a handle is
// closed (`Close`).
template <typename Policy> class UniqueResource {
  public:
    using Value = typename Policy::Value;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Value value) noexcept : value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Value get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Policy::Invalid(); }
    // Gives the handle up without closing it: the caller closes it now.
    Value release() noexcept { return std::exchange(value_, Policy::Invalid()); }
    void reset(Value value = Policy::Invalid()) noexcept {
        const Value old = std::exchange(value_, value);
        if (old != Policy::Invalid()) {
            Policy::Close(old);
        }
    }

    Value operator->() const noexcept requires std::is_pointer_v<Value> { return value_; }
    decltype(auto) operator*() const noexcept requires std::is_pointer_v<Value> &&
        (!std::is_void_v<std::remove_pointer_t<Value>>) {
        return *value_;
    }

  private:
    Value value_ = Policy::Invalid();
};

// A pointer that a C library hands out, given back with `Free`.
template <typename T, auto Free> struct PointerPolicy {
    using Value = T*;
    static constexpr T* Invalid() noexcept { return nullptr; }
    static void Close(T* owned) { Free(owned); }
};

// One line per kind of pointer handle instead of a deleter class each.
template <typename T, auto Free> using UniqueHandle = UniqueResource<PointerPolicy<T, Free>>;

} // namespace vexor
