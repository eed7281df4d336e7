// A bundle's moduleinfo.json read from its text: what the makers' tool and
// JSON5 write, and what cannot be read; and the VST 2 ids class ids carry.
#include <gtest/gtest.h>

#include "tools/scan-plugins/ModuleInfo.h"

namespace {

struct ParseRow {
    std::string text;
    bool read;
    std::string firstName;  // of the first class when read, else the problem
};

const ParseRow kParseRows[] = {
    {R"({"Classes": [{"CID": "A", "Category": "C", "Name": "Plain",},],})", true, "Plain"},
    {R"({"Classes": [{"CID": "A", "Category": "C", "Name": "Say "Hi" Bob",}]})", true,
     "Say \"Hi\" Bob"},
    {R"({"Classes": [{"CID": "A", "Category": "C", "Name": "C:\Plugins\",}]})", true,
     "C:\\Plugins\\"},
    {"// c\n{Classes: [/* c */ {CID: 'A', Category: 'C', Name: 'It\\'s \\u00e9\\x41'}]}", true,
     "It's \xC3\xA9"
     "A"},
    {R"({Classes: [{CID: 'A', Category: 'C', Name: 'N', 'Class Flags': 0x11, Cardinality: +3}]})",
     true, "N"},
    {"\xEF\xBB\xBF{\"Classes\": []}", true, ""},
    {"", false, "no value at byte 0"},
    {"{\"Classes\": [] /* open", false, "a comment without its end at byte 15"},
    {"{\"Classes\": \"x", false, "a string without its end at byte 14"},
    {"{\"Classes\": [1 2]}", false, "an array element without ',' or ']' after it at byte 15"},
    {"[1]", false, "the text is no object"},
    {"{\"Name\": \"x\"}", false, "\"Classes\" is missing or no list"},
    {"{\"Classes\": [{\"CID\": \"A\", \"Name\": \"N\"}]}", false, "\"Category\" is missing"},
    {"{\"Classes\": [], \"Compatibility\": [{\"New\": \"A\"}]}", false,
     "a \"Compatibility\" entry is not a \"New\" id with a list of \"Old\" ids"},
    {std::string(40, '[') + std::string(40, ']'), false, "nested too deeply at byte 33"},
    {"{\"Classes\": []}" + std::string(kModuleInfoLimit, ' '), false, "larger than 1048576 bytes"},
};

TEST(ModuleInfo, ReadsWhatTheFormatAllowsAndTellsWhyNot) {
    for (const ParseRow& row : kParseRows) {
        ModuleInfo info;
        std::string problem;
        bool read = ParseModuleInfo(row.text, info, problem);
        EXPECT_EQ(read, row.read) << row.text.substr(0, 80) << ": " << problem;
        std::string seen = !read ? problem : info.classes.empty() ? "" : info.classes[0].name;
        EXPECT_EQ(seen, row.firstName) << row.text.substr(0, 80);
    }
    ModuleInfo info;
    std::string problem;
    ASSERT_TRUE(ParseModuleInfo(kParseRows[4].text, info, problem));
    EXPECT_EQ(info.classes[0].classFlags, 0x11u);
    EXPECT_EQ(info.classes[0].cardinality, 3);
}

struct ClassIdRow {
    const char* cid;
    bool derived;
    uint32_t vst2Id;
};

const ClassIdRow kClassIdRows[] = {
    {"565354416243646D792073796E746800", true, 0x41624364},  // as written
    {"4154535643626D64792073796E746800", true, 0x41624364},  // bytes in memory
    {"565345416243646D792073796E746800", false, 0},          // the controller's
    {"565354416243646D792073796E7468", false, 0},            // too short
    {"565354416243646D792073796E7468ZZ", false, 0},          // not hexadecimal
};

TEST(ModuleInfo, ClassIdsDerivedFromVst2IdsInEitherOrder) {
    for (const ClassIdRow& row : kClassIdRows) {
        uint32_t id = 0;
        EXPECT_EQ(Vst2IdOfClassId(row.cid, id), row.derived) << row.cid;
        if (row.derived) {
            EXPECT_EQ(id, row.vst2Id) << row.cid;
        }
    }
    EXPECT_EQ(OtherClassIdOrder("565354416243646D792073796E746800"),
              "4154535643626D64792073796E746800");
    EXPECT_EQ(Vst2IdText(0x41624364), "'AbCd'");
    EXPECT_EQ(Vst2IdText(0x00410AFF), "'\\x00A\\x0A\\xFF'");
}

}  // namespace
