#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vexor {

// An HTTP POST with libcurl, for the discovery seam: the SOAP content type, no
// proxy (the peers are on the local link), http only, no redirects.
std::optional<std::string> CurlPost(const std::string& url, const std::string& body,
                                    std::chrono::milliseconds limit, std::size_t maxBytes);

// An HTTP GET with libcurl, under the POST's limits, for device descriptions.
std::optional<std::string> CurlGet(const std::string& url, std::chrono::milliseconds limit,
                                   std::size_t maxBytes);

} // namespace vexor
