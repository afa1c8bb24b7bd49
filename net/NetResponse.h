#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Reading what a server sent back: the status line, header lines and the first bytes of a body. Everything
// here takes the bytes as they came off the wire and is bounded, so a hostile answer can only fail a lookup.
namespace quippet::netresp {

/// Status of a status line "HTTP/x.y NNN reason"; -1 when the line is not one.
int parse_status_line(std::string_view line);

/// The value of the last header `name` (compared without ASCII case) in a block of CR LF (or LF)
/// separated lines, blanks around it trimmed; false when there is none. Lines without a colon and the
/// status line are skipped; continuation lines are not joined.
bool find_header(std::string_view block, std::string_view name, std::string& value);

/// A Content-Length value: decimal digits only, at most 2^53; -1 otherwise.
long long parse_content_length(std::string_view value);

/// The result code of a status by its class: 0 for 2xx (the code stays as it was), 219 1xx, 215 3xx,
/// 155 403, 156 404, 216 other 4xx, 218 500, 220 502, 157 503, 217 other 5xx, 154 anything else.
int status_class_code(int status);

/// ".flv", ".mp4" or ".swf" for the first bytes of a video file; empty when they match none.
std::string_view sniff_extension(std::string_view head);

/// Splits "scheme://server/object": everything up to and including the first "//" is dropped, the server
/// is what lies before the next "/", the object the rest (beginning with "/"; empty without a "/").
void split_url(std::u16string_view url, std::u16string& server, std::u16string& object);

/// Whether a header block line may go into a request: "Name: value" with a token name and no control
/// characters. Empty lines are not header lines.
bool is_valid_header_line(std::string_view line);

/// The header name of a line ("Accept" of "Accept: */*"); empty when the line has no colon.
std::string_view header_name(std::string_view line);

} // namespace quippet::netresp
