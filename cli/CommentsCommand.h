#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quippet::cli {

/// `quippet comments [--set K=V]... [--entry N] [--past-logs] [--owner-comments] [--folder DIR] ID...`: gathers
/// each video's information and saves its comment file (and the uploader's comments) as the download job
/// does, one "ID<TAB>code<TAB>text[<TAB>path]" line per file. Exit 1 when any comment step failed.
int run_comments_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quippet::cli
