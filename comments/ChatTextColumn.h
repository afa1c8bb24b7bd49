#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

/// One text column of the comment set. The values live side by side in large shared blocks, so adding a
/// comment allocates nothing of its own and dropping a set frees a few blocks instead of a string per
/// comment; a value is eight bytes of bookkeeping, where a string object is thirty-two.
class ChatTextColumn {
public:
    /// With `shared`, equal values are stored once: ids and commands repeat from comment to comment.
    explicit ChatTextColumn(bool shared = false) : shared_(shared) {}
    ChatTextColumn(const ChatTextColumn& other);
    ChatTextColumn& operator=(const ChatTextColumn& other);
    ChatTextColumn(ChatTextColumn&&) noexcept = default;
    ChatTextColumn& operator=(ChatTextColumn&&) noexcept = default;
    ~ChatTextColumn() = default;

    int count() const { return count_; }
    /// Empty outside the column.
    std::u16string_view get(int i) const {
        if (i < 0 || static_cast<size_t>(i) >= slots_.size()) return {};
        return get_slot(slots_[static_cast<size_t>(i)]);
    }
    void add(std::u16string_view text) {
        ++count_;
        // A column that has held nothing but empty values keeps no slots (most files have no locale).
        if (slots_.empty()) {
            if (text.empty()) return;
            slots_.resize(static_cast<size_t>(count_ - 1));
        }
        slots_.push_back(shared_ ? store_shared(text) : store(text));
        total_ += text.size();
    }
    /// Ignored outside the column.
    void set(int i, std::u16string_view text);
    /// Value order[k] moves to k for every k < keep; the rest is dropped.
    void gather(const int32_t* order, int keep);
    /// Lengths summed over every value.
    int total_length() const { return static_cast<int>(total_); }
    /// Units the blocks hold, shared ones once and dead ones included: what the column costs.
    size_t units_held() const {
        size_t n = 0;
        for (const Block& b : blocks_)
            n += b.used;
        return n;
    }

private:
    static constexpr int kOffsetBits = 20;
    static constexpr uint32_t kOffsetMask = (1u << kOffsetBits) - 1;
    /// Units of an ordinary block; a longer value gets a block of its own.
    static constexpr size_t kBlockUnits = size_t{1} << kOffsetBits;

    struct Slot {
        /// Block index above kOffsetBits, offset in the block below.
        uint32_t where = 0;
        uint32_t length = 0;
    };
    struct Block {
        std::unique_ptr<char16_t[]> units;
        size_t size = 0;
        size_t used = 0;
    };

    std::u16string_view get_slot(Slot s) const {
        if (s.length == 0) return {};
        return {blocks_[s.where >> kOffsetBits].units.get() + (s.where & kOffsetMask), s.length};
    }
    Slot store(std::u16string_view text);
    /// The slot of an equal value stored before, else a new one.
    Slot store_shared(std::u16string_view text);
    /// Copies the live values into fresh blocks once more space is dead (overwritten or dropped) than live.
    void compact_if_wasteful();

    /// Empty, or one slot for each of count_ values.
    std::vector<Slot> slots_;
    int count_ = 0;
    std::vector<Block> blocks_;
    /// Index of the block being filled, or -1.
    int filling_ = -1;
    uint64_t total_ = 0;
    /// Units no slot uses any more; with shared values an estimate from above.
    uint64_t dead_ = 0;
    bool shared_ = false;
    /// Stored values for sharing, an open-addressed table of slots with their hashes: a lookup costs one
    /// visit to the table and, when the hash matches, one to the text. Empty entries have length 0.
    struct Known {
        uint32_t hash = 0;
        Slot slot;
    };
    std::vector<Known> known_;
    size_t known_count_ = 0;
    /// A column whose values hardly repeat (live-thread ids) stops looking after a trial.
    enum class Sharing : uint8_t { trial, on, off };
    Sharing sharing_ = Sharing::trial;
    uint64_t lookups_ = 0;
    uint64_t hits_ = 0;
};
