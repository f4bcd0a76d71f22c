#include "SmbNetwork.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <libsmbclient.h>

namespace vexor {
namespace {

// How long one request to a server may take before it counts as unreachable.
constexpr int kTimeoutMilliseconds = 5000;

void AnonymousLogin(SMBCCTX* /*context*/, const char* /*server*/, const char* /*share*/,
                    char* /*workgroup*/, int /*workgroupLength*/, char* user, int userLength,
                    char* password, int passwordLength) {
    if (userLength > 0) {
        user[0] = '\0';
    }
    if (passwordLength > 0) {
        password[0] = '\0';
    }
}

struct SmbEntry {
    unsigned type;
    std::string name;
    std::string comment;
};

} // namespace

// libsmbclient, loaded on the first walk rather than at start-up: it brings in
// close to a hundred Samba libraries that the window does not need until then.
class SmbLibrary {
  public:
    SmbLibrary() : handle_(dlopen("libsmbclient.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
        if (handle_ == nullptr) {
            return;
        }
        const bool complete =
            Bind(newContext, "smbc_new_context") && Bind(freeContext, "smbc_free_context") &&
            Bind(initContext, "smbc_init_context") && Bind(setDebug, "smbc_setDebug") &&
            Bind(setTimeout, "smbc_setTimeout") &&
            Bind(setUseKerberos, "smbc_setOptionUseKerberos") &&
            Bind(setFallbackAfterKerberos, "smbc_setOptionFallbackAfterKerberos") &&
            Bind(setBrowseMaxLmbCount, "smbc_setOptionBrowseMaxLmbCount") &&
            Bind(setAuth, "smbc_setFunctionAuthDataWithContext") &&
            Bind(setProtocols, "smbc_setOptionProtocols") &&
            Bind(getOpendir, "smbc_getFunctionOpendir") &&
            Bind(getReaddir, "smbc_getFunctionReaddir") &&
            Bind(getClosedir, "smbc_getFunctionClosedir");
        if (!complete) {
            dlclose(handle_);
            handle_ = nullptr;
        }
    }
    // The library stays mapped after this (RTLD_NODELETE): Samba registers
    // exit-time handlers that must still find their code.
    ~SmbLibrary() {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }
    SmbLibrary(const SmbLibrary&) = delete;
    SmbLibrary& operator=(const SmbLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }

    decltype(&smbc_new_context) newContext = nullptr;
    decltype(&smbc_free_context) freeContext = nullptr;
    decltype(&smbc_init_context) initContext = nullptr;
    decltype(&smbc_setDebug) setDebug = nullptr;
    decltype(&smbc_setTimeout) setTimeout = nullptr;
    decltype(&smbc_setOptionUseKerberos) setUseKerberos = nullptr;
    decltype(&smbc_setOptionFallbackAfterKerberos) setFallbackAfterKerberos = nullptr;
    decltype(&smbc_setOptionBrowseMaxLmbCount) setBrowseMaxLmbCount = nullptr;
    decltype(&smbc_setFunctionAuthDataWithContext) setAuth = nullptr;
    decltype(&smbc_setOptionProtocols) setProtocols = nullptr;
    decltype(&smbc_getFunctionOpendir) getOpendir = nullptr;
    decltype(&smbc_getFunctionReaddir) getReaddir = nullptr;
    decltype(&smbc_getFunctionClosedir) getClosedir = nullptr;

  private:
    template <typename Function> bool Bind(Function& function, const char* name) {
        function = reinterpret_cast<Function>(dlsym(handle_, name));
        return function != nullptr;
    }

    void* handle_;
};

// One libsmbclient context for the life of the backend.
class SmbContext {
  public:
    SmbContext() {
        if (!smb_.loaded()) {
            return;
        }
        context_ = smb_.newContext();
        if (context_ == nullptr) {
            return;
        }
        smb_.setDebug(context_, 0);
        smb_.setTimeout(context_, kTimeoutMilliseconds);
        smb_.setUseKerberos(context_, 0);
        smb_.setFallbackAfterKerberos(context_, 1);
        smb_.setBrowseMaxLmbCount(context_, 0);
        smb_.setAuth(context_, AnonymousLogin);
        if (smb_.initContext(context_) == nullptr) {
            smb_.freeContext(context_, 1);
            context_ = nullptr;
        }
    }
    ~SmbContext() {
        if (context_ != nullptr) {
            smb_.freeContext(context_, 1);
        }
    }
    SmbContext(const SmbContext&) = delete;
    SmbContext& operator=(const SmbContext&) = delete;

