#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/SettingKeys.h"

namespace quippet {

enum class SettingType : int {
    kSwitch,    ///< 0 or 1
    kNumber,    ///< integer within [minimum, maximum]
    kText,      ///< any text
    kChoice,    ///< index into items
    kProtected, ///< text stored encrypted
};

/// One setting the program uses: where it is stored, what it holds, and where the user meets it.
struct SettingDef {
    SettingKey key;
    SettingType type = SettingType::kNumber;
    int minimum = 0;
    int maximum = 0;
    int default_number = 0;
    std::u16string default_text;
    std::vector<std::u16string> items; ///< the choices, in stored order
    std::u16string page;               ///< the tab or detailed-settings page
    std::u16string group;              ///< the group box or row on that page
    std::u16string label;              ///< the control's own caption
    std::string note;                  ///< what the value means, where the caption does not say

    bool is_text() const { return type == SettingType::kText || type == SettingType::kProtected; }
};

/// A storage family: the keys prefix + first … prefix + (first + count - 1) of one section, or a single
/// key named by the prefix when `first` is negative. Every key of the settings file belongs to one.
struct SettingFamily {
    std::u16string_view section;
    std::u16string_view prefix;
    int first = 0;
    int count = 1;
    bool text = false;
};

/// Collects catalogue rows page by page; labels of repeated rows get their row number in front. Each
/// subsystem adds the pages of its own settings through one of these (see setting_page_contributions).
class CatalogueBuilder {
public:
    using Items = std::vector<std::u16string>;

    /// The largest count a count field takes.
    static constexpr int kMaxCount = 999'999'999;

    std::vector<SettingDef> rows;

    void page(std::u16string name) { page_ = std::move(name); }
    void group(std::u16string name) {
        group_ = std::move(name);
        row_.clear();
    }
    void row(int number);
    void no_row() { row_.clear(); }

    template <class K> void sw(K k, std::u16string label, int def = 0, std::string note = {}) {
        add(key(k), SettingType::kSwitch, 0, 1, def, {}, {}, std::move(label), std::move(note));
    }
    template <class K> void num(K k, std::u16string label, int lo, int hi, int def, std::string note = {}) {
        add(key(k), SettingType::kNumber, lo, hi, def, {}, {}, std::move(label), std::move(note));
    }
    template <class K> void text(K k, std::u16string label, std::u16string def = {}, std::string note = {}) {
        add(key(k), SettingType::kText, 0, 0, 0, std::move(def), {}, std::move(label), std::move(note));
    }
    template <class K> void secret(K k, std::u16string label, std::string note = {}) {
        add(key(k), SettingType::kProtected, 0, 0, 0, {}, {}, std::move(label), std::move(note));
    }
    template <class K> void choice(K k, std::u16string label, Items items, int def = 0, std::string note = {}) {
        const int hi = static_cast<int>(items.size()) - 1;
        add(key(k), SettingType::kChoice, 0, hi, def, {}, std::move(items), std::move(label), std::move(note));
    }

private:
    void add(SettingKey k, SettingType type, int lo, int hi, int def, std::u16string def_text, Items items,
             std::u16string label, std::string note);

    std::u16string page_, group_, row_;
};

using AddSettingPages = void (*)(CatalogueBuilder&);

/// The subsystems' page builders in the order the pages are shown. Defined once for the whole program
/// beside the front ends (app/SettingPages.cpp), since only there are all the subsystems known; every
/// program that links the core gets it.
std::span<const AddSettingPages> setting_page_contributions();

/// The pages of the settings store itself: file and folder names, start and end, the main window.
void add_app_setting_pages(CatalogueBuilder& b);

/// Every family of the settings file, section by section; inside a section in the order they are saved.
std::span<const SettingFamily> setting_families();

/// Every setting the program uses, page by page in the order the pages show them.
std::span<const SettingDef> setting_catalogue();

/// The catalogue row of a key, or nullptr when no setting lives there.
const SettingDef* find_setting(const SettingKey& key);

/// "EN" + 5 → "EN5"; a negative index gives the prefix alone.
std::u16string setting_key_name(const SettingKey& key);

/// Parses "SECTION/KEY" (section and key compared without regard to ASCII case) into the catalogue row
/// it names; nullptr when the text names no setting of the catalogue.
const SettingDef* find_setting_by_name(std::u16string_view section_slash_key);

/// A value as typed by the user, checked against its setting. Switches take 0/1 (also on/off,
/// true/false); choices take the index or the item text. Returns false with the reason in `error`.
struct ParsedSettingValue {
    int number = 0;
    std::u16string text;
};
bool parse_setting_value(const SettingDef& def, std::u16string_view input, ParsedSettingValue& out, std::string& error);

/// "switch", "number(0..100)", "text", "choice(a|b)", "protected".
std::string setting_type_text(const SettingDef& def);

/// The catalogue as the Markdown of docs/settings.md.
std::string render_settings_markdown();

} // namespace quippet
