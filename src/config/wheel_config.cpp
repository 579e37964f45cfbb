#include "config/wheel_config.h"

WheelConfig wheelConfig;

namespace {

struct DefaultSector {
    const wchar_t* label;
    const wchar_t* target;
};

constexpr DefaultSector kDefaultMedia[] = {
    {L"Format Image", L"action:format"}, {L"Image to PDF", L"action:pdf"},  {L"Screenshot", L"action:screenshot"},
    {L"Compress", L"action:compress"},   {L"PDF Split", L"action:split"},
};

constexpr DefaultSector kDefaultWeb[] = {
    {L"YouTube", L"https://www.youtube.com/"}, {L"Netflix", L"https://www.netflix.com/"},
    {L"GitHub", L"https://github.com/"},       {L"ChatGPT", L"https://chatgpt.com/"},
    {L"Google", L"https://www.google.com/"},
};

std::vector<WheelSector>* Layer(WheelConfig& config, int layer) {
    return layer >= 0 && layer < kLayerCount ? &config.layers[layer] : nullptr;
}

template <size_t N>
void Fill(std::vector<WheelSector>& list, const DefaultSector (&defaults)[N]) {
    list.clear();
    for (const DefaultSector& d : defaults) list.push_back({d.label, d.target});
}

}  // namespace

void ApplyDefaultWheelConfig(WheelConfig& config) {
    Fill(config.layers[kLayerMedia], kDefaultMedia);
    Fill(config.layers[kLayerWeb], kDefaultWeb);
}

void ApplyDefaultWebSectors(WheelConfig& config) { Fill(config.layers[kLayerWeb], kDefaultWeb); }

size_t LayerLength(const WheelConfig& config, int layer) {
    return layer >= 0 && layer < kLayerCount ? config.layers[layer].size() : 0;
}

const WheelSector* SectorAt(const WheelConfig& config, int layer, size_t index) {
    if (layer < 0 || layer >= kLayerCount || index >= config.layers[layer].size()) return nullptr;
    return &config.layers[layer][index];
}

void ClearLayer(WheelConfig& config, int layer) {
    if (auto* list = Layer(config, layer)) list->clear();
}

bool AppendSector(WheelConfig& config, int layer, WheelSector&& sector) {
    auto* list = Layer(config, layer);
    if (!list) return false;
    list->push_back(std::move(sector));
    return true;
}

bool UpdateSector(WheelConfig& config, int layer, size_t index, std::wstring label, std::wstring target) {
    auto* list = Layer(config, layer);
    if (!list || index >= list->size()) return false;
    (*list)[index].label = std::move(label);
    (*list)[index].target = std::move(target);
    return true;
}

bool EraseSector(WheelConfig& config, int layer, size_t index) {
    auto* list = Layer(config, layer);
    if (!list || index >= list->size()) return false;
    list->erase(list->begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}
