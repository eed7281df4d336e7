// Runs crash-fault as a real process and checks its exit code and the dump
// file it leaves behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/ArgumentQuoting.h"
#include "host/ServerProcess.h"
#include "platform/KernelHandles.h"
#include "protocol/Protocol.h"
#include "support/ScanPluginsSupport.h"

namespace {

using protocol::kCrashExitCode;
constexpr DWORD kMinidumpExceptionStream = 6;

struct CrashRun {
    DWORD exitCode = 0;
    std::vector<DWORD> faultingThreads;
    std::string output;
    SYSTEMTIME started;
    SYSTEMTIME ended;
};

std::vector<DWORD> ParseThreadIds(const std::string& text) {
    std::vector<DWORD> ids;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        if (std::isdigit(static_cast<unsigned char>(text[start]))) {
            ids.push_back(static_cast<DWORD>(std::stoul(text.substr(start, end - start))));
        }
    }
    return ids;
}

// Starts crash-fault in workingDirectory, with no dump directory argument
// when dumpDirectory is null, and waits for it to end. Its output is read
// while it runs: a line the crash filter writes is flushed, which waits for
// the reader.
CrashRun RunCrashProgram(const wchar_t* mode, const std::wstring* dumpDirectory,
                         const std::wstring& workingDirectory) {
    CrashRun run;
    std::wstring commandLine = QuoteArgument(ProgramDirectory() + L"crash-fault.exe") + L" " + mode;
    if (dumpDirectory) commandLine += L" " + QuoteArgument(*dumpDirectory);

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readHandle = nullptr;
    HANDLE writeHandle = nullptr;
    EXPECT_TRUE(CreatePipe(&readHandle, &writeHandle, &inherit, 0));
    UniqueHandle readEnd(readHandle);
    UniqueHandle writeEnd(writeHandle);
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
    PROCESS_INFORMATION process{};
    GetLocalTime(&run.started);
    BOOL created = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  workingDirectory.c_str(), &startup, &process);
    EXPECT_TRUE(created) << "CreateProcessW failed: " << GetLastError();
    writeEnd.Close();
    std::string output;
    std::thread reader([&] {
        char chunk[256];
        DWORD count = 0;
        while (ReadFile(readEnd.Get(), chunk, sizeof chunk, &count, nullptr) && count > 0) {
            output.append(chunk, count);
        }
    });
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    if (created) {
        // Only a guard against a hanging child, never a measure of speed.
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "crash-fault did not end";
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
    }
    GetLocalTime(&run.ended);
    reader.join();
    run.faultingThreads = ParseThreadIds(output);
    run.output = output;
    return run;
}

