#include "FakeServiceFixture.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "text/Encoding.h"

namespace quippet::test {

bool FakeService::start() {
    char dir_template[] = "/tmp/quippet-fakeservice-XXXXXX";
    if (!mkdtemp(dir_template)) {
        error_ = "mkdtemp failed";
        return false;
    }
    state_dir_ = dir_template;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return false;
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        execl(QUIPPET_FAKESERVICE_PATH, QUIPPET_FAKESERVICE_PATH, "--port", "0", "--state-dir", state_dir_.c_str(),
              "--max-seconds", "1800", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        error_ = "fork failed";
        return false;
    }
    // Three lines: the plain port, "https PORT", "untrusted PORT". Ten seconds is plenty even under ASan.
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::count(text.begin(), text.end(), '\n') < 3 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[256];
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    close(out[0]);
    std::istringstream lines(text);
    std::string label;
    lines >> http_port_ >> label >> https_port_ >> label >> untrusted_port_;
    if (http_port_ <= 0 || https_port_ <= 0 || untrusted_port_ <= 0) {
        error_ = "the service did not report its ports: " + text;
        stop();
        return false;
    }
    ca_file_ = from_utf8(state_dir_ + "/ca.pem");
    return true;
}

void FakeService::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        // The service ends within a few hundred milliseconds of SIGTERM; after five seconds it is killed.
        for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
            usleep(100'000);
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }
    if (!state_dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(state_dir_, ec);
        state_dir_.clear();
    }
}

std::u16string FakeService::root(bool tls) const {
    return from_utf8(std::string(tls ? "https://127.0.0.1:" : "http://127.0.0.1:") +
                     std::to_string(tls ? https_port_ : http_port_));
}

CNetOptions FakeService::options() const {
    CNetOptions options;
    options.proxy_mode = CNetOptions::kProxyDirect;
    options.ca_file = ca_file_;
    options.failure_pause_ms = 50; // the pauses' length is not under test; their codes are
    options.head_retry_wait_ms = 50;
    return options;
}

bool FakeService::control(const std::string& path_and_query, std::string* answer) {
    CNet net(options());
    std::string body;
    const int rc = net.fetch(root(false) + from_utf8(path_and_query), u"", u"", u"GET", {}, nullptr, body);
    if (answer) *answer = body;
    return rc == 0 && net.last_status() == 200;
}

bool FakeService::fault(const std::string& path, const std::string& kind, long long param, int count) {
    return control("/__control/fault?path=" + path + "&kind=" + kind + "&param=" + std::to_string(param) +
                   "&count=" + std::to_string(count));
}

bool FakeService::reset() {
    return control("/__control/reset");
}

long long FakeService::counter(const std::string& name) {
    std::string answer;
    std::string query = name;
    std::replace(query.begin(), query.end(), ' ', '+');
    if (!control("/__control/counter?name=" + query, &answer)) return -1;
    return std::atoll(answer.c_str());
}

FakeService* FakeServiceTest::service_ = nullptr;

void FakeServiceTest::SetUpTestSuite() {
    service_ = new FakeService;
    if (!service_->start()) ADD_FAILURE() << service_->error();
}

void FakeServiceTest::TearDownTestSuite() {
    delete service_;
    service_ = nullptr;
}

void FakeServiceTest::SetUp() {
    ASSERT_GT(service().http_port(), 0) << service().error();
    ASSERT_TRUE(service().reset());
}

std::u16string FakeServiceTest::scratch_dir() {
    if (scratch_.empty()) {
        char dir_template[] = "/tmp/quippet-net-test-XXXXXX";
        if (mkdtemp(dir_template)) scratch_ = dir_template;
    }
    return from_utf8(scratch_ + "/");
}

void FakeServiceTest::TearDown() {
    if (!scratch_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(scratch_, ec);
    }
}

std::vector<std::string> files_in(const std::u16string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(to_utf8(folder), ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quippet::test
