#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vexor::testing {

// Runs `setUp` (shell commands) and then `probe` in a child process inside a new,
// empty network namespace, and returns what the probe wrote. Nothing when this
// machine does not permit network namespaces.
std::optional<std::string> RunInNetworkNamespace(const std::string& setUp,
                                                 const std::function<std::string()>& probe);

} // namespace vexor::testing
