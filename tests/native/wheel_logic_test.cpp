#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "wheel/wheel_logic.h"

namespace {

constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLButtonDown = 0x0201;
constexpr uint32_t kMouseHWheel = 0x020E;

const char* PostName(HookPost p) {
    switch (p) {
    case HookPost::None: return "None";
    case HookPost::OpenWheel: return "OpenWheel";
    case HookPost::WheelScroll: return "WheelScroll";
    case HookPost::WheelRelease: return "WheelRelease";
    }
    return "?";
}

WheelState StateOf(WheelMode mode, int layer, int hovered) {
    WheelState s;
    s.mode = mode;
    s.layer = layer;
    s.hovered = hovered;
    s.pressPoint = {640, 360};
    return s;
}

void ExpectSameState(const WheelState& a, const WheelState& b) {
    EXPECT_EQ(a.mode, b.mode);
    EXPECT_EQ(a.layer, b.layer);
    EXPECT_EQ(a.hovered, b.hovered);
    EXPECT_EQ(a.pressPoint.x, b.pressPoint.x);
    EXPECT_EQ(a.pressPoint.y, b.pressPoint.y);
}

WheelConfig Defaults() {
    WheelConfig c;
    ApplyDefaultWheelConfig(c);
    return c;
}

// Media list with the target under test in the middle, so a wrong index shows as a wrong decision.
WheelConfig MediaWithTargetAt2(const std::wstring& target) {
    WheelConfig c;
    AppendSector(c, kLayerMedia, {L"A", L"action:pdf"});
    AppendSector(c, kLayerMedia, {L"B", L"action:compress"});
    AppendSector(c, kLayerMedia, {L"C", target});
    AppendSector(c, kLayerMedia, {L"D", L"action:split"});
    AppendSector(c, kLayerWeb, {L"W", L"https://web.example/"});
    return c;
}

const std::vector<WheelMode> kAllModes = {WheelMode::Main, WheelMode::FormatSub, WheelMode::SnipSub};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Hook decision

struct HookCase {
    const char* what;
    int nCode;
    uint32_t message;
    uint32_t mouseData;
    bool visible;
    bool swallow;
    HookPost post;
};

TEST(WheelHook, DecisionTable) {
    const HookCase cases[] = {
        // Not an action code: always passed on, whatever the event.
        {"nCode 1, M4 down", 1, kMsgXButtonDown, 0x00010000, false, false, HookPost::None},
        {"nCode -1, M5 up visible", -1, kMsgXButtonUp, 0x00020000, true, false, HookPost::None},
        {"nCode 3, scroll visible", 3, kMsgMouseWheel, 0x00780000, true, false, HookPost::None},
        // Side-button presses open the wheel, hidden or already open.
        {"M4 down hidden", 0, kMsgXButtonDown, 0x00010000, false, true, HookPost::OpenWheel},
        {"M4 down visible", 0, kMsgXButtonDown, 0x00010000, true, true, HookPost::OpenWheel},
        {"M5 down hidden", 0, kMsgXButtonDown, 0x00020000, false, true, HookPost::OpenWheel},
        {"M5 down visible", 0, kMsgXButtonDown, 0x00020000, true, true, HookPost::OpenWheel},
        {"M4 down, low word set", 0, kMsgXButtonDown, 0x0001FFFF, false, true, HookPost::OpenWheel},
        // Releases are always swallowed, but only reach the wheel while it shows.
        {"M4 up hidden", 0, kMsgXButtonUp, 0x00010000, false, true, HookPost::None},
        {"M4 up visible", 0, kMsgXButtonUp, 0x00010000, true, true, HookPost::WheelRelease},
        {"M5 up hidden", 0, kMsgXButtonUp, 0x00020000, false, true, HookPost::None},
        {"M5 up visible", 0, kMsgXButtonUp, 0x00020000, true, true, HookPost::WheelRelease},
        // Other buttons on the X messages are not ours.
        {"X down, high word 0", 0, kMsgXButtonDown, 0x00000000, true, false, HookPost::None},
        {"X down, high word 3", 0, kMsgXButtonDown, 0x00030000, true, false, HookPost::None},
        {"X up, high word 0", 0, kMsgXButtonUp, 0x00000000, true, false, HookPost::None},
        {"X up, high word 3", 0, kMsgXButtonUp, 0x00030000, true, false, HookPost::None},
        {"X up, high word 0x0101", 0, kMsgXButtonUp, 0x01010000, true, false, HookPost::None},
        // High word 1 or 2 on any other message is judged as a side-button event only: passed.
        {"scroll delta 1 visible", 0, kMsgMouseWheel, 0x00010000, true, false, HookPost::None},
        {"scroll delta 2 visible", 0, kMsgMouseWheel, 0x00020000, true, false, HookPost::None},
        {"move with high word 1", 0, kMouseMove, 0x00010000, true, false, HookPost::None},
        {"left down with high word 2", 0, kLButtonDown, 0x00020000, true, false, HookPost::None},
        // Vertical scrolling: swallowed and forwarded only while the wheel shows.
        {"scroll +120 visible", 0, kMsgMouseWheel, 0x00780000, true, true, HookPost::WheelScroll},
        {"scroll -120 visible", 0, kMsgMouseWheel, 0xFF880000, true, true, HookPost::WheelScroll},
        {"scroll -1 visible", 0, kMsgMouseWheel, 0xFFFF0000, true, true, HookPost::WheelScroll},
        {"scroll +3 visible", 0, kMsgMouseWheel, 0x00030000, true, true, HookPost::WheelScroll},
        {"scroll delta 0 visible", 0, kMsgMouseWheel, 0x00000000, true, true, HookPost::WheelScroll},
        {"scroll +120 hidden", 0, kMsgMouseWheel, 0x00780000, false, false, HookPost::None},
        {"scroll -120 hidden", 0, kMsgMouseWheel, 0xFF880000, false, false, HookPost::None},
        // Horizontal scrolling and plain buttons are never watched.
        {"horizontal scroll visible", 0, kMouseHWheel, 0x00780000, true, false, HookPost::None},
        {"left down visible", 0, kLButtonDown, 0, true, false, HookPost::None},
        {"move visible", 0, kMouseMove, 0, true, false, HookPost::None},
    };
    for (const HookCase& c : cases) {
        HookDecision d = DecideHookAction(c.nCode, c.message, c.mouseData, c.visible);
        EXPECT_EQ(d.swallow, c.swallow) << c.what;
        EXPECT_EQ(d.post, c.post) << c.what << ": got " << PostName(d.post) << ", want " << PostName(c.post);
    }
}

TEST(WheelHook, PassedEventsNeverPost) {
    // Whatever passes must not also post: the application under the cursor handles it alone.
    const uint32_t messages[] = {kMouseMove,      kLButtonDown,  kMsgMouseWheel,
                                 kMsgXButtonDown, kMsgXButtonUp, kMouseHWheel};
    const uint32_t data[] = {0, 0x00010000, 0x00020000, 0x00030000, 0x00780000, 0xFF880000, 0xFFFF0000};
    for (int nCode : {-1, 0, 1})
        for (uint32_t m : messages)
            for (uint32_t md : data)
                for (bool visible : {false, true}) {
                    HookDecision d = DecideHookAction(nCode, m, md, visible);
                    if (!d.swallow) {
                        EXPECT_EQ(d.post, HookPost::None) << std::hex << "msg 0x" << m << " data 0x" << md;
                    }
                    if (nCode != 0) {
                        EXPECT_FALSE(d.swallow);
                    }
                }
}

TEST(WheelHook, PressPointSurvivesTheOpeningMessage) {
    struct Case {
        ScreenPoint in, out;
    };
    const Case cases[] = {
        {{0, 0}, {0, 0}},
        {{640, 360}, {640, 360}},
        // Screens left of or above the primary one: each coordinate keeps its own sign.
        {{-1, -1}, {-1, -1}},
        {{-1920, 500}, {-1920, 500}},
        {{2559, -1440}, {2559, -1440}},
        {{32767, -32768}, {32767, -32768}},
        // Out of range: held at the edge, never wrapped to the other side.
        {{40000, -40000}, {32767, -32768}},
        {{-70000, 65536}, {-32768, 32767}},
    };
    for (const Case& c : cases) {
        ScreenPoint got = UnpackPressPoint(PackPressPoint(c.in));
        EXPECT_EQ(got.x, c.out.x) << c.in.x << "," << c.in.y;
        EXPECT_EQ(got.y, c.out.y) << c.in.x << "," << c.in.y;
    }
    // x in the low word, as the platform's own mouse messages carry it.
    EXPECT_EQ(PackPressPoint({-2, 3}), 0x0003FFFEu);
}

// ---------------------------------------------------------------------------------------------
// Cycle: opening and layer switch

TEST(WheelCycle, OpeningResetsFromAnyModeLayerAndHover) {
    for (WheelMode mode : kAllModes)
        for (int layer : {0, 1})
            for (int hovered : {-2, -1, 0, 3, 4}) {
                WheelState s = StateOf(mode, layer, hovered);
                ResetForOpening(s);
                EXPECT_EQ(s.mode, WheelMode::Main);
                EXPECT_EQ(s.layer, kLayerMedia);
                EXPECT_EQ(s.hovered, kHoveredNone);
                // The press point belongs to the hook; the reset must leave it.
                EXPECT_EQ(s.pressPoint.x, 640);
                EXPECT_EQ(s.pressPoint.y, 360);
            }
}

TEST(WheelCycle, ScrollFlipsOnAnyNonZeroDelta) {
    struct Case {
        uint32_t wParam;
        bool flips;
    };
    const Case cases[] = {
        {0x00780000, true},  // +120
        {0xFF880000, true},  // -120
        {0x00010000, true},  // +1
        {0xFFFF0000, true},  // -1
        {0x80000000, true},  // most negative
        {0x7FFF0000, true},
        {0x00F00000, true},  // two notches in one event still flip once
        {0x00000000, false},
        {0x0000FFFF, false},  // only the high word is the delta
        {0x00000078, false},
    };
    for (const Case& c : cases)
        for (int layer : {0, 1})
            for (int hovered : {-2, -1, 0, 4}) {
                WheelState s = StateOf(WheelMode::Main, layer, hovered);
                EXPECT_TRUE(ApplyScroll(s, c.wParam)) << std::hex << c.wParam;
                EXPECT_EQ(s.layer, c.flips ? 1 - layer : layer) << std::hex << c.wParam;
                EXPECT_EQ(s.hovered, kHoveredNone) << std::hex << c.wParam;
                EXPECT_EQ(s.mode, WheelMode::Main);
            }
}

TEST(WheelCycle, NotchesAlternateLayers) {
    WheelState s = StateOf(WheelMode::Main, 0, -1);
    const int expected[] = {1, 0, 1, 0};
    for (int notch = 0; notch < 4; ++notch) {
        ApplyScroll(s, notch % 2 ? 0xFF880000 : 0x00780000);
        EXPECT_EQ(s.layer, expected[notch]) << "after notch " << notch + 1;
    }
    // Three notches in the same direction leave WEB showing.
    WheelState t = StateOf(WheelMode::Main, 0, -1);
    for (int i = 0; i < 3; ++i) ApplyScroll(t, 0xFF880000);
    EXPECT_EQ(t.layer, kLayerWeb);
}

TEST(WheelCycle, SubWheelsIgnoreScrolling) {
    for (WheelMode mode : {WheelMode::FormatSub, WheelMode::SnipSub})
        for (uint32_t wParam : {0x00780000u, 0xFF880000u, 0u})
            for (int hovered : {-2, -1, 1}) {
                WheelState s = StateOf(mode, 0, hovered);
                const WheelState before = s;
                EXPECT_FALSE(ApplyScroll(s, wParam)) << "a sub-wheel scroll must not redraw";
                ExpectSameState(s, before);
            }
}

// ---------------------------------------------------------------------------------------------
// Dispatch decision

TEST(WheelDispatch, NoSectorOrCentreCancelsInEveryMode) {
    const WheelConfig c = Defaults();
    const WheelConfig empty;
    for (WheelMode mode : kAllModes)
        for (int layer : {0, 1})
            for (int hovered : {kHoveredNone, kHoveredCentre})
                for (const WheelConfig* cfg : {&c, &empty}) {
                    DispatchDecision d = DecideDispatch(StateOf(mode, layer, hovered), *cfg);
                    EXPECT_EQ(d.kind, DispatchKind::Cancel)
                        << "mode " << static_cast<int>(mode) << " layer " << layer << " hovered " << hovered;
                    EXPECT_EQ(d.action, MediaAction::None);
                    EXPECT_FALSE(d.logUrl);
                }
}

struct SubCase {
    int hovered;
    DispatchKind kind;
    MediaAction action;
    const wchar_t* argument;
};

TEST(WheelDispatch, FormatSubWheelByIndex) {
    const SubCase cases[] = {
        {0, DispatchKind::RunAction, MediaAction::Convert, L"png"},
        {1, DispatchKind::RunAction, MediaAction::Convert, L"jpg"},
        {2, DispatchKind::RunAction, MediaAction::Convert, L"webp"},
        {3, DispatchKind::BackToMain, MediaAction::None, L""},
        {4, DispatchKind::Cancel, MediaAction::None, L""},
        {5, DispatchKind::Cancel, MediaAction::None, L""},
        {1000, DispatchKind::Cancel, MediaAction::None, L""},
    };
    // The sub-wheel does not depend on the configuration or the layer it was entered from.
    const WheelConfig full = Defaults();
    const WheelConfig empty;
    for (const SubCase& k : cases)
        for (int layer : {0, 1})
            for (const WheelConfig* cfg : {&full, &empty}) {
                DispatchDecision d = DecideDispatch(StateOf(WheelMode::FormatSub, layer, k.hovered), *cfg);
                EXPECT_EQ(d.kind, k.kind) << "index " << k.hovered;
                EXPECT_EQ(d.action, k.action) << "index " << k.hovered;
                EXPECT_EQ(d.argument, k.argument) << "index " << k.hovered;
                EXPECT_FALSE(d.logUrl);
            }
}

TEST(WheelDispatch, SnipSubWheelByIndex) {
    const SubCase cases[] = {
        {0, DispatchKind::RunAction, MediaAction::AreaCrop, L""},
        {1, DispatchKind::RunAction, MediaAction::FullScreen, L""},
        {2, DispatchKind::BackToMain, MediaAction::None, L""},
        {3, DispatchKind::Cancel, MediaAction::None, L""},
        {4, DispatchKind::Cancel, MediaAction::None, L""},
        {99, DispatchKind::Cancel, MediaAction::None, L""},
    };
    const WheelConfig full = Defaults();
    const WheelConfig empty;
    for (const SubCase& k : cases)
        for (int layer : {0, 1})
            for (const WheelConfig* cfg : {&full, &empty}) {
                DispatchDecision d = DecideDispatch(StateOf(WheelMode::SnipSub, layer, k.hovered), *cfg);
                EXPECT_EQ(d.kind, k.kind) << "index " << k.hovered;
                EXPECT_EQ(d.action, k.action) << "index " << k.hovered;
                EXPECT_EQ(d.argument, k.argument) << "index " << k.hovered;
                EXPECT_FALSE(d.logUrl);
            }
}

TEST(WheelDispatch, MediaTargetsAreMatchedWholeAndCaseSensitive) {
    struct Case {
        const wchar_t* target;
        DispatchKind kind;
        MediaAction action;
        const wchar_t* argument;
    };
    const Case cases[] = {
        {L"action:format", DispatchKind::EnterFormatSub, MediaAction::None, L""},
        {L"action:pdf", DispatchKind::RunAction, MediaAction::Pdf, L""},
        {L"action:screenshot", DispatchKind::EnterSnipSub, MediaAction::None, L""},
        {L"action:compress", DispatchKind::RunAction, MediaAction::Compress, L""},
        {L"action:split", DispatchKind::RunAction, MediaAction::Split, L""},
        {L"http://x", DispatchKind::OpenUrl, MediaAction::None, L"http://x"},
        {L"https://www.google.com/search?q=a b", DispatchKind::OpenUrl, MediaAction::None,
         L"https://www.google.com/search?q=a b"},
        {L"http", DispatchKind::OpenUrl, MediaAction::None, L"http"},
        {L"httpfoo", DispatchKind::OpenUrl, MediaAction::None, L"httpfoo"},
        // Everything below matches no row: the wheel stays as it is.
        {L"Action:PDF", DispatchKind::Nothing, MediaAction::None, L""},
        {L"action:PDF", DispatchKind::Nothing, MediaAction::None, L""},
        {L"action:pdf ", DispatchKind::Nothing, MediaAction::None, L""},
        {L" action:pdf", DispatchKind::Nothing, MediaAction::None, L""},
        {L"action:Format", DispatchKind::Nothing, MediaAction::None, L""},
        {L"action:", DispatchKind::Nothing, MediaAction::None, L""},
        {L"action:convert", DispatchKind::Nothing, MediaAction::None, L""},
        {L"HTTP://x", DispatchKind::Nothing, MediaAction::None, L""},
        {L"Http://x", DispatchKind::Nothing, MediaAction::None, L""},
        {L"htt", DispatchKind::Nothing, MediaAction::None, L""},
        {L" http://x", DispatchKind::Nothing, MediaAction::None, L""},
        {L"www.google.com", DispatchKind::Nothing, MediaAction::None, L""},
        {L"ftp://x", DispatchKind::Nothing, MediaAction::None, L""},
        {L"", DispatchKind::Nothing, MediaAction::None, L""},
    };
    for (const Case& k : cases) {
        const WheelConfig c = MediaWithTargetAt2(k.target);
        DispatchDecision d = DecideDispatch(StateOf(WheelMode::Main, kLayerMedia, 2), c);
        EXPECT_EQ(d.kind, k.kind) << "target \"" << WideToUtf8(k.target) << "\"";
        EXPECT_EQ(d.action, k.action) << "target index 2";
        EXPECT_EQ(d.argument, k.argument);
        EXPECT_FALSE(d.logUrl) << "media-layer addresses are opened without the log line";
    }
}

TEST(WheelDispatch, DefaultMediaSectorsByIndex) {
    const WheelConfig c = Defaults();
    struct Case {
        int hovered;
        DispatchKind kind;
        MediaAction action;
    };
    const Case cases[] = {
        {0, DispatchKind::EnterFormatSub, MediaAction::None}, {1, DispatchKind::RunAction, MediaAction::Pdf},
        {2, DispatchKind::EnterSnipSub, MediaAction::None},   {3, DispatchKind::RunAction, MediaAction::Compress},
        {4, DispatchKind::RunAction, MediaAction::Split},     {5, DispatchKind::Nothing, MediaAction::None},
        {6, DispatchKind::Nothing, MediaAction::None},        {1 << 30, DispatchKind::Nothing, MediaAction::None},
    };
    for (const Case& k : cases) {
        DispatchDecision d = DecideDispatch(StateOf(WheelMode::Main, kLayerMedia, k.hovered), c);
        EXPECT_EQ(d.kind, k.kind) << "index " << k.hovered;
        EXPECT_EQ(d.action, k.action) << "index " << k.hovered;
        EXPECT_TRUE(d.argument.empty());
    }
}

TEST(WheelDispatch, IndexAtOrPastListEndDoesNothing) {
    // Each layer is judged by its own list: a long web list must not make a short media index valid.
    for (size_t mediaLen = 0; mediaLen <= kMaxSectorsPerLayer; ++mediaLen)
        for (size_t webLen = 0; webLen <= kMaxSectorsPerLayer; ++webLen) {
            WheelConfig c;
            for (size_t i = 0; i < mediaLen; ++i) AppendSector(c, kLayerMedia, {L"m", L"action:pdf"});
            for (size_t i = 0; i < webLen; ++i) AppendSector(c, kLayerWeb, {L"w", L"https://w/"});
            for (int h = 0; h <= 5; ++h) {
                DispatchDecision media = DecideDispatch(StateOf(WheelMode::Main, kLayerMedia, h), c);
                const bool inMedia = static_cast<size_t>(h) < mediaLen;
                EXPECT_EQ(media.kind, inMedia ? DispatchKind::RunAction : DispatchKind::Nothing)
                    << "media length " << mediaLen << " index " << h;
                DispatchDecision web = DecideDispatch(StateOf(WheelMode::Main, kLayerWeb, h), c);
                EXPECT_EQ(web.kind, static_cast<size_t>(h) < webLen ? DispatchKind::OpenUrl : DispatchKind::Nothing)
                    << "web length " << webLen << " index " << h;
            }
        }
}

TEST(WheelDispatch, WebTargetsAreAlwaysOpenedAndLogged) {
    const wchar_t* targets[] = {
        L"https://www.youtube.com/", L"http://x", L"HTTP://X", L"action:pdf", L"action:format",
        L"action:screenshot",        L"",         L"not a url", L"mailto:a@b.c",
    };
    for (const wchar_t* target : targets) {
        WheelConfig c;
        // Media sector at the same index with a different target: the web layer must not read it.
        AppendSector(c, kLayerMedia, {L"m0", L"action:compress"});
        AppendSector(c, kLayerMedia, {L"m1", L"action:format"});
        AppendSector(c, kLayerWeb, {L"w0", L"https://first/"});
        AppendSector(c, kLayerWeb, {L"w1", target});
        DispatchDecision d = DecideDispatch(StateOf(WheelMode::Main, kLayerWeb, 1), c);
        EXPECT_EQ(d.kind, DispatchKind::OpenUrl) << "\"" << WideToUtf8(target) << "\"";
        EXPECT_EQ(d.action, MediaAction::None);
        EXPECT_EQ(d.argument, target);
        EXPECT_TRUE(d.logUrl);
    }
}

TEST(WheelDispatch, DecisionOwnsItsAddress) {
    // The address must outlive edits of the list made while the browser starts.
    WheelConfig c = Defaults();
    DispatchDecision web = DecideDispatch(StateOf(WheelMode::Main, kLayerWeb, 2), c);
    WheelConfig m = MediaWithTargetAt2(L"https://media/");
    DispatchDecision media = DecideDispatch(StateOf(WheelMode::Main, kLayerMedia, 2), m);
    UpdateSector(c, kLayerWeb, 2, L"x", L"https://changed/");
    ClearLayer(c, kLayerWeb);
    ClearLayer(m, kLayerMedia);
    c.layers[kLayerWeb].shrink_to_fit();
    m.layers[kLayerMedia].shrink_to_fit();
    EXPECT_EQ(web.argument, L"https://github.com/");
    EXPECT_EQ(media.argument, L"https://media/");
}

// ---------------------------------------------------------------------------------------------
// State after the decision

TEST(WheelDispatch, ApplyStateEntersAndLeavesSubWheelsOnly) {
    struct Case {
        DispatchKind kind;
        bool changes;
        WheelMode mode;
    };
    const Case cases[] = {
        {DispatchKind::EnterFormatSub, true, WheelMode::FormatSub},
        {DispatchKind::EnterSnipSub, true, WheelMode::SnipSub},
        {DispatchKind::BackToMain, true, WheelMode::Main},
        {DispatchKind::Cancel, false, WheelMode::Main},
        {DispatchKind::RunAction, false, WheelMode::Main},
        {DispatchKind::OpenUrl, false, WheelMode::Main},
        {DispatchKind::Nothing, false, WheelMode::Main},
    };
    for (const Case& k : cases)
        for (WheelMode from : kAllModes)
            for (int layer : {0, 1}) {
                WheelState s = StateOf(from, layer, 3);
                const WheelState before = s;
                DispatchDecision d;
                d.kind = k.kind;
                EXPECT_EQ(ApplyDispatchState(s, d), k.changes) << "kind " << static_cast<int>(k.kind);
                if (k.changes) {
                    EXPECT_EQ(s.mode, k.mode);
                    EXPECT_EQ(s.hovered, kHoveredNone);
                    EXPECT_EQ(s.layer, layer) << "the layer stays across sub-wheels";
                    EXPECT_EQ(s.pressPoint.x, before.pressPoint.x) << "the wheel does not move";
                    EXPECT_EQ(s.pressPoint.y, before.pressPoint.y);
                } else {
                    ExpectSameState(s, before);
                }
            }
}

TEST(WheelDispatch, FormatRoundTripAndConvert) {
    // Release on "Format Image", then "Kembali", then "Screenshot" → "Full Screen", then "Format Image" → "JPG".
    const WheelConfig c = Defaults();
    WheelState s = StateOf(WheelMode::Main, kLayerMedia, 0);
    EXPECT_TRUE(ApplyDispatchState(s, DecideDispatch(s, c)));
    EXPECT_EQ(s.mode, WheelMode::FormatSub);
    EXPECT_EQ(s.hovered, kHoveredNone);

    s.hovered = 3;
    EXPECT_TRUE(ApplyDispatchState(s, DecideDispatch(s, c)));
    EXPECT_EQ(s.mode, WheelMode::Main);
    EXPECT_EQ(s.layer, kLayerMedia);

    s.hovered = 2;
    EXPECT_TRUE(ApplyDispatchState(s, DecideDispatch(s, c)));
    EXPECT_EQ(s.mode, WheelMode::SnipSub);
    s.hovered = 1;
    DispatchDecision shot = DecideDispatch(s, c);
    EXPECT_EQ(shot.action, MediaAction::FullScreen);
    EXPECT_FALSE(ApplyDispatchState(s, shot));

    WheelState f = StateOf(WheelMode::Main, kLayerMedia, 0);
    ApplyDispatchState(f, DecideDispatch(f, c));
    f.hovered = 1;
    DispatchDecision jpg = DecideDispatch(f, c);
    EXPECT_EQ(jpg.kind, DispatchKind::RunAction);
    EXPECT_EQ(jpg.action, MediaAction::Convert);
    EXPECT_EQ(jpg.argument, L"jpg");
}

TEST(WheelCycle, HidingDropsTheFilesAndTheHoverButKeepsModeAndLayer) {
    WheelState s;
    s.mode = WheelMode::SnipSub;
    s.layer = 1;
    s.hovered = 2;
    s.pressPoint = {10, 20};
    std::vector<std::wstring> files(100, L"C:\\foto\\a.png");
    std::vector<std::wstring> pdfs(10, L"C:\\foto\\a.pdf");
    ResetOnHide(s, files, pdfs);
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(files.capacity(), 0u) << "the storage goes too, so the idle program stays small";
    EXPECT_EQ(pdfs.capacity(), 0u) << "the PDFs selected at the opening go with the targets";
    EXPECT_EQ(s.hovered, kHoveredNone);
    EXPECT_EQ(s.mode, WheelMode::SnipSub);
    EXPECT_EQ(s.layer, 1);
    EXPECT_EQ(s.pressPoint.x, 10);
    ResetForOpening(s);
    EXPECT_EQ(s.mode, WheelMode::Main);
    EXPECT_EQ(s.layer, 0);
}