    bool ready() const { return context_ != nullptr; }

    // Lists the entries at `url`; the errno of the failure otherwise.
    int List(const std::string& url, bool browseList, std::vector<SmbEntry>& entries) {
        // Workgroup and server lists exist only in SMB1, while a server's shares
        // are read with whatever newer protocol it prefers. The setting is
        // process-wide, so it is made before every listing.
        smb_.setProtocols(context_, browseList ? "NT1" : "default", browseList ? "NT1" : "default");
        errno = 0;
        SMBCFILE* directory = smb_.getOpendir(context_)(context_, url.c_str());
        if (directory == nullptr) {
            return errno != 0 ? errno : EIO;
        }
        while (const smbc_dirent* entry = smb_.getReaddir(context_)(context_, directory)) {
            entries.push_back(
                {entry->smbc_type, entry->name, entry->comment != nullptr ? entry->comment : ""});
        }
        smb_.getClosedir(context_)(context_, directory);
        return 0;
    }

  private:
    SmbLibrary smb_;
    SMBCCTX* context_ = nullptr;
};

std::uint32_t NetErrorFromErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return net::kErrorAccessDenied;
    case ENOMEM:
        return net::kErrorNotEnoughMemory;
    case ENOTDIR:
        return net::kErrorNotContainer;
    case ENETUNREACH:
    case ENETDOWN:
        return net::kErrorNoNetwork;
    default:
        return net::kErrorBadNetPath;
    }
}

SmbNetwork::SmbNetwork(std::shared_ptr<PosixNameResolver> resolver)
    : resolver_(std::move(resolver)) {}
SmbNetwork::~SmbNetwork() = default;

