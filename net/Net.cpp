#include "net/Net.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "net/NetCodes.h"
#include "net/NetResponse.h"
#include "text/AppHome.h"
#include "text/CharBuffer.h"
#include "text/Encoding.h"
#include "text/FileSP.h"
#include "text/Trash.h"

namespace quippet {
namespace {

using Clock = std::chrono::steady_clock;

// A read never asks for more than this; the transfer pauses once this much waits unread, so a download
// holds a few MiB whatever its size.
constexpr size_t kPauseAbove = 4u << 20;
// Bytes of the body kept from its start, so that a head read can be given back to a later full read.
constexpr size_t kKeepHead = 64u << 10;
constexpr int kHeadBytes = 1024;

void sleep_ms(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One store for cookies, DNS answers and TLS sessions, shared by every request of the process the way a
// platform's HTTP layer shares them between its sessions. Open connections are not shared: libcurl's shared
// connection cache is not safe with transfers on several threads (its known bug 11.11), and downloads run
// on several workers at once.
class SharedState {
public:
    static SharedState& get() {
        static SharedState state;
        return state;
    }
    CURLSH* share() const { return share_; }

private:
    SharedState() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        share_ = curl_share_init();
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &SharedState::lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &SharedState::unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }
    ~SharedState() = default; // the share lives as long as the process: requests may end during exit

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<SharedState*>(self)->mutexes_[static_cast<size_t>(data) % kLocks].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<SharedState*>(self)->mutexes_[static_cast<size_t>(data) % kLocks].unlock();
    }

    static constexpr size_t kLocks = CURL_LOCK_DATA_LAST + 1;
    CURLSH* share_ = nullptr;
    std::mutex mutexes_[kLocks];
};

std::string system_ca_path() {
    static const std::string path = [] {
        std::string found = "/etc/ssl/certs";
        if (CURL* probe = curl_easy_init()) {
            char* capath = nullptr;
            if (curl_easy_getinfo(probe, CURLINFO_CAPATH, &capath) == CURLE_OK && capath && *capath) found = capath;
            curl_easy_cleanup(probe);
        }
        return found;
    }();
    return path;
}

std::u16string folder_of(std::u16string_view path) {
    const size_t slash = path.find_last_of(u'/');
    return slash == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, slash + 1));
}

