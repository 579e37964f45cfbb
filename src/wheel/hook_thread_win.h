// The low-level mouse hook, on a thread that does nothing but wait for messages.
//
// The platform calls a low-level hook on the thread that installed it, and every mouse event of
// the desktop waits for the answer. Installed by the thread that runs the actions, a long action
// would stall the pointer everywhere, and the system silently drops a hook that keeps timing
// out. On its own thread the hook answers at once, whatever the wheel window's thread is doing.
#pragma once

#include <windows.h>

// Decides a mouse event with DecideHookAction and posts the result to wheelWindow. Never
// allocates, logs or waits. wheelWindow must exist before the hook thread starts.
LRESULT CALLBACK MouseHookProc(int nCode, WPARAM wParam, LPARAM lParam);

// Starts the hook thread and waits until it has installed the hook. False when there is no hook;
// GetLastError() then says why. Starting it twice keeps the first.
bool StartMouseHookThread(HINSTANCE instance);
// Removes the hook and waits for its thread to end. Does nothing when the thread is not running.
void StopMouseHookThread();
