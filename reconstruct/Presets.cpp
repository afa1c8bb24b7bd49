#include "reconstruct/Presets.h"

namespace quippet {

bool apply_reconstruct_preset(CSettings&, std::u16string_view, std::u16string* error) {
    if (error) *error = u"ファイルの読み込みに失敗しました";
    return false;
}

} // namespace quippet