long long file_size_of(std::u16string_view path) {
    struct stat st {};
    if (::stat(to_fs_path(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_size);
}

bool remove_file(std::u16string_view path) {
    return ::unlink(to_fs_path(path).c_str()) == 0 || errno == ENOENT;
}

// "name.ext" → "name(N).ext" with the smallest N ≥ 2 that is free.
std::u16string free_numbered_name(std::u16string_view path) {
    const size_t slash = path.find_last_of(u'/');
    const size_t dot = path.find_last_of(u'.');
    const size_t cut =
        (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && dot < slash)) ? path.size() : dot;
    for (int n = 2; n < 100000; ++n) {
        std::u16string candidate(path.substr(0, cut));
        candidate += u"(" + decimal_text(n) + u")";
        candidate += path.substr(cut);
        if (file_size_of(candidate) < 0 && !std::filesystem::exists(to_fs_path(candidate))) return candidate;
    }
    return {};
}

// Writes all of `bytes`; the errno of a failed write, else 0.
int write_all(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

} // namespace

int net_error_code(int curl_code, bool* pause) {
    bool wait = false;
    int code = net_code::kSendFailed;
    switch (static_cast<CURLcode>(curl_code)) {
    case CURLE_OK:
        code = net_code::kNone;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        code = net_code::kTimeout;
        wait = true;
        break;
    case CURLE_URL_MALFORMAT:
        code = net_code::kInvalidUrl;
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        code = net_code::kNameNotResolved;
        break;
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
        code = net_code::kConnectFailed;
        break;
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        code = net_code::kConnectionAborted;
        wait = true;
        break;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        code = net_code::kConnectionReset;
        wait = true;
        break;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL: // only http and https are ever asked for: this is an HTTP/0.9 answer
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP3:
        code = net_code::kInvalidResponse;
        break;
    default:
        break;
    }
    if (pause) *pause = wait;
    return code;
}

// The easy handle of one request in its own multi handle, so that the body can be pulled piece by piece
// (libcurl pushes; the pause keeps what it pushes bounded).
struct CNet::Transfer {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* header_list = nullptr;
    std::vector<std::string> header_names; // lower case, for "add only if new"
    std::string url;
    std::string verb = "GET";
    std::string post_body;
    bool attached = false;

    // Answer state of the current attempt.
    std::string headers;
    bool head_done = false;
    bool done = false;
    CURLcode result = CURLE_OK;
    bool paused = false;
    unsigned long long activity = 0; // bytes of headers and body seen, to tell a stall from progress

    // Body stream: `buffer` holds the bytes from stream offset `buffer_start`; `pos` is the next to read.
    std::string buffer;
    long long buffer_start = 0;
    long long pos = 0;
    // A reader's own memory that the body is copied into directly while the buffer is empty, so that a
    // download copies each byte once on its way to the file.
    char* sink = nullptr;
    size_t sink_room = 0;
    size_t sink_filled = 0;
    // A file the body is written into as it arrives (download_to_file), and the errno of a failed write.
    int file_fd = -1;
    int file_errno = 0;

    ~Transfer() {
        if (multi && easy && attached) curl_multi_remove_handle(multi, easy);
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
        if (header_list) curl_slist_free_all(header_list);
    }

    size_t unread() const { return buffer.size() - static_cast<size_t>(pos - buffer_start); }

    static size_t on_header(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        const std::string_view line(data, size * count);
        t->activity += line.size();
        if (line.starts_with("HTTP/")) {
            // Every answer (an interim 1xx, the real one) starts again with its own status line.
            t->headers.clear();
        }
        if (t->headers.size() + line.size() > (1u << 20)) return 0; // a header block no server needs
        t->headers.append(line);
        if (line == "\r\n" || line == "\n") {
            const int status = netresp::parse_status_line(t->headers);
            if (status < 100 || status > 199) t->head_done = true;
        }
        return line.size();
    }

    static size_t on_body(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        const size_t n = size * count;
        t->head_done = true;
        if (t->file_fd >= 0) {
            if (const int err = write_all(t->file_fd, data, n)) {
                t->file_errno = err;
                return 0; // libcurl ends the transfer with a write error
            }
            t->pos += static_cast<long long>(n);
            t->activity += n;
            return n;
        }
        size_t taken = 0;
        if (t->sink && t->unread() == 0) {
            // Everything buffered has been read and the kept head lies behind: the buffer starts afresh.
            taken = std::min(n, t->sink_room - t->sink_filled);
            std::memcpy(t->sink + t->sink_filled, data, taken);
            t->sink_filled += taken;
            t->pos += static_cast<long long>(taken);
            t->activity += taken;
            t->buffer.clear();
            t->buffer_start = t->pos;
            if (taken == n) return n;
            data += taken;
        }
        if (t->unread() > kPauseAbove) {
            if (taken > 0) {
                // Part of this piece went to the reader already; libcurl gives a paused piece back whole, so
                // the rest is kept here instead.
                t->buffer.append(data, n - taken);
                t->activity += n - taken;
                return n;
            }
            t->paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        // Drop what has been read once the kept head is behind us, so the buffer never grows past a few MiB.
        const size_t consumed = static_cast<size_t>(t->pos - t->buffer_start);
        const bool past_head =
            t->buffer_start + static_cast<long long>(t->buffer.size()) > static_cast<long long>(kKeepHead);
        if (past_head && consumed == t->buffer.size()) {
            t->buffer.clear();
            t->buffer_start = t->pos;
        } else if (past_head && consumed > (1u << 20)) {
            t->buffer.erase(0, consumed);
            t->buffer_start = t->pos;
        }
        t->buffer.append(data, n - taken);
        t->activity += n - taken;
        return n;
    }

    void reset_answer() {
        headers.clear();
        head_done = false;
        done = false;
        result = CURLE_OK;
        paused = false;
        buffer.clear();
        buffer_start = 0;
        pos = 0;
    }

    void start() {
        if (attached) curl_multi_remove_handle(multi, easy);
        reset_answer();
        curl_multi_add_handle(multi, easy);
        attached = true;
    }

    void finish(CURLcode code) {
        done = true;
        result = code;
        if (attached) {
            curl_multi_remove_handle(multi, easy);
            attached = false;
        }
    }

    // Drives the transfer until `ready()` holds, the transfer ends, or nothing arrives for `stall_ms`.
    template <class Ready> void pump(Ready ready, int stall_ms) {
        auto last_progress = Clock::now();
        unsigned long long seen = activity;
        while (!ready() && !done) {
            if (paused && unread() <= kPauseAbove / 2) {
                paused = false;
                curl_easy_pause(easy, CURLPAUSE_CONT);
            }
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) finish(msg->data.result);
            }
            if (done || ready()) break;
            if (paused) {
                // Our own pause is no stall: the reader asked for more than waits, so let more in.
                paused = false;
                curl_easy_pause(easy, CURLPAUSE_CONT);
                continue;
            }
            curl_multi_poll(multi, nullptr, 0, 20, nullptr);
            if (activity != seen) {
                seen = activity;
                last_progress = Clock::now();
            } else if (Clock::now() - last_progress >= std::chrono::milliseconds(stall_ms)) {
                finish(CURLE_OPERATION_TIMEDOUT);
            }
        }
    }
};

