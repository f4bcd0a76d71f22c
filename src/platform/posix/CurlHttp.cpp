#include "CurlHttp.h"

#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace vexor {
namespace {

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Received {
    std::string body;
    std::size_t maxBytes;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto& received = *static_cast<Received*>(user);
    const std::size_t bytes = size * count;
    if (received.body.size() + bytes > received.maxBytes) {
        // Returning less than was given makes libcurl stop the transfer.
        return 0;
    }
    received.body.append(data, bytes);
    return bytes;
}

} // namespace

std::optional<std::string> CurlPost(const std::string& url, const std::string& body,
                                    std::chrono::milliseconds limit, std::size_t maxBytes) {
    // libcurl's global start-up is not thread-safe and is made once for the process.
    static std::once_flag started;
    std::call_once(started, [] { curl_global_init(CURL_GLOBAL_NOTHING); });
    const std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        return std::nullopt;
    }
    const std::unique_ptr<curl_slist, ListDeleter> headers(
        curl_slist_append(nullptr, "Content-Type: application/soap+xml"));
    Received received{{}, maxBytes};
    CURL* easy = curl.get();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limit.count()));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &received);
    long status = 0;
    if (curl_easy_perform(easy) != CURLE_OK ||
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
        return std::nullopt;
    }
    return std::move(received.body);
}

} // namespace vexor
