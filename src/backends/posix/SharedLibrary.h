#pragma once

#include <dlfcn.h>

namespace vexor {

// A shared library loaded when first needed rather than at start-up, with its
// functions looked up by name. It stays mapped for the life of the process
// (RTLD_NODELETE): a source left behind at a deadline, or a library's own
// exit-time handlers, may still run its code.
class SharedLibrary {
  public:
    explicit SharedLibrary(const char* file)
        : handle_(dlopen(file, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {}
    ~SharedLibrary() {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }

    // Looks `name` up into `function`; false when the library lacks it.
    template <typename Function> bool Bind(Function& function, const char* name) const {
        function = handle_ == nullptr ? nullptr : reinterpret_cast<Function>(dlsym(handle_, name));
        return function != nullptr;
    }

  private:
    void* handle_;
};

} // namespace vexor
