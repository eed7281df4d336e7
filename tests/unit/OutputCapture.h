// Points the output channel at a real pipe while it lives. A reader thread
// drains the pipe, because flushing a pipe waits until its reader has read.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "channel/OutputChannel.h"
#include "platform/KernelHandles.h"

class OutputCapture {
public:
    OutputCapture() {
        previous_ = GetOutputHandle();
        HANDLE read = nullptr, write = nullptr;
        EXPECT_TRUE(CreatePipe(&read, &write, nullptr, 0));
        read_.Reset(read);
        write_.Reset(write);
        SetOutputHandle(write_.Get());
        reader_ = std::thread([this] {
            char chunk[512];
            DWORD count = 0;
            while (ReadFile(read_.Get(), chunk, sizeof chunk, &count, nullptr) && count > 0) {
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
        write_.Close();
        reader_.join();
        read_.Close();
        return text_;
    }

private:
    HANDLE previous_ = nullptr;
    UniqueHandle read_;
    UniqueHandle write_;
    std::thread reader_;
    std::string text_;
};
