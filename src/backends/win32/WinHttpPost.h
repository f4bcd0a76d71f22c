#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace vexor::win32 {

// The discovery seam's HTTP POST over WinHTTP, with no proxy (the peers are on
// the local link) and no redirect followed.
std::optional<std::string> WinHttpPost(const std::string& url, const std::string& body,
                                       std::chrono::milliseconds limit, std::size_t maxBytes);

// The discovery seam's HTTP GET, opened and read as the POST is.
std::optional<std::string> WinHttpGet(const std::string& url, std::chrono::milliseconds limit,
                                      std::size_t maxBytes);

} // namespace vexor::win32