CNet::CNet(const CNetOptions& options) : options_(options) {
    SharedState::get();
}

CNet::~CNet() {
    close();
}

int CNet::fail(int code) {
    code_ = code;
    close();
    return -1;
}

void CNet::close() {
    transfer_.reset();
}

int CNet::open_url(std::u16string_view url, std::u16string_view suffix, CNetCookieSource* cookies,
                   const CNetCookie* explicit_cookie) {
    code_ = 0;
    close();
    if (url.starts_with(u"https:")) secure_ = true;
    netresp::split_url(url, server_, object_);
    object_ += suffix;
    std::u16string full(url);
    full += suffix;
    if (cookies && cookies->apply_cookie(full) != 0) code_ = net_code::kCookieFailed;
    if (explicit_cookie && !explicit_cookie->name.empty() && !explicit_cookie->value.empty())
        net_set_cookie(full, explicit_cookie->name, explicit_cookie->value);
    return 0;
}

int CNet::send_request(unsigned flags, std::u16string_view header_block, std::u16string_view verb) {
    (void)flags; // kFlagReload: nothing here keeps a cache, so every request already goes to the server
    close();
    auto t = std::make_unique<Transfer>();
    t->easy = curl_easy_init();
    t->multi = curl_multi_init();
    if (!t->easy || !t->multi) return fail(net_code::kSendFailed);
    t->url = std::string(secure_ ? "https://" : "http://") + to_utf8(server_) + to_utf8(object_);
    t->verb = to_utf8(verb);

    CURL* e = t->easy;
    curl_easy_setopt(e, CURLOPT_URL, t->url.c_str());
    curl_easy_setopt(e, CURLOPT_SHARE, SharedState::get().share());
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, ""); // the cookie engine on, fed by the shared store
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connect_timeout_ms));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Microsoft Internet Browser");
    if (!options_.ca_file.empty()) {
        // CURLOPT_CAINFO alone would replace the system's store; the system's folder keeps it trusted too.
        curl_easy_setopt(e, CURLOPT_CAINFO, to_utf8(options_.ca_file).c_str());
        curl_easy_setopt(e, CURLOPT_CAPATH, system_ca_path().c_str());
    }
    switch (options_.proxy_mode) {
    case CNetOptions::kProxySystem:
        break; // libcurl reads http_proxy, https_proxy and no_proxy itself
    case CNetOptions::kProxyNamed:
        if (!options_.proxy.empty()) {
            curl_easy_setopt(e, CURLOPT_PROXY, to_utf8(options_.proxy).c_str());
            curl_easy_setopt(e, CURLOPT_NOPROXY, ""); // no bypass list, whatever no_proxy says
            break;
        }
        [[fallthrough]];
    default:
        curl_easy_setopt(e, CURLOPT_PROXY, "");
        break;
    }
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Transfer::on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::on_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());

    // The user's header block; a name already present is not added again.
    const std::string block = to_utf8(header_block);
    size_t at = 0;
    while (at < block.size()) {
        size_t end = block.find('\n', at);
        if (end == std::string::npos) end = block.size();
        std::string line = block.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (!netresp::is_valid_header_line(line)) return fail(net_code::kHeaderAddFailed);
        std::string name(netresp::header_name(line));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::find(t->header_names.begin(), t->header_names.end(), name) != t->header_names.end()) continue;
        t->header_names.push_back(name);
        t->header_list = curl_slist_append(t->header_list, line.c_str());
    }
    transfer_ = std::move(t);
    return 0;
}

