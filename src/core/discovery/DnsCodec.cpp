#include "DnsCodec.h"

#include "base/HostName.h"

#include <algorithm>

namespace vexor::dns {
namespace {

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kMaxLabelBytes = 63;
// The least a question (root name, type, class) and a record (root name, type,
// class, TTL, length) take.
constexpr std::size_t kMinQuestionBytes = 5;
constexpr std::size_t kMinRecordBytes = 11;

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool U16(std::uint16_t& value) {
        if (bytes_.size() - at_ < 2) {
            return false;
        }
        value = static_cast<std::uint16_t>(bytes_[at_] << 8 | bytes_[at_ + 1]);
        at_ += 2;
        return true;
    }
    bool U32(std::uint32_t& value) {
        std::uint16_t high = 0;
        std::uint16_t low = 0;
        if (!U16(high) || !U16(low)) {
            return false;
        }
        value = static_cast<std::uint32_t>(high) << 16 | low;
        return true;
    }
    bool Name(std::string& name) { return NameAt(at_, name); }

    // The name at `from`, which then moves past the name's bytes there (not
    // past what its pointers lead to).
    bool NameAt(std::size_t& from, std::string& name) const {
        name.clear();
        std::size_t at = from;
        std::size_t wire = 1;
        std::size_t pointers = 0;
        // Every pointer must lead before the lowest byte of the name read so
        // far: the name can then never run into itself.
        std::size_t lowest = from;
        for (;;) {
            if (at >= bytes_.size()) {
                return false;
            }
            const std::uint8_t length = bytes_[at];
            if ((length & 0xC0) == 0xC0) {
                if (at + 1 >= bytes_.size() || ++pointers > kMaxPointers) {
                    return false;
                }
                const std::size_t target =
                    static_cast<std::size_t>(length & 0x3F) << 8 | bytes_[at + 1];
                if (target >= lowest) {
                    return false;
                }
                if (pointers == 1) {
                    from = at + 2;
                }
                lowest = target;
                at = target;
                continue;
            }
            if ((length & 0xC0) != 0) {
                return false;
            }
            if (length == 0) {
                if (pointers == 0) {
                    from = at + 1;
                }
                return true;
            }
            wire += length + 1u;
            if (wire > kMaxNameBytes || bytes_.size() - at - 1 < length) {
                return false;
            }
            if (!name.empty()) {
                name += '.';
            }
            name.append(reinterpret_cast<const char*>(&bytes_[at + 1]), length);
            at += 1 + length;
        }
    }

