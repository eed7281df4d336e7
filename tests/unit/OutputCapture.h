// Points the output channel at a real pipe while it lives. A reader thread
// drains the pipe, because flushing a pipe waits until its reader has read.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "app/OutputChannel.h"
#include "crash/CrashFilter.h"

class OutputCapture {
public:
    OutputCapture() {
        // Every line passes through the dump lock, which the server initialises first thing.
        static const bool dumpsInitialized = (InitializeCrashDumps(), true);
        static_cast<void>(dumpsInitialized);
        previous_ = GetOutputHandle();
        EXPECT_TRUE(CreatePipe(&read_, &write_, nullptr, 0));
        SetOutputHandle(write_);
        reader_ = std::thread([this] {
            char chunk[512];
            DWORD count = 0;
            while (ReadFile(read_, chunk, sizeof chunk, &count, nullptr) && count > 0) {
                text_.append(chunk, count);
            }
        });
    }
    ~OutputCapture() {
        if (reader_.joinable()) Finish();
    }
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // Everything written since the capture began.
    std::string Finish() {
        SetOutputHandle(previous_);
        CloseHandle(write_);
        reader_.join();
        CloseHandle(read_);
        return text_;
    }

private:
    HANDLE previous_ = nullptr;
    HANDLE read_ = nullptr;
    HANDLE write_ = nullptr;
    std::thread reader_;
    std::string text_;
};
