#include "DnsMessage.h"

#include <algorithm>

namespace vexor {
namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::uint16_t kClassIn = 1;

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool U16(std::uint16_t& value) {
        if (at_ + 2 > bytes_.size()) {
            return false;
        }
        value = static_cast<std::uint16_t>(bytes_[at_] << 8 | bytes_[at_ + 1]);
        at_ += 2;
        return true;
    }
    bool Skip(std::size_t count) {
        if (count > bytes_.size() - at_) {
            return false;
        }
        at_ += count;
        return true;
    }
    // A name at the reading position, following compression pointers. Each
    // pointer must point before the label that holds it, so no loop is possible
    // and the walk is bounded by the message's size.
    bool Name(std::string& name) { return NameAt(at_, name, true); }
    bool NameAt(std::size_t& from, std::string& name, bool advance) {
        name.clear();
        std::size_t at = from;
        std::size_t wire = 1;
        bool jumped = false;
        for (;;) {
            if (at >= bytes_.size()) {
                return false;
            }
            const std::uint8_t length = bytes_[at];
            if ((length & 0xC0) == 0xC0) {
                if (at + 1 >= bytes_.size()) {
                    return false;
                }
                const std::size_t target =
                    static_cast<std::size_t>(length & 0x3F) << 8 | bytes_[at + 1];
                if (target >= at) {
                    return false;
                }
                if (!jumped && advance) {
                    from = at + 2;
                }
                jumped = true;
                at = target;
                continue;
            }
            if ((length & 0xC0) != 0) {
                return false;
            }
            if (length == 0) {
                if (!jumped && advance) {
                    from = at + 1;
                }
                return true;
            }
            wire += length + 1u;
            if (wire > kMaxNameBytes || at + 1 + length > bytes_.size()) {
                return false;
            }
            if (!name.empty()) {
                name += '.';
            }
            for (std::size_t i = 0; i < length; ++i) {
                name += static_cast<char>(bytes_[at + 1 + i]);
            }
            at += 1 + length;
        }
    }
    std::size_t position() const { return at_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

} // namespace

std::optional<DnsMessage> ReadDnsMessage(std::span<const std::uint8_t> bytes) {
    Reader reader(bytes);
    DnsMessage message;
    std::uint16_t flags = 0;
    std::uint16_t counts[4] = {};
    if (!reader.U16(message.id) || !reader.U16(flags)) {
        return std::nullopt;
    }
    for (auto& count : counts) {
        if (!reader.U16(count)) {
            return std::nullopt;
        }
    }
    message.response = (flags & 0x8000) != 0;
    // Every question takes at least 5 bytes and every record at least 11.
    const std::size_t body = bytes.size() - kHeaderBytes;
    if (counts[0] * 5u + (counts[1] + counts[2] + counts[3]) * 11u > body) {
        return std::nullopt;
    }
    std::string name;
    for (std::uint16_t i = 0; i < counts[0]; ++i) {
        std::uint16_t type = 0;
        std::uint16_t klass = 0;
        if (!reader.Name(name) || !reader.U16(type) || !reader.U16(klass)) {
            return std::nullopt;
        }
    }
    const int records = counts[1] + counts[2] + counts[3];
    for (int i = 0; i < records; ++i) {
        DnsRecord record;
        std::uint16_t klass = 0;
        std::uint16_t ttlHigh = 0;
        std::uint16_t ttlLow = 0;
        std::uint16_t length = 0;
        if (!reader.Name(record.name) || !reader.U16(record.type) || !reader.U16(klass) ||
            !reader.U16(ttlHigh) || !reader.U16(ttlLow) || !reader.U16(length)) {
            return std::nullopt;
        }
        const std::size_t start = reader.position();
        if (!reader.Skip(length)) {
            return std::nullopt;
        }
        // mDNS sets the top bit of the class for cache flush and unicast replies.
        if ((klass & 0x7FFF) != kClassIn) {
            continue;
        }
        std::size_t at = start;
        switch (record.type) {
        case dns::kTypeA:
            if (length != 4) {
                return std::nullopt;
            }
            for (std::size_t b = 0; b < 4; ++b) {
                record.address[b] = bytes[start + b];
            }
            break;
        case dns::kTypePtr:
            if (!reader.NameAt(at, record.target, true) || at > start + length) {
                return std::nullopt;
            }
            break;
        case dns::kTypeSrv: {
            if (length < 7) {
                return std::nullopt;
            }
            record.port = static_cast<std::uint16_t>(bytes[start + 4] << 8 | bytes[start + 5]);
            at = start + 6;
            if (!reader.NameAt(at, record.target, true) || at > start + length) {
                return std::nullopt;
            }
            break;
        }
        default:
            continue;
        }
        message.records.push_back(std::move(record));
    }
    return message;
}

std::vector<std::uint8_t> DnsQuery(std::uint16_t id, const std::string& name, std::uint16_t type) {
    std::vector<std::uint8_t> out;
    PutU16(out, id);
    PutU16(out, 0);
    PutU16(out, 1);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, 0);
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t dot = std::min(name.find('.', start), name.size());
        const std::size_t length = std::min<std::size_t>(dot - start, 63);
        if (length > 0) {
            out.push_back(static_cast<std::uint8_t>(length));
            out.insert(out.end(), name.begin() + static_cast<std::ptrdiff_t>(start),
                       name.begin() + static_cast<std::ptrdiff_t>(start + length));
        }
        start = dot + 1;
    }
    out.push_back(0);
    PutU16(out, type);
    PutU16(out, kClassIn);
    return out;
}

} // namespace vexor
