#include "SmbNetwork.h"

#include "SharedLibrary.h"
#include "base/AsciiText.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <libsmbclient.h>
#include <mutex>
#include <system_error>
#include <thread>

namespace vexor {

static_assert(kSmbWorkgroup == SMBC_WORKGROUP && kSmbServer == SMBC_SERVER);

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

// libsmbclient keeps process-wide state that two threads must not use at once,
// even through two contexts: every use of the library holds this lock.
std::recursive_mutex& SmbLock() {
    static std::recursive_mutex lock;
    return lock;
}

// One libsmbclient context for the life of the backend.
class SmbContext {
  public:
    SmbContext() : smb_(Smb()) {
        const std::lock_guard one(SmbLock());
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
        const std::lock_guard one(SmbLock());
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

bool WorkgroupNameSpellsAHost(std::string_view name) {
    const std::string text(name);
    in_addr address{};
    if (inet_aton(text.c_str(), &address) != 0) {
        return true;
    }
    // A dotted name is read as a DNS name, a colon as an IPv6 literal or port.
    if (text.find_first_of(".:[]") != std::string::npos) {
        return true;
    }
    return EqualsIgnoringCase(text, "localhost");
}

// What the browse thread and the refreshes share. The context is used by the
// browse thread alone, one browse at a time.
struct SmbBrowser::Shared {
    SmbBrowser::Lister list;
    std::unique_ptr<SmbContext> context;
    std::mutex mutex;
    std::condition_variable changed;
    bool browsing = false;
    // Browses completed so far.
    std::uint64_t completed = 0;
    // The machines the browse under way has found, in order.
    std::vector<FoundMachine> current;
    // The last complete browse list.
    std::vector<FoundMachine> complete;
    // Browse threads that have not yet let go of this state.
    std::shared_ptr<std::atomic<int>> threads = std::make_shared<std::atomic<int>>(0);

    int List(const std::string& url, std::vector<SmbEntry>& entries) {
        if (list) {
            return list(url, entries);
        }
        if (!context) {
            context = std::make_unique<SmbContext>();
        }
        if (!context->ready()) {
            context.reset();
            return EIO;
        }
        return context->List(url, entries);
    }

    void Found(FoundMachine machine) {
        {
            const std::lock_guard lock(mutex);
            current.push_back(std::move(machine));
        }
        changed.notify_all();
    }

    // One whole browse: every workgroup, one after another; a browse of
    // another browser waits for this one.
    void Browse() {
        const std::lock_guard one(SmbLock());
        std::vector<SmbEntry> workgroups;
        const bool listed = List("smb://", workgroups) == 0;
        for (const SmbEntry& workgroup : workgroups) {
            // libsmbclient connects to the host a workgroup's name spells when
            // no browse master answers for it.
            if (workgroup.type != kSmbWorkgroup || WorkgroupNameSpellsAHost(workgroup.name)) {
                continue;
            }
            std::vector<SmbEntry> servers;
            const std::string segment = SmbUrlSegment(workgroup.name);
            if (segment.empty() || List("smb://" + segment + "/", servers) != 0) {
                continue;
            }
            for (const SmbEntry& server : servers) {
                if (server.type == kSmbServer) {
                    Found({MachineSource::BrowseList, server.name, workgroup.name, {}});
                }
            }
        }
        {
            const std::lock_guard lock(mutex);
            // A list that could not be read at all replaces nothing.
            if (listed) {
                complete = current;
            }
            browsing = false;
            ++completed;
        }
        changed.notify_all();
    }
};

SmbBrowser::SmbBrowser(Lister list, const IClock& clock)
    : shared_(std::make_shared<Shared>()), clock_(clock) {
    shared_->list = std::move(list);
}

SmbBrowser::~SmbBrowser() = default;

bool SmbBrowser::Busy() const {
    return shared_->threads->load() > 0;
}

void SmbBrowser::Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(shared_->mutex);
    if (!shared_->browsing) {
        shared_->browsing = true;
        shared_->current.clear();
        const auto threads = shared_->threads;
        ++*threads;
        try {
            std::thread([shared = shared_, threads]() mutable {
                shared->Browse();
                // Counted until the state, and the context in it, is let go.
                shared.reset();
                --*threads;
            }).detach();
        } catch (const std::system_error&) {
            --*threads;
            lock.unlock();
            shared_->Browse();
            lock.lock();
        }
    }
    // The machines of the browse under way are reported as they are found,
    // up to the deadline; once it is near, the last complete list is reported
    // too, in case the browse does not end in time.
    const std::uint64_t completed = shared_->completed;
    const auto serveBy = deadline - kServeMargin;
    bool served = false;
    std::size_t reported = 0;
    for (;;) {
        std::vector<FoundMachine> fresh(shared_->current.begin() +
                                            static_cast<std::ptrdiff_t>(reported),
                                        shared_->current.end());
        reported = shared_->current.size();
        const bool done = shared_->completed != completed || !shared_->browsing;
        std::vector<FoundMachine> last;
        const auto now = clock_.Now();
        if (!done && !served && now >= serveBy) {
            last = shared_->complete;
            served = true;
        }
        lock.unlock();
        for (FoundMachine& machine : fresh) {
            found(std::move(machine));
        }
        for (FoundMachine& machine : last) {
            found(std::move(machine));
        }
        if (done || now >= deadline) {
            return;
        }
        lock.lock();
        clock_.WaitUntil(lock, shared_->changed, served ? deadline : serveBy, [&] {
            return shared_->current.size() != reported || shared_->completed != completed;
        });
    }
}

} // namespace vexor
