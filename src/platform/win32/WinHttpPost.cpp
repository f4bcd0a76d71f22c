#include "WinHttpPost.h"

#include "WinText.h"
#include "platform/common/UniqueHandle.h"

#include <windows.h>
#include <winhttp.h>

namespace vexor::win32 {
namespace {

using InternetHandle = UniqueHandle<void, WinHttpCloseHandle>;

} // namespace

std::optional<std::string> WinHttpPost(const std::string& url, const std::string& body,
                                       std::chrono::milliseconds limit, std::size_t maxBytes) {
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
    const InternetHandle session(WinHttpOpen(L"Vexor Moralto", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        return std::nullopt;
    }
    const int ms = static_cast<int>(limit.count());
    WinHttpSetTimeouts(session.get(), ms, ms, ms, ms);
    const InternetHandle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    const InternetHandle request(
        connection ? WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                   : nullptr);
    if (!request) {
        return std::nullopt;
    }
    // A redirect would send the request to an address the peer chose.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                          sizeof noRedirects)) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    static const wchar_t kHeaders[] = L"Content-Type: application/soap+xml\r\n";
    if (!WinHttpSendRequest(request.get(), kHeaders, static_cast<DWORD>(-1L),
                            const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                            static_cast<DWORD>(body.size()), 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return std::nullopt;
    }
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX) ||
        status != 200) {
        return std::nullopt;
    }
    std::string response;
    char chunk[4096];
    for (;;) {
        // A peer that trickles its bytes gets no more than the limit in all.
        if (std::chrono::steady_clock::now() > deadline) {
            return std::nullopt;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), chunk, sizeof chunk, &read)) {
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

} // namespace vexor::win32
