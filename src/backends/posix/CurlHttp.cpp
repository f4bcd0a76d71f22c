#include "CurlHttp.h"

#include "SharedLibrary.h"
#include "base/UniqueHandle.h"

#include <curl/curl.h>
#include <memory>

namespace vexor {
namespace {

// libcurl, loaded on the first metadata request: with its TLS, LDAP, SSH and
// Kerberos libraries it is most of what a bare start would map for nothing.
class CurlLibrary {
  public:
    CurlLibrary() {
        const bool complete = library_.Bind(globalInit, "curl_global_init") &&
                              library_.Bind(easyInit, "curl_easy_init") &&
                              library_.Bind(easyCleanup, "curl_easy_cleanup") &&
                              library_.Bind(easySetopt, "curl_easy_setopt") &&
                              library_.Bind(easyPerform, "curl_easy_perform") &&
                              library_.Bind(easyGetinfo, "curl_easy_getinfo") &&
                              library_.Bind(slistAppend, "curl_slist_append") &&
                              library_.Bind(slistFreeAll, "curl_slist_free_all");
        // libcurl's global start-up is not thread-safe: it is made here, once,
        // under the function-local static's own guard.
        ready_ = complete && globalInit(CURL_GLOBAL_NOTHING) == CURLE_OK;
    }
    bool ready() const { return ready_; }

    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_perform) easyPerform = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_slist_append) slistAppend = nullptr;
    decltype(&curl_slist_free_all) slistFreeAll = nullptr;

  private:
    SharedLibrary library_{"libcurl.so.4"};
    bool ready_ = false;
};

const CurlLibrary& Curl() {
    static const CurlLibrary library;
    return library;
}

void FreeEasy(CURL* curl) {
    Curl().easyCleanup(curl);
}
void FreeList(curl_slist* list) {
    Curl().slistFreeAll(list);
}

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

// A request to `url` with the limits of both verbs: http only, no proxy, no
// redirect followed, the whole exchange within `limit` (libcurl's TIMEOUT covers
// connection, headers and body, so a peer that trickles is cut there), and at
// most `maxBytes` of body. `prepare` adds what the verb needs.
template <typename Prepare>
std::optional<std::string> Perform(const std::string& url, std::chrono::milliseconds limit,
                                   std::size_t maxBytes, Prepare prepare) {
    const CurlLibrary& lib = Curl();
    if (!lib.ready() || limit.count() <= 0) {
        return std::nullopt;
    }
    const UniqueHandle<CURL, FreeEasy> curl(lib.easyInit());
    if (!curl) {
        return std::nullopt;
    }
    Received received{{}, maxBytes};
    CURL* easy = curl.get();
    lib.easySetopt(easy, CURLOPT_URL, url.c_str());
    lib.easySetopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    lib.easySetopt(easy, CURLOPT_NOPROXY, "*");
    lib.easySetopt(easy, CURLOPT_NOSIGNAL, 1L);
    lib.easySetopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    lib.easySetopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limit.count()));
    lib.easySetopt(easy, CURLOPT_WRITEFUNCTION, Collect);
    lib.easySetopt(easy, CURLOPT_WRITEDATA, &received);
    prepare(lib, easy);
    long status = 0;
    if (lib.easyPerform(easy) != CURLE_OK ||
        lib.easyGetinfo(easy, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
        return std::nullopt;
    }
    return std::move(received.body);
}

} // namespace

std::optional<std::string> CurlPost(const std::string& url, const std::string& body,
                                    std::chrono::milliseconds limit, std::size_t maxBytes) {
    const CurlLibrary& lib = Curl();
    if (!lib.ready()) {
        return std::nullopt;
    }
    const UniqueHandle<curl_slist, FreeList> headers(
        lib.slistAppend(nullptr, "Content-Type: application/soap+xml"));
    return Perform(url, limit, maxBytes, [&](const CurlLibrary& curl, CURL* easy) {
        curl.easySetopt(easy, CURLOPT_HTTPHEADER, headers.get());
        curl.easySetopt(easy, CURLOPT_POSTFIELDS, body.data());
        curl.easySetopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    });
}

std::optional<std::string> CurlGet(const std::string& url, std::chrono::milliseconds limit,
                                   std::size_t maxBytes) {
    return Perform(url, limit, maxBytes, [](const CurlLibrary&, CURL*) {});
}

} // namespace vexor