    std::size_t position() const { return at_; }
    void Seek(std::size_t at) { at_ = at; }
    std::size_t left() const { return bytes_.size() - at_; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

bool ReadRecord(Reader& reader, std::span<const std::uint8_t> bytes, bool netbios, Record& record) {
    std::uint16_t klass = 0;
    std::uint16_t length = 0;
    if (!reader.Name(record.name) || !reader.U16(record.type) || !reader.U16(klass) ||
        !reader.U32(record.ttl) || !reader.U16(length) || length > reader.left()) {
        return false;
    }
    record.klass = klass & 0x7FFF;
    record.cacheFlush = (klass & 0x8000) != 0;
    const std::size_t start = reader.position();
    const std::size_t end = start + length;
    reader.Seek(end);
    const auto data = bytes.subspan(start, length);
    record.data.assign(data.begin(), data.end());
    if (record.klass != kClassIn || netbios) {
        return true;
    }
    std::size_t at = start;
    switch (record.type) {
    case kTypeA:
        if (length != 4) {
            return false;
        }
        std::copy(data.begin(), data.end(), record.address.begin());
        return true;
    case kTypePtr:
        return reader.NameAt(at, record.target) && at == end;
    case kTypeSrv:
        if (length < 7) {
            return false;
        }
        record.port = static_cast<std::uint16_t>(data[4] << 8 | data[5]);
        at = start + 6;
        return reader.NameAt(at, record.target) && at == end;
    case kTypeTxt:
        for (std::size_t i = 0; i < data.size();) {
            const std::size_t size = data[i];
            if (data.size() - i - 1 < size) {
                return false;
            }
            record.texts.emplace_back(reinterpret_cast<const char*>(&data[i + 1]), size);
            i += 1 + size;
        }
        return true;
    default:
        return true;
    }
}

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutU16(out, static_cast<std::uint16_t>(value >> 16));
    PutU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
}

bool PutName(std::vector<std::uint8_t>& out, std::string_view name) {
    if (!name.empty() && name.back() == '.') {
        name.remove_suffix(1);
    }
    std::size_t wire = 1;
    std::size_t start = 0;
    while (start < name.size()) {
        const std::size_t dot = std::min(name.find('.', start), name.size());
        const std::size_t length = dot - start;
        wire += length + 1;
        if (length == 0 || length > kMaxLabelBytes || wire > kMaxNameBytes) {
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(length));
        out.insert(out.end(), name.begin() + static_cast<std::ptrdiff_t>(start),
                   name.begin() + static_cast<std::ptrdiff_t>(dot));
        start = dot + 1;
    }
    out.push_back(0);
    return true;
}

bool PutRecord(std::vector<std::uint8_t>& out, const Record& record) {
    if (!PutName(out, record.name)) {
        return false;
    }
    PutU16(out, record.type);
    PutU16(out, static_cast<std::uint16_t>(record.klass | (record.cacheFlush ? 0x8000 : 0)));
    PutU32(out, record.ttl);
    std::vector<std::uint8_t> data;
    switch (record.klass == kClassIn && record.data.empty() ? record.type : 0) {
    case kTypeA:
        data.assign(record.address.begin(), record.address.end());
        break;
    case kTypePtr:
        if (!PutName(data, record.target)) {
            return false;
        }
        break;
    case kTypeSrv:
        PutU16(data, 0);
        PutU16(data, 0);
        PutU16(data, record.port);
        if (!PutName(data, record.target)) {
            return false;
        }
        break;
    case kTypeTxt:
        for (const std::string& text : record.texts) {
            const std::size_t size = std::min<std::size_t>(text.size(), 255);
            data.push_back(static_cast<std::uint8_t>(size));
            data.insert(data.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
        }
        break;
    default:
        data = record.data;
        break;
    }
    if (data.size() > 0xFFFF) {
        return false;
    }
    PutU16(out, static_cast<std::uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return true;
}

} // namespace

std::optional<std::uint16_t> PeekId(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderBytes) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::optional<Message> Read(std::span<const std::uint8_t> bytes, const Expect& expect) {
    Reader reader(bytes);
    Message message;
    std::uint16_t counts[4] = {};
    if (bytes.size() < kHeaderBytes || !reader.U16(message.id) || !reader.U16(message.flags)) {
        return std::nullopt;
    }
    if ((expect.id && *expect.id != message.id) || message.response() != expect.response) {
        return std::nullopt;
    }
    for (auto& count : counts) {
        reader.U16(count);
    }
    const std::size_t body = bytes.size() - kHeaderBytes;
    if (counts[0] * kMinQuestionBytes + (counts[1] + counts[2] + counts[3]) * kMinRecordBytes >
        body) {
        return std::nullopt;
    }
    for (std::uint16_t i = 0; i < counts[0]; ++i) {
        Question question;
        std::uint16_t klass = 0;
        if (!reader.Name(question.name) || !reader.U16(question.type) || !reader.U16(klass)) {
            return std::nullopt;
        }
        question.klass = klass & 0x7FFF;
        question.unicastReply = (klass & 0x8000) != 0;
        message.questions.push_back(std::move(question));
    }
    for (std::size_t section = 1; section < 4; ++section) {
        auto& records = section == 1   ? message.answers
                        : section == 2 ? message.authority
                                       : message.additional;
        for (std::uint16_t i = 0; i < counts[section]; ++i) {
            Record record;
            if (!ReadRecord(reader, bytes, expect.netbios, record)) {
                return std::nullopt;
            }
            records.push_back(std::move(record));
        }
    }
    return message;
}

std::optional<std::vector<std::uint8_t>> Write(const Message& message) {
    if (message.questions.size() > 0xFFFF || message.answers.size() > 0xFFFF ||
        message.authority.size() > 0xFFFF || message.additional.size() > 0xFFFF) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    PutU16(out, message.id);
    PutU16(out, message.flags);
    PutU16(out, static_cast<std::uint16_t>(message.questions.size()));
    PutU16(out, static_cast<std::uint16_t>(message.answers.size()));
    PutU16(out, static_cast<std::uint16_t>(message.authority.size()));
    PutU16(out, static_cast<std::uint16_t>(message.additional.size()));
    for (const Question& question : message.questions) {
        if (!PutName(out, question.name)) {
            return std::nullopt;
        }
        PutU16(out, question.type);
        PutU16(out,
               static_cast<std::uint16_t>(question.klass | (question.unicastReply ? 0x8000 : 0)));
    }
    for (const auto* section : {&message.answers, &message.authority, &message.additional}) {
        for (const Record& record : *section) {
            if (!PutRecord(out, record)) {
                return std::nullopt;
            }
        }
    }
    return out;
}

std::vector<std::uint8_t> Query(std::uint16_t id, std::string_view name, std::uint16_t type,
                                std::uint16_t flags) {
    Message message;
    message.id = id;
    message.flags = flags;
    message.questions.push_back({std::string(name), type, kClassIn, false});
    // A name that cannot be sent is asked as the root, which nobody answers
    // for it.
    if (auto bytes = Write(message)) {
        return std::move(*bytes);
    }
    message.questions.front().name.clear();
    return *Write(message);
}

std::string ReverseName(const Ipv4& address) {
    std::string name;
    for (std::size_t i = address.size(); i-- > 0;) {
        name += std::to_string(address[i]);
        name += '.';
    }
    return name + "in-addr.arpa";
}

bool SameName(std::string_view a, std::string_view b) {
    auto trim = [](std::string_view name) {
        if (!name.empty() && name.back() == '.') {
            name.remove_suffix(1);
        }
        return name;
    };
    return AsciiLower(trim(a)) == AsciiLower(trim(b));
}

std::vector<const Record*> AnswerAndAdditional(const Message& message) {
    std::vector<const Record*> records;
    for (const auto* section : {&message.answers, &message.additional}) {
        for (const Record& record : *section) {
            records.push_back(&record);
        }
    }
    return records;
}

std::vector<Ipv4> AddressesOf(const Message& message, std::string_view host) {
    std::vector<Ipv4> addresses;
    for (const Record* record : AnswerAndAdditional(message)) {
        if (record->type == kTypeA && record->klass == kClassIn && SameName(record->name, host) &&
            std::find(addresses.begin(), addresses.end(), record->address) == addresses.end()) {
            addresses.push_back(record->address);
        }
    }
    return addresses;
}

std::optional<std::string> PointerOf(const Message& message, std::string_view name) {
    for (const Record& record : message.answers) {
        if (record.type == kTypePtr && record.klass == kClassIn && SameName(record.name, name)) {
            return record.target;
        }
    }
    return std::nullopt;
}

} // namespace vexor::dns
