#include "WinHttpPost.h"

#include "WinText.h"
#include "base/UniqueHandle.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <windows.h>
#include <winhttp.h>

namespace vexor::win32 {
namespace {

using InternetHandle = UniqueHandle<void, WinHttpCloseHandle>;

// A POST ready to send, with the session and connection it lives in.
struct PostRequest {
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;
};

// Opens a POST (or another `verb`) to `url`, an http:// URL, with every WinHTTP
// wait cut to `limit` and no redirect followed: a redirect would send the
// request to an address the peer chose.
std::optional<PostRequest> OpenPost(const std::string& url, std::chrono::milliseconds limit,
                                    const wchar_t* verb = L"POST") {
    std::wstring wide = Utf8ToWide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) ||
        parts.nScheme != INTERNET_SCHEME_HTTP) {
        return std::nullopt;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    PostRequest post;
    post.session.reset(WinHttpOpen(L"Vexor Moralto", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!post.session) {
        return std::nullopt;
    }
    const int ms = static_cast<int>(limit.count());
    WinHttpSetTimeouts(post.session.get(), ms, ms, ms, ms);
    post.connection.reset(WinHttpConnect(post.session.get(), host.c_str(), parts.nPort, 0));
    if (post.connection) {
        post.request.reset(WinHttpOpenRequest(post.connection.get(), verb, path.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    }
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    if (!post.request || !WinHttpSetOption(post.request.get(), WINHTTP_OPTION_DISABLE_FEATURE,
                                           &noRedirects, sizeof noRedirects)) {
        return std::nullopt;
    }
    return post;
}

// Cuts every WinHTTP wait still to come on `request` (the rest of the headers,
// the next read) to what is left before `deadline`; false when nothing is. A
// peer that trickles bytes never lets a per-read time-out pass, so the bound is
// renewed before each wait.
bool WaitNoLongerThan(HINTERNET request, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
        return false;
    }
    DWORD ms = static_cast<DWORD>(left);
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &ms, sizeof ms);
    return true;
}

// The body of a 200 response, read until its end, `deadline` or `maxBytes`;
// nothing when any of those comes first or the status is another.
std::optional<std::string>
ReadBody(HINTERNET request, std::chrono::steady_clock::time_point deadline, std::size_t maxBytes) {
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX) ||
        status != 200) {
        return std::nullopt;
    }
    std::string response;
    char chunk[4096];
    for (;;) {
        // A peer that trickles its bytes gets no more than the limit in all.
        if (!WaitNoLongerThan(request, deadline)) {
            return std::nullopt;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk, sizeof chunk, &read)) {
            return std::nullopt;
        }
        if (read == 0) {
            return response;
        }
        if (response.size() + read > maxBytes) {
            return std::nullopt;
        }
        response.append(chunk, read);
    }
}

// Closes a request from a timer-queue thread at the deadline: WinHTTP's own
// time-outs bound each phase and each packet, so a peer that trickles its
// response a byte at a time would otherwise hold the request for as long as it
// likes. Closing the handle ends the call waiting on it with an error.
class RequestCutOff {
  public:
    RequestCutOff(InternetHandle& request, std::chrono::milliseconds after) : request_(request) {
        const auto due = static_cast<DWORD>(std::max<long long>(after.count(), 1));
        if (!CreateTimerQueueTimer(&timer_, nullptr, Fire, this, due, 0,
                                   WT_EXECUTEONLYONCE | WT_EXECUTEINTIMERTHREAD)) {
            timer_ = nullptr;
        }
    }
    ~RequestCutOff() {
        if (timer_ != nullptr) {
            // Waits for a callback under way, so the handle is closed once only.
            DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
        }
        const std::lock_guard lock(mutex_);
        if (fired_) {
            // The timer closed it already.
            static_cast<void>(request_.release());
        }
    }
    RequestCutOff(const RequestCutOff&) = delete;
    RequestCutOff& operator=(const RequestCutOff&) = delete;

    bool armed() const { return timer_ != nullptr; }

  private:
    static void CALLBACK Fire(void* self, BOOLEAN) {
        auto& cutOff = *static_cast<RequestCutOff*>(self);
        const std::lock_guard lock(cutOff.mutex_);
        cutOff.fired_ = true;
        WinHttpCloseHandle(cutOff.request_.get());
    }

    InternetHandle& request_;
    HANDLE timer_ = nullptr;
    std::mutex mutex_;
    bool fired_ = false;
};

// One request, bounded by the timer above: a POST of `body` with the SOAP
// content type, or a GET when there is no body.
std::optional<std::string> Send(const std::string& url, const std::string* body,
                                std::chrono::milliseconds limit, std::size_t maxBytes) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto request = OpenPost(url, limit, body != nullptr ? L"POST" : L"GET");
    if (!request) {
        return std::nullopt;
    }
    const RequestCutOff cutOff(request->request, limit);
    if (!cutOff.armed()) {
        return std::nullopt;
    }
    static const wchar_t kHeaders[] = L"Content-Type: application/soap+xml\r\n";
    const bool sent =
        body != nullptr
            ? WinHttpSendRequest(request->request.get(), kHeaders, static_cast<DWORD>(-1L),
                                 const_cast<char*>(body->data()), static_cast<DWORD>(body->size()),
                                 static_cast<DWORD>(body->size()), 0)
            : WinHttpSendRequest(request->request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                 WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
    if (!sent || !WinHttpReceiveResponse(request->request.get(), nullptr)) {
        return std::nullopt;
    }
    return ReadBody(request->request.get(), deadline, maxBytes);
}

// A request under way on a thread of its own, and its result once it has one.
struct PendingRequest {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<std::string> response;
};

// Closing a request does not end a call waiting on it everywhere (Wine lets the
// call run on until the peer stops): the request runs on a thread of its own,
// and one still running at the limit is abandoned, its result dropped.
std::optional<std::string> SendWithin(const std::string& url, std::optional<std::string> body,
                                      std::chrono::milliseconds limit, std::size_t maxBytes) {
    if (limit.count() <= 0) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const auto pending = std::make_shared<PendingRequest>();
    try {
        std::thread([pending, url, body = std::move(body), limit, maxBytes] {
            auto response = Send(url, body ? &*body : nullptr, limit, maxBytes);
            {
                const std::lock_guard lock(pending->mutex);
                pending->response = std::move(response);
                pending->finished = true;
            }
            pending->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    std::unique_lock lock(pending->mutex);
    if (!pending->done.wait_until(lock, deadline, [&] { return pending->finished; })) {
        return std::nullopt;
    }
    return std::move(pending->response);
}

} // namespace

std::optional<std::string> WinHttpPost(const std::string& url, const std::string& body,
                                       std::chrono::milliseconds limit, std::size_t maxBytes) {
    return SendWithin(url, body, limit, maxBytes);
}

std::optional<std::string> WinHttpGet(const std::string& url, std::chrono::milliseconds limit,
                                      std::size_t maxBytes) {
    return SendWithin(url, std::nullopt, limit, maxBytes);
}

} // namespace vexor::win32
