#include "wheel/wheel_logic.h"

#include <algorithm>

namespace {

constexpr uint32_t kXButton1 = 1;
constexpr uint32_t kXButton2 = 2;

int16_t HighWordSigned(uint32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v >> 16)); }

DispatchDecision Make(DispatchKind kind, MediaAction action = MediaAction::None, std::wstring argument = {}) {
    DispatchDecision d;
    d.kind = kind;
    d.action = action;
    d.argument = std::move(argument);
    return d;
}

}  // namespace

HookDecision DecideHookAction(int nCode, uint32_t message, uint32_t mouseData, bool wheelVisible) {
    if (nCode != 0) return {};
    uint32_t button = mouseData >> 16;
    if (button == kXButton1 || button == kXButton2) {
        // Judged as a side-button event only, so a scroll whose delta reads 1 or 2 passes through.
        if (message == kMsgXButtonDown) return {true, HookPost::OpenWheel};
        if (message == kMsgXButtonUp) return {true, wheelVisible ? HookPost::WheelRelease : HookPost::None};
        return {};
    }
    if (message == kMsgMouseWheel && wheelVisible) return {true, HookPost::WheelScroll};
    return {};
}

uint32_t PackPressPoint(ScreenPoint point) {
    // Clamped, not wrapped: a point beyond the range must not jump to the opposite screen edge.
    auto word = [](int32_t v) {
        return static_cast<uint16_t>(static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)));
    };
    return static_cast<uint32_t>(word(point.y)) << 16 | word(point.x);
}

ScreenPoint UnpackPressPoint(uint32_t packed) {
    return {static_cast<int16_t>(static_cast<uint16_t>(packed & 0xFFFF)), HighWordSigned(packed)};
}

void ResetForOpening(WheelState& state) {
    state.mode = WheelMode::Main;
    state.layer = kLayerMedia;
    state.hovered = kHoveredNone;
}

void ResetOnHide(WheelState& state, std::vector<std::wstring>& targets) {
    std::vector<std::wstring>().swap(targets);  // gives the capacity back, not only the elements
    state.hovered = kHoveredNone;
}

void ResetOnHide(WheelState& state, std::vector<std::wstring>& targets, std::vector<std::wstring>& selectedPdfs) {
    ResetOnHide(state, targets);
    std::vector<std::wstring>().swap(selectedPdfs);
}

bool ApplyScroll(WheelState& state, uint32_t wParam) {
    if (state.mode != WheelMode::Main) return false;
    if (HighWordSigned(wParam) != 0) state.layer = (state.layer + 1) % 2;
    state.hovered = kHoveredNone;
    return true;
}

DispatchDecision DecideDispatch(const WheelState& state, const WheelConfig& config) {
    const int32_t h = state.hovered;
    if (h < 0) return Make(DispatchKind::Cancel);

    switch (state.mode) {
    case WheelMode::FormatSub: {
        static const wchar_t* const kFormats[] = {L"png", L"jpg", L"webp"};
        if (h == 3) return Make(DispatchKind::BackToMain);
        if (h <= 2) return Make(DispatchKind::RunAction, MediaAction::Convert, kFormats[h]);
        return Make(DispatchKind::Cancel);
    }
    case WheelMode::SnipSub:
        if (h == 2) return Make(DispatchKind::BackToMain);
        if (h == 0) return Make(DispatchKind::RunAction, MediaAction::AreaCrop);
        if (h == 1) return Make(DispatchKind::RunAction, MediaAction::FullScreen);
        return Make(DispatchKind::Cancel);
    case WheelMode::Main: break;
    }

    const WheelSector* sector = SectorAt(config, state.layer, static_cast<size_t>(h));
    if (!sector) return Make(DispatchKind::Nothing);
    // The decision carries its own copy of the target: the action may outlive a settings edit.
    const std::wstring& target = sector->target;
    if (state.layer == kLayerWeb) {
        DispatchDecision d = Make(DispatchKind::OpenUrl, MediaAction::None, target);
        d.logUrl = true;
        return d;
    }
    if (target == L"action:format") return Make(DispatchKind::EnterFormatSub);
    if (target == L"action:pdf") return Make(DispatchKind::RunAction, MediaAction::Pdf);
    if (target == L"action:screenshot") return Make(DispatchKind::EnterSnipSub);
    if (target == L"action:compress") return Make(DispatchKind::RunAction, MediaAction::Compress);
    if (target == L"action:split") return Make(DispatchKind::RunAction, MediaAction::Split);
    if (target.rfind(L"http", 0) == 0) return Make(DispatchKind::OpenUrl, MediaAction::None, target);
    return Make(DispatchKind::Nothing);
}

bool ApplyDispatchState(WheelState& state, const DispatchDecision& decision) {
    switch (decision.kind) {
    case DispatchKind::EnterFormatSub: state.mode = WheelMode::FormatSub; break;
    case DispatchKind::EnterSnipSub: state.mode = WheelMode::SnipSub; break;
    case DispatchKind::BackToMain: state.mode = WheelMode::Main; break;
    default: return false;
    }
    state.hovered = kHoveredNone;
    return true;
}
