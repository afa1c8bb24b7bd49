#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/NetOptions.h"

namespace quippet {

/// Applies the login cookies to a request as it is opened (the cookie store of the login side implements
/// it). 0, or -1 when the cookie could not be set: the request then goes out without it (code 171).
class CNetCookieSource {
public:
    virtual ~CNetCookieSource() = default;
    virtual int apply_cookie(std::u16string_view url) = 0;
};

/// A cookie given for one request ("watch_flash" = "1").
struct CNetCookie {
    std::u16string name;
    std::u16string value;
};

/// One HTTP request over libcurl. Construct, run one operation, read code(), destroy. Operations return 0
/// (or a count) on success and -1 on failure with the reason in code(), a message-table id; whatever the
/// failure, the transfer is closed before the operation returns. Time-outs, the retry of a timed-out send,
/// the status classes and the error table are those of the program's network layer (net/NetCodes.h).
///
/// Cookies live in one process-wide store shared by all requests, so that cookies a server sets (the
/// login's "user_session") go out with later requests to it, as a browser's store would do.
class CNet {
public:
    /// Open flags of send_request.
    static constexpr unsigned kFlagReload = 0x80000000u; ///< always from the server, never a cache

    explicit CNet(const CNetOptions& options = {});
    CNet(const CNet&) = delete;
    CNet& operator=(const CNet&) = delete;
    virtual ~CNet();

    int code() const { return code_; }
    void set_code(int code) { code_ = code; }
    bool secure() const { return secure_; }
    const std::u16string& server() const { return server_; }
    const std::u16string& object() const { return object_; }
    /// Attempts the last send took (1 to 3).
    int send_attempts() const { return attempts_; }
    /// The status of the last answer (0 before one arrived); kept after close().
    int last_status() const { return status_; }

    /// Prepares a request for url + suffix: code reset to 0, server and object split from the URL ("https:"
    /// sets the secure flag), cookies applied (171 when that fails; the request still goes on).
    int open_url(std::u16string_view url, std::u16string_view suffix = {}, CNetCookieSource* cookies = nullptr,
                 const CNetCookie* explicit_cookie = nullptr);
    /// Verb and the user's header block (CR LF separated "Name: value" lines); a line is added only when the
    /// request has no header of its name yet. A malformed line fails with 52.
    int send_request(unsigned flags, std::u16string_view header_block, std::u16string_view verb = u"GET");
    /// Sends the request (and `body`) and waits for the head of the answer; a time-out is tried again, three
    /// attempts in all, and a retry that succeeds restores the code in force before the time-out.
    int send(std::string_view body = {});
    /// send() with "Content-type: application/json" / "application/x-www-form-urlencoded".
    int post_json(std::string_view body);
    int post_form(std::string_view body);

    /// The status of the answer; sets the code by its class (2xx leaves it alone).
    int status_code();
    /// Content-Length of the answer; -1 with 148 when it has none.
    long long content_length();
    /// The header lines of the answer as they came (status line first, CR LF ends).
    const std::string& response_headers() const { return headers_; }

    /// The rest of the body into memory (at most the options' limit: code 11).
    int read_all(std::string& out);
    /// Up to `size` bytes of the body; fewer only at its end. Count, 0 at the end, -1 on failure.
    int read_chunk(char* out, int size);
    /// Positions the body stream; back to its start, or anywhere within what has been read or ahead.
    int seek(long long offset);
    /// Up to 1024 bytes of the head of the body, two attempts; the stream is put back at its start. No bytes:
    /// 173. The code is left alone on success.
    int read_head(std::string& out);
    /// Head of the body against the first 1024 bytes of a file: 1 equal, 0 different or too short, -1 failure.
    int head_equals_file(std::u16string_view path);
    /// First 1024 bytes of a file against 1024 given bytes: 1 equal, 0 not.
    static int file_head_equals(std::u16string_view path, std::string_view bytes);
    /// ".flv", ".mp4" or ".swf" from the first 16 bytes: 0; 1 when they match none (no code); -1 with 174.
    int sniff_extension(std::u16string& out);

    /// GET, whole body, decoded: mode 1 Shift_JIS, 3 detected from the body (other values read as UTF-8).
    int get_text(int mode, std::u16string& out, std::u16string_view url, std::u16string_view suffix,
                 std::u16string_view header_block, CNetCookieSource* cookies = nullptr,
                 const CNetCookie* explicit_cookie = nullptr);
    /// Open, send (with body for POST), read the whole answer, close.
    int fetch(std::u16string_view url, std::u16string_view suffix, std::u16string_view header_block,
              std::u16string_view verb, std::string_view body, CNetCookieSource* cookies, std::string& out);

