#include "Win32DnsSd.h"

#include "WinText.h"
#include "discovery/DnsSdAnswer.h"

#include <windows.h>

// windns.h needs the types windows.h declares.
#include <windns.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace vexor::win32 {
namespace {

constexpr const wchar_t* kTypes[] = {L"_smb._tcp.local", L"_workstation._tcp.local",
                                     L"_device-info._tcp.local"};
// Windows reports no "all for now": browsing lasts this long.
constexpr std::chrono::milliseconds kBrowseWindow{1000};
constexpr std::chrono::milliseconds kResolveWindow{400};
constexpr std::size_t kMaxInstances = 256;
// DNS_REQUEST_PENDING, which MinGW's windns.h does not define.
constexpr DNS_STATUS kRequestPending = 9506;

using Browse = DNS_STATUS(WINAPI*)(PDNS_SERVICE_BROWSE_REQUEST, PDNS_SERVICE_CANCEL);
using Resolve = DNS_STATUS(WINAPI*)(PDNS_SERVICE_RESOLVE_REQUEST, PDNS_SERVICE_CANCEL);
using Cancel = DNS_STATUS(WINAPI*)(PDNS_SERVICE_CANCEL);
using FreeInstance = VOID(WINAPI*)(PDNS_SERVICE_INSTANCE);
using FreeRecords = VOID(WINAPI*)(PVOID, DNS_FREE_TYPE);

template <typename Function> Function Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// What the callbacks, which run on the system's threads, fill in.
struct Found {
    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::wstring> instances;
    std::vector<FoundMachine> machines;
    int pending = 0;
    FreeInstance freeInstance = nullptr;
    FreeRecords freeRecords = nullptr;
};

VOID WINAPI Browsed(DWORD status, PVOID context, PDNS_RECORD records) {
    auto& found = *static_cast<Found*>(context);
    {
        const std::lock_guard lock(found.mutex);
        for (PDNS_RECORD record = records; status == ERROR_SUCCESS && record != nullptr;
             record = record->pNext) {
            if (record->wType == DNS_TYPE_PTR && record->Data.PTR.pNameHost != nullptr &&
                found.instances.size() < kMaxInstances) {
                found.instances.insert(record->Data.PTR.pNameHost);
            }
        }
    }
    if (records != nullptr) {
        found.freeRecords(records, DnsFreeRecordList);
    }
}

VOID WINAPI Resolved(DWORD status, PVOID context, PDNS_SERVICE_INSTANCE instance) {
    auto& found = *static_cast<Found*>(context);
    const std::lock_guard lock(found.mutex);
    if (status == ERROR_SUCCESS && instance != nullptr && instance->pszHostName != nullptr &&
        instance->ip4Address != nullptr) {
        Ipv4 address{};
        std::memcpy(address.data(), instance->ip4Address, 4);
        if (auto machine = DnsSdMachine(WideToUtf8(instance->pszHostName), address)) {
            found.machines.push_back(std::move(*machine));
        }
    }
    if (instance != nullptr) {
        found.freeInstance(instance);
    }
    --found.pending;
    found.changed.notify_all();
}

} // namespace

void DnsSdSource::Find(const FoundSink& report,
                       std::chrono::steady_clock::time_point /*deadline*/) {
    // dnsapi.dll stays loaded for the life of the process: a late callback runs its code.
    static const HMODULE module = LoadLibraryW(L"dnsapi.dll");
    if (module == nullptr) {
        return;
    }
    const auto browse = Lookup<Browse>(module, "DnsServiceBrowse");
    const auto browseCancel = Lookup<Cancel>(module, "DnsServiceBrowseCancel");
    const auto resolve = Lookup<Resolve>(module, "DnsServiceResolve");
    const auto resolveCancel = Lookup<Cancel>(module, "DnsServiceResolveCancel");
    auto found = std::make_shared<Found>();
    // A cancelled browse or resolve may still call back after this returns: what
    // the callbacks write to lives as long as the process.
    {
        static std::mutex keptMutex;
        static std::vector<std::shared_ptr<Found>> kept;
        const std::lock_guard keptLock(keptMutex);
        kept.push_back(found);
    }
    found->freeInstance = Lookup<FreeInstance>(module, "DnsServiceFreeInstance");
    found->freeRecords = Lookup<FreeRecords>(module, "DnsFree");
    if (browse == nullptr || browseCancel == nullptr || resolve == nullptr ||
        resolveCancel == nullptr || found->freeInstance == nullptr ||
        found->freeRecords == nullptr) {
        return;
    }

    std::vector<DNS_SERVICE_CANCEL> browsing(std::size(kTypes));
    for (std::size_t i = 0; i < std::size(kTypes); ++i) {
        DNS_SERVICE_BROWSE_REQUEST request{};
        request.Version = DNS_QUERY_REQUEST_VERSION1;
        request.QueryName = kTypes[i];
        request.pBrowseCallback = Browsed;
        request.pQueryContext = found.get();
        if (browse(&request, &browsing[i]) != kRequestPending) {
            browsing[i].reserved = nullptr;
        }
    }
    Sleep(static_cast<DWORD>(kBrowseWindow.count()));
    for (auto& handle : browsing) {
        if (handle.reserved != nullptr) {
            browseCancel(&handle);
        }
    }

    std::vector<std::wstring> names;
    {
        const std::lock_guard lock(found->mutex);
        names.assign(found->instances.begin(), found->instances.end());
    }
    std::vector<DNS_SERVICE_CANCEL> resolving(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        DNS_SERVICE_RESOLVE_REQUEST request{};
        request.Version = DNS_QUERY_REQUEST_VERSION1;
        request.QueryName = names[i].data();
        request.pResolveCompletionCallback = Resolved;
        request.pQueryContext = found.get();
        {
            const std::lock_guard lock(found->mutex);
            ++found->pending;
        }
        if (resolve(&request, &resolving[i]) != kRequestPending) {
            const std::lock_guard lock(found->mutex);
            --found->pending;
            resolving[i].reserved = nullptr;
        }
    }
    std::unique_lock lock(found->mutex);
    if (!found->changed.wait_for(lock, kResolveWindow, [&] { return found->pending == 0; })) {
        lock.unlock();
        for (auto& handle : resolving) {
            if (handle.reserved != nullptr) {
                resolveCancel(&handle);
            }
        }
        lock.lock();
        // A cancelled resolve still calls back once; each is waited for, briefly.
        found->changed.wait_for(lock, kResolveWindow, [&] { return found->pending <= 0; });
    }
    for (FoundMachine& machine : found->machines) {
        report(std::move(machine));
    }
}

} // namespace vexor::win32
