#pragma once

#include <string>

#include <gtest/gtest.h>
#include <sys/types.h>

#include "net/Net.h"

namespace quippet::test {

/// The replacement service as a child process on free ports of 127.0.0.1, with its control endpoints.
class FakeService {
public:
    FakeService() = default;
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;
    ~FakeService() { stop(); }

    /// Starts the program and waits (bounded) for its ports; false with the reason in `error()`.
    bool start();
    void stop();

    int http_port() const { return http_port_; }
    int https_port() const { return https_port_; }
    int untrusted_port() const { return untrusted_port_; }
    /// The certificate to trust for https_port().
    const std::u16string& ca_file() const { return ca_file_; }
    const std::string& error() const { return error_; }

    /// "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
    std::u16string root(bool tls) const;

    /// Arms a fault for the next `count` requests of `path` ("/x" exactly, "/x*" as a prefix).
    bool fault(const std::string& path, const std::string& kind, long long param = 0, int count = 1);
    /// Clears faults, counters and sessions.
    bool reset();
    long long counter(const std::string& name);

    /// Client options that trust the service's certificate and ignore any proxy of the environment.
    CNetOptions options() const;

private:
    bool control(const std::string& path_and_query, std::string* answer = nullptr);

    pid_t pid_ = -1;
    int http_port_ = 0;
    int https_port_ = 0;
    int untrusted_port_ = 0;
    std::string state_dir_;
    std::u16string ca_file_;
    std::string error_;
};

/// A suite whose tests share one service; faults and counters are cleared before each test.
class FakeServiceTest : public ::testing::Test {
public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

protected:
    void SetUp() override;
    static FakeService& service() { return *service_; }

    /// A scratch folder of this test, removed afterwards.
    std::u16string scratch_dir();
    void TearDown() override;

private:
    static FakeService* service_;
    std::string scratch_;
};

/// Files in a folder (names only), sorted: what a download left behind.
std::vector<std::string> files_in(const std::u16string& folder);

} // namespace quippet::test
