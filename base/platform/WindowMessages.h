#pragma once

#include <cstdint>

// Window message numbers, with the values Windows gives them, so that the message handling of
// the program reads the same on every platform. Posted messages cross threads as
// (message, wParam, lParam) through a WindowHandle.

inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_SETICON = 0x0080;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_USER = 0x0400;

// wParam values of WM_SYSCOMMAND.
inline constexpr uintptr_t SC_MINIMIZE = 0xF020;
inline constexpr uintptr_t SC_MAXIMIZE = 0xF030;
inline constexpr uintptr_t SC_CLOSE = 0xF060;
inline constexpr uintptr_t SC_RESTORE = 0xF120;
// lParam of a WM_SYSCOMMAND SC_CLOSE that the user gave through the desktop (the frame's close
// button, Alt+F4); the program's own close commands (signals, updates, the exit) carry 0.
inline constexpr intptr_t kCloseFromDesktop = 1;

// Virtual key codes used with WM_KEYDOWN.
inline constexpr uintptr_t VK_SHIFT = 0x10;
inline constexpr uintptr_t VK_CONTROL = 0x11;
