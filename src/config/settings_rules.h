// What the settings window does to the sector lists, apart from the window: adding, updating,
// deleting, resetting, the list lines and the boxes that refuse an edit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "config/wheel_config.h"

// Field limits: the label is read with a 128-character buffer, the target with 512.
inline constexpr size_t kSettingsLabelChars = 127;
inline constexpr size_t kSettingsTargetChars = 511;
// List lines are formatted into a 512-character buffer.
inline constexpr size_t kSectorLineChars = 511;

// The boxes the window shows; None means the edit went through.
enum class SettingsNotice {
    None,
    EmptyLabel,        // "Perhatian"
    LayerFull,         // "Batas Maksimum"
    LayerAtMinimum,    // "Perhatian"
    ConfirmReset,      // "Konfirmasi", yes / no
    SaveFailed,        // "Perhatian"
};

enum class NoticeKind { Warning, Question };

struct NoticeText {
    const wchar_t* text;
    const wchar_t* caption;
    NoticeKind kind;
};
NoticeText NoticeFor(SettingsNotice notice);

// What the window must do after a button press.
struct SettingsEdit {
    SettingsNotice notice = SettingsNotice::None;
    bool refreshList = false;  // the layer changed: refill the list (which drops its selection)
    bool clearFields = false;  // empty the label and target fields
};

// Tab index to layer: 0 is the media layer, anything else the web layer.
int LayerForTab(int tab);

// A field's text as it may be stored: cut at the first line break (a line break would start a
// new key in the file), cut to `limit` characters without splitting a surrogate pair, and
// without outer blanks (the file reader drops them, so they would not survive a save).
std::wstring CleanSettingsField(std::wstring_view text, size_t limit);

// "+ Tambah / Update": `selection` is the list's current line (-1 for none). A valid selection
// updates that sector at any layer length; otherwise the sector is appended, up to 5.
SettingsEdit AddOrUpdateSector(WheelConfig& config, int layer, int selection, std::wstring_view label,
                               std::wstring_view target);

// "- Hapus Sektor": no valid selection does nothing; a layer of 2 or fewer is refused.
SettingsEdit DeleteSelectedSector(WheelConfig& config, int layer, int selection);

// "Reset Default" after the user said yes: both layers, whichever tab is shown. Nothing is saved.
SettingsEdit ResetBothLayers(WheelConfig& config);

// "[%d] %ls  ->  %ls" with the line number (index + 1), cut to 511 characters.
std::wstring SectorListLine(size_t index, const WheelSector& sector);
// The lines of one layer, in list order.
std::vector<std::wstring> SectorListLines(const WheelConfig& config, int layer);
