#include <gtest/gtest.h>

#include <thread>

#include "OutputCapture.h"
#include "channel/DumpLock.h"
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

// A thread that ends holding the lock, entered twice and left once, leaves
// it to the next thread that writes a line; lines written before it ended
// and after are whole.
TEST(OutputChannel, ALockLeftByAnEndedThreadIsTakenOver) {
    OutputCapture capture;
    std::thread([] {
        EnterDumpLock();
        WriteInfo(L"first\n");
        EnterDumpLock();
        LeaveDumpLock();
    }).join();
    WriteInfo(L"second\n");
    EXPECT_EQ(capture.Finish(), "info:first\ninfo:second\n");
}

}  // namespace
