#include "reconstruct/SplitCut.h"

#include "reconstruct/FileJobReport.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "resources/MessageIds.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_set>

#include "app/Settings.h"
#include "app/WorkThread.h"
#include "comments/ChatNumbers.h"
#include "comments/ChatScan.h"
#include "resources/Messages.h"
#include "text/AppHome.h"
#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "text/FileSP.h"

namespace quippet {
namespace {

// Texts of the tab's string table that only these jobs use.
constexpr std::u16string_view kOutOfOrder = u"コメント番号の順序に入れ替わりあり";
constexpr std::u16string_view kNothingToCut = u"切り出せるコメントがありません";
constexpr std::u16string_view kRangeReversed = u"切り出し設定範囲の最初と最後が逆";
constexpr std::u16string_view kCutDone = u"切り出しに成功";
constexpr std::u16string_view kFilesWritten = u"個のファイルを出力";
constexpr std::u16string_view kWrongExtension = u"ファイルの拡張子が違います";
constexpr std::u16string_view kStoppedByUser = u"ユーザー操作で中止";
constexpr std::u16string_view kInputNameTaken = u"出力名が入力ファイルと同じため未出力";
constexpr std::u16string_view kListedTwice = u"同じファイルが重複して指定されているので省略";

UnitResult failure(std::u16string_view message) {
    UnitResult result;
    result.message = message;
    return result;
}

UnitResult failure(int message_id) {
    return failure(message_text(message_id));
}

UnitResult stopped() {
    UnitResult result = failure(kStoppedByUser);
    result.stopped = true;
    return result;
}

bool has_xml_extension(std::u16string_view path) {
    if (path.size() < 4) return false;
    std::u16string tail(path.substr(path.size() - 4));
    for (char16_t& c : tail)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return tail == u".xml";
}

std::u16string without_xml_extension(std::u16string_view path) {
    return std::u16string(has_xml_extension(path) ? path.substr(0, path.size() - 4) : path);
}

/// Two names of one file: the same inode when both exist, else the same absolute normal form.
bool same_file(std::u16string_view a, std::u16string_view b) {
    std::error_code ec;
    const std::filesystem::path pa = to_fs_path(a), pb = to_fs_path(b);
    if (std::filesystem::equivalent(pa, pb, ec) && !ec) return true;
    const std::filesystem::path na = std::filesystem::absolute(pa, ec).lexically_normal();
    const std::filesystem::path nb = std::filesystem::absolute(pb, ec).lexically_normal();
    return na == nb;
}

bool exists(std::u16string_view path) {
    std::error_code ec;
    return std::filesystem::exists(to_fs_path(path), ec);
}

struct ChatSpan {
    size_t start = 0;
    size_t end = 0;
    int no = 0;
    int vpos = 0;
    bool has_vpos = false;
};

/// A comment file cut into the text before the first comment, the comment elements, and everything
/// after the last one (trailing elements, "</packet>").
struct IndexedFile {
    CFileBytes bytes;
    std::string_view text() const { return bytes.view(); }
    std::vector<ChatSpan> chats;
    size_t trailing = 0;
};

/// Loads and indexes the file. On failure the result says why (a stop included); `ok` is left false.
bool index_file(std::u16string_view path, const UnitContext& context, bool need_vpos, IndexedFile& file,
                UnitResult& result) {
    if (!has_xml_extension(path)) {
        result = failure(kWrongExtension);
        return false;
    }
    CFileSP reader;
    if (reader.read(path, file.bytes) != 0) {
        result = failure(reader.error());
        return false;
    }
    const std::string_view text = file.text();

    size_t at = text.find("<chat ");
    if (at == std::string_view::npos) {
        // A well-formed file that simply holds no comment is not a format problem.
        result =
            text.find("<packet") != std::string_view::npos ? failure(kNothingToCut) : failure(msg::kUnexpectedFormat);
        return false;
    }
    while (at != std::string_view::npos) {
        if (context.stop_requested && context.stop_requested()) {
            result = stopped();
            return false;
        }
        ChatSpan span;
        span.start = at;
        const size_t gt = text.find('>', at);
        if (gt == std::string_view::npos) {
            result = failure(msg::kUnexpectedFormat);
            return false;
        }
        const std::string_view tag = text.substr(at, gt + 1 - at);
        if (text[gt - 1] == '/') {
            span.end = gt + 1;
        } else {
            const size_t close = text.find("</chat>", gt);
            if (close == std::string_view::npos) {
                result = failure(msg::kUnexpectedFormat);
                return false;
            }
            span.end = close + 7;
        }
        std::string_view value;
        if (!attribute_value(tag, "no", value) || !chatnum::parse_uint(value, span.no)) {
            result = failure(msg::kUnexpectedFormat);
            return false;
        }
        span.has_vpos = attribute_value(tag, "vpos", value) && chatnum::parse_int(value, span.vpos);
        if (need_vpos && !span.has_vpos) {
            result = failure(msg::kUnexpectedFormat);
            return false;
        }
        if (!file.chats.empty() && span.no <= file.chats.back().no) {
            result = failure(kOutOfOrder);
            return false;
        }
        file.chats.push_back(span);
        at = text.find("<chat ", span.end);
    }
    file.trailing = file.chats.back().end;
    return true;
}

/// The header with `last_res` lowered to the part's last number, when the header keeps one.
std::string part_header(const IndexedFile& file, int last_no) {
    std::string header(file.text().substr(0, file.chats.front().start));
    if (thread_attribute(header, "last_res") >= 0) set_thread_attribute(header, "last_res", last_no);
    return header;
}

/// The outputs of one unit: each is written to a temporary file first, and only when all of them are
/// written are they renamed into place, so a stop or a failure leaves none of them behind.
class OutputBatch {
public:
    explicit OutputBatch(const UnitContext& context) : context_(context) {}
    OutputBatch(const OutputBatch&) = delete;
    OutputBatch& operator=(const OutputBatch&) = delete;
    ~OutputBatch() {
        std::error_code ec;
        for (const Pending& p : pending_)
            if (!p.temp.empty()) std::filesystem::remove(to_fs_path(p.temp), ec);
    }

