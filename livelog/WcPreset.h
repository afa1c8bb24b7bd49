#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quippet {

class CSettings;

/// Named presets of the live-log fields: folder + "/" + name + ".txt", a wide text file of labelled,
/// tab-separated lines.
class WcPreset {
public:
    /// The lines of a preset for the live-log fields of `settings`. `boards` are the board names of the
    /// warehouse search in table order; the selected one is stored by name.
    static std::u16string compose(const CSettings& settings, const std::vector<std::u16string>& boards = {});
    /// Applies a preset's lines, in any order, to `settings`; unknown labels are skipped. Fields the preset
    /// does not store ("手動" of the search, "結果をブラウザに送る", "変換と同時に…") keep their values.
    /// Returns the number of lines recognised.
    static int apply(std::u16string_view text, CSettings& settings, const std::vector<std::u16string>& boards = {});

    static std::u16string path(std::u16string_view folder, std::u16string_view name);
    /// Writes (replacing) the preset file. 0, or -1 with the reason in `error`.
    static int write(const CSettings& settings, std::u16string_view folder, std::u16string_view name,
                     std::u16string* error = nullptr, const std::vector<std::u16string>& boards = {});
    /// Reads the preset into `settings`. 0, or -1 with "ファイルの読み込みに失敗しました" in `error` and the
    /// settings unchanged.
    static int read(std::u16string_view folder, std::u16string_view name, CSettings& settings,
                    std::u16string* error = nullptr, const std::vector<std::u16string>& boards = {});
    /// The names of the ".txt" files of the folder, sorted.
    static std::vector<std::u16string> list(std::u16string_view folder);
};

/// The save button's state for the name typed next to it.
enum class WcSaveCaption { kOverwrite, kMismatch, kCreate, kEmpty };
WcSaveCaption wc_save_caption(std::u16string_view typed, std::u16string_view selected,
                              const std::vector<std::u16string>& names);
/// "上書保存", "選択不一致", "新規作成", "空白".
std::u16string_view wc_save_caption_text(WcSaveCaption caption);
inline bool wc_save_enabled(WcSaveCaption caption) {
    return caption == WcSaveCaption::kOverwrite || caption == WcSaveCaption::kCreate;
}

/// What "新規作成" did.
enum class WcCreateResult { kEmptyName, kRestored, kWritten, kFailed };
/// "新規作成": an empty name is refused, a name + ".bak" in the folder gets its ".txt" name back (the
/// current fields are not written), otherwise the preset is written. `message` receives the text to show.
WcCreateResult create_wc_preset(const CSettings& settings, std::u16string_view folder, std::u16string_view name,
                                std::u16string* message = nullptr, const std::vector<std::u16string>& boards = {});

/// Deletes a preset: into the desktop trash, or, with `to_bak` (or when the trash cannot take it), by
/// renaming it to name + ".bak". 0, or -1 with the reason in `error`.
int delete_wc_preset(std::u16string_view folder, std::u16string_view name, bool to_bak,
                     std::u16string* error = nullptr);

/// The board names of the warehouse search's board table ("▼" sections), in order; empty when unreadable.
std::vector<std::u16string> board_names(const CSettings& settings);

} // namespace quippet
