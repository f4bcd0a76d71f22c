#include "SmbNetwork.h"

#include "SharedLibrary.h"

#include <cerrno>
#include <cstring>
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
    SmbLibrary() {
        complete_ =
            Bind(newContext, "smbc_new_context") && Bind(freeContext, "smbc_free_context") &&
            Bind(initContext, "smbc_init_context") && Bind(setDebug, "smbc_setDebug") &&
            Bind(setTimeout, "smbc_setTimeout") &&
            Bind(setDebugToStderr, "smbc_setOptionDebugToStderr") &&
            Bind(setUseKerberos, "smbc_setOptionUseKerberos") &&
            Bind(setFallbackAfterKerberos, "smbc_setOptionFallbackAfterKerberos") &&
            Bind(setBrowseMaxLmbCount, "smbc_setOptionBrowseMaxLmbCount") &&
            Bind(setAuth, "smbc_setFunctionAuthDataWithContext") &&
            Bind(setProtocols, "smbc_setOptionProtocols") &&
            Bind(getOpendir, "smbc_getFunctionOpendir") &&
            Bind(getReaddir, "smbc_getFunctionReaddir") &&
            Bind(getClosedir, "smbc_getFunctionClosedir") && Bind(urlencode, "smbc_urlencode");
    }

    bool loaded() const { return complete_; }

    decltype(&smbc_new_context) newContext = nullptr;
    decltype(&smbc_free_context) freeContext = nullptr;
    decltype(&smbc_init_context) initContext = nullptr;
    decltype(&smbc_setDebug) setDebug = nullptr;
    decltype(&smbc_setTimeout) setTimeout = nullptr;
    decltype(&smbc_setOptionDebugToStderr) setDebugToStderr = nullptr;
    decltype(&smbc_setOptionUseKerberos) setUseKerberos = nullptr;
    decltype(&smbc_setOptionFallbackAfterKerberos) setFallbackAfterKerberos = nullptr;
    decltype(&smbc_setOptionBrowseMaxLmbCount) setBrowseMaxLmbCount = nullptr;
    decltype(&smbc_setFunctionAuthDataWithContext) setAuth = nullptr;
    decltype(&smbc_setOptionProtocols) setProtocols = nullptr;
    decltype(&smbc_getFunctionOpendir) getOpendir = nullptr;
    decltype(&smbc_getFunctionReaddir) getReaddir = nullptr;
    decltype(&smbc_getFunctionClosedir) getClosedir = nullptr;
    decltype(&smbc_urlencode) urlencode = nullptr;

  private:
    template <typename Function> bool Bind(Function& function, const char* name) {
        return library_.Bind(function, name);
    }

    SharedLibrary library_{"libsmbclient.so.0"};
    bool complete_ = false;
};

SmbLibrary& Smb() {
    static SmbLibrary library;
    return library;
}

// One libsmbclient context for the life of the backend.
class SmbContext {
  public:
    SmbContext() : smb_(Smb()) {
        if (!smb_.loaded()) {
            return;
        }
        context_ = smb_.newContext();
        if (context_ == nullptr) {
            return;
        }
        smb_.setDebug(context_, 0);
        // Standard output may carry the report: the library's messages go to standard error.
        smb_.setDebugToStderr(context_, 1);
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
    int List(const std::string& url, std::vector<SmbEntry>& entries) {
        // Workgroup and server lists exist only in SMB1. The setting is
        // process-wide, so it is made before every listing.
        smb_.setProtocols(context_, "NT1", "NT1");
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
    SmbLibrary& smb_;
    SMBCCTX* context_ = nullptr;
};

std::string SmbUrlSegment(std::string_view name) {
    SmbLibrary& smb = Smb();
    if (!smb.loaded()) {
        return {};
    }
    // Each byte becomes at most three; smbc_urlencode takes a writable source.
    std::string source(name);
    std::string encoded(source.size() * 3 + 1, '\0');
    smb.urlencode(encoded.data(), source.data(), static_cast<int>(encoded.size()));
    encoded.resize(std::strlen(encoded.c_str()));
    return encoded;
}

SmbBrowser::SmbBrowser() = default;
SmbBrowser::~SmbBrowser() = default;

bool SmbBrowser::Ready() {
    if (!context_) {
        context_ = std::make_unique<SmbContext>();
    }
    if (!context_->ready()) {
        context_.reset();
        return false;
    }
    return true;
}

void SmbBrowser::Find(const FoundSink& found, std::chrono::steady_clock::time_point /*deadline*/) {
    std::vector<SmbEntry> workgroups;
    if (!Ready() || context_->List("smb://", workgroups) != 0) {
        return;
    }
    for (const SmbEntry& workgroup : workgroups) {
        std::vector<SmbEntry> servers;
        const std::string segment = SmbUrlSegment(workgroup.name);
        if (workgroup.type != SMBC_WORKGROUP || segment.empty() ||
            context_->List("smb://" + segment + "/", servers) != 0) {
            continue;
        }
        for (const SmbEntry& server : servers) {
            if (server.type == SMBC_SERVER) {
                found({MachineSource::BrowseList, server.name, workgroup.name, {}});
            }
        }
    }
}

} // namespace vexor
