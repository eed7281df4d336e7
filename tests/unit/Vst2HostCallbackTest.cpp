#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "OutputCapture.h"
#include "scan/vst2/Vst2HostCallback.h"

namespace {

struct CallbackResult {
    intptr_t answer;
    std::string output;
};

CallbackResult Call(int32_t opcode, void* ptr = nullptr) {
    OutputCapture capture;
    intptr_t answer = Vst2HostCallback(nullptr, opcode, 0, 0, ptr, 0.0f);
    return {answer, capture.Finish()};
}

CallbackResult CanDo(const char* query) {
    return Call(audioMasterCanDo, const_cast<char*>(query));
}

std::string Narrow(const WideString& text) {
    std::string narrow;
    for (const wchar_t* c = text.Chars(); *c; ++c) narrow.push_back(static_cast<char>(*c));
    return narrow;
}

std::string UpperCase(const char* text) {
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

void ExpectCanDo(const std::string& query) {
    CallbackResult result = CanDo(query.c_str());
    EXPECT_EQ(result.answer, 1) << query;
    EXPECT_EQ(result.output, "info:Query host can do: '" + query + "'\n");
}

TEST(HostCallbackCanDo, AnswersEveryCapabilityIgnoringAsciiCase) {
    for (const char* capability : kHostCapabilities) {
        ExpectCanDo(capability);
        ExpectCanDo(UpperCase(capability));
    }
    // What plugins ask for most, as they spell it.
    for (const char* query : {"sendVstEvents", "receiveVstMidiEvent", "ShellCategory"}) {
        ExpectCanDo(query);
    }
}

TEST(HostCallbackCanDo, RefusesWhatIsNoCapability) {
    struct Case {
        const char* query;
        const char* line;
    } cases[] = {
        {"", "info:Query host can do: ''\n"},
        {"receiveVstTimeInfo", "info:Query host can do: 'receiveVstTimeInfo'\n"},
        {"sizeWindowX", "info:Query host can do: 'sizeWindowX'\n"},
        {"sizeWindo", "info:Query host can do: 'sizeWindo'\n"},
        {"sizeWindow ", "info:Query host can do: 'sizeWindow '\n"},
    };
    for (const Case& c : cases) {
        CallbackResult result = CanDo(c.query);
        EXPECT_EQ(result.answer, 0) << c.query;
        EXPECT_EQ(result.output, c.line);
    }
}

TEST(HostCallbackCanDo, NullQueryIsRefusedAndLoggedAsEmpty) {
    CallbackResult result = CanDo(nullptr);
    EXPECT_EQ(result.answer, 0);
    EXPECT_EQ(result.output, "info:Query host can do: ''\n");
}

TEST(HostCallbackOpcodes, AnsweredOpcodesLogOneLine) {
    struct Case {
        int32_t opcode;
        intptr_t answer;
        const char* line;
    } cases[] = {
        {0, 0, "info:Audio master callback: 0 - audioMasterAutomate\n"},
        {1, 2400, "info:Audio master callback: 1 - audioMasterVersion\n"},
        {14, 1, "info:Audio master callback: 14 - audioMasterNeedIdle\n"},
        {16, 44100, "info:Audio master callback: 16 - audioMasterGetSampleRate\n"},
        {17, 512, "info:Audio master callback: 17 - audioMasterGetBlockSize\n"},
        {23, 4, "info:Audio master callback: 23 - audioMasterGetCurrentProcessLevel\n"},
        {34, 3, "info:Audio master callback: 34 - audioMasterGetVendorVersion\n"},
    };
    for (const Case& c : cases) {
        CallbackResult result = Call(c.opcode);
        EXPECT_EQ(result.answer, c.answer) << c.opcode;
        EXPECT_EQ(result.output, c.line);
    }
}

TEST(HostCallbackOpcodes, UnansweredOpcodesAreWarnedAboutAndAnsweredZero) {
    struct Case {
        int32_t opcode;
        const char* lines;
    } cases[] = {
        {5,
         "info:Audio master callback: 5 - <unknown>\n"
         "warn:Unhandled audioMaster opCode - 5\n"},
        {7,
         "info:Audio master callback: 7 - audioMasterGetTime\n"
         "warn:Unhandled audioMaster opCode - 7\n"},
        {13,
         "info:Audio master callback: 13 - audioMasterIOChanged\n"
         "warn:Unhandled audioMaster opCode - 13\n"},
        {49,
         "info:Audio master callback: 49 - audioMasterGetInputSpeakerArrangement\n"
         "warn:Unhandled audioMaster opCode - 49\n"},
        {50,
         "info:Audio master callback: 50 - <unknown>\n"
         "warn:Unhandled audioMaster opCode - 50\n"},
        {100,
         "info:Audio master callback: 100 - <unknown>\n"
         "warn:Unhandled audioMaster opCode - 100\n"},
        {-1,
         "info:Audio master callback: -1 - <unknown>\n"
         "warn:Unhandled audioMaster opCode - -1\n"},
        {INT32_MIN,
         "info:Audio master callback: -2147483648 - <unknown>\n"
         "warn:Unhandled audioMaster opCode - -2147483648\n"},
    };
    for (const Case& c : cases) {
        CallbackResult result = Call(c.opcode);
        EXPECT_EQ(result.answer, 0) << c.opcode;
        EXPECT_EQ(result.output, c.lines);
    }
}

TEST(HostCallbackOpcodes, EffectArgumentIsNeverRead) {
    AEffect* bogus = reinterpret_cast<AEffect*>(static_cast<uintptr_t>(0x10));
    OutputCapture capture;
    EXPECT_EQ(Vst2HostCallback(bogus, audioMasterVersion, 7, -3, nullptr, 1.5f), 2400);
    EXPECT_EQ(capture.Finish(), "info:Audio master callback: 1 - audioMasterVersion\n");
}

TEST(HostCallbackState, CurrentIdIsTheShellIdSignExtended) {
    const char* line = "info:Audio master callback: 2 - audioMasterCurrentId\n";
    CurrentShellId = 0x12345678;
    CallbackResult plain = Call(audioMasterCurrentId);
    CurrentShellId = static_cast<int32_t>(0x89ABCDEFu);
    CallbackResult topBit = Call(audioMasterCurrentId);
    CurrentShellId = 0;
    CallbackResult outside = Call(audioMasterCurrentId);

    EXPECT_EQ(plain.answer, 0x12345678);
    EXPECT_EQ(topBit.answer, static_cast<intptr_t>(INT64_C(-1985229329)));
    EXPECT_EQ(static_cast<uint64_t>(topBit.answer), UINT64_C(0xFFFFFFFF89ABCDEF));
    EXPECT_EQ(outside.answer, 0);
    EXPECT_EQ(plain.output, line);
    EXPECT_EQ(topBit.output, line);
}

TEST(HostCallbackState, WantMidiSetsTheFlagAndKeepsIt) {
    WantsMidiFlag = false;
    CallbackResult first = Call(audioMasterWantMidi);
    EXPECT_TRUE(WantsMidiFlag);
    CallbackResult second = Call(audioMasterWantMidi);
    EXPECT_TRUE(WantsMidiFlag);
    WantsMidiFlag = false;

    EXPECT_EQ(first.answer, 0);
    EXPECT_EQ(second.answer, 0);
    EXPECT_EQ(first.output, "info:Audio master callback: 6 - audioMasterWantMidi\n");
    EXPECT_EQ(second.output, first.output);
}

TEST(HostCallbackState, OtherOpcodesLeaveTheFlagAlone) {
    WantsMidiFlag = false;
    const int32_t opcodes[] = {0, 1, 2, 5, 7, 14, 37, 100};
    for (int32_t opcode : opcodes) Call(opcode);
    EXPECT_FALSE(WantsMidiFlag);
}

class HostCallbackStrings : public testing::Test {
protected:
    // Filled with a marker so that every byte the callback writes shows.
    void SetUp() override { std::memset(buffer_, 0x5A, sizeof buffer_); }

    void ExpectCopied(const char* text) {
        size_t length = std::strlen(text);
        EXPECT_EQ(std::string(buffer_, length), text);
        EXPECT_EQ(buffer_[length], '\0');
        for (size_t i = length + 1; i < sizeof buffer_; ++i) {
            ASSERT_EQ(buffer_[i], 0x5A) << "byte " << i << " was written";
        }
    }

    char buffer_[64];
};

TEST_F(HostCallbackStrings, VendorIsCopiedWithItsNulAndNothingMore) {
    CallbackResult result = Call(audioMasterGetVendorString, buffer_);
    EXPECT_EQ(result.answer, 1);
    EXPECT_EQ(result.output, "info:Audio master callback: 32 - audioMasterGetVendorString\n");
    ExpectCopied("Vorlix Software");
}

TEST_F(HostCallbackStrings, ProductIsCopiedWithItsNulAndNothingMore) {
    CallbackResult result = Call(audioMasterGetProductString, buffer_);
    EXPECT_EQ(result.answer, 1);
    EXPECT_EQ(result.output, "info:Audio master callback: 33 - audioMasterGetProductString\n");
    ExpectCopied("Marlowind");
}

TEST(HostCallbackNullBuffer, StringOpcodesAnswerZeroButStillLog) {
    CallbackResult vendor = Call(audioMasterGetVendorString, nullptr);
    CallbackResult product = Call(audioMasterGetProductString, nullptr);
    EXPECT_EQ(vendor.answer, 0);
    EXPECT_EQ(product.answer, 0);
    EXPECT_EQ(vendor.output, "info:Audio master callback: 32 - audioMasterGetVendorString\n");
    EXPECT_EQ(product.output, "info:Audio master callback: 33 - audioMasterGetProductString\n");
}

TEST(AudioMasterOpcodeName, SpotRowsAndBothEdgesAreNamed) {
    struct Row {
        int32_t opcode;
        const char* name;
    } rows[] = {
        {0, "audioMasterAutomate"}, {4, "audioMasterPinConnected"},
        {6, "audioMasterWantMidi"}, {23, "audioMasterGetCurrentProcessLevel"},
        {37, "audioMasterCanDo"},   {49, "audioMasterGetInputSpeakerArrangement"},
    };
    for (const Row& row : rows) EXPECT_EQ(Narrow(AudioMasterOpcodeName(row.opcode)), row.name);
}

TEST(AudioMasterOpcodeName, FortyNineOpcodesHaveNames) {
    int named = 0;
    for (int32_t opcode = -8; opcode < 64; ++opcode) {
        named += Narrow(AudioMasterOpcodeName(opcode)) == "<unknown>" ? 0 : 1;
    }
    EXPECT_EQ(named, 49);
}

TEST(AudioMasterOpcodeName, EverythingElseIsUnknown) {
    const int32_t unnamed[] = {5, 50, -1, INT32_MAX, INT32_MIN};
    for (int32_t opcode : unnamed) {
        EXPECT_EQ(Narrow(AudioMasterOpcodeName(opcode)), "<unknown>") << opcode;
    }
}

}  // namespace
