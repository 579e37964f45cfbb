#include "config/config_file.h"

#include <climits>
#include <cstdint>

#include "base/text.h"

namespace {

const wchar_t* const kSectionNames[kLayerCount] = {L"PAGE0", L"PAGE1"};

void AppendLine(std::string& out, std::wstring_view text) {
    AppendUtf8(out, text);
    out += "\r\n";
}

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring Lowered(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out) c = AsciiLower(c);
    return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\f' || c == L'\v' || c == 0xFEFF; }

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The 0x80..0x9F row of the Windows Western code page; the rest maps to the same code point.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        char32_t u = bigEndian ? (s[2 * i] << 8 | s[2 * i + 1]) : (s[2 * i + 1] << 8 | s[2 * i]);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            char32_t lo = bigEndian ? (s[2 * i + 2] << 8 | s[2 * i + 3]) : (s[2 * i + 3] << 8 | s[2 * i + 2]);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                AppendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        AppendCodePoint(out, u);
    }
    return out;
}

wchar_t FromWesternCodePage(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? static_cast<wchar_t>(kCp1252High[b - 0x80]) : static_cast<wchar_t>(b);
}


std::wstring DecodeText(std::string_view bytes) {
    auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
    if (starts("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    else if (starts("\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
    else if (starts("\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);

    // Decided per sequence: one byte from a legacy editor must not turn every correctly encoded
    // label of the file into mojibake (which the next save would then make permanent).
    std::wstring text;
    text.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        char32_t cp = 0;
        size_t len = Utf8SequenceAt(s + i, n - i, cp);
        if (len == 0) {
            text.push_back(FromWesternCodePage(s[i++]));
            continue;
        }
        AppendCodePoint(text, cp);
        i += len;
    }
    return text;
}

}  // namespace

std::string SerializeWheelConfig(const WheelConfig& config) {
    std::string out = "\xEF\xBB\xBF";
    for (int layer = 0; layer < kLayerCount; ++layer) {
        if (layer > 0) out += "\r\n";
        AppendLine(out, FormatString(L"[%ls]", kSectionNames[layer]));
        const auto& list = config.layers[layer];
        AppendLine(out, FormatString(L"Count=%d", static_cast<int>(list.size())));
        for (size_t i = 0; i < list.size(); ++i) {
            // Values are appended whole rather than through "%ls", which would stop at an embedded zero.
            AppendLine(out, FormatString(L"Label_%d=", static_cast<int>(i)) + list[i].label);
            AppendLine(out, FormatString(L"Target_%d=", static_cast<int>(i)) + list[i].target);
        }
    }
    return out;
}

IniDocument ParseIni(std::string_view bytes) {
    IniDocument doc;
    std::wstring text = DecodeText(bytes);
    std::wstring_view rest = text;
    IniDocument::Section* current = nullptr;
    while (!rest.empty()) {
        size_t end = rest.find_first_of(L"\r\n");
        std::wstring_view line = rest.substr(0, end);
        if (end == std::wstring_view::npos) {
            rest = {};
        } else {
            size_t next = end + 1;
            if (rest[end] == L'\r' && next < rest.size() && rest[next] == L'\n') ++next;
            rest.remove_prefix(next);
        }
        line = Trim(line);
        if (line.empty() || line.front() == L';') continue;
        if (line.front() == L'[') {
            size_t close = line.find(L']');
            std::wstring_view name = Trim(line.substr(1, close == std::wstring_view::npos ? line.size() - 1 : close - 1));
            doc.sections.push_back({Lowered(name), {}});
            current = &doc.sections.back();
            continue;
        }
        size_t eq = line.find(L'=');
        if (!current || eq == std::wstring_view::npos) continue;
        std::wstring_view key = Trim(line.substr(0, eq));
        if (key.empty()) continue;
        current->entries.push_back({Lowered(key), std::wstring(Trim(line.substr(eq + 1)))});
    }
    return doc;
}

const std::wstring* IniFind(const IniDocument& doc, std::wstring_view section, std::wstring_view key) {
    // A section that appears twice is read as one, in file order.
    for (const auto& s : doc.sections) {
        if (!EqualsNoCase(s.name, section)) continue;
        for (const auto& e : s.entries)
            if (EqualsNoCase(e.key, key)) return &e.value;
    }
    return nullptr;
}

std::wstring IniGetString(const IniDocument& doc, std::wstring_view section, std::wstring_view key) {
    const std::wstring* value = IniFind(doc, section, key);
    if (!value) return {};
    size_t len = value->size() < kMaxIniValueLength ? value->size() : kMaxIniValueLength;
    // Never keep half of a surrogate pair at the cut.
    if (len == kMaxIniValueLength && len > 0 && (*value)[len - 1] >= 0xD800 && (*value)[len - 1] <= 0xDBFF) --len;
    // The cut may end on a blank, which the next load would trim: trim now, so that what is
    // loaded, saved and loaded again stays the same.
    return std::wstring(Trim(std::wstring_view(*value).substr(0, len)));
}

int IniGetInt(const IniDocument& doc, std::wstring_view section, std::wstring_view key) {
    const std::wstring* value = IniFind(doc, section, key);
    if (!value) return 0;
    std::wstring_view v = *value;
    bool negative = false;
    if (!v.empty() && (v.front() == L'-' || v.front() == L'+')) {
        negative = v.front() == L'-';
        v.remove_prefix(1);
    }
    int64_t n = 0;
    for (wchar_t c : v) {
        if (c < L'0' || c > L'9') break;
        n = n * 10 + (c - L'0');
        if (n > INT_MAX) break;  // far out of any valid count; no overflow
    }
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<int>(negative ? -n : n);
}

namespace {

void ReadLayer(const IniDocument& doc, WheelConfig& config, int layer, int count) {
    ClearLayer(config, layer);
    for (int i = 0; i < count; ++i) {
        wchar_t labelKey[32], targetKey[32];
        FormatText32(labelKey, L"Label_%d", i);
        FormatText32(targetKey, L"Target_%d", i);
        AppendSector(config, layer,
                     {IniGetString(doc, kSectionNames[layer], labelKey), IniGetString(doc, kSectionNames[layer], targetKey)});
    }
}

bool CountUsable(int count) { return count >= 1 && count <= static_cast<int>(kMaxSectorsPerLayer); }

}  // namespace

LoadOutcome LoadWheelConfigWith(const ConfigFileAccess& access, WheelConfig& config) {
    if (!access.exists()) {
        ApplyDefaultWheelConfig(config);
        access.save(config);
        return LoadOutcome::Defaults;
    }
    std::string bytes;
    // Something at the path that cannot be read now (a folder, a locked file), or one far bigger
    // than any configuration (which would only cost memory to parse): the program runs on the
    // defaults and leaves the file alone, so a passing lock never costs the user their sectors.
    if (!access.read(bytes) || bytes.size() > kMaxConfigFileBytes) {
        ApplyDefaultWheelConfig(config);
        return LoadOutcome::Unusable;
    }
    IniDocument doc = ParseIni(bytes);
    int mediaCount = IniGetInt(doc, kSectionNames[kLayerMedia], L"Count");
    if (!CountUsable(mediaCount)) {
        ApplyDefaultWheelConfig(config);
        access.save(config);
        return LoadOutcome::Defaults;
    }
    ReadLayer(doc, config, kLayerMedia, mediaCount);
    int webCount = IniGetInt(doc, kSectionNames[kLayerWeb], L"Count");
    if (!CountUsable(webCount)) {
        ApplyDefaultWebSectors(config);
        return LoadOutcome::WebDefaults;
    }
    ReadLayer(doc, config, kLayerWeb, webCount);
    return LoadOutcome::Loaded;
}
