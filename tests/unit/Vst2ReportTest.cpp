#include <gtest/gtest.h>

#include "host/ReportJson.h"
#include "host/vst2/Vst2Report.h"

namespace {

std::string ReportWith(const std::string& members) {
    return "{\n  \"id\":        \"FFFFFFFF\",\n" + members +
           "  \"version\":   \"\",\n  \"error\":     \"\",\n  \"numInputs\": -1,\n"
           "  \"numOutputs\":2,\n  \"wantsMidi\":  false,\n  \"sendsMidi\": true,\n"
           "  \"platform\":  \"x64\",\n  \"audio64\":   false,\n  \"category\":  10,\n"
           "  \"synthEdit\": false,\n  \"shells\": {\n        \"80000001\": \"Hi, }\",\n"
           "        \"00000011\": \"\",\n  },\n}\n";
}

const std::string kPlainMembers =
    "  \"name\":      \"a,}\",\n  \"vendor\":    \"b, ]\",\n  \"product\":   \"\\\\\",\n";

TEST(Vst2Report, TrailingCommasGoAndCommasInTextsStay) {
    Vst2Report report;
    ASSERT_TRUE(ParseReport(ReportWith(kPlainMembers), report));
    EXPECT_EQ(report.id, 0xFFFFFFFFu);
    EXPECT_EQ(report.name, "a,}");
    EXPECT_EQ(report.vendor, "b, ]");
    EXPECT_EQ(report.product, "\\");
    EXPECT_EQ(report.numInputs, -1);
    EXPECT_TRUE(report.sendsMidi);
    ASSERT_EQ(report.shells.size(), 2u);
    EXPECT_EQ(report.shells[0], (ShellPlugin{0x80000001u, "Hi, }"}));
    EXPECT_EQ(report.shells[1], (ShellPlugin{0x11u, ""}));
    std::string text = ReportWith(kPlainMembers);
    ASSERT_TRUE(ParseReport(text.replace(text.find("FFFFFFFF"), 8, "a"), report));
    EXPECT_EQ(report.id, 0xAu);
}

TEST(Vst2Report, MalformedReportsAreRefused) {
    Vst2Report report;
    std::string good = ReportWith(kPlainMembers);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    EXPECT_FALSE(ParseReport(replaced("\"FFFFFFFF\"", "\"1FFFFFFFF\""), report));
    EXPECT_FALSE(ParseReport(replaced("\"FFFFFFFF\"", "\"FFFFFFFG\""), report));
    EXPECT_FALSE(ParseReport(replaced("\"FFFFFFFF\"", "-1"), report));
    for (const char* id : {"\"\"", "\"-1\"", "\"+1\"", "\"0x1\"", "\" 1\""}) {
        EXPECT_FALSE(ParseReport(replaced("\"FFFFFFFF\"", id), report)) << id;
    }
    EXPECT_FALSE(ParseReport(replaced("-1", "\"-1\""), report));
    EXPECT_FALSE(ParseReport(replaced("-1", "4294967295"), report));
    EXPECT_FALSE(ParseReport(replaced("\"80000001\"", "\"x\""), report));
    EXPECT_FALSE(ParseReport(replaced("  \"shells\": {", "  \"other\": {"), report));
    EXPECT_FALSE(ParseReport(replaced("  \"numInputs\": -1,\n", ""), report));
    EXPECT_FALSE(ParseReport(good.substr(0, good.size() - 3), report));
}

}  // namespace
