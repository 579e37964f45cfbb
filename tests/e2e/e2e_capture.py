"""End-to-end checks of the screenshots: the SNIP sub-wheel's "Area Crop" and "Full Screen" run in
the real program, the overlay is driven with the mouse and the keyboard, the save dialog takes a
typed path, and the PNG files are judged against a pattern the test itself puts on the screen.

e2e.py calls run() while the first start (96 DPI) is up, and e2e_dpi calls run_scaled() while
the second start (LogPixels 144) is up. The pattern comes from a tiny window program of the
test's own, built with the cross compiler the program itself is built with.
"""

import os
import subprocess
import time

import e2e_dpi
from e2e_actions import WHEEL_AT, close_dialogs, find_window

SHOTS_WIN = "C:\\shots"
SAVE_DIALOG = "^Save As$"
# Wine's overwrite prompt takes the dialog's title, and the dialog has none of its own.
OVERWRITE_PROMPT = "^Error$"
SNIP = (5, 2)
AREA_CROP = [SNIP, (3, 0)]
FULL_SCREEN = [SNIP, (3, 1)]
DIM = 0x78000000
OUTLINE = (0x00, 0xB4, 0xFF)

# Where the pattern sits: clear of the save dialog (top left), of the wheel (right) and of the
# taskbar (bottom).
PATTERN = (80, 440, 320, 240)

PATTERN_SOURCE = r"""
#include <windows.h>
#include <stdlib.h>
static int W, H;
static unsigned *bits;
static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_ERASEBKGND) return 1;
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        BITMAPINFO bi = {0};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = W;
        bi.bmiHeader.biHeight = -H;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, 0, 0, W, H, 0, 0, 0, H, bits, &bi, DIB_RGB_COLORS);
        EndPaint(h, &ps);
        return 0;
    }
    if (m == WM_DESTROY) { PostQuitMessage(0); return 0; }
    return DefWindowProcW(h, m, w, l);
}
int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmd, int show) {
    SetProcessDPIAware();  /* physical pixels at any DPI */
    if (__argc < 5) return 2;
    int x = atoi(__argv[1]), y = atoi(__argv[2]);
    W = atoi(__argv[3]);
    H = atoi(__argv[4]);
    bits = malloc((size_t)W * H * 4);
    for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i) {
            unsigned r = (i * 7) & 255, g = (j * 11) & 255, b = ((i * j) >> 3) & 255;
            bits[j * W + i] = (r << 16) | (g << 8) | b;
        }
    WNDCLASSW wc = {0};
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.lpszClassName = L"PatternWnd";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"PatternWnd", L"pattern", WS_POPUP,
                             x, y, W, H, NULL, NULL, inst, NULL);
    ShowWindow(h, SW_SHOWNOACTIVATE);
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
"""


def pattern_rgb(i, j):
    """The pattern's colour at (i, j) of its window: no two neighbours alike in either direction."""
    return (i * 7) & 255, (j * 11) & 255, ((i * j) >> 3) & 255


# ---------------------------------------------------------------- the pattern window

def build_pattern_program(e):
    exe = os.path.join(e.OUT, "pattern-window.exe")
    if os.path.exists(exe):
        return exe, ""
    source = os.path.join(e.OUT, "pattern-window.c")
    with open(source, "w") as f:
        f.write(PATTERN_SOURCE)
    try:
        r = subprocess.run(["x86_64-w64-mingw32-gcc", "-O1", "-mwindows", "-o", exe, source],
                           capture_output=True, text=True, timeout=60)
    except (OSError, subprocess.TimeoutExpired) as err:
        return None, repr(err)
    return (exe, "") if r.returncode == 0 else (None, r.stderr[-600:])


def pattern_mismatches(shot, box=PATTERN, step=13):
    x0, y0, w, h = box
    return [((i, j), shot.px(x0 + i, y0 + j), pattern_rgb(i, j))
            for j in range(0, h, step) for i in range(0, w, step)
            if shot.px(x0 + i, y0 + j) != pattern_rgb(i, j)]


