#pragma once

#include <windows.h>

// The scale the system asks for at a monitor, for a program that is per-monitor DPI aware:
// the monitor's effective DPI where the system has per-monitor DPI (Windows 8.1 on), otherwise
// the system DPI; 96 when neither answers.
int MonitorDpi(HMONITOR monitor);

// The system DPI: every monitor's where the system has no per-monitor DPI; 96 when it does not answer.
int SystemDpi();
