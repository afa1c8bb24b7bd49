// Feeds arbitrary UTF-16 text to the ID pattern file, a page registered by it (plain extraction too), and
// the list-file reader: pattern files are edited by hand and pages come from any server, so any text may
// come. The first byte picks what the page stands for; U+0001 separates the pattern file from the page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "download/IdPatterns.h"
#include "download/IdRecognition.h"
#include "download/ListFile.h"
#include "download/PageRegistration.h"

using namespace quippet;

namespace {

class SilentReport : public RegisterReport {
public:
    void sleep_ms(int) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    std::u16string input((size - 1) / 2, u'\0');
    for (size_t i = 1; i + 1 < size; i += 2)
        input[(i - 1) / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const std::u16string_view all = input;
    const size_t cut = all.find(u'\u0001');
    const std::u16string_view pattern_text = all.substr(0, cut);
    const std::u16string_view page = cut == std::u16string_view::npos ? all : all.substr(cut + 1);

    const IdPatternFile file =
        (flags & 1) ? IdPatternFile::parse(default_id_pattern_text()) : IdPatternFile::parse(pattern_text);
    static constexpr std::u16string_view kAddresses[] = {u"https://www.nicovideo.jp/search/a?page=1",
                                                         u"https://www.nicovideo.jp/mylist/1",
                                                         u"https://www.nicovideo.jp/tag/a?rss=2.0", u"x"};
    CListDownload list;
    SilentReport report;
    RegisterContext ctx;
    ctx.list = &list;
    ctx.report = &report;
    ctx.folder = u"/f/";
    const std::u16string_view address = kAddresses[(flags >> 1) & 3];
    register_by_patterns(ctx, &file, address, page);
    register_by_patterns(ctx, &file, address, page); // everything listed now: nothing may be added twice
    for (int r = 0; r < list.row_count(); ++r)
        if (list.cell(r, dlcol::kId).empty()) __builtin_trap();

    std::vector<std::u16string> ids;
    extract_ids(page, ids, flags & 8 ? kIdModeItem : kIdModePlain, ctx.ids);
    recognise_id(page.substr(0, 4096), kIdModeInput, ctx.ids);
    classify_input(page.substr(0, 64), ctx.ids);

    const ListFileContents contents = read_list_text(all, u"/default");
    for (const SavedPath& p : contents.paths)
        if (p.name.find(u'/') != std::u16string::npos) __builtin_trap();
    CListDownload from_file;
    register_rows(from_file, contents.rows,
                  [&](std::u16string_view name) { return recognise_id(name, kIdModeItem, ctx.ids); });
    const ListFileContents again = read_list_text(list_file_text(from_file, ListSaveForm::kFullWithState), u"/d");
    if (again.rows.size() != static_cast<size_t>(from_file.row_count())) __builtin_trap();
    return 0;
}