def show_pattern(e, env):
    """Starts the pattern window; returns (process or None, shown, detail, shot)."""
    exe, why = build_pattern_program(e)
    if exe is None:
        return None, False, f"the pattern program could not be built: {why}", None
    x, y, w, h = PATTERN
    proc = subprocess.Popen(["wine", exe, str(x), str(y), str(w), str(h)], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ok, shot = e.wait_for(lambda s: not pattern_mismatches(s), timeout=20)
    return proc, ok, e.fmt(pattern_mismatches(shot)), shot


def stop(proc):
    if proc is not None and proc.poll() is None:
        proc.kill()
        proc.wait(timeout=10)


# ---------------------------------------------------------------- files

def shots_dir(e, *parts):
    return os.path.join(e.PREFIX, "drive_c", "shots", *parts)


def listing(e):
    return sorted(os.listdir(shots_dir(e))) if os.path.isdir(shots_dir(e)) else []


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def decoded(path):
    """(format, width, height, RGB bytes) as ImageMagick reads the file, or None."""
    r = subprocess.run(["identify", "-format", "%m %w %h\n", path], capture_output=True, text=True)
    parts = r.stdout.split("\n")[0].split() if r.returncode == 0 else []
    if len(parts) != 3:
        return None
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True).stdout
    return parts[0], int(parts[1]), int(parts[2]), data


def pattern_differences(picture, left, top, width, height, origin=None):
    """Pixels of a decoded picture, whose (0, 0) is the screen's origin (by default (left, top)),
    that differ from the pattern over the screen area (left, top, width, height) on the pattern."""
    ox, oy = (left, top) if origin is None else origin
    _, w, _, data = picture
    bad = []
    for y in range(top, top + height):
        for x in range(left, left + width):
            i = ((y - oy) * w + (x - ox)) * 3
            want = pattern_rgb(x - PATTERN[0], y - PATTERN[1])
            got = tuple(data[i:i + 3])
            if got != want:
                bad.append(((x, y), got, want))
    return bad


def screen_differences(picture, before, points):
    """Points where a decoded full-screen picture differs from the screenshot `before`."""
    _, w, h, data = picture
    bad = []
    for x, y in points:
        if 0 <= x < w and 0 <= y < h:
            i = (y * w + x) * 3
            if tuple(data[i:i + 3]) != before.px(x, y):
                bad.append(((x, y), tuple(data[i:i + 3]), before.px(x, y)))
    return bad


def full_screen_faults(e, picture, before, wheel):
    """What is wrong with a full-screen picture: its size, the pattern, the wheel left in it."""
    if picture is None or picture[:3] != ("PNG", e.SCREEN_W, e.SCREEN_H):
        return [("picture", picture[:3] if picture else None)]
    return (pattern_differences(picture, *PATTERN, origin=(0, 0))
            + [("wheel",) + d for d in screen_differences(picture, before, wheel_disc(e, wheel))])


# ---------------------------------------------------------------- the program's windows

def start(e, log, hops, wheel_class=None, at=None):
    """Opens the wheel with M4 (drawn at the scale of wheel_class), releases on the first hop's
    sector and left-clicks the others. Returns the wheel, or None when a hop did not light up."""
    if wheel_class is None:
        wheel, _, ok, shot = e.open_wheel(8, *(at or WHEEL_AT), log)
    else:
        cx, cy = at
        e.xdo("mousemove", cx, cy)
        background = e.grab()
        e.xdo("mousedown", 8)
        wheel = wheel_class(cx, cy, background)
        ok, shot = e.wait_for(lambda s: not wheel.main_wheel(s))
    if not ok:
        e.R.check("screenshot: the wheel opens", False, e.fmt(wheel.main_wheel(shot)), shot)
        e.xdo("mouseup", 8)
        return None
    if not e.walk_sectors(wheel, hops, "screenshot"):
        return None
    return wheel