std::uint32_t SmbNetwork::List(const NetResource& container, std::vector<ResourceEntry>& entries) {
    const std::string remote = container.lpRemoteName;
    std::string url;
    bool browseList = true;
    std::uint32_t childDisplayType = 0;
    switch (container.dwDisplayType) {
    case net::kDisplayNetwork:
        url = "smb://";
        childDisplayType = net::kDisplayDomain;
        break;
    case net::kDisplayDomain:
        url = "smb://" + remote + "/";
        childDisplayType = net::kDisplayServer;
        break;
    case net::kDisplayServer: {
        const std::size_t start = remote.find_first_not_of('\\');
        const auto answer =
            resolver_->Resolve(start == std::string::npos ? std::string() : remote.substr(start));
        // A server whose name nobody answers cannot be opened; libsmbclient's own
        // lookup would only wait longer to find the same.
        if (answer.addresses.empty()) {
            return net::kErrorBadNetPath;
        }
        const Ipv4& address = answer.addresses.front();
        url = "smb://" + std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
              std::to_string(address[2]) + "." + std::to_string(address[3]) + "/";
        browseList = false;
        childDisplayType = net::kDisplayShare;
        break;
    }
    default:
        return net::kErrorNotContainer;
    }

    std::vector<SmbEntry> found;
    if (const int error = context_->List(url, browseList, found); error != 0) {
        return NetErrorFromErrno(error);
    }
    for (const SmbEntry& item : found) {
        const unsigned kind = item.type;
        ResourceEntry entry;
        entry.displayType = childDisplayType;
        entry.provider = kSmbProviderName;
        entry.comment = item.comment;
        if (kind == SMBC_WORKGROUP && childDisplayType == net::kDisplayDomain) {
            entry.usage = net::kUsageContainer;
            entry.remoteName = item.name;
        } else if (kind == SMBC_SERVER && childDisplayType == net::kDisplayServer) {
            entry.usage = net::kUsageContainer;
            entry.remoteName = "\\\\" + item.name;
        } else if ((kind == SMBC_FILE_SHARE || kind == SMBC_PRINTER_SHARE ||
                    kind == SMBC_IPC_SHARE || kind == SMBC_COMMS_SHARE) &&
                   childDisplayType == net::kDisplayShare) {
            entry.usage = net::kUsageConnectable;
            entry.type = kind == SMBC_FILE_SHARE ? net::kTypeDisk : net::kTypeAny;
            entry.remoteName = remote + "\\" + item.name;
        } else {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return net::kNoError;
}

void SmbNetwork::ReadBrowseList() {
    resolver_->ForgetAnswers();
    BrowseList browse;
    NetResource root{};
    root.dwDisplayType = net::kDisplayNetwork;
    root.lpRemoteName = const_cast<char*>(kSmbProviderName);
    browse.status = List(root, browse.workgroups);
    for (const ResourceEntry& workgroup : browse.workgroups) {
        NetResource container{};
        container.dwDisplayType = net::kDisplayDomain;
        container.lpRemoteName = const_cast<char*>(workgroup.remoteName->c_str());
        auto& servers = browse.servers[*workgroup.remoteName];
        if (List(container, servers) != net::kNoError) {
            browse.servers.erase(*workgroup.remoteName);
            continue;
        }
        for (const ResourceEntry& server : servers) {
            resolver_->Prefetch(server.remoteName->substr(2));
        }
    }
    browse_ = std::move(browse);
}

std::uint32_t SmbNetwork::Served(const NetResource& container,
                                 std::vector<ResourceEntry>& entries) {
    if (browse_ && container.dwDisplayType == net::kDisplayNetwork) {
        entries = browse_->workgroups;
        return browse_->status;
    }
    if (browse_ && container.dwDisplayType == net::kDisplayDomain) {
        if (const auto found = browse_->servers.find(container.lpRemoteName);
            found != browse_->servers.end()) {
            entries = found->second;
            return net::kNoError;
        }
    }
    return List(container, entries);
}

std::uint32_t SmbNetwork::openEnum(std::uint32_t /*scope*/, std::uint32_t /*type*/,
                                   std::uint32_t /*usage*/, const NetResource* container,
                                   NetEnumHandle* handle) {
    if (handle == nullptr) {
        return net::kErrorInvalidParameter;
    }
    if (!context_) {
        context_ = std::make_unique<SmbContext>();
    }
    if (!context_->ready()) {
        context_.reset();
        return net::kErrorNoNetwork;
    }
    Listing listing;
    if (container == nullptr || container->lpRemoteName == nullptr) {
        ReadBrowseList();
        ResourceEntry provider;
        provider.displayType = net::kDisplayNetwork;
        provider.usage = net::kUsageContainer;
        provider.remoteName = kSmbProviderName;
        provider.provider = kSmbProviderName;
        listing.entries.push_back(std::move(provider));
    } else if (const std::uint32_t status = Served(*container, listing.entries);
               status != net::kNoError) {
        return status;
    }
    const std::uintptr_t id = nextHandle_++;
    open_.emplace(id, std::move(listing));
    *handle = reinterpret_cast<NetEnumHandle>(id);
    return net::kNoError;
}

std::uint32_t SmbNetwork::enumResource(NetEnumHandle handle, std::int32_t* count, void* buffer,
                                       std::uint32_t* size) {
    const auto found = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == open_.end() || count == nullptr || size == nullptr) {
        return net::kErrorInvalidHandle;
    }
    Listing& listing = found->second;
    return ReadResources(listing.entries, listing.next, count, buffer, size);
}

std::uint32_t SmbNetwork::closeEnum(NetEnumHandle handle) {
    return open_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1 ? net::kNoError
                                                                      : net::kErrorInvalidHandle;
}

} // namespace vexor
