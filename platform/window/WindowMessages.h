#pragma once

#include <cstdint>

// Message numbers exchanged with the main window. The values are the ones the
// windows, the device link and a second start of the program agree on.
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_APP = 0x8000;

inline constexpr uint32_t WM_SEEK_FOUND = WM_USER + 0x100;     // 0x500, sent by the seek worker
inline constexpr uint32_t WM_DEVICE_REPORT = WM_USER + 0x101;  // 0x501, posted by the read thread
inline constexpr uint32_t WM_PRESETS_CHANGED = WM_USER + 2;    // 0x402
inline constexpr uint32_t WM_LANGUAGE_CHANGED = WM_USER + 3;   // 0x403
inline constexpr uint32_t WM_START_TASK = WM_USER + 4;         // 0x404, wParam = task number
inline constexpr uint32_t WM_RADIO_CHANGED = WM_USER + 5;      // 0x405, posted by the core
inline constexpr uint32_t MM_MIXM_LINE_CHANGE = 0x3D0;
inline constexpr uint32_t MM_MIXM_CONTROL_CHANGE = 0x3D1;
inline constexpr uint32_t WM_DEVICECHANGE = 0x219;
inline constexpr uint32_t WM_GRAPH_NOTIFY = WM_APP + 1;  // 0x8001

// wParam values of WM_DEVICE_REPORT.
inline constexpr uintptr_t DEVICE_REPORT_READ = 1;
inline constexpr uintptr_t DEVICE_REPORT_WRITE_FAILED = 2;
// What the receiver reads of the station (signal, stereo, RDS) changed.
inline constexpr uintptr_t DEVICE_REPORT_READING = 3;

// wParam of WM_DEVICECHANGE: something was added or removed.
inline constexpr uintptr_t DBT_DEVNODES_CHANGED = 0x0007;
