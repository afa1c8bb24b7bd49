#pragma once

#include <string_view>
#include <vector>

#include "download/DownloadList.h"

// Sorting the download list by one of its columns. A sort code names the column by its number; a negative
// code sorts descending, 0 leaves the order alone (the codes of a bookmark's "s=" option are these).

namespace quippet {

/// Orders two cells of `column`: numbers for the counts, the numeric part of an ID after its prefix,
/// the text for everything else. Empty cells sort after filled ones either way, so the rows still waiting
/// for their information stay together at the end. <0, 0, >0.
int compare_cells(int column, std::u16string_view a, std::u16string_view b);

/// Stable sort of `rows` by the code; rows that compare equal keep their order.
void sort_rows(std::vector<DownloadRow>& rows, int code);

/// The list in the order of the code, check states, values and codes kept (rows with the same ID too).
void sort_download_list(CListDownload& list, int code);

/// Replaces the rows of `list` by `rows`, in their order, without the ID test of add_row.
void replace_rows(CListDownload& list, std::vector<DownloadRow> rows);

} // namespace quippet
