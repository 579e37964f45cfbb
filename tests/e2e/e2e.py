#!/usr/bin/python3
"""End-to-end checks of the resident program in a Wine virtual desktop.

run_e2e.sh prepares the X server, the prefix and the environment, then runs this file.
Everything here is judged from outside the program: screenshots (pixel colours at points
whose expected colour is computed from the picture's geometry and the desktop behind it),
the log file, the configuration file, the URLs the browser stand-in receives, the process's
memory in /proc and its exit code.
"""

import math
import os
import pwd
import re
import subprocess
import sys
import time

import e2e_actions
import e2e_capture
import e2e_dpi
import e2e_settings

EXE = sys.argv[1]
OUT = sys.argv[2]            # folder for failure screenshots and the URL record
URL_RECORD = sys.argv[3]     # file the browser stand-in appends each URL to
PREFIX = os.environ["WINEPREFIX"]
SCREEN_W, SCREEN_H = 1024, 768

# The wheel picture, in window coordinates of the 340 x 340 wheel window.
CENTRE = 170
SECTOR_FILL = 0xE1161B22
HOVER_FILL = 0xF50EA5E9
CENTRE_FILL = 0xFA0D1117
CENTRE_HOVER_FILL = 0xF5E11D48
ACCENT = 0xFF38BDF8
DIM_DOT = 0x50FFFFFF

DEFAULT_CONFIG = (
    b"\xEF\xBB\xBF"
    b"[PAGE0]\r\nCount=5\r\n"
    b"Label_0=Format Image\r\nTarget_0=action:format\r\n"
    b"Label_1=Image to PDF\r\nTarget_1=action:pdf\r\n"
    b"Label_2=Screenshot\r\nTarget_2=action:screenshot\r\n"
    b"Label_3=Compress\r\nTarget_3=action:compress\r\n"
    b"Label_4=PDF Split\r\nTarget_4=action:split\r\n"
    b"\r\n[PAGE1]\r\nCount=5\r\n"
    b"Label_0=YouTube\r\nTarget_0=https://www.youtube.com/\r\n"
    b"Label_1=Netflix\r\nTarget_1=https://www.netflix.com/\r\n"
    b"Label_2=GitHub\r\nTarget_2=https://github.com/\r\n"
    b"Label_3=ChatGPT\r\nTarget_3=https://chatgpt.com/\r\n"
    b"Label_4=Google\r\nTarget_4=https://www.google.com/\r\n"
)

# Lines of the desktop view's selection, as many as the shell's answers call for.
DESKTOP_VIEW_LINES = "indented lines"
# Wine's shell lists no Explorer window, so every opening ends on the desktop, which has no selection.
OPENING_LINES = [
    re.compile(r"=== WM_APP_OPENWHEEL received ===$"),
    re.compile(r"Step 1: DetectSelectedFiles with saved foreground=[0-9A-F]{16}$"),
    re.compile(r"DetectSelectedFiles: hForeground=[0-9A-F]{16}, Class=.*$"),
    re.compile(r"CoCreateInstance\(CLSID_ShellWindows\) hr=0x00000000, pSW=(?!0{16})[0-9A-F]{16}$"),
    re.compile(r"IShellWindows count=0$"),
    re.compile(r"FindWindowSW\(SWC_DESKTOP\) hr=0x[0-9A-F]{8}, pDispDesktop=[0-9A-F]{16}$"),
    DESKTOP_VIEW_LINES,
    re.compile(r"DetectSelectedFiles returning empty vector$"),
    re.compile(r"Step 2: Reset UI state, SetWindowPos, RenderWheel, SetForegroundWindow$"),
]
STAMP = re.compile(r"^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] ")

DEADLINE = 8.0  # seconds any single expected change may take


# ---------------------------------------------------------------- screen and input

class Shot:
    """One screenshot of the whole X screen, as RGB bytes."""

    def __init__(self, data):
        # P6 header: magic, width, height, maxval, each followed by white space.
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]
        self.raw = data

    def px(self, x, y):
        x, y = int(x), int(y)
        if not (0 <= x < self.width and 0 <= y < self.height):
            return (0, 0, 0)
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def save(self, name):
        path = os.path.join(OUT, re.sub(r"[^A-Za-z0-9_.-]+", "_", name) + ".png")
        subprocess.run(["convert", "ppm:-", path], input=self.raw, check=False)
        return path


def grab():
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                          capture_output=True, check=True).stdout
    return Shot(data)


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


def wait_for(predicate, timeout=DEADLINE, interval=0.05):
    """Polls predicate(shot) on fresh screenshots; returns (ok, last shot)."""
    end = time.monotonic() + timeout
    while True:
        shot = grab()
        if predicate(shot):
            return True, shot
        if time.monotonic() >= end:
            return False, shot
        time.sleep(interval)


def poll(condition, timeout=DEADLINE, interval=0.05):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= end:
            return value
        time.sleep(interval)


# ---------------------------------------------------------------- colours

def argb(c):
    return (c >> 24) & 255, ((c >> 16) & 255, (c >> 8) & 255, c & 255)


def over(colour, behind):
    """Source-over of a straight ARGB colour on an opaque RGB colour."""
    a, rgb = argb(colour)
    return tuple(round(f * a / 255 + b * (255 - a) / 255) for f, b in zip(rgb, behind))


def close(actual, expected, tolerance):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


# ---------------------------------------------------------------- the wheel's geometry

