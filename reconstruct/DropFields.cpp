#include "reconstruct/DropFields.h"

#include "resources/MessageIds.h"

#include <cerrno>

#include "comments/ChatFileParts.h"
#include "comments/ChatScan.h"
#include "reconstruct/ReconstructJob.h"
#include "reconstruct/ReconstructReport.h"
#include "resources/Messages.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

std::u16string folder_part(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    return slash == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, slash + 1));
}

std::u16string name_part(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

/// The file's text; -1 with the reason when it cannot be read.
int read_text(std::u16string_view path, std::string& text, std::u16string& reason) {
    CFileSP file;
    CCharM bytes;
    if (file.read(path, bytes) != 0) {
        reason = name_part(path) + u"：" + std::u16string(message_text(file.error()));
        return -1;
    }
    text.assign(bytes.view());
    return 0;
}

} // namespace

int rename_by_tail(std::u16string_view path, const SaveNaming& naming, bool remove_tail, std::u16string& result) {
    const std::u16string stem = name_without_tail(name_part(path), naming.before, naming.after);
    std::u16string name = stem;
    if (!remove_tail) {
        std::string text, header, footer;
        if (read_text(path, text, result) != 0) return -1;
        int error = 0;
        std::u16string fragment;
        if (split_comment_file(text, header, footer, &error) != 0 ||
            save_name_fragment(text, naming, fragment, &error) != 0) {
            result = name_part(path) + u"：" + std::u16string(message_text(error));
            return -1;
        }
        name += fragment;
    }
    const std::u16string target = folder_part(path) + name + u".xml";
    if (target == path) {
        result = target;
        return 0;
    }
    const int err = rename_no_replace(path, target);
    if (err == EEXIST) {
        result = name_part(target) + u"：同名ファイルが存在するため名前を変更できません";
        return -1;
    }
    if (err != 0) {
        result = name_part(path) + u"：名前の変更に失敗しました（" +
                 std::u16string(message_text(file_error_code(err))) + u"）";
        return -1;
    }
    result = target;
    return 0;
}

int survey_latest_time(std::u16string_view path, std::u16string& text) {
    std::string doc;
    if (read_text(path, doc, text) != 0) return -1;
    const AttributeRange range = attribute_range(doc, "vpos");
    if (range.count == 0) {
        text = name_part(path) + u"：" + std::u16string(message_text(msg::kUnexpectedFormat));
        return -1;
    }
    text = name_part(path) + u"：最も遅い表示時間は" + report_time(range.max) + u"（vpos=" +
           from_utf8(std::to_string(range.max)) + u"）";
    return range.max;
}

} // namespace quippet
