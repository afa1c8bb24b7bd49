#include "comments/ChatTextColumn.h"

#include <cstring>
#include <stdexcept>

ChatTextColumn::ChatTextColumn(const ChatTextColumn& other)
    : slots_(other.slots_), count_(other.count_), filling_(other.filling_), total_(other.total_), dead_(other.dead_),
      shared_(other.shared_), known_(other.known_), known_count_(other.known_count_), sharing_(other.sharing_),
      lookups_(other.lookups_), hits_(other.hits_) {
    // The index holds slots, which are the same in the copy's blocks.
    // Same blocks, same offsets: the slots stay valid as copied.
    blocks_.reserve(other.blocks_.size());
    for (const Block& b : other.blocks_) {
        Block copy;
        copy.units = std::make_unique_for_overwrite<char16_t[]>(b.size);
        copy.size = b.size;
        copy.used = b.used;
        std::memcpy(copy.units.get(), b.units.get(), b.used * sizeof(char16_t));
        blocks_.push_back(std::move(copy));
    }
}

ChatTextColumn& ChatTextColumn::operator=(const ChatTextColumn& other) {
    if (this != &other) *this = ChatTextColumn(other);
    return *this;
}

ChatTextColumn::Slot ChatTextColumn::store(std::u16string_view text) {
    Slot slot;
    slot.length = static_cast<uint32_t>(text.size());
    if (text.empty()) return slot;
    const bool own_block = text.size() > kBlockUnits / 2;
    if (own_block || filling_ < 0 ||
        blocks_[static_cast<size_t>(filling_)].size - blocks_[static_cast<size_t>(filling_)].used < text.size()) {
        // Offsets have kOffsetBits, so a value never starts beyond the first kBlockUnits of its block;
        // the block index has the rest of the 32 bits.
        if (blocks_.size() >= (size_t{1} << (32 - kOffsetBits))) throw std::length_error("comment texts too large");
        Block b;
        b.size = own_block ? text.size() : kBlockUnits;
        b.units = std::make_unique_for_overwrite<char16_t[]>(b.size);
        blocks_.push_back(std::move(b));
        if (!own_block) filling_ = static_cast<int>(blocks_.size() - 1);
    }
    const size_t index = own_block ? blocks_.size() - 1 : static_cast<size_t>(filling_);
    Block& b = blocks_[index];
    std::memcpy(b.units.get() + b.used, text.data(), text.size() * sizeof(char16_t));
    slot.where = static_cast<uint32_t>(index << kOffsetBits) | static_cast<uint32_t>(b.used);
    b.used += text.size();
    if (own_block) b.used = b.size; // nothing else goes in
    return slot;
}

namespace {

uint32_t text_hash(std::u16string_view text) {
    // Four units at a time: an id of 27 units takes seven steps, not 27 dependent multiplications.
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    uint64_t h = text.size() * kMul;
    size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        h = (h ^ word) * kMul;
        h ^= h >> 29;
    }
    for (; i < text.size(); ++i)
        h = (h ^ text[i]) * kMul;
    h ^= h >> 32;
    return static_cast<uint32_t>(h);
}

} // namespace

ChatTextColumn::Slot ChatTextColumn::store_shared(std::u16string_view text) {
    // Bounded, so that a column of ever new values spends no more on the index than on a block.
    constexpr size_t kMaxKnown = 1 << 16;
    if (text.empty()) return Slot{};
    if (sharing_ == Sharing::off) return store(text);
    // Once the index is full, a column that found fewer than a quarter of its values in it drops it. The
    // trial must be that long: ids repeat over a whole file, so the first thousands are nearly all new.
    if (sharing_ == Sharing::trial && known_count_ >= kMaxKnown) {
        sharing_ = hits_ * 4 >= lookups_ ? Sharing::on : Sharing::off;
        if (sharing_ == Sharing::off) {
            known_ = {};
            known_count_ = 0;
            return store(text);
        }
    }
    if (sharing_ == Sharing::trial) ++lookups_;
    if (known_.empty()) known_.resize(1024);
    const uint32_t h = text_hash(text);
    const size_t mask = known_.size() - 1;
    size_t at = h & mask;
    for (; known_[at].slot.length != 0; at = (at + 1) & mask) {
        if (known_[at].hash == h && get_slot(known_[at].slot) == text) {
            hits_ += sharing_ == Sharing::trial ? 1 : 0;
            return known_[at].slot;
        }
    }
    const Slot slot = store(text);
    if (known_count_ >= kMaxKnown) return slot;
    known_[at] = {h, slot};
    // Kept at most half full, so that probes stay short.
    if (++known_count_ * 2 > known_.size()) {
        std::vector<Known> wider(known_.size() * 2);
        const size_t wider_mask = wider.size() - 1;
        for (const Known& k : known_) {
            if (k.slot.length == 0) continue;
            size_t to = k.hash & wider_mask;
            while (wider[to].slot.length != 0)
                to = (to + 1) & wider_mask;
            wider[to] = k;
        }
        known_ = std::move(wider);
    }
    return slot;
}

void ChatTextColumn::set(int i, std::u16string_view text) {
    if (i < 0 || i >= count()) return;
    if (slots_.empty()) {
        if (text.empty()) return;
        slots_.resize(static_cast<size_t>(count_));
    }
    Slot& slot = slots_[static_cast<size_t>(i)];
    total_ = total_ - slot.length + text.size();
    if (shared_) {
        // Another comment may hold the same units.
        dead_ += slot.length;
        slot = store_shared(text);
    } else if (text.size() <= slot.length && slot.length > 0) {
        // Every value owns its units, so a shorter one can take the old place.
        char16_t* at = blocks_[slot.where >> kOffsetBits].units.get() + (slot.where & kOffsetMask);
        std::memmove(at, text.data(), text.size() * sizeof(char16_t));
        dead_ += slot.length - text.size();
        slot.length = static_cast<uint32_t>(text.size());
        if (slot.length == 0) slot.where = 0;
    } else {
        dead_ += slot.length;
        slot = store(text);
    }
    compact_if_wasteful();
}

void ChatTextColumn::gather(const int32_t* order, int keep) {
    count_ = keep;
    if (slots_.empty()) return; // empty values, wherever they go
    std::vector<Slot> kept(static_cast<size_t>(keep));
    uint64_t kept_units = 0;
    for (int k = 0; k < keep; ++k) {
        kept[static_cast<size_t>(k)] = slots_[static_cast<size_t>(order[k])];
        kept_units += kept[static_cast<size_t>(k)].length;
    }
    dead_ += total_ - kept_units;
    total_ = kept_units;
    slots_ = std::move(kept);
    compact_if_wasteful();
}

void ChatTextColumn::compact_if_wasteful() {
    // The floor keeps small columns from being copied over and over for a few dead units.
    if (dead_ <= total_ || dead_ < kBlockUnits) return;
    ChatTextColumn fresh(shared_);
    fresh.slots_.reserve(slots_.size());
    for (int i = 0; i < count(); ++i)
        fresh.add(get(i));
    *this = std::move(fresh);
}