int CNet::map_transfer_error() {
    bool pause = false;
    const int code = net_error_code(transfer_->result, &pause);
    if (pause) sleep_ms(options_.failure_pause_ms);
    return code;
}

int CNet::send(std::string_view body) {
    if (!transfer_) return fail(code_ ? code_ : net_code::kSendFailed);
    Transfer& t = *transfer_;
    CURL* e = t.easy;
    if (t.verb == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (t.verb == "POST") {
        t.post_body.assign(body);
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, t.post_body.data());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.post_body.size()));
    } else {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, t.verb.c_str());
    }
    // libcurl's own additions to a POST would change what the server sees; only the caller's headers go out.
    for (const char* name : {"content-type", "expect"}) {
        if (std::find(t.header_names.begin(), t.header_names.end(), name) == t.header_names.end()) {
            t.header_names.emplace_back(name);
            t.header_list = curl_slist_append(t.header_list, name[0] == 'c' ? "Content-Type:" : "Expect:");
        }
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.header_list);

    const int before = code_;
    attempts_ = 1;
    for (;;) {
        t.start();
        t.pump([&] { return t.head_done; }, options_.stall_timeout_ms);
        if (t.head_done) break;
        const int code = t.result == CURLE_OK ? net_code::kInvalidResponse : map_transfer_error();
        if (code != net_code::kTimeout || attempts_ > 2) return fail(code);
        code_ = code;
        ++attempts_;
    }
    code_ = before;
    headers_ = t.headers;
    status_ = netresp::parse_status_line(headers_);
    return 0;
}

int CNet::post_json(std::string_view body) {
    if (transfer_ && std::find(transfer_->header_names.begin(), transfer_->header_names.end(), "content-type") ==
                         transfer_->header_names.end()) {
        transfer_->header_names.emplace_back("content-type");
        transfer_->header_list = curl_slist_append(transfer_->header_list, "Content-type: application/json");
    }
    return send(body);
}

int CNet::post_form(std::string_view body) {
    if (transfer_ && std::find(transfer_->header_names.begin(), transfer_->header_names.end(), "content-type") ==
                         transfer_->header_names.end()) {
        transfer_->header_names.emplace_back("content-type");
        transfer_->header_list =
            curl_slist_append(transfer_->header_list, "Content-type: application/x-www-form-urlencoded");
    }
    return send(body);
}

int CNet::status_code() {
    const int status = netresp::parse_status_line(headers_);
    const int klass = netresp::status_class_code(status);
    if (klass != net_code::kNone) code_ = klass;
    return status;
}

long long CNet::content_length() {
    // The head of the answer is complete once send() returns, so a missing header stays missing: asking
    // again after a wait, as a platform layer with lazily parsed headers would need, cannot change it.
    std::string value;
    const long long length =
        netresp::find_header(headers_, "Content-Length", value) ? netresp::parse_content_length(value) : -1;
    if (length < 0) {
        code_ = net_code::kHeaderQueryFailed;
        return -1;
    }
    if (code_ == net_code::kHeaderQueryFailed) code_ = 0;
    return length;
}