    /// GET into a file. Returns the attempts used (1 to 3); 0 when the server's size equals `known_b`, -2
    /// when it equals `known_a` (nothing written in both cases; a negative size is no size); -1 on failure,
    /// leaving no file behind. Only status 200 is taken. `grew` (may be null) is set to 1 when the known size
    /// is positive and smaller than the server's.
    int download_to_file(std::u16string_view path, std::u16string_view url, std::u16string_view header_block,
                         long long known_a, long long known_b, int* grew = nullptr);

    /// How download_via_temp moves the finished file onto a taken name.
    enum RenameMode : int {
        kRenameKeepBoth = 0,        ///< the download goes to "name(N).ext" (outcome 125)
        kRenameExistingAside = 1,   ///< the existing file becomes "name(N).ext" first (outcome 223)
        kRenameReplace = 2,         ///< the existing file is replaced
        kRenameExistingToTrash = 3, ///< the existing file goes to the desktop trash first (outcome 225)
    };
    /// Looks at a finished download before it takes its name: 0 lets it go on, anything else is the result
    /// code the download fails with (the temporary file is removed, nothing existing is touched).
    using FileCheck = std::function<int(std::u16string_view temp_path)>;
    /// download_to_file into folder-of(final_path) + base_name + ".tmp" ("_" added to the base while a
    /// zero-length file of that name exists), then moved to final_path. Same results as download_to_file;
    /// a failed move gives -1 with 121 (or 221 for the existing file) and removes the temporary file.
    /// `outcome` (may be null) receives 0, 125, 223 or 225, and `saved_as` the name the file got. `check`, when
    /// given, vets the file before any name is taken or any existing file moved.
    int download_via_temp(std::u16string_view final_path, std::u16string_view base_name, std::u16string_view url,
                          std::u16string_view header_block, long long known_a, long long known_b, int rename_mode,
                          int* grew = nullptr, int* outcome = nullptr, std::u16string* saved_as = nullptr,
                          const FileCheck& check = {});
    /// The temporary file of download_via_temp: folder of `final_path` + `base_name` + ".tmp", with "_" added to
    /// the base while a zero-length file of that name exists.
    static std::u16string temp_path_for(std::u16string_view final_path, std::u16string_view base_name);
    /// The move of download_via_temp on its own: `temp` onto `final_path` by `rename_mode`. 0, or the result
    /// code of the failure (121 the move, 221 the existing file's rename, 224 its trip to the trash), `temp`
    /// then removed.
    static int move_into_place(std::u16string_view temp, std::u16string_view final_path, int rename_mode,
                               int* outcome = nullptr, std::u16string* saved_as = nullptr);

    /// Ends the transfer; the object may open another request afterwards.
    void close();

private:
    struct Transfer;
    int fail(int code);
    int map_transfer_error();
    int read_into(char* out, int size);

    CNetOptions options_;
    int code_ = 0;
    std::unique_ptr<Transfer> transfer_;
    std::u16string server_;
    std::u16string object_;
    bool secure_ = false;
    std::string headers_;
    int attempts_ = 0;
    int status_ = 0;
};

/// The result code of a libcurl error and whether it carries the pause of the error table.
int net_error_code(int curl_code, bool* pause = nullptr);

/// The process-wide cookie store: a cookie for the host of `url` (path "/"). 0, or -1.
int net_set_cookie(std::u16string_view url, std::u16string_view name, std::u16string_view value);
/// The value of a cookie the store holds for `host`; empty when there is none.
std::u16string net_cookie_value(std::u16string_view host, std::u16string_view name);
/// Empties the store.
void net_clear_cookies();
/// Every cookie of the store as a Netscape cookie-file line (domain, subdomains, path, secure, expiry,
/// name, value).
std::vector<std::string> net_cookie_lines();
/// Adds one Netscape cookie-file line to the store. 0, or -1 for a line that is not one.
int net_add_cookie_line(std::string_view line);

/// Writes a debug dump "デバッグモード：" + name into the options' debug folder when debug is on; bytes as
/// they are. Failures are ignored: a dump never changes the outcome of a request.
void net_debug_dump(const CNetOptions& options, std::u16string_view name, std::string_view bytes);

} // namespace quippet
