// Every fault the replacement service can produce, against the download of a file through its temporary
// name: the result code, and what is left in the folder. The table printed at the end is the matrix.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeServiceFixture.h"
#include "net/Net.h"
#include "net/NetCodes.h"
#include "text/Encoding.h"

namespace quippet::test {
namespace {

class NetFaultMatrix : public FakeServiceTest {};

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out.empty() ? "nothing" : out;
}

TEST_F(NetFaultMatrix, EveryFaultGivesItsCodeAndLeavesNoPartialFile) {
    struct Case {
        const char* fault;
        long long param;
        int count;
        int result;
        int code;
        std::vector<std::string> left;
    };
    const std::vector<std::string> none;
    const std::vector<std::string> done = {"v.bin"};
    const std::vector<Case> cases = {
        {"none", 0, 0, 1, 0, done},
        {"stall", 2500, 1, 2, 0, done},
        {"stall", 2500, 3, -1, net_code::kTimeout, none},
        {"stall-body", 50000, 1, -1, net_code::kTimeout, none},
        {"reset", 40000, 1, -1, net_code::kConnectionReset, none},
        {"truncate", 40000, 1, -1, net_code::kFileSizeMismatch, none},
        {"status", 403, 1, -1, net_code::kStatus403, none},
        {"status", 404, 1, -1, net_code::kStatus404, none},
        {"status", 429, 1, -1, net_code::kStatusClientOther, none},
        {"status", 500, 1, -1, net_code::kStatus500, none},
        {"status", 502, 1, -1, net_code::kStatus502, none},
        {"status", 503, 1, -1, net_code::kStatus503, none},
        {"partial", 0, 1, -1, 0, none},
        {"not-modified", 0, 1, -1, net_code::kStatusRedirect, none},
        {"slow", 5, 1, 1, 0, done},
        // The cut body matches its own Content-Length: only a size known beforehand can tell.
        {"wrong-length", 40000, 1, 1, 0, done},
        {"garbage", 0, 1, -1, net_code::kInvalidResponse, none},
    };
    std::string table = "| fault | result | code | left on disk |\n|---|---|---|---|\n";
    for (const bool tls : {false, true}) {
        for (const Case& c : cases) {
            if (tls && std::string(c.fault) == "garbage") continue; // raw bytes cannot pass through TLS
            const std::string label = std::string(c.fault) + (c.param ? " " + std::to_string(c.param) : "") +
                                      (c.count > 1 ? " x" + std::to_string(c.count) : "") + (tls ? " (https)" : "");
            SCOPED_TRACE(label);
            ASSERT_TRUE(service().reset());
            if (c.count > 0) {
                ASSERT_TRUE(service().fault("/bytes/100000", c.fault, c.param, c.count));
            }
            const std::u16string dir = scratch_dir() + from_utf8(std::to_string(table.size())) + u"/";
            std::filesystem::create_directories(to_utf8(dir));
            CNet net(service().options());
            const int result = net.download_via_temp(dir + u"v.bin", u"v", service().root(tls) + u"/bytes/100000",
                                                     u"Accept: */*\r\n", -1, -1, CNet::kRenameKeepBoth);
            EXPECT_EQ(result, c.result);
            EXPECT_EQ(net.code(), c.code);
            const auto left = files_in(dir);
            EXPECT_EQ(left, c.left);
            table += "| " + label + " | " + std::to_string(result) + " | " + std::to_string(net.code()) + " | " +
                     joined(left) + " |\n";
        }
    }
    {
        // A certificate nobody trusts fails the handshake before any byte of the answer.
        CNet net(service().options());
        const std::u16string dir = scratch_dir() + u"untrusted/";
        std::filesystem::create_directories(to_utf8(dir));
        const int result = net.download_via_temp(
            dir + u"u.bin", u"u",
            from_utf8("https://127.0.0.1:" + std::to_string(service().untrusted_port())) + u"/bytes/100000", u"", -1,
            -1, CNet::kRenameKeepBoth);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(net.code(), net_code::kConnectFailed);
        table += "| untrusted certificate (https) | " + std::to_string(result) + " | " + std::to_string(net.code()) +
                 " | " + joined(files_in(dir)) + " |\n";
    }
    {
        // An empty past-log answer is a well-formed answer: the client hands it over, its reader decides.
        ASSERT_TRUE(service().fault("/api/", "empty-pastlog", 0));
        CNet net(service().options());
        std::string body;
        EXPECT_EQ(net.fetch(service().root(false) + u"/api/", u"", u"", u"POST",
                            "<thread res_from=\"-1000\" when=\"1300000000\" waybackkey=\"wbk1000000009\" "
                            "thread=\"1000000009\" version=\"20061206\" scores=\"1\"/>",
                            nullptr, body),
                  0);
        EXPECT_EQ(body.find("<chat"), std::string::npos);
        EXPECT_NE(body.find("<thread resultcode=\"0\""), std::string::npos);
        table += "| empty-pastlog (comment POST) | 0 | " + std::to_string(net.code()) + " | answer without chat |\n";
    }
    std::cout << table;
}

} // namespace
} // namespace quippet::test