int CNet::read_into(char* out, int size) {
    if (!transfer_ || size <= 0) return 0;
    Transfer& t = *transfer_;
    const auto want = static_cast<size_t>(size);
    size_t got = std::min(want, t.unread());
    if (got > 0) {
        std::memcpy(out, t.buffer.data() + (t.pos - t.buffer_start), got);
        t.pos += static_cast<long long>(got);
    }
    // Past the kept head the rest goes straight into `out`; within it, through the buffer.
    const bool direct = t.buffer_start + static_cast<long long>(t.buffer.size()) >= static_cast<long long>(kKeepHead);
    if (got < want && !t.done) {
        if (direct) {
            t.sink = out;
            t.sink_room = want;
            t.sink_filled = got;
            t.pump([&] { return t.sink_filled >= want || t.unread() > 0; }, options_.stall_timeout_ms);
            got = t.sink_filled;
            t.sink = nullptr;
        }
        if (got < want) {
            const size_t more = want - got;
            t.pump([&] { return t.unread() >= more; }, options_.stall_timeout_ms);
            const size_t n = std::min(more, t.unread());
            std::memcpy(out + got, t.buffer.data() + (t.pos - t.buffer_start), n);
            t.pos += static_cast<long long>(n);
            got += n;
        }
    }
    if (got > 0) return static_cast<int>(got);
    // The end of the data: a connection that closed before the announced length is an end like any other
    // here; the callers compare sizes. Errors of the transport fail the read.
    if (t.done && t.result != CURLE_OK && t.result != CURLE_PARTIAL_FILE) {
        code_ = map_transfer_error();
        return -1;
    }
    return 0;
}

int CNet::read_chunk(char* out, int size) {
    const int n = read_into(out, size);
    if (n < 0) close();
    return n;
}

int CNet::read_all(std::string& out) {
    out.clear();
    if (!transfer_) return fail(net_code::kSendFailed);
    std::vector<char> piece(64 * 1024);
    for (;;) {
        const int n = read_into(piece.data(), static_cast<int>(piece.size()));
        if (n < 0) {
            out.clear(); // half an answer must not pass for one
            return fail(code_);
        }
        if (n == 0) break;
        if (static_cast<long long>(out.size()) + n > options_.max_body_bytes) {
            out.clear();
            return fail(net_code::kTooLarge);
        }
        out.append(piece.data(), static_cast<size_t>(n));
    }
    // In memory nobody checks a size afterwards, so an answer cut short must not pass as a whole one.
    if (transfer_->result == CURLE_PARTIAL_FILE) {
        out.clear();
        transfer_->result = CURLE_PARTIAL_FILE;
        return fail(map_transfer_error());
    }
    return static_cast<int>(std::min<size_t>(out.size(), 0x7fffffff));
}

int CNet::seek(long long offset) {
    if (!transfer_ || offset < 0) return -1;
    Transfer& t = *transfer_;
    if (offset >= t.buffer_start && offset <= t.buffer_start + static_cast<long long>(t.buffer.size())) {
        t.pos = offset;
        return 0;
    }
    if (offset < t.buffer_start) return -1;
    std::vector<char> skip(64 * 1024);
    while (t.pos < offset) {
        const int n = read_into(skip.data(), static_cast<int>(std::min<long long>(offset - t.pos, 64 * 1024)));
        if (n <= 0) return -1;
    }
    return 0;
}

int CNet::read_head(std::string& out) {
    out.clear();
    if (!transfer_) {
        code_ = net_code::kEmptyAnswer;
        return -1;
    }
    const int before = code_;
    const long long start = transfer_->pos;
    out.resize(kHeadBytes);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int n = read_into(out.data(), kHeadBytes);
        if (n < 0) {
            out.clear();
            return -1;
        }
        if (n > 0) {
            out.resize(static_cast<size_t>(n));
            seek(start);
            code_ = before;
            return 0;
        }
        if (attempt == 0) sleep_ms(options_.head_retry_wait_ms);
    }
    out.clear();
    code_ = net_code::kEmptyAnswer;
    return -1;
}

