#include "text/Collation.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <memory>
#include <mutex>

namespace quippet {
namespace {

std::unique_ptr<icu::Collator> make_prototype() {
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> coll(icu::Collator::createInstance(icu::Locale("ja"), err));
    if (U_FAILURE(err) || !coll) {
        err = U_ZERO_ERROR;
        coll.reset(icu::Collator::createInstance(icu::Locale::getRoot(), err));
    }
    // Case and width are tertiary differences and the kana type is quaternary in the Japanese
    // tailoring, so secondary strength drops exactly those three and keeps dakuten and accents.
    if (coll) coll->setStrength(icu::Collator::SECONDARY);
    return coll;
}

/// Collators are cheap to clone and not meant to be shared while collating, so each thread has its own.
icu::Collator* thread_collator() {
    static const std::unique_ptr<icu::Collator> prototype = make_prototype();
    thread_local const std::unique_ptr<icu::Collator> mine(prototype ? prototype->clone() : nullptr);
    return mine.get();
}

icu::UnicodeString alias(std::u16string_view text) {
    return icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size()));
}

} // namespace

int locale_compare(std::u16string_view a, std::u16string_view b) {
    icu::Collator* coll = thread_collator();
    if (!coll) return a.compare(b);
    UErrorCode err = U_ZERO_ERROR;
    return static_cast<int>(coll->compare(alias(a), alias(b), err));
}

std::string collation_key(std::u16string_view text) {
    icu::Collator* coll = thread_collator();
    if (!coll) {
        std::string raw;
        for (const char16_t c : text) {
            raw += static_cast<char>(c >> 8);
            raw += static_cast<char>(c & 0xFF);
        }
        return raw;
    }
    const icu::UnicodeString s = alias(text);
    std::string key(64, '\0');
    int32_t n = coll->getSortKey(s, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (n > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<size_t>(n));
        n = coll->getSortKey(s, reinterpret_cast<uint8_t*>(key.data()), n);
    }
    // The key ends with a 0 byte that takes no part in comparisons.
    key.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return key;
}

} // namespace quippet
