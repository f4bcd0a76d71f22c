#include "SeenMessages.h"

#include "base/RandomBits.h"

namespace vexor {

SeenMessages::SeenMessages(std::size_t capacity) : capacity_(capacity) {
    key_ = RandomBits();
}

std::uint64_t SeenMessages::Digest(std::string_view id) const {
    // FNV-1a from a random basis, then mixed so that every bit of the key
    // reaches every bit of the digest.
    std::uint64_t hash = 0xcbf29ce484222325ULL ^ key_;
    for (const char c : id) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return hash;
}

bool SeenMessages::Insert(std::string_view id) {
    const std::uint64_t digest = Digest(id);
    if (capacity_ == 0 || !digests_.insert(digest).second) {
        return capacity_ == 0;
    }
    order_.push_back(digest);
    if (order_.size() > capacity_) {
        digests_.erase(order_.front());
        order_.pop_front();
    }
    return true;
}

} // namespace vexor
