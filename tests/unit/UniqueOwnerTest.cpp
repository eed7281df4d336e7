#include <gtest/gtest.h>
#include <windows.h>

#include <utility>

#include "platform/GdiOwners.h"
#include "platform/KernelHandles.h"

namespace {

bool IsOpenHandle(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

UniqueHandle NewEvent() {
    return UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

TEST(UniqueOwner, MovingHandsTheHandleOverAndTheLastOwnerClosesIt) {
    UniqueHandle first = NewEvent();
    ASSERT_TRUE(first.IsValid());
    const HANDLE raw = first.Get();
    UniqueHandle second = std::move(first);
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(second.Get(), raw);
    second = NewEvent();  // closes the first event
    EXPECT_FALSE(IsOpenHandle(raw));
    const HANDLE detached = second.Detach();
    EXPECT_FALSE(second.IsValid());
    EXPECT_TRUE(IsOpenHandle(detached));
    CloseHandle(detached);
}

TEST(UniqueOwner, EachKindIsEmptyAtItsFailureValue) {
    const wchar_t kMissing[] = L"C:\\no-such-folder-here\\no-such-file";
    UniqueFile file(CreateFileW(kMissing, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(file.Get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(file.IsValid());
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW(kMissing, &found));
    EXPECT_FALSE(search.IsValid());
    UniqueModule module(LoadLibraryExW(kMissing, nullptr, 0));
    EXPECT_FALSE(module.IsValid());
    EXPECT_FALSE(UniqueHandle().IsValid());
}

TEST(UniqueOwner, ClosingKeepsTheCallersLastError) {
    UniqueHandle event = NewEvent();
    UniqueGdiObject<HGDIOBJ> object(reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x7FFF0)));
    UniqueDeviceContext context(reinterpret_cast<HDC>(static_cast<uintptr_t>(0x7FFF0)));
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, 16));
    SetLastError(ERROR_FILE_NOT_FOUND);
    event.Close();
    object.Close();
    context.Close();
    memory.Close();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(event.IsValid());
    EXPECT_FALSE(object.IsValid());
    EXPECT_FALSE(context.IsValid());
    EXPECT_FALSE(memory.IsValid());
}

TEST(UniqueOwner, SelectionPutsThePreviousObjectBack) {
    UniqueDeviceContext memory(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(memory.IsValid());
    const HGDIOBJ original = GetCurrentObject(memory.Get(), OBJ_BITMAP);
    UniqueBitmap bitmap(CreateBitmap(2, 2, 1, 32, nullptr));
    {
        UniqueSelection selected = SelectInto(memory.Get(), bitmap.Get());
        ASSERT_TRUE(selected.IsValid());
        EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_BITMAP), bitmap.Get());
    }
    EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_BITMAP), original);
}

}  // namespace