def polar(r, degrees):
    """Window point at radius r and angle (clockwise from 3 o'clock, y down)."""
    a = math.radians(degrees)
    return CENTRE + r * math.cos(a), CENTRE + r * math.sin(a)


def text_rects(n):
    """Where the glyph and label of each of n sectors may paint, inflated a little."""
    rects = []
    d = 360.0 / n
    for j in range(n):
        x, y = polar(97.5, (j + 0.5) * d)
        for left, top, w, h in ((x - 35, y - 22, 70, 20), (x - 48, y + 1, 96, 22)):
            rects.append((left - 3, top - 3, left + w + 3, top + h + 3))
    return rects


def sector_points(n, k, count=4):
    """Window points well inside sector k of n: clear of texts, edges, rings and rim."""
    d = 360.0 / n
    rects = text_rects(n)
    found = []
    for r in (56, 64, 72, 128, 136, 142):
        step = 4
        offset = 9.0
        while offset <= d - 9.0:
            x, y = polar(r, k * d + offset)
            if not any(l <= x <= rr and t <= y <= b for l, t, rr, b in rects):
                found.append((x, y))
            offset += step
    if len(found) <= count:
        return found
    # Spread the choice over the candidates rather than taking one corner of the sector.
    return [found[i * (len(found) - 1) // (count - 1)] for i in range(count)]


CENTRE_DISC_POINTS = [(170, 138), (150, 192), (190, 192), (143, 160)]  # clear of centre texts
LEFT_DOT, RIGHT_DOT = (165, 175), (177, 175)                            # fully covered dot pixels


# How the display combines the layered window's translucent pixels with what lies behind.
# Windows (and Wine with a compositing X server) blend them over the desktop; Wine on a
# plain X server cuts the window to the shape of its non-transparent pixels and shows
# their premultiplied colour as it is, i.e. as if blended over black. Fully transparent
# pixels show the desktop in both cases. Decided once, from the first wheel seen.
LAYERED = {"mode": None}


def detect_layered_mode(wheel, shot):
    points = [p for k in range(5) for p in sector_points(5, k)]
    fits = {}
    for mode in ("blended over the desktop", "premultiplied over black"):
        LAYERED["mode"] = mode
        fits[mode] = len(wheel.mismatches(shot, points, SECTOR_FILL))
    best = min(fits, key=fits.get)
    LAYERED["mode"] = best
    print(f"      layered window pixels are {best} (mismatching points: {fits})", flush=True)


class Wheel:
    """Screen mapping for a wheel whose centre is at screen point (cx, cy)."""

    def __init__(self, cx, cy, background):
        self.cx, self.cy = cx, cy
        self.background = background  # screenshot of the desktop before the wheel showed

    def screen(self, wx, wy):
        return int(math.floor(self.cx - CENTRE + wx)), int(math.floor(self.cy - CENTRE + wy))

    def behind(self, wx, wy):
        """What a translucent pixel of the wheel is combined with on this display."""
        if LAYERED["mode"] == "premultiplied over black":
            return (0, 0, 0)
        return self.desktop(wx, wy)

    def desktop(self, wx, wy):
        return self.background.px(*self.screen(wx, wy))

    def at(self, shot, wx, wy):
        return shot.px(*self.screen(wx, wy))

    def mismatches(self, shot, points, colour, tolerance=14):
        """Points whose pixel is not colour over the desktop behind them."""
        bad = []
        for wx, wy in points:
            want = over(colour, self.behind(wx, wy))
            got = self.at(shot, wx, wy)
            if not close(got, want, tolerance):
                bad.append(((round(wx), round(wy)), got, want))
        return bad

    def transparent(self, shot, points, tolerance=6):
        bad = []
        for wx, wy in points:
            want = self.desktop(wx, wy)
            got = self.at(shot, wx, wy)
            if not close(got, want, tolerance):
                bad.append(((round(wx), round(wy)), got, want))
        return bad

    def move(self, r, degrees):
        x, y = self.screen(*polar(r, degrees))
        xdo("mousemove", x, y)

    # Descriptions of the picture that the checks wait for.

    def sectors_dark(self, shot, n, sectors=None):
        bad = []
        for k in (range(n) if sectors is None else sectors):
            bad += self.mismatches(shot, sector_points(n, k), SECTOR_FILL)
        return bad

    def sector_hovered(self, shot, n, k):
        return self.mismatches(shot, sector_points(n, k), HOVER_FILL, tolerance=10)

    def gaps_clear(self, shot, n):
        pts = [polar(r, k * 360.0 / n) for k in range(n) for r in (132, 140)]
        return self.transparent(shot, pts, tolerance=20)

    def outside_clear(self, shot):
        pts = [polar(r, a) for r in (168, 185, 200) for a in range(7, 360, 30)]
        return self.transparent(shot, pts)

    def leftovers(self, shot):
        """Points of the wheel's disc that do not show the desktop (none once it is hidden)."""
        pts = [polar(r, a) for r in (0, 60, 100, 140) for a in range(10, 360, 40)]
        return self.transparent(shot, pts)

    def gone(self, shot):
        return not self.leftovers(shot)

    def centre(self, shot, fill):
        return self.mismatches(shot, CENTRE_DISC_POINTS, fill, tolerance=10)

    def dots(self, shot, lit):
        """Mismatches of the layer dots: lit is 'left' (MEDIA) or 'right' (WEB)."""
        on, off = (LEFT_DOT, RIGHT_DOT) if lit == "left" else (RIGHT_DOT, LEFT_DOT)
        bad = []
        got = self.at(shot, *on)
        if not close(got, over(ACCENT, (0, 0, 0)), 30):
            bad.append(("lit dot", on, got))
        want_off = over(DIM_DOT, over(CENTRE_FILL, self.behind(*off)))
        got = self.at(shot, *off)
        if not close(got, want_off, 30):
            bad.append(("dim dot", off, got, want_off))
        return bad

    def main_wheel(self, shot, n=5):
        return (self.sectors_dark(shot, n) + self.gaps_clear(shot, n) + self.outside_clear(shot)
                + self.centre(shot, CENTRE_FILL))


# ---------------------------------------------------------------- log

class Log:
    def __init__(self, path):
        self.path = path

    def raw(self):
        try:
            with open(self.path, "rb") as f:
                return f.read()
        except OSError:
            return b""

    def lines(self):
        text = self.raw().decode("utf-8", errors="replace")
        return [l for l in text.split("\r\n") if l]

    def mark(self):
        return len(self.lines())

    def since(self, mark):
        return [STAMP.sub("", l, count=1) for l in self.lines()[mark:]]


def opening_matches(lines, i):
    """Whether a complete, ordered opening sequence starts at lines[i]."""
    for p in OPENING_LINES:
        if p is DESKTOP_VIEW_LINES:
            while i < len(lines) and lines[i].startswith("  "):
                i += 1
            continue
        if i >= len(lines) or not p.match(lines[i]):
            return False
        i += 1
    return True


def opening_at(lines, start=0):
    """Index of the first complete, ordered opening sequence in lines at or after start."""
    for i in range(start, len(lines)):
        if opening_matches(lines, i):
            return i
    return -1


# ---------------------------------------------------------------- results

class Results:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail="", shot=None):
        if ok:
            self.passed += 1
            print(f"PASS  {name}", flush=True)
            return True
        self.failed += 1
        print(f"FAIL  {name}", flush=True)
        if detail:
            print(f"      {detail}"[:1500], flush=True)
        if shot is not None:
            print(f"      screenshot: {shot.save('fail-' + name)}", flush=True)
        return False


R = Results()


# ---------------------------------------------------------------- the program

def users_dir():
    """Wine names the profile folder after the Unix user."""
    users = os.path.join(PREFIX, "drive_c", "users")
    name = pwd.getpwuid(os.getuid()).pw_name
    if not os.path.isdir(os.path.join(users, name)):
        others = [n for n in os.listdir(users) if n != "Public"]
        name = others[0] if len(others) == 1 else name
    return name, os.path.join(users, name)


def find_linux_pid():
    """The Linux process that runs the program in this run's prefix (other runs may be going)."""
    want = ("WINEPREFIX=" + PREFIX).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode(errors="replace")
            if re.split(r"[\\/]", argv0)[-1].lower() != "tarvixtool.exe":
                continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                if want in f.read().split(b"\0"):
                    return int(entry)
        except OSError:
            continue
    return None


def memory_kb(pid, samples=6):
    """Resident anonymous memory and resident total, in kB: the least of a few samples, since a
    picture-sized buffer may still be in the middle of being given back when one is taken."""
    values = {}
    for i in range(samples):
        if i:
            time.sleep(0.1)
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                key, _, rest = line.partition(":")
                if key in ("VmRSS", "RssAnon"):
                    kb = int(rest.split()[0])
                    values[key] = min(values.get(key, kb), kb)
    return values


def taskbar_row_background(shot, y):
    return shot.px(SCREEN_W // 2, y)


def tray_icon_box(shot):
    """Bounding box of what differs from the taskbar's own colour at its right end."""
    xs, ys = [], []
    for y in range(SCREEN_H - 22, SCREEN_H):
        bg = taskbar_row_background(shot, y)
        for x in range(SCREEN_W - 80, SCREEN_W):
            if not close(shot.px(x, y), bg, 12):
                xs.append(x)
                ys.append(y)
    if len(xs) < 20:
        return None
    return min(xs), min(ys), max(xs), max(ys)


def taskbar_shown(shot):
    # The taskbar is a light strip along the bottom edge; the desktop above it is not.
    y = SCREEN_H - 10
    return sum(shot.px(SCREEN_W // 2, y)) > 600 and shot.px(SCREEN_W // 2, y) != shot.px(SCREEN_W // 2, SCREEN_H // 2)


def changed_area_near(before, after, x, y, reach=600):
    """Bounding box of the connected area of changed pixels nearest to (x, y)."""
    x0, y0 = max(0, x - reach), max(0, y - reach)
    x1, y1 = min(SCREEN_W, x + reach), min(SCREEN_H, y + reach)

    def changed(px, py):
        return x0 <= px < x1 and y0 <= py < y1 and before.px(px, py) != after.px(px, py)

    seeds = [(abs(px - x) + abs(py - y), px, py) for py in range(y0, y1, 3) for px in range(x0, x1, 3)
             if changed(px, py)]
    if not seeds:
        return None
    _, sx, sy = min(seeds)
    seen = {(sx, sy)}
    todo = [(sx, sy)]
    while todo:
        px, py = todo.pop()
        for nx, ny in ((px + 1, py), (px - 1, py), (px, py + 1), (px, py - 1)):
            if (nx, ny) not in seen and changed(nx, ny):
                seen.add((nx, ny))
                todo.append((nx, ny))
    xs = [p[0] for p in seen]
    ys = [p[1] for p in seen]
    return min(xs), min(ys), max(xs), max(ys)


def fmt(bad, limit=4):
    return "; ".join(str(b) for b in bad[:limit]) + (f" (+{len(bad) - limit} more)" if len(bad) > limit else "")


# ---------------------------------------------------------------- scenarios

def scenario_startup(user, home, log):
    config_path = os.path.join(home, "AppData", "Roaming", "TarvixTool", "config.ini")
    got = poll(lambda: os.path.exists(config_path) and os.path.getsize(config_path) >= len(DEFAULT_CONFIG))
    data = open(config_path, "rb").read() if got else b""
    R.check("startup: config.ini is created with the default sectors (BOM, CR LF, exact bytes)",
            data == DEFAULT_CONFIG, f"got {data[:200]!r}...")
    windows_path = f"C:\\users\\{user}\\AppData\\Roaming\\TarvixTool\\config.ini"
    saved = poll(lambda: f"SaveWheelConfig: saved to {windows_path}" in log.since(0))
    R.check("startup: the log says where the configuration was saved", saved, f"log: {log.since(0)}")

    ok, shot = wait_for(lambda s: taskbar_shown(s) and tray_icon_box(s) is not None, timeout=20)
    box = tray_icon_box(shot)
    R.check("startup: the tray icon appears at the right end of the taskbar", ok,
            f"taskbar shown: {taskbar_shown(shot)}, icon box: {box}", shot)
    if box:
        # The program's own icon: a dark disc (0x161B22) with sky-blue marks (0x0EA5E9); the
        # system's generic application icon has neither.
        pixels = [shot.px(x, y) for y in range(box[1], box[3] + 1) for x in range(box[0], box[2] + 1)]
        dark = sum(1 for p in pixels if close(p, (0x16, 0x1B, 0x22), 16))
        blue = sum(1 for p in pixels if close(p, (0x0E, 0xA5, 0xE9), 40))
        R.check("startup: the tray shows the program's own icon, not the generic one", dark >= 20 and blue >= 4,
                f"dark pixels {dark}, sky-blue pixels {blue} in {box}", shot)
    return box


def open_wheel(button, cx, cy, log):
    """Presses a side button at (cx, cy); returns the wheel, the log mark and the screenshot."""
    xdo("mousemove", cx, cy)
    poll(lambda: subprocess.run(["xdotool", "getmouselocation"], capture_output=True, text=True)
         .stdout.startswith(f"x:{cx} y:{cy} "), timeout=2)
    background = grab()
    mark = log.mark()
    xdo("mousedown", button)
    wheel = Wheel(cx, cy, background)
    if LAYERED["mode"] is None:
        # Wait for the wheel to be drawn at all (its centre point changes), then learn the display.
        appeared, shot = wait_for(lambda s: wheel.at(s, 170, 138) != wheel.desktop(170, 138))
        if appeared:
            detect_layered_mode(wheel, shot)
    ok, shot = wait_for(lambda s: not wheel.main_wheel(s))
    return wheel, mark, ok, shot


def focus_window(title):
    """Gives the X focus to the first visible window whose title matches; its id, or None."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                         capture_output=True, text=True).stdout.split()
    if ids:
        subprocess.run(["xdotool", "windowfocus", "--sync", ids[0]], timeout=5, check=False)
    return ids[0] if ids else None


def walk_sectors(wheel, hops, name):
    """Releases the side button on the first hop's sector and left-clicks the others; a hop (n, k)
    is sector k of n, taken once it lights under the pointer. False, with the wheel closed, when
    a hop did not light up."""
    for i, (n, k) in enumerate(hops):
        # Two moves: the next sector may lie where the last one was, and a move to the same
        # point is no move.
        wheel.move(80, (k + 0.5) * 360.0 / n)
        wheel.move(100, (k + 0.5) * 360.0 / n)
        lit, shot = wait_for(lambda s: not wheel.sector_hovered(s, n, k))
        if not lit:
            R.check(f"{name}: sector {k} of {n} lights up under the pointer", False,
                    fmt(wheel.sector_hovered(shot, n, k)), shot)
            # Leave nothing open: let go of the button, or right-click the sub-wheel away.
            xdo("mouseup", 8) if i == 0 else xdo("click", 3)
            return False
        xdo("mouseup", 8) if i == 0 else xdo("click", 1)
        if i + 1 < len(hops):
            # The sub-wheel starts with nothing hovered, and a move that the program handles
            # before the release counts for the old wheel: aim only once the new one is drawn,
            # that is once the old wheel's gaps that are not gaps of the new one are filled
            # (dark, or lit: a sector may light at once under the resting pointer).
            m = hops[i + 1][0]
            points = [polar(r, j * 360.0 / n) for j in range(n) if (j * m) % n for r in (58, 138)]

            def unfilled(s):
                return [p for p in points if wheel.mismatches(s, [p], SECTOR_FILL)
                        and wheel.mismatches(s, [p], HOVER_FILL, tolerance=10)]

            drawn, shot = wait_for(lambda s: not unfilled(s))
            if not drawn:
                R.check(f"{name}: the sub-wheel of {m} sectors shows", False, fmt(unfilled(shot)), shot)
                xdo("click", 3)
                return False
    return True


def lines_before_next_opening(log, mark):
    """Log lines after mark up to the next opening sequence (which must arrive)."""
    ok = poll(lambda: opening_at(log.since(mark)) >= 0)
    lines = log.since(mark)
    end = opening_at(lines)
    return ok, lines[:end] if end >= 0 else lines


def scenario_open_and_aim(log):
    wheel, mark, ok, shot = open_wheel(8, 600, 380, log)
    R.check("M4 press: the log holds the opening lines, the detection's included, in order, right after the press",
            poll(lambda: opening_at(log.since(mark)) == 0), f"lines: {log.since(mark)}")
    R.check("M4 press: five dark sectors centred on the press point, with clear gaps and a clear outside",
            ok, fmt(wheel.main_wheel(shot)), shot)
    R.check("M4 press: near-black centre showing the MEDIA dot lit",
            not wheel.centre(shot, CENTRE_FILL) and not wheel.dots(shot, "left"),
            fmt(wheel.centre(shot, CENTRE_FILL) + wheel.dots(shot, "left")), shot)
    media_shot = shot

    wheel.move(100, 180)
    ok, shot = wait_for(lambda s: not wheel.sector_hovered(s, 5, 2) and not wheel.sectors_dark(s, 5, [0, 1, 3, 4]))
    R.check("aim: moving into sector 2 turns it sky blue and leaves the others dark", ok,
            fmt(wheel.sector_hovered(shot, 5, 2) + wheel.sectors_dark(shot, 5, [0, 1, 3, 4])), shot)

    wheel.move(12, 200)
    ok, shot = wait_for(lambda s: not wheel.centre(s, CENTRE_HOVER_FILL) and not wheel.sectors_dark(s, 5))
    R.check("aim: the centre turns rose red when hovered and sector 2 goes dark again", ok,
            fmt(wheel.centre(shot, CENTRE_HOVER_FILL) + wheel.sectors_dark(shot, 5)), shot)

    # Each notch flips the layer, up or down alike; the centre is no longer hovered afterwards.
    steps = [(4, "right"), (5, "left"), (4, "right")]
    for notch, (button, lit) in enumerate(steps, start=1):
        xdo("click", button)
        ok, shot = wait_for(lambda s: not wheel.dots(s, lit) and not wheel.centre(s, CENTRE_FILL)
                            and not wheel.sectors_dark(s, 5))
        layer = "WEB" if lit == "right" else "MEDIA"
        R.check(f"scroll: after {notch} notch(es) the {layer} layer shows ({lit} dot lit)", ok,
                fmt(wheel.dots(shot, lit) + wheel.centre(shot, CENTRE_FILL)), shot)
        if notch == 1:
            label_rects = text_rects(5)[1::2]
            differing = sum(1 for (l, t, r, b) in label_rects
                            for yy in range(int(t), int(b), 2) for xx in range(int(l), int(r), 2)
                            if wheel.at(shot, xx, yy) != wheel.at(media_shot, xx, yy))
            R.check("scroll: the WEB layer shows other sector labels than MEDIA", differing > 100,
                    f"{differing} label pixels differ", shot)
    return wheel


def scenario_cancel(wheel, log):
    # Still holding M4 on the WEB layer with nothing hovered: aim at the centre and release.
    wheel.move(10, 45)
    ok, shot = wait_for(lambda s: not wheel.centre(s, CENTRE_HOVER_FILL))
    mark = log.mark()
    urls_before = read_urls()
    xdo("mouseup", 8)
    ok, shot = wait_for(wheel.gone)
    R.check("release on the centre hides the wheel", ok, fmt(wheel.leftovers(shot)), shot)
    # The next opening is the sentinel: anything the release ran would be logged before it.
    next_wheel, _, opened, _ = open_wheel(8, 420, 300, log)
    got, lines = lines_before_next_opening(log, mark)
    R.check("release on the centre runs nothing (no log line, no URL)",
            got and lines == [] and read_urls() == urls_before, f"lines: {lines}, urls: {read_urls()}")

    # A release while the wheel is hidden: aim at a web sector, hide by right click, release.
    xdo("click", 4)
    wait_for(lambda s: not next_wheel.dots(s, "right"))
    next_wheel.move(100, 180)
    ok, shot = wait_for(lambda s: not next_wheel.sector_hovered(s, 5, 2))
    xdo("click", 3)
    ok, shot = wait_for(next_wheel.gone)
    R.check("right click on the wheel hides it", ok, fmt(next_wheel.leftovers(shot)), shot)
    mark = log.mark()
    xdo("mouseup", 8)
    # Nothing must show where the wheel was; give a wrongly dispatched release time to appear.
    shown = wait_for(lambda s: not next_wheel.gone(s), timeout=0.6)[0]
    last_wheel, _, _, _ = open_wheel(8, 600, 380, log)
    got, lines = lines_before_next_opening(log, mark)
    R.check("a side-button release with the wheel hidden changes nothing",
            got and not shown and lines == [] and read_urls() == urls_before,
            f"shown again: {shown}, lines: {lines}, urls: {read_urls()}")
    # Leave it closed (the pointer is on the centre).
    xdo("mouseup", 8)
    wait_for(last_wheel.gone)


def scenario_format(log):
    wheel, mark, ok, shot = open_wheel(8, 520, 360, log)
    wheel.move(100, 36)
    ok, shot = wait_for(lambda s: not wheel.sector_hovered(s, 5, 0))
    R.check("FORMAT: aiming at Format Image highlights it", ok, fmt(wheel.sector_hovered(shot, 5, 0)), shot)
    mark = log.mark()
    xdo("mouseup", 8)

    def format_wheel(s):
        # Four sectors of 90 degrees: gaps at the quarter angles, dark at the old five-sector gaps.
        return (wheel.gaps_clear(s, 4) + wheel.sectors_dark(s, 4, [1, 2, 3]) + wheel.outside_clear(s)
                + wheel.mismatches(s, [polar(r, a) for r in (60, 140) for a in (144, 216)], SECTOR_FILL))

    ok, shot = wait_for(lambda s: not format_wheel(s))
    R.check("FORMAT: releasing on Format Image keeps the wheel open with four sub-sectors", ok,
            fmt(format_wheel(shot)), shot)

    wheel.move(100, 135)
    ok, shot = wait_for(lambda s: not wheel.sector_hovered(s, 4, 1) and not wheel.sectors_dark(s, 4, [0, 2, 3]))
    R.check("FORMAT: the sub-sectors follow the pointer (JPG lit, the others dark)", ok,
            fmt(wheel.sector_hovered(shot, 4, 1) + wheel.sectors_dark(shot, 4, [0, 2, 3])), shot)

    wheel.move(100, 315)
    ok, shot = wait_for(lambda s: not wheel.sector_hovered(s, 4, 3))
    R.check("FORMAT: Kembali lights up under the pointer", ok, fmt(wheel.sector_hovered(shot, 4, 3)), shot)
    xdo("click", 1)

    def back_to_main(s):
        # Five media sectors again (pointer over sector 4 may light it), MEDIA dot lit.
        return (wheel.gaps_clear(s, 5) + wheel.sectors_dark(s, 5, [0, 1, 2, 3]) + wheel.dots(s, "left")
                + wheel.outside_clear(s))

    ok, shot = wait_for(lambda s: not back_to_main(s))
    R.check("FORMAT: a left click on Kembali returns to the five media sectors", ok, fmt(back_to_main(shot)), shot)

    # A click outside takes the focus away, which hides the wheel.
    xdo("mousemove", wheel.cx + 260, wheel.cy - 200, "click", 1)
    ok, shot = wait_for(wheel.gone)
    R.check("focus loss: a click outside the open wheel hides it", ok, fmt(wheel.leftovers(shot)), shot)
    last_wheel, _, _, _ = open_wheel(8, 600, 380, log)
    got, lines = lines_before_next_opening(log, mark)
    R.check("FORMAT: entering and leaving the sub-wheel runs no action", got and lines == [], f"lines: {lines}")
    xdo("mouseup", 8)
    wait_for(last_wheel.gone)


def read_urls():
    try:
        with open(URL_RECORD) as f:
            return [l.strip() for l in f if l.strip()]
    except OSError:
        return []


def scenario_web(button, cx, cy, scroll_button, angle, label, url, log):
    name = "M4" if button == 8 else "M5"
    urls_before = read_urls()
    wheel, mark, ok, shot = open_wheel(button, cx, cy, log)
    R.check(f"web ({name}): the wheel opens centred on the press point", ok and opening_at(log.since(mark)) == 0,
            fmt(wheel.main_wheel(shot)) + f" lines: {log.since(mark)}", shot)
    xdo("click", scroll_button)
    ok, shot = wait_for(lambda s: not wheel.dots(s, "right"))
    k = int(angle // 72)
    wheel.move(100, angle)
    ok, shot = wait_for(lambda s: not wheel.sector_hovered(s, 5, k) and not wheel.dots(s, "right"))
    R.check(f"web ({name}): {label} lights up on the WEB layer", ok,
            fmt(wheel.sector_hovered(shot, 5, k) + wheel.dots(shot, "right")), shot)
    mark = log.mark()
    xdo("mouseup", button)
    ok, shot = wait_for(wheel.gone)
    R.check(f"web ({name}): releasing on {label} hides the wheel", ok, fmt(wheel.leftovers(shot)), shot)
    got = poll(lambda: read_urls() == urls_before + [url])
    R.check(f"web ({name}): the browser receives {url}", got, f"received: {read_urls()[len(urls_before):]}")
    logged = poll(lambda: f"Web Launcher: Opening {url}" in log.since(mark))
    R.check(f"web ({name}): the log says Web Launcher: Opening {url}", logged and
            log.since(mark).count(f"Web Launcher: Opening {url}") == 1, f"lines: {log.since(mark)}")


def scenario_renders(log):
    pid = find_linux_pid()
    if not R.check("renders: the program's Linux process is found", pid is not None):
        return
    wheel, mark, ok, shot = open_wheel(8, 600, 380, log)

    def sector_point(k):
        return wheel.screen(*polar(100, k * 72 + 36))

    centre_point = wheel.screen(*polar(10, 90))

    def sweep(count, end_sector):
        """count moves alternating sector and centre (each one a redraw), ending on end_sector."""
        moves = [sector_point(i // 2 % 5) if i % 2 == 0 else centre_point for i in range(count)]
        moves.append(sector_point(end_sector))
        args = []
        for x, y in moves:
            # Paced so that Wine delivers every move instead of folding several into one.
            args += ["mousemove", x, y, "sleep", "0.02"]
        xdo(*args)
        # The last move must show: the program has drawn everything asked of it.
        return wait_for(lambda s: not wheel.sector_hovered(s, 5, end_sector))

    # Warm-up: fonts, caches and heaps reach their working size.
    sweep(100, 1)
    before = memory_kb(pid)
    rendered = 0
    responsive = True
    samples = []
    for chunk in range(6):
        end_sector = (2 + chunk) % 5
        ok, shot = sweep(100, end_sector)
        responsive = responsive and ok
        rendered += 101
        samples.append(memory_kb(pid).get("RssAnon"))
        if not ok:
            break
    after = memory_kb(pid)
    R.check(f"renders: the wheel keeps up with {rendered} moves that each change what is hovered",
            responsive, fmt(wheel.sector_hovered(shot, 5, end_sector)), shot)
    grow_anon = after.get("RssAnon", 0) - before.get("RssAnon", 0)
    grow_rss = after.get("VmRSS", 0) - before.get("VmRSS", 0)
    print(f"      memory before {before}, after {after}, anon after each 101: {samples}", flush=True)
    # One lost 340x340 bitmap per render adds ~450 kB each time; a score of pens and brushes
    # lost per render adds ~1.5 kB, i.e. ~900 kB over 600 renders.
    R.check(f"renders: {rendered} redraws leave resident memory within 512 kB "
            f"(anon +{grow_anon} kB, rss +{grow_rss} kB)", grow_anon <= 512 and grow_rss <= 512)
    wheel.move(10, 0)
    wait_for(lambda s: not wheel.centre(s, CENTRE_HOVER_FILL))
    xdo("mouseup", 8)
    ok, shot = wait_for(wheel.gone)
    wheel, mark, ok, shot = open_wheel(8, 450, 330, log)
    R.check("renders: afterwards the wheel still opens and draws correctly", ok, fmt(wheel.main_wheel(shot)), shot)
    xdo("mouseup", 8)
    wait_for(wheel.gone)


def open_tray_menu(icon_box):
    """Right-clicks the tray icon; returns (opened, screen before, screen after, menu box).

    The menu is the changed area next to the pointer (other windows may repaint as they lose
    the focus, but not next to the tray). It holds six rows: four entries, two separators,
    so it is far taller than one row and wider than the icon."""
    ix, iy = (icon_box[0] + icon_box[2]) // 2, (icon_box[1] + icon_box[3]) // 2
    xdo("mousemove", ix, iy)
    before = grab()
    xdo("click", 3)

    def menu_box(s):
        box = changed_area_near(before, s, ix, iy)
        return box if box and box[2] - box[0] > 80 and box[3] - box[1] > 40 else None

    ok, shot = wait_for(lambda s: menu_box(s) is not None)
    return ok, before, shot, menu_box(shot)


def point_at_menu_row(box, shot, row_y):
    """Points at a row of the open menu; returns whether it lit up (the caller clicks)."""
    xdo("mousemove", (box[0] + box[2]) // 2, row_y)
    lit, _ = wait_for(lambda s: any(s.px(x, row_y) != shot.px(x, row_y) for x in range(box[0] + 4, box[2] - 4)))
    return lit


def scenario_menu(icon_box, log):
    """The tray menu's other entries: the about box opens and closes, then the settings window."""
    if icon_box is None:
        R.check("menu: the tray icon is there to click", False)
        return
    def choose(box, shot, row_y):
        lit = point_at_menu_row(box, shot, row_y)
        xdo("click", 1)
        return lit

    # Six rows: settings, a separator, about, a separator, start with Windows, Exit. The middle of
    # the menu is the bottom edge of the about entry, so aim a few pixels above it.
    ok, before, shot, box = open_tray_menu(icon_box)
    if not R.check("menu: a right click on the tray icon opens its menu", ok, f"box {box}", shot):
        return
    lit = choose(box, shot, (box[1] + box[3]) // 2 - 5)
    cx, cy = SCREEN_W // 2, SCREEN_H // 2

    def about_box(s):
        box = changed_area_near(before, s, cx, cy, reach=300)
        return box if box and box[2] - box[0] > 200 and box[3] - box[1] > 100 else None

    ok, shot = wait_for(lambda s: about_box(s) is not None)
    R.check("menu: the about entry shows a message box", lit and ok, f"lit: {lit}, box {about_box(shot)}", shot)
    if ok:
        box = about_box(shot)
        # Without a window manager the keys go to the X window that last had the focus.
        focus_window("^Tentang Tarvix Tool")
        xdo("key", "Return")
        # Closed once the area it covered looks as it did before the menu opened.
        gone, shot = wait_for(lambda s: all(s.px(x, y) == before.px(x, y)
                                            for x in range(box[0], box[2], 7) for y in range(box[1], box[3], 7)))
        R.check("menu: the about box closes with its default button", gone, "", shot)

    e2e_settings.run(sys.modules[__name__], log, icon_box)


def scenario_exit(program, icon_box, log, env):
    # A window of another program that records the messages it receives.
    trace_path = os.path.join(OUT, "notepad-messages.txt")
    trace = open(trace_path, "wb")
    notepad_env = dict(env, WINEDEBUG="+message")
    notepad = subprocess.Popen(["wine", "notepad.exe"], env=notepad_env, stdout=subprocess.DEVNULL, stderr=trace)
    try:
        def trace_text():
            with open(trace_path, "rb") as f:
                return f.read().decode(errors="replace")

        def xbutton_messages():
            return re.findall(r"WM_XBUTTON(?:DOWN|UP) dispatched\s+wp=([0-9a-f]{4})", trace_text())

        def wheel_messages():
            return len(re.findall(r"WM_MOUSEWHEEL dispatched", trace_text()))

        def left_clicks():
            return len(re.findall(r"WM_LBUTTONDOWN dispatched", trace_text()))

        # The notepad window opens at the top left; its edit area is blank white.
        ok, shot = wait_for(lambda s: all(close(s.px(x, y), (255, 255, 255), 8)
                                          for x, y in ((150, 200), (300, 300), (400, 150))), timeout=20)
        if not R.check("exit: a test window (notepad) opens to receive mouse buttons", ok, "", shot):
            return
        # While the program runs, the side button over that window opens the wheel; the window
        # sees neither the press, nor the scroll while the wheel shows, nor the release that
        # comes after a click beside the wheel has hidden it.
        wheel, mark, opened, shot = open_wheel(8, 300, 300, log)
        xdo("click", 4)
        flipped, shot = wait_for(lambda s: not wheel.dots(s, "right"))
        xdo("mousemove", 620, 250, "click", 1)
        hid, shot = wait_for(wheel.gone)
        clicks = left_clicks()
        xdo("mouseup", 8)
        # A left click after the release is the sync point: the window gets input in order.
        xdo("mousemove", 620, 270, "click", 1)
        synced = poll(lambda: left_clicks() > clicks)
        R.check("exit: while the program runs, the side button and the open wheel's scrolling never reach "
                "notepad, nor a release after the wheel was hidden",
                opened and flipped and hid and synced and not xbutton_messages() and wheel_messages() == 0,
                f"opened: {opened}, scrolled: {flipped}, hidden: {hid}, synced: {synced}, "
                f"X buttons in notepad: {xbutton_messages()}, scrolls in notepad: {wheel_messages()}", shot)
        # With the wheel hidden, scrolling is the other programs' business.
        xdo("click", 5)
        got = poll(lambda: wheel_messages() == 1)
        R.check("exit: with the wheel hidden, a scroll reaches notepad", got, f"scrolls: {wheel_messages()}")

        # The tray menu: right click on the icon, then the last entry, "Exit".
        if icon_box is None:
            R.check("exit: the tray icon is there to click", False)
            return
        ok, _, shot, box = open_tray_menu(icon_box)
        if not R.check("exit: a right click on the tray icon opens its menu", ok, f"box {box}", shot):
            return
        ok = point_at_menu_row(box, shot, box[3] - 10)
        R.check("exit: the pointer highlights the menu's last entry", ok, "", grab())
        xdo("click", 1)
        try:
            code = program.wait(timeout=15)
        except subprocess.TimeoutExpired:
            code = None
        R.check("exit: choosing Exit ends the program with exit code 0", code == 0, f"exit code {code}")
        ok, shot = wait_for(lambda s: tray_icon_box(s) is None, timeout=10)
        R.check("exit: the tray icon is removed", ok, f"box {tray_icon_box(shot)}", shot)

        # Now the same button reaches the window under the pointer: press and release of
        # XBUTTON1 (M4), the high word 0001 of wParam.
        xdo("mousemove", 300, 300)
        xdo("click", 8)
        seen = poll(lambda: xbutton_messages() == ["0001", "0001"])
        R.check("exit: afterwards an X button press and release reach notepad", seen,
                f"in notepad: {xbutton_messages()}")
    finally:
        if notepad.poll() is None:
            notepad.kill()
        trace.close()


def main():
    env = dict(os.environ)
    user, home = users_dir()
    log = Log(os.path.join(home, "Temp", "TarvixTool.log"))
    program = subprocess.Popen(["wine", EXE], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        icon_box = scenario_startup(user, home, log)
        wheel = scenario_open_and_aim(log)
        scenario_cancel(wheel, log)
        scenario_format(log)
        scenario_web(8, 560, 390, 4, 180, "GitHub", "https://github.com/", log)
        scenario_web(9, 420, 330, 5, 36, "YouTube", "https://www.youtube.com/", log)
        scenario_renders(log)
        dpi_base = e2e_dpi.measure_base(sys.modules[__name__], log)
        e2e_actions.run_all(sys.modules[__name__], log, env)
        e2e_capture.run(sys.modules[__name__], log, env)
        # Every log line carries the stamp and ends in CR LF.
        raw = log.raw().decode("utf-8", errors="replace")
        bad = [l for l in raw.split("\r\n")[:-1] if not STAMP.match(l)]
        R.check("log: every line is stamped [YYYY-MM-DD hh:mm:ss.mmm] and ends in CR LF",
                raw.endswith("\r\n") and not bad and "\n" not in raw.replace("\r\n", ""), f"bad: {bad[:3]}")
        if program.poll() is not None:
            R.check("the program is still running before Exit", False, f"exit code {program.returncode}")
        else:
            scenario_menu(icon_box, log)
            scenario_exit(program, icon_box, log, env)
            # A second start of the program with the display at 150 %.
            e2e_dpi.run(sys.modules[__name__], log, env, dpi_base,
                        scaled_checks=[e2e_capture.run_scaled, e2e_settings.run_scaled])
    except Exception as e:  # a broken step must still produce a verdict line
        import traceback
        traceback.print_exc()
        R.check("the run completes without an error in the test itself", False, repr(e), grab())
    finally:
        if program.poll() is None:
            program.kill()
    # The shell entry point prints the summary line after it has cleaned up.
    with open(os.path.join(OUT, "result"), "w") as f:
        f.write(f"{R.passed} {R.failed}\n")
    return 1 if R.failed else 0


if __name__ == "__main__":
    sys.exit(main())
