#include "config/settings_rules.h"

#include "base/text.h"

namespace {

bool IsFieldBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\f' || c == L'\v' || c == 0xFEFF; }

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

bool ValidSelection(const WheelConfig& config, int layer, int selection) {
    return selection >= 0 && static_cast<size_t>(selection) < LayerLength(config, layer);
}

}  // namespace

NoticeText NoticeFor(SettingsNotice notice) {
    switch (notice) {
    case SettingsNotice::EmptyLabel: return {L"Label / Nama tidak boleh kosong!", L"Perhatian", NoticeKind::Warning};
    case SettingsNotice::LayerFull:
        return {L"Maksimal 5 sektor per layer wheel agar navigasi tetap akurat!", L"Batas Maksimum", NoticeKind::Warning};
    case SettingsNotice::LayerAtMinimum:
        return {L"Minimal harus ada 2 sektor per layer wheel!", L"Perhatian", NoticeKind::Warning};
    case SettingsNotice::ConfirmReset:
        return {L"Kembalikan sektor ke susunan bawaan default?", L"Konfirmasi", NoticeKind::Question};
    case SettingsNotice::SaveFailed:
        return {L"Pengaturan tidak dapat disimpan ke config.ini!\n"
                L"Perubahan tetap berlaku sampai Tarvix Tool ditutup. Coba simpan lagi nanti.",
                L"Perhatian", NoticeKind::Warning};
    case SettingsNotice::None: break;
    }
    return {L"", L"", NoticeKind::Warning};
}

int LayerForTab(int tab) { return tab == kLayerMedia ? kLayerMedia : kLayerWeb; }

std::wstring CleanSettingsField(std::wstring_view text, size_t limit) {
    size_t lineEnd = text.find_first_of(L"\r\n");
    if (lineEnd != std::wstring_view::npos) text = text.substr(0, lineEnd);
    if (text.size() > limit) text = text.substr(0, limit);
    // A pair cut in half, here or by the edit field's own buffer, would be saved as garbage.
    if (!text.empty() && IsHighSurrogate(text.back())) text.remove_suffix(1);
    while (!text.empty() && IsFieldBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsFieldBlank(text.back())) text.remove_suffix(1);
    return std::wstring(text);
}

SettingsEdit AddOrUpdateSector(WheelConfig& config, int layer, int selection, std::wstring_view label,
                               std::wstring_view target) {
    std::wstring cleanLabel = CleanSettingsField(label, kSettingsLabelChars);
    if (cleanLabel.empty()) return {SettingsNotice::EmptyLabel};
    std::wstring cleanTarget = CleanSettingsField(target, kSettingsTargetChars);
    if (ValidSelection(config, layer, selection)) {
        UpdateSector(config, layer, static_cast<size_t>(selection), std::move(cleanLabel), std::move(cleanTarget));
        return {SettingsNotice::None, true, false};
    }
    if (LayerLength(config, layer) >= kMaxSectorsPerLayer) return {SettingsNotice::LayerFull};
    AppendSector(config, layer, {std::move(cleanLabel), std::move(cleanTarget)});
    return {SettingsNotice::None, true, false};
}

SettingsEdit DeleteSelectedSector(WheelConfig& config, int layer, int selection) {
    if (!ValidSelection(config, layer, selection)) return {};
    if (LayerLength(config, layer) <= kMinEditableSectors) return {SettingsNotice::LayerAtMinimum};
    EraseSector(config, layer, static_cast<size_t>(selection));
    return {SettingsNotice::None, true, true};
}

SettingsEdit ResetBothLayers(WheelConfig& config) {
    ApplyDefaultWheelConfig(config);
    return {SettingsNotice::None, true, false};
}

std::wstring SectorListLine(size_t index, const WheelSector& sector) {
    wchar_t line[kSectorLineChars + 1];
    FormatText(line, kSectorLineChars + 1, L"[%d] %ls  ->  %ls", static_cast<int>(index + 1), sector.label.c_str(),
               sector.target.c_str());
    return line;
}

std::vector<std::wstring> SectorListLines(const WheelConfig& config, int layer) {
    std::vector<std::wstring> lines;
    for (size_t i = 0; i < LayerLength(config, layer); ++i) lines.push_back(SectorListLine(i, *SectorAt(config, layer, i)));
    return lines;
}
