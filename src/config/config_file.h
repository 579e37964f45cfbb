// The configuration file's bytes: the writer, our own INI reader and the load decisions.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/wheel_config.h"

// Longest value kept from the file, in wide characters (a 512-character read buffer).
inline constexpr size_t kMaxIniValueLength = 511;

// Biggest file the loader reads; a real configuration is a few kilobytes. A bigger one is
// treated as unreadable (defaults).
inline constexpr size_t kMaxConfigFileBytes = 1024 * 1024;

// Exact file bytes: UTF-8 with BOM, CR LF line ends, both layers in list order.
std::string SerializeWheelConfig(const WheelConfig& config);

// A parsed INI file. Section and key names match regardless of ASCII case; the first
// occurrence of a key wins; blanks around names, "=" and values are dropped.
struct IniDocument {
    struct Entry {
        std::wstring key;  // lower-cased
        std::wstring value;
    };
    struct Section {
        std::wstring name;  // lower-cased
        std::vector<Entry> entries;
    };
    std::vector<Section> sections;
};

// Accepts UTF-8 with or without BOM and UTF-16 LE/BE with BOM. Bytes that do not form a valid
// UTF-8 sequence are read one by one in the Windows Western code page. Never fails.
IniDocument ParseIni(std::string_view bytes);

// The value or nullptr when the key is absent.
const std::wstring* IniFind(const IniDocument& doc, std::wstring_view section, std::wstring_view key);
// The value cut to kMaxIniValueLength characters (never inside a surrogate pair) and trimmed
// again after the cut; empty when absent.
std::wstring IniGetString(const IniDocument& doc, std::wstring_view section, std::wstring_view key);
// Leading decimal integer of the value; 0 when absent or not a number.
int IniGetInt(const IniDocument& doc, std::wstring_view section, std::wstring_view key);

// What the loader may ask of the file system; the platform layer supplies real files.
struct ConfigFileAccess {
    std::function<bool()> exists;               // anything at the path, file or folder
    std::function<bool(std::string&)> read;     // whole file; false when it cannot be read
    std::function<bool(const WheelConfig&)> save;
};

enum class LoadOutcome {
    Defaults,        // missing file or unusable media section: full defaults, saved
    Loaded,          // both layers from the file
    WebDefaults,     // media layer from the file, web layer defaults, nothing saved
    Unusable,        // a file that cannot be read or is far too big: full defaults, the file left alone
};

LoadOutcome LoadWheelConfigWith(const ConfigFileAccess& access, WheelConfig& config);

// Platform layer: the per-user file "TarvixTool\config.ini" under the roaming application data.
std::wstring GetConfigFilePath();
// Fills wheelConfig at start-up, writing the defaults when the file is missing or unusable.
void LoadWheelConfig();
// Writes wheelConfig; the old file is replaced only once the new one is completely on disk.
// False (and logged) when the file could not be written; the old file then stays as it was.
bool SaveWheelConfig();
