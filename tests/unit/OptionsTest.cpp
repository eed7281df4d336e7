#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/scan-plugins/Options.h"

namespace {

bool Parse(std::vector<std::wstring> arguments, Options& options, std::string& problem) {
    arguments.insert(arguments.begin(), L"scan-plugins.exe");
    std::vector<wchar_t*> argv;
    for (std::wstring& argument : arguments) argv.push_back(argument.data());
    return ParseOptions(static_cast<int>(argv.size()), argv.data(), options, problem);
}

TEST(Options, ValuesAreTakenAndEverythingElseIsAPath) {
    Options options;
    std::string problem;
    ASSERT_TRUE(Parse({L"--jobs",
                       L"3",
                       L"a",
                       L"--timeout",
                       L"2.5",
                       L"--out",
                       L"o.json",
                       L"--cache",
                       L"c.json",
                       L"--retry-failed",
                       L"-x",
                       L"--dumps",
                       L"d",
                       L"--server",
                       L"s.exe",
                       L"--format",
                       L"clap,vst3,vst2,clap",
                       L"--",
                       L"--help",
                       L"b"},
                      options, problem))
        << problem;
    EXPECT_EQ(options.paths, (std::vector<std::wstring>{L"a", L"-x", L"--help", L"b"}));
    EXPECT_EQ(options.jobs, 3u);
    EXPECT_EQ(options.timeoutMilliseconds, 2500u);
    EXPECT_EQ(options.out, L"o.json");
    EXPECT_EQ(options.cache, L"c.json");
    EXPECT_EQ(options.dumps, L"d");
    EXPECT_EQ(options.server, L"s.exe");
    EXPECT_TRUE(options.retryFailed);
    EXPECT_EQ(options.formats, (std::vector<protocol::PluginFormat>{
                                   protocol::PluginFormat::kClap, protocol::PluginFormat::kVst3,
                                   protocol::PluginFormat::kVst2}));
    EXPECT_FALSE(options.help);
    EXPECT_FALSE(options.listFolders);

    // No path: the standard folders, of every format.
    Options standard;
    ASSERT_TRUE(Parse({L"--list-folders"}, standard, problem)) << problem;
    EXPECT_TRUE(standard.listFolders);
    EXPECT_TRUE(standard.paths.empty());
    EXPECT_EQ(standard.formats, (std::vector<protocol::PluginFormat>{
                                    protocol::PluginFormat::kVst2, protocol::PluginFormat::kClap,
                                    protocol::PluginFormat::kVst3}));

    Options help;
    EXPECT_TRUE(Parse({L"--help"}, help, problem));
    EXPECT_TRUE(help.help);
}

TEST(Options, BadCommandLinesSayWhatIsWrong) {
    const struct {
        std::vector<std::wstring> arguments;
        std::string problem;
    } kCases[] = {
        {{L"--format", L"vst4", L"x"},
         "--format takes formats separated by commas (vst2, clap, vst3), not vst4"},
        {{L"--format", L"clap,", L"x"},
         "--format takes formats separated by commas (vst2, clap, vst3), not clap,"},
        {{L"--list-folders", L"x"}, "--list-folders takes no PATH"},
        {{L"--moduleinfo-only", L"--cache", L"c"}, "--moduleinfo-only does not go with --cache"},
        {{L"--jobs", L"0", L"x"}, "--jobs takes a whole number from 1 to 256, not 0"},
        {{L"--jobs", L"257", L"x"}, "--jobs takes a whole number from 1 to 256, not 257"},
        {{L"--jobs", L"-1", L"x"}, "--jobs takes a whole number from 1 to 256, not -1"},
        {{L"--jobs", L"2x", L"x"}, "--jobs takes a whole number from 1 to 256, not 2x"},
        {{L"--timeout", L"0", L"x"},
         "--timeout takes a number of seconds above 0 and up to 86400, not 0"},
        {{L"--timeout", L"nan", L"x"},
         "--timeout takes a number of seconds above 0 and up to 86400, not nan"},
        {{L"--timeout", L"86401", L"x"},
         "--timeout takes a number of seconds above 0 and up to 86400, not 86401"},
        {{L"x", L"--out"}, "--out needs a value"},
        {{L"--cache", L"", L"x"}, "--cache needs a value"},
        {{L"--frobnicate", L"x"}, "unknown option --frobnicate"},
        {{L"--out", L"C:\\Data\\Cache.JSON", L"--cache", L"c:\\data\\cache.json", L"x"},
         "--out C:\\Data\\Cache.JSON names the cache c:\\data\\cache.json; the records need "
         "a file of their own"},
        {{L"--cache", L"C:\\d\\c.json", L"--out", L"C:\\d\\e\\..\\C.json.JOURNAL", L"x"},
         "--out C:\\d\\e\\..\\C.json.JOURNAL names the cache's journal C:\\d\\c.json.journal; "
         "the records need a file of their own"},
    };
    for (const auto& each : kCases) {
        Options options;
        std::string problem;
        EXPECT_FALSE(Parse(each.arguments, options, problem));
        EXPECT_EQ(problem, each.problem);
    }
}

}  // namespace
