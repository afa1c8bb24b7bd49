#include "cli/SettingsCommand.h"

#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "livelog/LiveLogSettingKeys.h"
#include "reconstruct/ReconstructSettingKeys.h"
#include "tests/support/TestText.h"
#include "text/AppHome.h"
#include "text/Encoding.h"
#include "tests/text/TempFolder.h"

namespace quippet::cli {
namespace {

using test::TempFolder;

struct CommandRun {
    int code;
    std::string out;
    std::string err;
};

CommandRun settings(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = run_settings_command(args, out, err);
    return {code, out.str(), err.str()};
}

class SettingsCommand : public ::testing::Test {
protected:
    void SetUp() override { set_app_home(from_utf8(home_.path().string())); }
    TempFolder home_;
};

TEST_F(SettingsCommand, ListShowsEveryTabSettingWithItsLabels) {
    ASSERT_EQ(settings({"set", "DividingDriver/CB52", "1"}).code, 0);
    const CommandRun run = settings({"list"});
    ASSERT_EQ(run.code, 0) << run.err;
    std::set<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    EXPECT_EQ(lines.size(), setting_catalogue().size());
    for (const SettingDef& def : setting_catalogue()) {
        if (def.key.section != section::kReconstruct && def.key.section != section::kLiveLog) continue;
        const std::string prefix = to_utf8(def.key.section) + "\t" + to_utf8(setting_key_name(def.key)) + "\t";
        const auto it = lines.lower_bound(prefix);
        ASSERT_TRUE(it != lines.end() && it->starts_with(prefix)) << prefix;
        EXPECT_TRUE(it->ends_with("\t" + test::u8(def.group) + "\t" + test::u8(def.label))) << *it;
    }
    EXPECT_TRUE(lines.contains("DividingDriver\tCB52\tswitch\t1\t0\t（5）重複コメ削除\tする"));
    EXPECT_TRUE(lines.contains("VuzirizIzeroz\tEN61\tnumber(1..999)\t4\t4\t変換\t行を超えるコメントは無視"));
}

TEST_F(SettingsCommand, SetThenGetRoundTrips) {
    struct Case {
        std::string key;
        std::string value;
        std::string shown;
    };
    const Case cases[] = {
        {"DividingDriver/EN74", "80", "80"},
        {"dividingdriver/cb52", "on", "1"},
        {"OptionDialog/EN7", "txt", "1"},
        {"OptionDialog/ES4", "(.+) 実況\t2", "(.+) 実況\\t2"},
        {"OptionDialog/AN1", "correct horse", "correct horse"},
        {"VuzirizIzeroz/ComboStr1", "", ""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(settings({"set", c.key, c.value}).code, 0) << c.key;
        const CommandRun get = settings({"get", c.key});
        EXPECT_EQ(get.code, 0) << c.key;
        EXPECT_EQ(get.out, c.shown + "\n") << c.key;
    }
    const CommandRun list = settings({"list"});
    EXPECT_NE(list.out.find("OptionDialog\tAN1\tprotected\t********\t"), std::string::npos);
    EXPECT_EQ(list.out.find("correct horse"), std::string::npos);
    EXPECT_EQ(settings({"get", "OptionDialog/ES3"}).out, "QuippetVellichor.log\n");
}

TEST_F(SettingsCommand, RejectsUnknownKeysBadValuesAndBadUsage) {
    const std::vector<std::vector<std::string>> usage = {
        {"set", "DividingDriver/CB80", "1"},
        {"get", "Nowhere/EN1"},
        {"set", "VuzirizIzeroz/EN61", "1000"},
        {"set", "DividingDriver/CB52", "2"},
        {"set", "OptionDialog/EN7", "doc"},
        {"get"},
        {"frobnicate"},
        {},
    };
    for (const auto& args : usage) {
        const CommandRun run = settings(args);
        EXPECT_EQ(run.code, 2) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(settings({"get", "VuzirizIzeroz/EN61"}).out, "4\n") << "a rejected value is not written";
}

TEST_F(SettingsCommand, ReportsAFileThatCannotBeWritten) {
    std::filesystem::create_directory(home_.path() / "QuippetVellichor.ini");
    test::write_bytes(home_ / u"QuippetVellichor.ini/x", "x");
    const CommandRun run = settings({"set", "DividingDriver/CB52", "1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("could not write"), std::string::npos) << run.err;
}

TEST_F(SettingsCommand, DocsPrintsTheMarkdown) {
    const CommandRun run = settings({"docs"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, render_settings_markdown());
}

TEST(SettingsSetOption, OverridesForOneRunOnly) {
    std::vector<std::string> args = {"in.xml", "--set", "DividingDriver/CB52=1", "--set=VuzirizIzeroz/ES0=a=b",
                                     "-o",     "--set", "OptionDialog/ES4= x "};
    CSettings s;
    std::string error;
    ASSERT_EQ(extract_set_options(args, s, error), 0) << error;
    EXPECT_EQ(args, (std::vector<std::string>{"in.xml", "-o"}));
    EXPECT_TRUE(s.on(RcSwitch::kDuplicates));
    EXPECT_EQ(s.text(WcText::kOutputName), u"a=b");
    EXPECT_EQ(s.text(OptText::kLiveNamePattern), u" x ");

    const std::string bad[] = {"DividingDriver/CB52", "DividingDriver/CB99=1", "VuzirizIzeroz/EN61=0", "=1",
                               "VuzirizIzeroz/EN61=abc"};
    for (const std::string& option : bad) {
        CSettings untouched;
        std::vector<std::string> more = {"x", "--set", option};
        error.clear();
        EXPECT_EQ(extract_set_options(more, untouched, error), 2) << option;
        EXPECT_FALSE(error.empty()) << option;
        EXPECT_EQ(more.size(), 3u) << option;
        EXPECT_EQ(untouched, CSettings()) << option;
    }
    std::vector<std::string> dangling = {"--set"};
    EXPECT_EQ(extract_set_options(dangling, s, error), 2);
}

} // namespace
} // namespace quippet::cli
