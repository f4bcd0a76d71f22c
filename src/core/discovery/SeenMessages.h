#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <unordered_set>

namespace vexor {

// The messages already handled in one exchange, known by a 64-bit digest of
// their id, however long the id a peer chose: at most `capacity` of them, the
// oldest forgotten first. The digest is keyed afresh for each table, so a peer
// cannot choose an id that collides with another's.
class SeenMessages {
  public:
    explicit SeenMessages(std::size_t capacity);

    // True the first time `id` is seen (or once it has been forgotten).
    bool Insert(std::string_view id);

    std::size_t size() const { return order_.size(); }

  private:
    std::uint64_t Digest(std::string_view id) const;

    std::size_t capacity_;
    std::uint64_t key_;
    std::unordered_set<std::uint64_t> digests_;
    std::deque<std::uint64_t> order_;
};

} // namespace vexor
