#include "cli/CommandArgs.h"

#include <gtest/gtest.h>

#include "tests/text/TempFolder.h"
#include "text/Encoding.h"

namespace quippet::cli {
namespace {

struct Parsed {
    bool ok = false;
    std::string error;
    std::vector<std::string> inputs;
    std::string trace; ///< what the handlers saw, in order
};

Parsed parse(CommandArgs& args, const std::vector<std::string>& given) {
    Parsed p;
    p.ok = args.parse(given, p.inputs, p.error);
    return p;
}

TEST(CommandArgs, OptionsInOrderAndWhatIsRefused) {
    struct Case {
        std::string prefix;
        std::vector<std::string> args;
        bool ok;
        std::string error;
        std::vector<std::string> inputs;
        std::string trace;
    };
    const Case cases[] = {
        {"--", {"a", "--flag", "--value", "v", "b"}, true, "", {"a", "b"}, "flag value=v "},
        // A valued option with nothing after it is no option at all.
        {"--", {"a", "--value"}, false, "unknown argument --value", {"a"}, ""},
        // The value is taken whatever it looks like.
        {"--", {"--value", "--flag"}, true, "", {}, "value=--flag "},
        {"--", {"-x", "--bogus"}, false, "unknown argument --bogus", {"-x"}, ""},
        {"-", {"-x"}, false, "unknown argument -x", {}, ""},
        // The first refusal wins; nothing after it is read.
        {"--", {"--value", "bad", "--flag"}, false, "bad value", {}, ""},
        {"", {"plain"}, false, "unknown argument plain", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix + " " + (c.args.empty() ? "" : c.args.front()));
        std::string trace;
        CommandArgs args(c.prefix);
        args.flag("--flag", [&] { trace += "flag "; }).value("--value", [&](const std::string& v, std::string& e) {
            if (v == "bad") {
                e = "bad value";
                return false;
            }
            trace += "value=" + v + " ";
            return true;
        });
        const Parsed p = parse(args, c.args);
        EXPECT_EQ(p.ok, c.ok);
        EXPECT_EQ(p.error, c.error);
        EXPECT_EQ(p.inputs, c.inputs);
        EXPECT_EQ(trace, c.trace);
    }
}

TEST(CommandArgs, SharedFirstPassAndTheTypedOptions) {
    // A first pass keeps what it does not know for the command's own options.
    std::u16string folder;
    CommandArgs common;
    common.text("--folder", folder).pass_unknown();
    Parsed first = parse(common, {"--method", "x", "--folder", "/f", "words"});
    EXPECT_TRUE(first.ok);
    EXPECT_EQ(folder, u"/f");
    EXPECT_EQ(first.inputs, (std::vector<std::string>{"--method", "x", "words"}));

    int entry = -1;
    std::u16string dir;
    test::TempFolder temp;
    CommandArgs typed("-");
    typed.entry("--entry", entry).folder("--out-dir", dir);
    EXPECT_TRUE(parse(typed, {"--entry", "12", "--out-dir", to_utf8(temp.path().u16string())}).ok);
    EXPECT_EQ(entry, 12);
    EXPECT_EQ(dir, temp.path().u16string());
    for (const char* bad : {"", "12345", "1x", "-1"})
        EXPECT_EQ(parse(typed, {"--entry", bad}).error, "--entry needs a number") << bad;
    EXPECT_EQ(parse(typed, {"--out-dir", to_utf8(temp.path().u16string()) + "/none"}).error,
              to_utf8(temp.path().u16string()) + "/none is not a folder");
}

} // namespace
} // namespace quippet::cli
