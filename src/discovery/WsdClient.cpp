#include "WsdClient.h"

#include "WsdMessages.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace vexor {
namespace {

// What is known of one device while it is being found.
struct Device {
    std::string endpoint;
    std::string xaddr;
    Ipv4 from{};
    bool resolveSent = false;
};

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void SendEverywhere(IDatagramSocket& socket, const std::vector<Ipv4>& interfaces,
                    const std::string& message) {
    for (const Ipv4& via : interfaces) {
        socket.SendTo(Bytes(message), {kWsdGroup, kWsdPort}, via);
    }
}

} // namespace

std::vector<FoundMachine> DiscoverWsdComputers(const DiscoverySeams& seams, NameAnswerCache& learnt,
                                               const WsdTiming& timing) {
    const std::vector<Ipv4> interfaces = seams.interfaces();
    const auto socket = interfaces.empty() ? nullptr : seams.openSocket();
    if (!socket) {
        return {};
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string probeId = NewMessageId();
    std::set<std::string> ours{probeId};
    SendEverywhere(*socket, interfaces, WsdProbe(probeId));

    std::set<std::string> seenMessages;
    std::map<std::string, Device> devices;
    auto deadline = start + timing.probeWindow;
    while (auto datagram = socket->ReceiveUntil(deadline)) {
        const std::string_view text(reinterpret_cast<const char*>(datagram->bytes.data()),
                                    datagram->bytes.size());
        const auto reply = ParseWsdReply(seams.xml, text);
        // Responders send each reply more than once; only the first counts.
        if (!reply || !ours.contains(reply->relatesTo) ||
            !seenMessages.insert(reply->messageId).second) {
            continue;
        }
        for (const WsdMatch& match : reply->matches) {
            auto found = devices.find(match.endpoint);
            if (found == devices.end()) {
                if (devices.size() >= timing.maxDevices) {
                    continue;
                }
                found =
                    devices.emplace(match.endpoint, Device{match.endpoint, {}, {}, false}).first;
            }
            Device& device = found->second;
            device.from = datagram->from.address;
            if (const auto xaddr = FirstHttpAddress(match.xaddrs)) {
                device.xaddr = *xaddr;
            } else if (!device.resolveSent && device.xaddr.empty()) {
                device.resolveSent = true;
                const std::string resolveId = NewMessageId();
                ours.insert(resolveId);
                SendEverywhere(*socket, interfaces, WsdResolve(resolveId, device.endpoint));
                deadline = std::max(deadline,
                                    std::min(std::chrono::steady_clock::now() + timing.resolveGrace,
                                             start + timing.probeWindow + timing.resolveGrace));
            }
        }
    }

    std::vector<const Device*> reachable;
    for (const auto& [endpoint, device] : devices) {
        if (!device.xaddr.empty()) {
            reachable.push_back(&device);
        }
    }
    std::vector<FoundMachine> found;
    std::mutex foundMutex;
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < reachable.size(); i = next++) {
            const Device& device = *reachable[i];
            const auto response =
                seams.post(device.xaddr, WsdGetMetadata(NewMessageId(), device.endpoint),
                           timing.getLimit, 1024 * 1024);
            const auto computer =
                response ? ParseMetadataComputer(seams.xml, *response) : std::nullopt;
            if (!computer) {
                continue;
            }
            WsdComputer parsed = ParseComputerText(*computer);
            const Ipv4 address = UrlIpv4Host(device.xaddr).value_or(device.from);
            if (const auto name = CleanNetworkName(parsed.name)) {
                learnt.Learn(*name, {address});
            }
            const std::lock_guard lock(foundMutex);
            found.push_back({MachineSource::WsDiscovery, parsed.name, parsed.workgroup});
        }
    };
    std::vector<std::thread> workers;
    const std::size_t count = std::min(timing.parallelGets, reachable.size());
    for (std::size_t i = 1; i < count; ++i) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (auto& worker : workers) {
        worker.join();
    }
    return found;
}

} // namespace vexor
