#pragma once

#include <windows.h>

#include <cstdint>

// The tray icon's mouse messages.
inline constexpr UINT kTrayCallbackMessage = WM_USER + 101;
// Sent by the settings dialog's thread: restarts the rotation timer with the
// period in wParam (milliseconds), or stops it when wParam is 0. A timer can
// only be set by its window's own thread.
inline constexpr UINT kRotationTimerMessage = WM_APP + 1;
// Posted to the host window when its named quit event is set.
inline constexpr UINT kQuitRequestMessage = WM_APP + 2;

// The host's hidden window, or null before it exists and after it is gone.
HWND HostWindow();

// Sends a host message (WM_COPYDATA with `code`) to the host window and waits
// until it has been handled. Once the host is exiting, nothing is sent and
// nobody waits: its main thread no longer handles messages.
void SendHostMessage(uint32_t code, const void* data, uint32_t count);
// Any other message, the same way.
void SendHostWindowMessage(UINT message, WPARAM wparam, LPARAM lparam);
