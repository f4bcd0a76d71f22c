#include "Win32Network.h"

#include "WinText.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <windows.h>
#include <winnetwk.h>

namespace vexor::win32 {

static_assert(sizeof(NetResource) == sizeof(NETRESOURCEA));
static_assert(offsetof(NetResource, dwDisplayType) == offsetof(NETRESOURCEA, dwDisplayType));
static_assert(offsetof(NetResource, lpLocalName) == offsetof(NETRESOURCEA, lpLocalName));
static_assert(offsetof(NetResource, lpRemoteName) == offsetof(NETRESOURCEA, lpRemoteName));
static_assert(offsetof(NetResource, lpComment) == offsetof(NETRESOURCEA, lpComment));
static_assert(offsetof(NetResource, lpProvider) == offsetof(NETRESOURCEA, lpProvider));
#ifndef _WIN64
static_assert(sizeof(NetResource) == 32, "the 32-bit resource record is 32 bytes");
#endif

namespace {

std::optional<std::string> Text(const char* ansi) {
    return ansi == nullptr ? std::nullopt : std::optional<std::string>(AnsiToUtf8(ansi));
}

// The ANSI texts of a record the caller describes a container with.
struct AnsiRecord {
    explicit AnsiRecord(const NetResource& record)
        : local(Convert(record.lpLocalName)), remote(Convert(record.lpRemoteName)),
          comment(Convert(record.lpComment)), provider(Convert(record.lpProvider)) {
        native.dwScope = record.dwScope;
        native.dwType = record.dwType;
        native.dwDisplayType = record.dwDisplayType;
        native.dwUsage = record.dwUsage;
        native.lpLocalName = Pointer(local);
        native.lpRemoteName = Pointer(remote);
        native.lpComment = Pointer(comment);
        native.lpProvider = Pointer(provider);
    }
    static std::optional<std::string> Convert(const char* utf8) {
        return utf8 == nullptr ? std::nullopt : std::optional<std::string>(Utf8ToAnsi(utf8));
    }
    static char* Pointer(std::optional<std::string>& text) { return text ? text->data() : nullptr; }

    std::optional<std::string> local, remote, comment, provider;
    NETRESOURCEA native{};
};

} // namespace

std::uint32_t Win32Network::openEnum(std::uint32_t scope, std::uint32_t type, std::uint32_t usage,
                                     const NetResource* container, NetEnumHandle* handle) {
    std::optional<AnsiRecord> record;
    if (container != nullptr) {
        record.emplace(*container);
    }
    HANDLE opened = nullptr;
    const DWORD result =
        WNetOpenEnumA(scope, type, usage, record ? &record->native : nullptr, &opened);
    if (result == NO_ERROR) {
        *handle = opened;
        pending_[opened] = {};
    }
    return result;
}

std::uint32_t Win32Network::enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                                         std::uint32_t* size) {
    EntryListing& pending = pending_[handle];
    if (pending.Exhausted()) {
        pending = {};
        const DWORD capacity = *size;
        // Records hold pointers: the buffer is allocated as records for their alignment.
        const std::size_t records = (capacity + sizeof(NETRESOURCEA) - 1) / sizeof(NETRESOURCEA);
        const auto native = std::make_unique<NETRESOURCEA[]>(records);
        DWORD read = static_cast<DWORD>(*count);
        DWORD nativeSize = capacity;
        const DWORD result = WNetEnumResourceA(handle, &read, native.get(), &nativeSize);
        if (result != NO_ERROR) {
            if (result == ERROR_MORE_DATA) {
                *size = nativeSize;
            }
            return result;
        }
        for (DWORD i = 0; i < read; ++i) {
            const NETRESOURCEA& entry = native[i];
            pending.entries.push_back({entry.dwScope, entry.dwType, entry.dwDisplayType,
                                       entry.dwUsage, Text(entry.lpLocalName),
                                       Text(entry.lpRemoteName), Text(entry.lpComment),
                                       Text(entry.lpProvider)});
        }
    }
    return pending.Read(count, buffer, size);
}

std::uint32_t Win32Network::closeEnum(NetEnumHandle handle) {
    pending_.erase(handle);
    return WNetCloseEnum(handle);
}

} // namespace vexor::win32