uint64_t ToTicks(const SYSTEMTIME& time) {
    FILETIME fileTime;
    SystemTimeToFileTime(&time, &fileTime);
    return (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
}

// Every dump name the crash could have produced, one per second of the run.
std::vector<std::wstring> PossibleDumpNames(const CrashRun& run) {
    constexpr uint64_t kTicksPerSecond = 10000000;
    std::vector<std::wstring> names;
    uint64_t last = ToTicks(run.ended);
    for (uint64_t ticks = ToTicks(run.started) / kTicksPerSecond * kTicksPerSecond; ticks <= last;
         ticks += kTicksPerSecond) {
        FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SYSTEMTIME time;
        FileTimeToSystemTime(&fileTime, &time);
        wchar_t name[64] = {};
        // The runtime's own formatter, as the crash filter uses: "%s" is a wide text there.
        _snwprintf(name, 63, protocol::kDumpNameFormat, protocol::kDumpNamePrefix, time.wYear,
                   time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
        names.push_back(name);
    }
    return names;
}

std::vector<unsigned char> ReadDump(const std::wstring& path) {
    std::string bytes = ReadBytes(path);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

uint32_t ReadU32(const std::vector<unsigned char>& bytes, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, &bytes[offset], sizeof value);
    return value;
}

uint64_t ReadU64(const std::vector<unsigned char>& bytes, size_t offset) {
    uint64_t value = 0;
    std::memcpy(&value, &bytes[offset], sizeof value);
    return value;
}

// Checks the minidump layout by hand: header, stream directory and the
// exception stream of a null-pointer write on the given thread.
void ExpectExceptionDump(const std::vector<unsigned char>& dump,
                         const std::vector<DWORD>& faultingThreads) {
    ASSERT_GE(dump.size(), 32u);
    EXPECT_EQ(std::string(dump.begin(), dump.begin() + 4), "MDMP");
    uint32_t streamCount = ReadU32(dump, 8);
    uint32_t directoryRva = ReadU32(dump, 12);
    ASSERT_LE(directoryRva + 12ull * streamCount, dump.size());

    int exceptionStreams = 0;
    for (uint32_t i = 0; i < streamCount; ++i) {
        size_t entry = directoryRva + 12 * i;
        if (ReadU32(dump, entry) != kMinidumpExceptionStream) continue;
        ++exceptionStreams;
        uint32_t size = ReadU32(dump, entry + 4);
        uint32_t rva = ReadU32(dump, entry + 8);
        ASSERT_GE(size, 56u);
        ASSERT_LE(static_cast<uint64_t>(rva) + size, dump.size());
        EXPECT_NE(std::find(faultingThreads.begin(), faultingThreads.end(), ReadU32(dump, rva)),
                  faultingThreads.end())
            << "exception stream names thread " << ReadU32(dump, rva);
        EXPECT_EQ(ReadU32(dump, rva + 8), static_cast<uint32_t>(EXCEPTION_ACCESS_VIOLATION));
        ASSERT_GE(ReadU32(dump, rva + 32), 2u);
        EXPECT_EQ(ReadU64(dump, rva + 40), 1u) << "a write";
        EXPECT_EQ(ReadU64(dump, rva + 48), 0u) << "to address zero";
    }
    EXPECT_EQ(exceptionStreams, 1);
}

class CrashDump : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        DWORD length = GetTempPathW(MAX_PATH, temp);
        ASSERT_GT(length, 0u);
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = test->name();
        base_ = std::wstring(temp, length) + L"crash-dump-" +
                std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::wstring(name.begin(), name.end());
        ASSERT_TRUE(CreateDirectoryW(base_.c_str(), nullptr)) << GetLastError();
        dumps_ = base_ + L"\\dumps";
        ASSERT_TRUE(CreateDirectoryW(dumps_.c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(base_); }

    // Expects the one dump file of the run in directory and returns its bytes.
    std::vector<unsigned char> ExpectOneDump(const CrashRun& run, const std::wstring& directory) {
        std::vector<std::wstring> files = FilesIn(directory, L"*");
        EXPECT_EQ(files.size(), 1u);
        if (files.size() != 1) return {};
        std::vector<std::wstring> possible = PossibleDumpNames(run);
        EXPECT_NE(std::find(possible.begin(), possible.end(), files[0]), possible.end())
            << "unexpected dump name";
        return ReadDump(directory + L"\\" + files[0]);
    }

    // A filter that wrote with an empty or missing directory would have put
    // the file in the working directory or at the root of its drive.
    void ExpectNoDumpAnywhere(const CrashRun& run) {
        EXPECT_TRUE(FilesIn(base_, L"*").empty());
        EXPECT_TRUE(FilesIn(dumps_, L"*").empty());
        for (const std::wstring& name : PossibleDumpNames(run)) {
            std::wstring atRoot = base_.substr(0, 3) + name;
            EXPECT_EQ(GetFileAttributesW(atRoot.c_str()), INVALID_FILE_ATTRIBUTES);
            DeleteFileW(atRoot.c_str());
        }
    }

    std::wstring base_;
    std::wstring dumps_;
};

TEST_F(CrashDump, MainThreadFaultWritesOneDumpAndExitsNine) {
    CrashRun run = RunCrashProgram(L"main", &dumps_, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    ASSERT_EQ(run.faultingThreads.size(), 1u);
    ExpectExceptionDump(ExpectOneDump(run, dumps_), run.faultingThreads);
}

TEST_F(CrashDump, SecondThreadFaultNamesThatThread) {
    CrashRun run = RunCrashProgram(L"thread", &dumps_, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    ASSERT_EQ(run.faultingThreads.size(), 1u);
    ExpectExceptionDump(ExpectOneDump(run, dumps_), run.faultingThreads);
}

TEST_F(CrashDump, TwoFaultingThreadsLeaveOneWholeDump) {
    CrashRun run = RunCrashProgram(L"both", &dumps_, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    ASSERT_GE(run.faultingThreads.size(), 1u);
    ExpectExceptionDump(ExpectOneDump(run, dumps_), run.faultingThreads);
}

TEST_F(CrashDump, NoDirectoryExitsNineWithoutFile) {
    CrashRun run = RunCrashProgram(L"main", nullptr, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    ExpectNoDumpAnywhere(run);
}

TEST_F(CrashDump, EmptyDirectoryExitsNineWithoutFile) {
    std::wstring empty;
    CrashRun run = RunCrashProgram(L"main", &empty, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    ExpectNoDumpAnywhere(run);
}

TEST_F(CrashDump, MissingDirectoryExitsNineWithoutFile) {
    std::wstring missing = base_ + L"\\missing";
    CrashRun run = RunCrashProgram(L"thread", &missing, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(run.output.find("error:No crash dump written: the file could not be created\n"),
              std::string::npos)
        << run.output;
    ExpectNoDumpAnywhere(run);
}

TEST_F(CrashDump, DirectoryEndingInBackslashStillHoldsTheDump) {
    std::wstring withBackslash = dumps_ + L"\\";
    CrashRun run = RunCrashProgram(L"main", &withBackslash, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    ExpectExceptionDump(ExpectOneDump(run, dumps_), run.faultingThreads);
}

TEST_F(CrashDump, DirectoryOf240CharactersHoldsTheWholeName) {
    constexpr size_t kLength = 240;
    std::wstring directory = dumps_;
    ASSERT_LE(directory.size() + 2, kLength);
    while (directory.size() < kLength) {
        size_t remaining = kLength - directory.size();
        size_t component = remaining <= 101 ? remaining - 1 : 60;
        directory += L"\\" + std::wstring(component, L'd');
        ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr)) << GetLastError();
    }
    ASSERT_EQ(directory.size(), kLength);

    CrashRun run = RunCrashProgram(L"main", &directory, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    std::vector<unsigned char> dump = ExpectOneDump(run, directory);
    ExpectExceptionDump(dump, run.faultingThreads);
}

// Run on its own, with Wine's DLL overrides taking DbgHelp away from every
// program of the run as if the system had none; skipped in the other runs.
class CrashDumpWithoutDbgHelp : public CrashDump {};

TEST_F(CrashDumpWithoutDbgHelp, ExitsNineAndSaysNoDumpWasWritten) {
    if (HMODULE dbgHelp = LoadLibraryW(L"DbgHelp.dll")) {
        FreeLibrary(dbgHelp);
        GTEST_SKIP() << "DbgHelp is there";
    }
    CrashRun run = RunCrashProgram(L"thread", &dumps_, base_);
    EXPECT_EQ(run.exitCode, kCrashExitCode);
    EXPECT_NE(run.output.find("error:No crash dump written: DbgHelp could not be loaded\n"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(FilesIn(dumps_, L"*").empty());
}

}  // namespace
