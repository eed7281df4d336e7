#include <gtest/gtest.h>

#include "OutputCapture.h"
#include "channel/OutputChannel.h"

namespace {

TEST(OutputChannel, EachMessageIsOneLineWithItsChannelInUtf8) {
    OutputCapture capture;
    WriteInfo(L"Scanning plugin: '%s'\n", L"C:\\Caf\u00e9\\\xD83D\xDE00.dll");
    WriteInfo(L"Found shell: %.8X - %S\n", 0x1234, "Sub");
    WriteWarning(L"Unhandled audioMaster opCode - %i\n", -1);
    WriteError(L"%s\n", L"Bad magic");
    WriteReport(L"{\n");
    EXPECT_EQ(capture.Finish(),
              "info:Scanning plugin: 'C:\\Caf\xC3\xA9\\\xF0\x9F\x98\x80.dll'\n"
              "info:Found shell: 00001234 - Sub\n"
              "warn:Unhandled audioMaster opCode - -1\n"
              "error:Bad magic\n"
              ">:{\n");
}

}  // namespace
