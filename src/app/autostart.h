// Starting with Windows: what the per-user Run value holds for this program, and what the
// tray menu makes of the value it finds there. Portable: the registry calls are elsewhere.
#pragma once

#include <string>

// Our value's name under the per-user Run key.
extern const wchar_t kRunValueName[];

// The Run value's text for an executable: the path in double quotes, so that a folder with
// blanks cannot be read as a program plus arguments. Empty when the path cannot be written
// that way (empty, or holding a quote or a control character).
std::wstring RunCommandFor(const std::wstring& exePath);

// What reading our Run value gave.
enum class RunValueRead { Present, Absent, Unreadable };

enum class AutostartState {
    Off,        // no value
    On,         // the value starts this very executable
    OtherPath,  // the value starts another copy (an older install, a portable folder)
    Unknown,    // the value could not be read
};

// The program that a Run value starts: the quoted part, or the whole text when unquoted.
std::wstring RunValueProgram(const std::wstring& value);

AutostartState AutostartStateFrom(RunValueRead read, const std::wstring& value, const std::wstring& exePath);

// The menu entry carries a check mark only when this executable is the one that starts.
inline bool AutostartMenuChecked(AutostartState state) { return state == AutostartState::On; }
// Choosing the entry removes our value when it is on and writes it otherwise; a value of
// another copy is replaced, never removed behind the user's back.
inline bool AutostartChoiceTurnsOn(AutostartState state) { return state != AutostartState::On; }