    /// Refuses a name that belongs to an input, or one that is taken without "同名時に上書". Empty when the
    /// name may be used, else the reason.
    std::u16string check_name(std::u16string_view path) const {
        for (const std::u16string& input : context_.inputs)
            if (same_file(path, input)) return std::u16string(kInputNameTaken);
        if (!context_.settings.overwrite && exists(path)) return std::u16string(message_text(msg::kNameTaken));
        return {};
    }

    /// Empty on success, else the reason.
    std::u16string stage(const std::u16string& path, std::string_view header, std::string_view body,
                         std::string_view trailing) {
        Pending p;
        p.final_path = path;
        p.existed = exists(path);
        p.temp = path + u"." + decimal_text(::getpid()) + u".tmp";
        pending_.push_back(p);
        CFileSP writer;
        if (writer.write(p.temp, header, body, trailing, CFileSP::kOverwrite) != 0) {
            pending_.back().temp.clear();
            return std::u16string(message_text(msg::kSaveFailed)) + u"（" +
                   std::u16string(message_text(writer.error())) + u"）";
        }
        return {};
    }

    /// Renames every staged file into place; on a failure the ones already moved that did not exist
    /// before are removed again. Empty on success, else the reason.
    std::u16string commit(std::vector<std::u16string>& written) {
        for (size_t i = 0; i < pending_.size(); ++i) {
            Pending& p = pending_[i];
            std::error_code ec;
            std::u16string reason;
            if (!context_.settings.overwrite && exists(p.final_path))
                reason = message_text(msg::kNameTaken);
            else
                std::filesystem::rename(to_fs_path(p.temp), to_fs_path(p.final_path), ec);
            if (ec)
                reason = std::u16string(message_text(msg::kSaveFailed)) + u"（" +
                         std::u16string(message_text(file_error_code(ec.value()))) + u"）";
            if (!reason.empty()) {
                // A part that replaced an older file cannot be taken back; the new ones can.
                for (size_t j = 0; j < i; ++j)
                    if (!pending_[j].existed) std::filesystem::remove(to_fs_path(pending_[j].final_path), ec);
                return reason;
            }
            p.temp.clear();
        }
        for (const Pending& p : pending_)
            written.push_back(p.final_path);
        return {};
    }

private:
    struct Pending {
        std::u16string final_path;
        std::u16string temp;
        bool existed = false;
    };
    const UnitContext& context_;
    std::vector<Pending> pending_;
};

bool stop(const UnitContext& context) {
    return context.stop_requested && context.stop_requested();
}

} // namespace

SplitCutSettings split_cut_settings(const CSettings& settings) {
    SplitCutSettings s;
    if (settings.on(RcSwitch::kSplitAuto))
        s.automatic = true;
    else if (settings.on(RcSwitch::kSplitTyped))
        s.part_size = settings.number(RcNumber::kSplitSize);
    else if (settings.on(RcSwitch::kSplit500))
        s.part_size = 500;
    else if (settings.on(RcSwitch::kSplit1000))
        s.part_size = 1000;
    else
        s.part_size = 250;
    s.per_minute = settings.number(OptNumber::kAutoSplitPerMinute);
    s.remainder = settings.on(RcSwitch::kSplitRemainder);
    s.cut_first = settings.number(RcNumber::kCutFirst);
    s.cut_last = settings.number(RcNumber::kCutLast);
    s.overwrite = settings.on(RcSwitch::kOverwrite);
    return s;
}

int auto_part_size(int per_minute, int max_vpos) {
    const long long seconds = std::max(0, max_vpos) / 100;
    const long long minutes = (seconds + 30) / 60;
    long long size = 0;
    if (minutes > 0)
        size = static_cast<long long>(per_minute) * minutes;
    else
        size = seconds > 14 ? per_minute / 2 : per_minute / 3;
    return static_cast<int>(std::clamp<long long>(size, 1, INT_MAX));
}

std::u16string split_part_name(std::u16string_view source, int part, int parts) {
    std::u16string number = decimal_text(part);
    const size_t width = decimal_text(parts).size();
    if (number.size() < width) number.insert(0, width - number.size(), u'0');
    return without_xml_extension(source) + u"［分割" + number + u"］.xml";
}

std::u16string cut_name(std::u16string_view source, int first_no, int last_no) {
    return without_xml_extension(source) + u"［切り出し" + decimal_text(first_no) + u"～" + decimal_text(last_no) +
           u"］.xml";
}

UnitResult split_file(std::u16string_view path, const UnitContext& context) {
    const SplitCutSettings& s = context.settings;
    IndexedFile file;
    UnitResult result;
    if (!index_file(path, context, s.automatic, file, result)) return result;

    const int count = static_cast<int>(file.chats.size());
    int size = s.part_size;
    if (s.automatic) {
        int max_vpos = INT_MIN;
        for (const ChatSpan& c : file.chats)
            max_vpos = std::max(max_vpos, c.vpos);
        size = auto_part_size(s.per_minute, max_vpos);
    }
    size = std::max(size, 1);
    const int full = count / size;
    const int rest = count % size;
    const int parts = full + (rest > 0 && s.remainder ? 1 : 0);
    if (parts == 0) return failure(kNothingToCut);

    OutputBatch batch(context);
    std::vector<std::u16string> names;
    for (int k = 0; k < parts; ++k) {
        names.push_back(split_part_name(path, k + 1, parts));
        if (std::u16string reason = batch.check_name(names.back()); !reason.empty()) return failure(reason);
    }
    const std::string_view text = file.text();
    const std::string_view trailing = text.substr(file.trailing);
    for (int k = 0; k < parts; ++k) {
        if (stop(context)) return stopped();
        const ChatSpan& first = file.chats[static_cast<size_t>(k) * static_cast<size_t>(size)];
        const ChatSpan& last = file.chats[static_cast<size_t>(std::min(count, (k + 1) * size) - 1)];
        const std::string header = part_header(file, last.no);
        if (std::u16string reason = batch.stage(names[static_cast<size_t>(k)], header,
                                                text.substr(first.start, last.end - first.start), trailing);
            !reason.empty())
            return failure(reason);
    }
    if (stop(context)) return stopped();
    if (std::u16string reason = batch.commit(result.written); !reason.empty()) return failure(reason);
    result.ok = true;
    result.message = decimal_text(parts) + std::u16string(kFilesWritten);
    if (rest > 0 && !s.remainder) result.message += u"（端数の" + decimal_text(rest) + u"コメントは出力せず）";
    return result;
}

UnitResult cut_file(std::u16string_view path, const UnitContext& context) {
    const SplitCutSettings& s = context.settings;
    if (s.cut_first > s.cut_last) return failure(kRangeReversed);
    IndexedFile file;
    UnitResult result;
    if (!index_file(path, context, false, file, result)) return result;

    // Numbers ascend (index_file made sure), so the range is one run of elements.
    const auto begin = std::lower_bound(file.chats.begin(), file.chats.end(), s.cut_first,
                                        [](const ChatSpan& c, int no) { return c.no < no; });
    const auto end =
        std::upper_bound(begin, file.chats.end(), s.cut_last, [](int no, const ChatSpan& c) { return no < c.no; });
    if (begin == end) return failure(kNothingToCut);
    const ChatSpan& first = *begin;
    const ChatSpan& last = *(end - 1);
    const bool gaps = last.no - first.no != static_cast<int>(end - begin) - 1;

    OutputBatch batch(context);
    const std::u16string name = cut_name(path, first.no, last.no);
    if (std::u16string reason = batch.check_name(name); !reason.empty()) return failure(reason);
    const std::string_view text = file.text();
    if (std::u16string reason =
            batch.stage(name, part_header(file, last.no), text.substr(first.start, last.end - first.start),
                        text.substr(file.trailing));
        !reason.empty())
        return failure(reason);
    if (stop(context)) return stopped();
    if (std::u16string reason = batch.commit(result.written); !reason.empty()) return failure(reason);
    result.ok = true;
    result.message = std::u16string(kCutDone);
    // Gaps are normal for files that lost deleted comments; the cut is still good, but the user may
    // have expected as many comments as the range is wide.
    if (gaps) result.message += u"（" + std::u16string(message_text(msg::kNumbersNotContiguous)) + u"）";
    return result;
}

JobCounts run_split_cut_job(CWorkThread& worker, const SplitCutSettings& settings, JobKind kind) {
    worker.job_begin(kDdStatusColumn, kDdResultColumn);
    JobCounts counts;
    UnitContext context;
    context.settings = settings;
    context.inputs = worker.data().inputs();
    context.stop_requested = [&worker] { return worker.stop_requested(); };

    std::u16string last_name;
    for (size_t i = 0; i < context.inputs.size(); ++i) {
        const std::u16string& path = context.inputs[i];
        const int row = static_cast<int>(i);
        const bool repeated = std::any_of(context.inputs.begin(), context.inputs.begin() + static_cast<long>(i),
                                          [&path](const std::u16string& earlier) { return same_file(path, earlier); });
        if (repeated) {
            worker.log(path + u"：" + std::u16string(kListedTwice));
            worker.set_cell(row, kDdResultColumn, kListedTwice);
            continue;
        }
        ++counts.total;
        last_name = file_name(path);
        worker.set_cell(row, kDdStatusColumn, u"処理中");
        const UnitResult result = kind == JobKind::kCut ? cut_file(path, context) : split_file(path, context);
        worker.set_cell(row, kDdStatusColumn, result.ok ? u"成功" : result.stopped ? u"中止" : u"失敗");
        worker.set_cell(row, kDdResultColumn, result.message);
        worker.log(path + u"：" + result.message);
        for (const std::u16string& written : result.written)
            worker.log(u"　→ " + written);
        if (result.stopped) {
            counts.stopped = true;
            worker.job_stopped();
            return counts;
        }
        if (result.ok) ++counts.succeeded;
    }

    log_file_job_end(worker, counts.total, counts.succeeded, last_name);
    return counts;
}

} // namespace quippet