int CNet::file_head_equals(std::u16string_view path, std::string_view bytes) {
    if (bytes.size() < static_cast<size_t>(kHeadBytes)) return 0;
    const int fd = ::open(to_fs_path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char head[kHeadBytes];
    size_t got = 0;
    while (got < sizeof head) {
        const ssize_t n = ::read(fd, head + got, sizeof head - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return got == sizeof head && std::memcmp(head, bytes.data(), sizeof head) == 0 ? 1 : 0;
}

int CNet::head_equals_file(std::u16string_view path) {
    std::string head;
    if (read_head(head) != 0) return code_ == net_code::kEmptyAnswer ? 0 : -1;
    return file_head_equals(path, head);
}

int CNet::sniff_extension(std::u16string& out) {
    out.clear();
    std::string head;
    if (read_head(head) != 0) {
        code_ = net_code::kUnknownExtension;
        return -1;
    }
    const std::string_view ext = netresp::sniff_extension(std::string_view(head).substr(0, 16));
    if (ext.empty()) return 1;
    out.assign(ext.begin(), ext.end());
    return 0;
}

int CNet::get_text(int mode, std::u16string& out, std::u16string_view url, std::u16string_view suffix,
                   std::u16string_view header_block, CNetCookieSource* cookies, const CNetCookie* explicit_cookie) {
    out.clear();
    open_url(url, suffix, cookies, explicit_cookie);
    if (send_request(kFlagReload, header_block, u"GET") != 0) return -1;
    if (send() != 0) return -1;
    std::string body;
    if (read_all(body) < 0) return -1;
    close();
    CCharW text;
    decode_document(body, mode == 1 ? kDocumentShiftJis : (mode == 3 ? kDocumentAuto : kDocumentUtf8), text);
    out.assign(text.view());
    return 0;
}

int CNet::fetch(std::u16string_view url, std::u16string_view suffix, std::u16string_view header_block,
                std::u16string_view verb, std::string_view body, CNetCookieSource* cookies, std::string& out) {
    out.clear();
    open_url(url, suffix, cookies);
    if (send_request(kFlagReload, header_block, verb) != 0) return -1;
    if (send(body) != 0) return -1;
    if (read_all(out) < 0) return -1;
    close();
    return 0;
}

int CNet::download_to_file(std::u16string_view path, std::u16string_view url, std::u16string_view header_block,
                           long long known_a, long long known_b, int* grew) {
    if (grew) *grew = 0;
    open_url(url);
    if (send_request(kFlagReload, header_block, u"GET") != 0) return -1;
    if (send() != 0) return -1;
    const int attempts = attempts_;
    if (status_code() != 200) return fail(code_);
    const long long length = content_length();
    if (length < 0) return fail(net_code::kHeaderQueryFailed);
    if (options_.max_file_bytes >= 0 && length > options_.max_file_bytes) return fail(net_code::kTooLarge);
    if (known_a >= 0 && length == known_a) {
        close();
        return -2;
    }
    if (known_b >= 0 && length == known_b) {
        close();
        return 0;
    }

    const std::filesystem::path fs_path = to_fs_path(path);
    const int fd = ::open(fs_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fail(net_code::kCannotOpenFile);
    // What is left of a failed download is no use to anyone: a half file under the caller's name would
    // pass for the real one.
    auto abandon = [&](int code) {
        ::close(fd);
        remove_file(path);
        return fail(code);
    };
    // What waits unread goes first; the rest is written by libcurl's callback as it arrives, as a plain
    // download tool writes it: one copy, no buffer of our own, and the socket drained while the disk works.
    Transfer& t = *transfer_;
    if (const size_t waiting = t.unread(); waiting > 0) {
        if (const int err = write_all(fd, t.buffer.data() + (t.pos - t.buffer_start), waiting))
            return abandon(file_error_code(err));
        t.pos += static_cast<long long>(waiting);
    }
    t.buffer.clear();
    t.buffer_start = t.pos;
    t.file_fd = fd;
    if (t.paused) {
        t.paused = false;
        curl_easy_pause(t.easy, CURLPAUSE_CONT);
    }
    t.pump([] { return false; }, options_.stall_timeout_ms);
    t.file_fd = -1;
    if (t.file_errno != 0) return abandon(file_error_code(t.file_errno));
    // A connection that closed before the announced length ends the data like any other end; the size check
    // below tells. Errors of the transport fail the download.
    if (t.result != CURLE_OK && t.result != CURLE_PARTIAL_FILE) return abandon(map_transfer_error());
    if (::close(fd) != 0) {
        remove_file(path);
        return fail(file_error_code(errno));
    }
    close();
    if (code_ != 0) {
        remove_file(path);
        return -1;
    }
    const long long size = file_size_of(path);
    if (size < 0) return fail(net_code::kDownloadedFileMissing);
    if (size != length) {
        if (!remove_file(path)) return fail(net_code::kBadFileDeleteFailed);
        return fail(net_code::kFileSizeMismatch);
    }
    if (grew && ((known_b > 0 && known_b < length) || (known_b < 0 && known_a > 0 && known_a < length))) *grew = 1;
    return attempts;
}

int CNet::download_via_temp(std::u16string_view final_path, std::u16string_view base_name, std::u16string_view url,
                            std::u16string_view header_block, long long known_a, long long known_b, int rename_mode,
                            int* grew, int* outcome, std::u16string* saved_as, const FileCheck& check) {
    if (outcome) *outcome = 0;
    if (saved_as) saved_as->clear();
    const std::u16string temp = temp_path_for(final_path, base_name);
    const int result = download_to_file(temp, url, header_block, known_a, known_b, grew);
    if (result <= 0) return result;
    if (check) {
        if (const int bad = check(temp); bad != 0) {
            remove_file(temp);
            code_ = bad;
            return -1;
        }
    }
    if (const int failed = move_into_place(temp, final_path, rename_mode, outcome, saved_as); failed != 0) {
        code_ = failed;
        return -1;
    }
    return result;
}

std::u16string CNet::temp_path_for(std::u16string_view final_path, std::u16string_view base_name) {
    const std::u16string folder = folder_of(final_path);
    std::u16string base(base_name);
    std::u16string temp = folder + base + u".tmp";
    for (int guard = 0; guard < 1000 && file_size_of(temp) == 0; ++guard) {
        base += u"_";
        temp = folder + base + u".tmp";
    }
    return temp;
}

int CNet::move_into_place(std::u16string_view temp, std::u16string_view final_path, int rename_mode, int* outcome,
                          std::u16string* saved_as) {
    if (outcome) *outcome = 0;
    if (saved_as) saved_as->clear();
    std::u16string target(final_path);
    int moved_outcome = 0;
    if (std::filesystem::exists(to_fs_path(final_path))) {
        if (rename_mode == kRenameKeepBoth) {
            target = free_numbered_name(final_path);
            moved_outcome = net_code::kSavedUnderOtherName;
        } else if (rename_mode == kRenameExistingAside) {
            const std::u16string aside = free_numbered_name(final_path);
            if (aside.empty() || rename_no_replace(final_path, aside) != 0) {
                remove_file(temp);
                return net_code::kExistingRenameFailed;
            }
            moved_outcome = net_code::kExistingRenamed;
        } else if (rename_mode == kRenameExistingToTrash) {
            if (move_to_trash(final_path) != 0) {
                remove_file(temp);
                return net_code::kExistingDeleteFailed;
            }
            moved_outcome = net_code::kExistingTrashed;
        }
    }
    const int err = rename_mode == kRenameReplace
                        ? (::rename(to_fs_path(temp).c_str(), to_fs_path(target).c_str()) == 0 ? 0 : errno)
                        : (target.empty() ? EEXIST : rename_no_replace(temp, target));
    if (err != 0) {
        remove_file(temp);
        return net_code::kRenameFailed;
    }
    if (outcome) *outcome = moved_outcome;
    if (saved_as) *saved_as = target;
    return 0;
}

int net_set_cookie(std::u16string_view url, std::u16string_view name, std::u16string_view value) {
    std::u16string server, object;
    netresp::split_url(url, server, object);
    std::string host = to_utf8(server);
    if (const size_t colon = host.rfind(':'); colon != std::string::npos && host.find(']') == std::string::npos)
        host.resize(colon);
    const std::string cookie_name = to_utf8(name), cookie_value = to_utf8(value);
    for (char c : cookie_name + cookie_value)
        if (c == ';' || c == '\r' || c == '\n' || c == '\t') return -1;
    if (host.empty() || cookie_name.empty()) return -1;
    CURL* e = curl_easy_init();
    if (!e) return -1;
    curl_easy_setopt(e, CURLOPT_SHARE, SharedState::get().share());
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
    // Netscape form: an exact host (no leading dot, no subdomains), any path, any scheme, no expiry.
    const std::string line = host + "\tFALSE\t/\tFALSE\t0\t" + cookie_name + "\t" + cookie_value;
    const CURLcode rc = curl_easy_setopt(e, CURLOPT_COOKIELIST, line.c_str());
    curl_easy_cleanup(e);
    return rc == CURLE_OK ? 0 : -1;
}

std::u16string net_cookie_value(std::u16string_view host, std::u16string_view name) {
    CURL* e = curl_easy_init();
    if (!e) return {};
    curl_easy_setopt(e, CURLOPT_SHARE, SharedState::get().share());
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
    curl_slist* cookies = nullptr;
    std::u16string found;
    const std::string want_host = to_utf8(host), want_name = to_utf8(name);
    if (curl_easy_getinfo(e, CURLINFO_COOKIELIST, &cookies) == CURLE_OK) {
        for (curl_slist* c = cookies; c; c = c->next) {
            // domain, tailmatch, path, secure, expires, name, value
            std::vector<std::string_view> fields;
            std::string_view rest(c->data);
            for (int i = 0; i < 6; ++i) {
                const size_t tab = rest.find('\t');
                if (tab == std::string_view::npos) break;
                fields.push_back(rest.substr(0, tab));
                rest.remove_prefix(tab + 1);
            }
            if (fields.size() != 6) continue;
            std::string_view domain = fields[0];
            if (domain.starts_with("#HttpOnly_")) domain.remove_prefix(10);
            if (domain.starts_with(".")) domain.remove_prefix(1);
            if (domain == want_host && fields[5] == want_name) found = from_utf8(rest);
        }
        curl_slist_free_all(cookies);
    }
    curl_easy_cleanup(e);
    return found;
}

void net_clear_cookies() {
    CURL* e = curl_easy_init();
    if (!e) return;
    curl_easy_setopt(e, CURLOPT_SHARE, SharedState::get().share());
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(e, CURLOPT_COOKIELIST, "ALL");
    curl_easy_cleanup(e);
}

std::vector<std::string> net_cookie_lines() {
    std::vector<std::string> lines;
    CURL* e = curl_easy_init();
    if (!e) return lines;
    curl_easy_setopt(e, CURLOPT_SHARE, SharedState::get().share());
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
    curl_slist* cookies = nullptr;
    if (curl_easy_getinfo(e, CURLINFO_COOKIELIST, &cookies) == CURLE_OK) {
        for (curl_slist* c = cookies; c; c = c->next)
            lines.emplace_back(c->data);
        curl_slist_free_all(cookies);
    }
    curl_easy_cleanup(e);
    return lines;
}

int net_add_cookie_line(std::string_view line) {
    size_t tabs = 0;
    for (char c : line) {
        if (c == '\r' || c == '\n' || c == '\0') return -1;
        tabs += c == '\t';
    }
    // libcurl would take a "Set-Cookie:" header line as well; only the file form is meant here.
    if (tabs != 6) return -1;
    CURL* e = curl_easy_init();
    if (!e) return -1;
    curl_easy_setopt(e, CURLOPT_SHARE, SharedState::get().share());
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
    const std::string copy(line);
    const CURLcode rc = curl_easy_setopt(e, CURLOPT_COOKIELIST, copy.c_str());
    curl_easy_cleanup(e);
    return rc == CURLE_OK ? 0 : -1;
}

void net_debug_dump(const CNetOptions& options, std::u16string_view name, std::string_view bytes) {
    if (!options.debug) return;
    std::u16string path = options.debug_folder;
    if (!path.empty() && path.back() != u'/') path += u'/';
    std::u16string file(name);
    // A name comes from the program, never from an answer, but keep it inside the folder whatever it holds.
    std::replace(file.begin(), file.end(), u'/', u'／');
    path += u"デバッグモード：" + file;
    CFileSP writer;
    writer.write(path, bytes, CFileSP::kOverwrite);
}

} // namespace quippet
