// The wheel's decisions, apart from the platform: what the hook does with a mouse event,
// how the state moves through a cycle, and what a release on a sector means.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/wheel_config.h"
#include "wheel/wheel_state.h"

// Mouse messages the hook looks at (the platform's numbers).
inline constexpr uint32_t kMsgMouseWheel = 0x020A;
inline constexpr uint32_t kMsgXButtonDown = 0x020B;
inline constexpr uint32_t kMsgXButtonUp = 0x020C;

enum class HookPost { None, OpenWheel, WheelScroll, WheelRelease };

struct HookDecision {
    bool swallow = false;
    HookPost post = HookPost::None;
    bool operator==(const HookDecision&) const = default;
};

// Side buttons (M4/M5) are always swallowed; vertical scrolling only while the wheel shows.
HookDecision DecideHookAction(int nCode, uint32_t message, uint32_t mouseData, bool wheelVisible);

// The press point travels inside the opening message, x in the low and y in the high 16 bits,
// each signed (screens left of or above the primary one have negative coordinates), the same
// range that the platform's own mouse messages carry.
uint32_t PackPressPoint(ScreenPoint point);
ScreenPoint UnpackPressPoint(uint32_t packed);

// Every opening starts on the media layer of the main wheel with nothing hovered.
void ResetForOpening(WheelState& state);
// The state part of hiding: the detected files go, storage and all, and nothing stays hovered.
// Mode and layer are left for the next opening to reset.
void ResetOnHide(WheelState& state, std::vector<std::wstring>& targets);
// The same, also giving up the PDF files selected at the opening.
void ResetOnHide(WheelState& state, std::vector<std::wstring>& targets, std::vector<std::wstring>& selectedPdfs);
// A scroll notch flips the layer on the main wheel; returns whether to redraw (sub-wheels ignore it).
bool ApplyScroll(WheelState& state, uint32_t wParam);

enum class DispatchKind { Cancel, EnterFormatSub, EnterSnipSub, BackToMain, RunAction, OpenUrl, Nothing };
enum class MediaAction { None, Convert, Pdf, Compress, Split, AreaCrop, FullScreen };

struct DispatchDecision {
    DispatchKind kind = DispatchKind::Nothing;
    MediaAction action = MediaAction::None;
    std::wstring argument;  // the output format for Convert, the address for OpenUrl
    bool logUrl = false;    // web-layer launches are logged, media-layer addresses are not
};

// What a release (or left click) on the hovered sector means. Reads only; see ApplyDispatchState.
DispatchDecision DecideDispatch(const WheelState& state, const WheelConfig& config);
// Mode and hovered after entering or leaving a sub-wheel; true when the wheel must be redrawn.
bool ApplyDispatchState(WheelState& state, const DispatchDecision& decision);
