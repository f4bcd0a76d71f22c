#pragma once

#include "base/UniqueHandle.h"

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

    bool loaded() const { return static_cast<bool>(handle_); }

    // Looks `name` up into `function`; false when the library lacks it.
    template <typename Function> bool Bind(Function& function, const char* name) const {
        function = !handle_ ? nullptr : reinterpret_cast<Function>(dlsym(handle_.get(), name));
        return function != nullptr;
    }

  private:
    UniqueHandle<void, dlclose> handle_;
};

} // namespace vexor
