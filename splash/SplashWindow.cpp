#include "splash/SplashWindow.h"

#include "platform/GdiOwners.h"
#include "splash/SplashBitmap.h"

namespace {

constexpr int kSplashMargin = 10;
const wchar_t kSplashClassName[] = L"MarlowindScanServer";
const wchar_t kSplashTitle[] = L"Marlowind Scan Server";

HWND splashWindow = nullptr;
// Handed to Windows once and never repainted, so it is kept for the whole process.
UniqueBitmap splashBitmap;

LRESULT CALLBACK splashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The whole window acts as its caption, so it can be dragged by any point.
    if (message == WM_NCHITTEST) return HTCAPTION;
    return DefWindowProcW(window, message, wParam, lParam);
}

POINT BottomRightOfWorkArea(HWND owner) {
    POINT corner = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    HMONITOR monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    if (!monitor) return corner;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info)) corner = {info.rcWork.right, info.rcWork.bottom};
    return corner;
}

void RegisterSplashClass(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = splashWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kSplashClassName;
    RegisterClassW(&windowClass);
}

void ShowSplashPixels(HWND window, HBITMAP bitmap, SIZE size) {
    UniqueDeviceContext screen(CreateDCW(L"display", nullptr, nullptr, nullptr));
    UniqueDeviceContext memory(CreateCompatibleDC(screen.Get()));
    UniqueSelection selected = SelectInto(memory.Get(), bitmap);
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window, nullptr, nullptr, &size, memory.Get(), &source, 0, &blend,
                        ULW_ALPHA);
}

}  // namespace

void createSplashWindow(HINSTANCE instance, HWND owner) {
    if (!owner) owner = GetForegroundWindow();
    splashBitmap = loadSplashBitmap(instance);
    if (!splashBitmap.IsValid()) return;
    BITMAP description = {};
    if (!GetObjectW(splashBitmap.Get(), sizeof(description), &description)) return;
    const SIZE size = {description.bmWidth, description.bmHeight};

    const POINT corner = BottomRightOfWorkArea(owner);
    RegisterSplashClass(instance);
    splashWindow =
        CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kSplashClassName,
                        kSplashTitle, WS_POPUP | WS_VISIBLE, corner.x - size.cx - kSplashMargin,
                        corner.y - size.cy - kSplashMargin, size.cx, size.cy, GetDesktopWindow(),
                        nullptr, nullptr, nullptr);
    if (!splashWindow) return;
    ShowSplashPixels(splashWindow, splashBitmap.Get(), size);
    SetActiveWindow(splashWindow);
}

HWND GetSplashWindow() {
    return splashWindow;
}

void DestroySplashWindow() {
    if (!splashWindow) return;
    DestroyWindow(splashWindow);
    splashWindow = nullptr;
}
