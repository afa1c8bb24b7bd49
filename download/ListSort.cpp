#include "download/ListSort.h"

#include <algorithm>
#include <cstdlib>

namespace quippet {
namespace {

/// Digits of a count ("1,234" and "1234" alike); false when anything else is in it.
bool count_value(std::u16string_view text, unsigned long long& out) {
    out = 0;
    bool any = false;
    for (char16_t c : text) {
        if (c == u',' || c == u' ') continue;
        if (c < u'0' || c > u'9') return false;
        // Past 19 digits the order of the texts is the order of the numbers only by length; clamp.
        if (out > 999'999'999'999'999'999ULL) return true;
        out = out * 10 + static_cast<unsigned>(c - u'0');
        any = true;
    }
    return any;
}

int three_way(unsigned long long a, unsigned long long b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int text_order(std::u16string_view a, std::u16string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compare_numbers(std::u16string_view a, std::u16string_view b) {
    unsigned long long x = 0, y = 0;
    const bool nx = count_value(a, x), ny = count_value(b, y);
    if (nx && ny) return three_way(x, y);
    if (nx != ny) return nx ? -1 : 1; // a number before a text such as "-" or "不明"
    return text_order(a, b);
}

int compare_ids(std::u16string_view a, std::u16string_view b) {
    const auto split = [](std::u16string_view id) {
        size_t digits = id.size();
        while (digits > 0 && id[digits - 1] >= u'0' && id[digits - 1] <= u'9')
            --digits;
        return digits;
    };
    const size_t pa = split(a), pb = split(b);
    if (const int c = text_order(a.substr(0, pa), b.substr(0, pb)); c != 0) return c;
    const std::u16string_view da = a.substr(pa), db = b.substr(pb);
    // Leading zeros aside, a longer run of digits is a larger number.
    const auto trim = [](std::u16string_view d) {
        while (d.size() > 1 && d.front() == u'0')
            d.remove_prefix(1);
        return d;
    };
    const std::u16string_view ta = trim(da), tb = trim(db);
    if (ta.size() != tb.size()) return ta.size() < tb.size() ? -1 : 1;
    return text_order(ta, tb);
}

} // namespace

int compare_cells(int column, std::u16string_view a, std::u16string_view b) {
    if (a.empty() != b.empty()) return a.empty() ? 1 : -1;
    switch (column) {
    case dlcol::kComments:
    case dlcol::kViews:
        return compare_numbers(a, b);
    case dlcol::kId:
        return compare_ids(a, b);
    default:
        // Dates are kept as "yy/mm/dd hh:mm", whose text order is their time order.
        return text_order(a, b);
    }
}

void sort_rows(std::vector<DownloadRow>& rows, int code) {
    const int column = std::abs(code);
    if (code == 0 || column >= dlcol::kCount) return;
    const bool descending = code < 0;
    std::stable_sort(rows.begin(), rows.end(), [column, descending](const DownloadRow& x, const DownloadRow& y) {
        const std::u16string& a = x.cells[static_cast<size_t>(column)];
        const std::u16string& b = y.cells[static_cast<size_t>(column)];
        // Empty cells stay last in both directions.
        if (a.empty() != b.empty()) return b.empty();
        const int c = compare_cells(column, a, b);
        return descending ? c > 0 : c < 0;
    });
}

void replace_rows(CListDownload& list, std::vector<DownloadRow> rows) {
    list.clear();
    for (DownloadRow& r : rows) {
        const int at = list.insert_row(-1, r.cells[0]);
        for (int c = 1; c < dlcol::kCount; ++c)
            list.set_cell(at, c, r.cells[static_cast<size_t>(c)]);
        list.set_checked(at, r.checked);
        list.set_stored_value(at, r.value);
        list.codes(at) = r.codes;
    }
}

void sort_download_list(CListDownload& list, int code) {
    if (code == 0) return;
    std::vector<DownloadRow> rows = list.rows();
    sort_rows(rows, code);
    replace_rows(list, std::move(rows));
}

} // namespace quippet