def wheel_disc(e, wheel):
    """Screen points of the wheel's disc: they must show what was there before it opened."""
    return [wheel.screen(*e.polar(r, a)) for r in (0, 60, 100, 140) for a in range(10, 360, 40)]


def overlay_window():
    """X window of the full-screen overlay (the program's window without a title), or None."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "^tarvixtool\\.exe$"],
                         capture_output=True, text=True).stdout.split()
    for xid in ids:
        name = subprocess.run(["xdotool", "getwindowname", xid], capture_output=True, text=True).stdout.strip()
        geometry = subprocess.run(["xdotool", "getwindowgeometry", xid], capture_output=True, text=True).stdout
        if not name and "Geometry: 1024x768" in geometry:
            return xid
    return None


def dim_mismatches(e, before, shot, points, tolerance=2):
    return [(p, shot.px(*p), e.over(DIM, before.px(*p))) for p in points
            if not e.close(shot.px(*p), e.over(DIM, before.px(*p)), tolerance)]


def dismiss_overlay(e):
    """Closes an overlay a failed step left up (Esc to its window), so later steps see the screen."""
    xid = overlay_window()
    if xid:
        subprocess.run(["xdotool", "windowfocus", "--sync", xid], timeout=5, check=False)
        e.xdo("key", "Escape")
        e.poll(lambda: overlay_window() is None, timeout=3)


def grid(box, step):
    x0, y0, x1, y1 = box
    return [(x, y) for y in range(y0, y1, step) for x in range(x0, x1, step)]


def save_as(e, path):
    """Types a path into the save dialog and confirms; returns (dialog found, closed or prompted)."""
    found = e.poll(lambda: find_window(SAVE_DIALOG))
    if not found:
        return False, False
    # Without a window manager the keys go to the X window that last had the focus.
    subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], timeout=5, check=False)
    e.xdo("key", "alt+n")  # "File name": focuses the box and selects the suggested name
    e.xdo("type", "--delay", "12", path)
    e.xdo("key", "Return")
    return True, bool(e.poll(lambda: find_window(SAVE_DIALOG) is None or find_window(OVERWRITE_PROMPT)))


def close_dialogs_and_overlay(e):
    dismiss_overlay(e)
    for _ in range(3):
        found = find_window(SAVE_DIALOG)
        if not found:
            break
        subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], timeout=5, check=False)
        e.xdo("key", "Escape")
        e.poll(lambda: find_window(SAVE_DIALOG) is None, timeout=3)


def area_crop(e, log, before, start_point, end_point, path, wheel_class=None, at=None):
    """Runs an area crop from start_point to end_point and saves it to path (a Windows path).

    Returns (what went wrong, or "", last screenshot)."""
    wheel = start(e, log, AREA_CROP, wheel_class, at)
    if wheel is None:
        return "the SNIP sub-wheel did not take the choice", None
    # The overlay shows the screen as it was before the wheel opened, dimmed: the wheel is not in
    # the picture it shows (and saves).
    probes = grid((PATTERN[0], PATTERN[1], PATTERN[0] + PATTERN[2], PATTERN[1] + PATTERN[3]), 29)
    probes += wheel_disc(e, wheel)
    ok, shot = e.wait_for(lambda s: not dim_mismatches(e, before, s, probes))
    if not ok:
        dismiss_overlay(e)
        return f"no dimmed overlay: {e.fmt(dim_mismatches(e, before, shot, probes))}", shot
    (sx, sy), (ex, ey) = start_point, end_point
    left, top, right, bottom = min(sx, ex), min(sy, ey), max(sx, ex), max(sy, ey)
    e.xdo("mousemove", sx, sy)
    e.xdo("mousedown", 1)
    e.xdo("mousemove", (sx + ex) // 2, (sy + ey) // 2, "mousemove", ex, ey)
    inside = grid((left + 3, top + 3, right - 2, bottom - 2), 7)
    outside = [(left - 6, top - 6), (right + 6, bottom + 6), (left - 6, bottom + 6)]

    def framed(s):
        bad = [(p, s.px(*p), before.px(*p)) for p in inside if s.px(*p) != before.px(*p)]
        bad += dim_mismatches(e, before, s, outside)
        edge = s.px(left, (top + bottom) // 2)
        if not e.close(edge, OUTLINE, 40):
            bad.append(("outline", edge))
        return bad

    ok, shot = e.wait_for(lambda s: not framed(s))
    e.xdo("mouseup", 1)
    if not ok:
        close_dialogs_and_overlay(e)
        return f"the drag shows no clear rectangle in its outline: {e.fmt(framed(shot))}", shot
    found, closed = save_as(e, path)
    if not found or not closed:
        shot = e.grab()
        close_dialogs_and_overlay(e)
        return f"save dialog found {found}, closed {closed}", shot
    return "", shot


# ---------------------------------------------------------------- scenarios

def scenario_area_crop(e, log):
    before = e.grab()
    # Down-right over part of the pattern, then the same rectangle dragged up-left.
    a, b = (130, 470), (331, 598)
    width, height = b[0] - a[0], b[1] - a[1]
    results = []
    for name, (p, q) in (("crop-down-right.png", (a, b)), ("crop-up-left.png", (b, a))):
        path = shots_dir(e, name)
        what, shot = area_crop(e, log, before, p, q, f"{SHOTS_WIN}\\{name}")
        written = e.poll(lambda: os.path.exists(path) and decoded(path) is not None)
        picture = decoded(path) if written else None
        results.append(picture)
        size = picture[:3] if picture else None
        diff = pattern_differences(picture, a[0], a[1], width, height) if size == ("PNG", width, height) else []
        direction = "down-right" if p == a else "up-left"
        e.R.check(f"screenshot: an area crop dragged {direction} over the pattern is saved as a {width}x{height} PNG "
                  f"whose pixels are the pattern's (no dim, no outline, no overlay)",
                  not what and size == ("PNG", width, height) and not diff,
                  f"{what}; file {size}; differing pixels {len(diff)}: {e.fmt(diff)}", shot)
        # The pattern is back once the dialog has gone: the next drag sees it again.
        e.wait_for(lambda s: not pattern_mismatches(s), timeout=5)
    e.R.check("screenshot: the drag up-left gives the same picture as the drag down-right",
              results[0] is not None and results[0] == results[1],
              f"pictures {[r[:3] if r else None for r in results]}")


def scenario_area_cancel(e, log):
    for how in ("Esc during a drag", "a right click"):
        files = listing(e)
        before = e.grab()
        what = ""
        if not start(e, log, AREA_CROP):
            continue
        probes = grid((PATTERN[0], PATTERN[1], PATTERN[0] + PATTERN[2], PATTERN[1] + PATTERN[3]), 29)
        # Nothing framed yet: the whole screen is dimmed, where the last drag was too.
        ok, shot = e.wait_for(lambda s: not dim_mismatches(e, before, s, probes))
        if not ok:
            dismiss_overlay(e)
            what = f"no dimmed overlay without a rectangle: {e.fmt(dim_mismatches(e, before, shot, probes))}"
        elif how.startswith("Esc"):
            e.xdo("mousemove", 150, 480, "mousedown", 1, "mousemove", 200, 520, "mousemove", 260, 560)
            inside = grid((155, 485, 255, 555), 11)
            framed, shot = e.wait_for(lambda s: all(s.px(*p) == before.px(*p) for p in inside))
            xid = overlay_window()
            # Keys go to the X window that has the focus; the overlay has taken the foreground.
            if xid:
                subprocess.run(["xdotool", "windowfocus", "--sync", xid], timeout=5, check=False)
            e.xdo("key", "Escape")
            if not framed or not xid:
                what = f"framed {framed}, overlay window {xid}"
        else:
            e.xdo("mousemove", 300, 520, "click", 3)
        # Everything above the taskbar (whose buttons come and go) as it was.
        region = grid((0, 0, e.SCREEN_W, e.SCREEN_H - 30), 9)
        restored, shot = e.wait_for(lambda s: all(s.px(*p) == before.px(*p) for p in region))
        if how.startswith("Esc"):
            e.xdo("mouseup", 1)
        # The next wheel opening is the sentinel: a save dialog would be up by then.
        wheel, _, opened, _ = e.open_wheel(8, *WHEEL_AT, log)
        dialog = find_window(SAVE_DIALOG)
        wheel.move(10, 45)
        e.wait_for(lambda s: not wheel.centre(s, e.CENTRE_HOVER_FILL))
        e.xdo("mouseup", 8)
        e.wait_for(wheel.gone)
        e.R.check(f"screenshot: {how} closes the area-crop overlay, the screen looks as before, nothing is written",
                  not what and restored and opened and dialog is None and listing(e) == files,
                  f"{what}; restored {restored}; save dialog {dialog}; files {files} -> {listing(e)}", shot)


def scenario_full_screen(e, log, proc):
    name = "fullshot"
    path = shots_dir(e, name)
    before = e.grab()
    wheel = start(e, log, FULL_SCREEN)
    found, closed = save_as(e, f"{SHOTS_WIN}\\{name}") if wheel else (False, False)
    written = e.poll(lambda: os.path.exists(path) and decoded(path) is not None)
    first = read_bytes(path)
    picture = decoded(path) if written else None
    faults = full_screen_faults(e, picture, before, wheel) if wheel else ["no wheel"]
    e.R.check(f"screenshot: Full Screen saves a name typed without .png as typed: a PNG (magic bytes) of "
              f"{e.SCREEN_W}x{e.SCREEN_H} showing the pattern where it is, and no wheel",
              found and closed and first[:8] == b"\x89PNG\r\n\x1a\n" and not faults
              and not os.path.exists(path + ".png"),
              f"dialog {found}/{closed}; head {first[:8]!r}; {len(faults)} faults: {e.fmt(faults)}; "
              f"files {listing(e)}")

    # The screen changes (the pattern goes), then the same name again: the dialog asks first.
    stop(proc)
    gone, _ = e.wait_for(lambda s: len(pattern_mismatches(s)) > 50)
    found, _ = save_as(e, f"{SHOTS_WIN}\\{name}") if start(e, log, FULL_SCREEN) else (False, False)
    prompt = e.poll(lambda: find_window(OVERWRITE_PROMPT))

    def answer(key):
        current = find_window(OVERWRITE_PROMPT)
        if current:
            subprocess.run(["xdotool", "windowfocus", "--sync", current[0]], timeout=5, check=False)
            e.xdo("key", key)
        return e.poll(lambda: find_window(OVERWRITE_PROMPT) is None)

    no_closed = answer("n") if prompt else False
    dialog_stays = find_window(SAVE_DIALOG) is not None
    kept = read_bytes(path) == first
    e.R.check("screenshot: confirming an existing name brings up the dialog's own prompt; No keeps the file "
              "and the dialog", found and gone and prompt is not None and no_closed and dialog_stays and kept,
              f"dialog {found}, pattern gone {gone}, prompt {prompt}, prompt closed {no_closed}, "
              f"dialog still up {dialog_stays}, file kept {kept}", e.grab())

    # Confirmed again, then Yes: the new picture (without the pattern) replaces the old one.
    replaced = False
    detail = ""
    if dialog_stays:
        subprocess.run(["xdotool", "windowfocus", "--sync", find_window(SAVE_DIALOG)[0]], timeout=5, check=False)
        e.xdo("key", "Return")
        again = e.poll(lambda: find_window(OVERWRITE_PROMPT))
        yes = answer("y") if again else False
        closed = e.poll(lambda: find_window(SAVE_DIALOG) is None)
        replaced = e.poll(lambda: read_bytes(path) not in (b"", first))
        picture = decoded(path) if replaced else None
        left = len(pattern_differences(picture, *PATTERN, origin=(0, 0))) if picture and picture[1:3] == (1024, 768) else 0
        replaced = replaced and again is not None and yes and closed and picture[:3] == ("PNG", 1024, 768) \
            and left > PATTERN[2] * PATTERN[3] // 2
        detail = (f"asked again {again}, answered {yes}, dialog closed {closed}, picture "
                  f"{picture[:3] if picture else None}, pixels no longer the pattern {left}")
    e.R.check("screenshot: Yes in the prompt replaces the file with the new full-screen PNG", replaced, detail,
              e.grab())


def run(e, log, env):
    """The screenshot scenarios at 96 DPI; e is the e2e module (helpers and its one Results)."""
    os.makedirs(shots_dir(e), exist_ok=True)
    t0 = time.monotonic()
    proc, shown, detail, shot = show_pattern(e, env)
    try:
        if not e.R.check("screenshot: a pattern window of the test's own shows at its place", shown, detail, shot):
            return
        scenario_area_crop(e, log)
        scenario_area_cancel(e, log)
        scenario_full_screen(e, log, proc)
    finally:
        stop(proc)
        close_dialogs_and_overlay(e)
        print(f"      screenshot scenarios took {time.monotonic() - t0:.1f} s", flush=True)


def run_scaled(e, log, env):
    """At LogPixels 144: the pictures are in physical pixels, the crop is what was dragged."""
    os.makedirs(shots_dir(e), exist_ok=True)
    wheel_class = e2e_dpi.scaled_wheel_class(e)
    at = (512, 384)
    proc, shown, detail, shot = show_pattern(e, env)
    try:
        if not e.R.check("144 DPI: the pattern window shows at its place in physical pixels", shown, detail, shot):
            return
        before = e.grab()
        a, b = (100, 460), (237, 549)
        what, shot = area_crop(e, log, before, a, b, f"{SHOTS_WIN}\\crop-144.png", wheel_class, at)
        path = shots_dir(e, "crop-144.png")
        written = e.poll(lambda: os.path.exists(path) and decoded(path) is not None)
        picture = decoded(path) if written else None
        size = picture[:3] if picture else None
        want = ("PNG", b[0] - a[0], b[1] - a[1])
        diff = pattern_differences(picture, a[0], a[1], want[1], want[2]) if size == want else []
        e.R.check(f"144 DPI: an area crop is the dragged {want[1]}x{want[2]} pixels, the pattern's own",
                  not what and size == want and not diff, f"{what}; file {size}; {len(diff)} differ: {e.fmt(diff)}",
                  shot)
        e.wait_for(lambda s: not pattern_mismatches(s), timeout=5)
        path = shots_dir(e, "full-144.png")
        before = e.grab()
        wheel = start(e, log, FULL_SCREEN, wheel_class, at)
        found, closed = save_as(e, f"{SHOTS_WIN}\\full-144.png") if wheel else (False, False)
        written = e.poll(lambda: os.path.exists(path) and decoded(path) is not None)
        picture = decoded(path) if written else None
        faults = full_screen_faults(e, picture, before, wheel) if wheel else ["no wheel"]
        e.R.check(f"144 DPI: Full Screen saves the screen's {e.SCREEN_W}x{e.SCREEN_H} pixels, the pattern in its "
                  f"place and no wheel", found and closed and not faults,
                  f"dialog {found}/{closed}; {len(faults)} faults: {e.fmt(faults)}")
    finally:
        stop(proc)
        close_dialogs_and_overlay(e)
