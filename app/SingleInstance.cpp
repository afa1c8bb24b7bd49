#include "app/SingleInstance.h"

#include <algorithm>

#include "text/Encoding.h"

namespace quippet {
namespace {

constexpr std::string_view kTag = "QVH1";
constexpr std::size_t kHeaderBytes = 12;

std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

void put_u32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

std::uint32_t get_u32(std::string_view bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
    return value;
}

} // namespace

std::string instance_name(std::u16string_view user, std::u16string_view home) {
    std::string shown_user;
    for (char16_t c : user) {
        if (shown_user.size() == 16) break;
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        shown_user += plain ? static_cast<char>(c) : '_';
    }
    // The user's part is only for a person looking at the socket folder; the hash of both keeps names
    // apart that the shortened user would merge.
    std::u16string home_path(home);
    while (home_path.size() > 1 && home_path.ends_with(u'/'))
        home_path.pop_back();
    const std::uint64_t hash = fnv1a(to_utf8(user) + '\0' + to_utf8(home_path));
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (int i = 0; i < 16; ++i)
        hex[static_cast<size_t>(15 - i)] = kHex[(hash >> (4 * i)) & 0xF];
    return "QuippetVellichor-" + shown_user + "-" + hex;
}

std::string encode_instance_message(std::uint32_t type, std::u16string_view text) {
    std::string out(kTag);
    put_u32(out, type);
    put_u32(out, static_cast<std::uint32_t>(text.size()));
    out.reserve(out.size() + text.size() * 2);
    for (char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

CInstanceMessageReader::State CInstanceMessageReader::feed(std::string_view bytes) {
    if (invalid_) return State::invalid;
    buffer_.append(bytes);
    return parse();
}

CInstanceMessageReader::State CInstanceMessageReader::parse() {
    if (ready_) return State::complete;
    // The tag is checked as soon as its bytes are there, so that a stranger writing to the socket is
    // turned away before it can make the window collect anything.
    const std::size_t tag_bytes = std::min(buffer_.size(), kTag.size());
    if (std::string_view(buffer_).substr(0, tag_bytes) != kTag.substr(0, tag_bytes)) {
        invalid_ = true;
        buffer_.clear();
        return State::invalid;
    }
    if (buffer_.size() < kHeaderBytes) return State::incomplete;
    const std::string_view header(buffer_.data(), kHeaderBytes);
    const std::uint32_t type = get_u32(header.substr(4));
    const std::size_t units = get_u32(header.substr(8));
    if (units > kMaxHandOverUnits) {
        invalid_ = true;
        buffer_.clear();
        return State::invalid;
    }
    if (buffer_.size() < kHeaderBytes + units * 2) return State::incomplete;
    InstanceMessage message;
    message.type = type;
    message.text.resize(units);
    for (std::size_t i = 0; i < units; ++i) {
        const auto low = static_cast<unsigned char>(buffer_[kHeaderBytes + 2 * i]);
        const auto high = static_cast<unsigned char>(buffer_[kHeaderBytes + 2 * i + 1]);
        message.text[i] = static_cast<char16_t>(low | (high << 8));
    }
    buffer_.erase(0, kHeaderBytes + units * 2);
    ready_ = std::move(message);
    return State::complete;
}

std::optional<InstanceMessage> CInstanceMessageReader::take() {
    std::optional<InstanceMessage> out = std::move(ready_);
    ready_.reset();
    if (out && !invalid_ && !buffer_.empty()) parse();
    return out;
}

} // namespace quippet
