// The small always-on-top "Scanning..." window: a layered window showing the
// embedded PNG with per-pixel alpha, draggable from anywhere.
#pragma once

#include <windows.h>

// Creates and shows the window near the bottom-right of the owner window's
// monitor (the foreground window's when owner is 0). Without an image or a
// display no window is made and the handle stays null.
void createSplashWindow(HINSTANCE instance, HWND owner);

// Null when there is no window.
HWND GetSplashWindow();

void DestroySplashWindow();
