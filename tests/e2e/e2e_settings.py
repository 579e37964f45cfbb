"""The settings window, opened from the tray menu: edit a WEB sector, save, and see the wheel
change; a second menu command brings back the one window; the close box keeps an edit live but
leaves the file alone; "Reset Default" and a save put the defaults back for the later scenarios.

run() works in the first start (96 DPI) and records the window's size and the ink of the
control texts; run_scaled() opens the window in the 144-DPI start and compares.
"""

import os
import subprocess
import time

import e2e_actions

TITLE = "Tarvix Tool Pro - Pengaturan Wheel"
NEW_LABEL = "Kode"
LIVE_LABEL = "Tonton Video"
GITHUB, YOUTUBE = 2, 0                  # sector indices on the WEB layer

# Controls whose text must show whole: (name, x, y, width, height, inset) at 96 DPI, client
# coordinates; the inset keeps a button's border out of the text's ink.
TEXT_CONTROLS = [
    ("list caption", 20, 55, 520, 18, 0),
    ("label caption", 20, 230, 100, 18, 0),
    ("target caption", 20, 265, 100, 18, 0),
    ("add button", 120, 300, 140, 30, 4),
    ("delete button", 270, 300, 120, 30, 4),
    ("reset button", 400, 300, 140, 30, 4),
    ("save button", 380, 350, 160, 34, 4),
]
BASE = {}                               # what run() saw at 96 DPI, for run_scaled()


def window_rect():
    """(x, y, width, height) of the settings window on the screen, or None; and how many there are."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                         capture_output=True, text=True).stdout.split()
    if not ids:
        return None, 0
    info = subprocess.run(["xwininfo", "-id", ids[0]], capture_output=True, text=True).stdout
    v = {}
    for line in info.splitlines():
        key, _, value = line.strip().partition(":")
        v[key] = value.strip()
    try:
        rect = (int(v["Absolute upper-left X"]), int(v["Absolute upper-left Y"]), int(v["Width"]), int(v["Height"]))
    except (KeyError, ValueError):
        return None, len(ids)
    return rect, len(ids)


class Window:
    """The open window: its outer rectangle, its client origin and the DPI scale."""

    def __init__(self, e, rect, scale):
        self.e, self.rect, self.scale = e, rect, scale
        self.origin = None

    def find_client(self, shot):
        """The client origin, found from the list box's white inside (its edge is 2 px)."""
        x, y, w, h = self.rect
        row = y + int(h * 0.4)
        mid = x + w // 2
        white = lambda px, py: min(shot.px(px, py)) >= 250
        if not white(mid, row):
            return False
        left = mid
        while left > x and white(left - 1, row):
            left -= 1
        top = row
        while top > y and white(mid, top - 1):
            top -= 1
        self.origin = (left - round(20 * self.scale) - 2, top - round(75 * self.scale) - 2)
        return True

    def at(self, cx, cy):
        return (self.origin[0] + round(cx * self.scale), self.origin[1] + round(cy * self.scale))

    def click(self, cx, cy):
        self.e.xdo("mousemove", *self.at(cx, cy), "click", 1)

    def list_line(self, i):
        """Client point of list line i (from 0): the lines are as tall as the message font's rows."""
        row = 13 * self.scale
        return 60, 75 + 2 + (i + 0.5) * row / self.scale

    def ink(self, shot, cx, cy, cw, ch, inset=4):
        """Bounding box, in screen pixels, of the dark text inside a control, and whether it keeps
        clear of the control's right and bottom edges (text cut by the control would reach them)."""
        inset = round(inset * self.scale)
        x0, y0 = self.at(cx, cy)
        x1, y1 = self.at(cx + cw, cy + ch)
        xs, ys = [], []
        for py in range(y0 + inset, y1 - inset):
            for px in range(x0 + inset, x1 - inset):
                if sum(shot.px(px, py)) < 300:
                    xs.append(px)
                    ys.append(py)
        if not xs:
            return None, False
        box = (min(xs), min(ys), max(xs), max(ys))
        return box, box[2] < x1 - inset - 2 and box[3] < y1 - inset - 1

    def inks(self, shot):
        return {name: self.ink(shot, *r) for name, *r in TEXT_CONTROLS}


def config_path(e):
    _, home = e.users_dir()
    return os.path.join(home, "AppData", "Roaming", "TarvixTool", "config.ini")


def read_config(e):
    try:
        with open(config_path(e), "rb") as f:
            return f.read()
    except OSError:
        return b""


def open_from_menu(e, icon_box):
    """Chooses "Pengaturan Wheel (Settings)", the menu's first row; true when the row lit up."""
    ok, _, shot, box = e.open_tray_menu(icon_box)
    if not ok:
        return False
    lit = e.point_at_menu_row(box, shot, box[1] + (box[3] - box[1]) // 7)
    e.xdo("click", 1)
    return lit


def wait_window(e, scale):
    """The window once it is drawn with its list, or None."""
    rect = e.poll(lambda: window_rect()[0])
    if not rect:
        return None
    w = Window(e, rect, scale)
    ok, _ = e.wait_for(w.find_client)
    return w if ok else None


def focus(e, w):
    # Without a window manager key presses go to the X window that last had the focus.
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                         capture_output=True, text=True).stdout.split()
    if ids:
        subprocess.run(["xdotool", "windowfocus", "--sync", ids[0]], timeout=5, check=False)


def type_label(e, w, text):
    """Replaces the label field's text (its end, then back over it) with text."""
    focus(e, w)
    w.click(400, 239)
    e.xdo("key", "End")
    e.xdo("key", "--repeat", "40", "BackSpace")
    e.xdo("type", "--delay", "20", text)


def web_label_areas(e, log):
    """Screenshot pixels of the five WEB label boxes of a wheel opened at (512, 384)."""
    wheel, _, ok, shot = e.open_wheel(8, 512, 384, log)
    e.xdo("click", 4)
    ok2, shot = e.wait_for(lambda s: not wheel.dots(s, "right"))
    wheel.move(10, 90)
    ok3, shot = e.wait_for(lambda s: not wheel.centre(s, e.CENTRE_HOVER_FILL) and not wheel.sectors_dark(s, 5))
    areas = []
    for j in range(5):
        ax, ay = e.polar(97.5, (j + 0.5) * 72)
        x0, y0 = wheel.screen(ax - 48, ay + 1)
        x1, y1 = wheel.screen(ax + 48, ay + 23)
        areas.append([shot.px(x, y) for y in range(y0, y1) for x in range(x0, x1)])
    e.xdo("mouseup", 8)
    e.wait_for(wheel.gone)
    return ok and ok2 and ok3, areas


def changed_labels(before, after):
    return [j for j in range(5) if sum(1 for a, b in zip(before[j], after[j]) if a != b) > 10]


def run(e, log, icon_box):
    R = e.R
    if icon_box is None:
        R.check("settings: the tray icon is there to click", False)
        return
    e2e_actions.dismiss_balloon(e)
    seen_ok, before_areas = web_label_areas(e, log)
    original = read_config(e)

    clean = e.grab()
    lit = open_from_menu(e, icon_box)
    w = wait_window(e, 1.0)
    shot = e.grab()
    if not R.check("settings: the menu entry opens the window with its list", lit and w is not None,
                   f"lit: {lit}, window: {window_rect()}", shot):
        return
    BASE["size"] = w.rect[2:]
    BASE["ink"] = w.inks(shot)
    cut = [n for n, (box, clear) in BASE["ink"].items() if box is None or not clear]
    R.check(f"settings: the window is 575 x 440 at 96 DPI and every control's text shows whole",
            w.rect[2:] == (575, 440) and not cut, f"size {w.rect[2:]}, cut or missing: {cut}", shot)
    shot.save("settings-96dpi")
    BASE["shot"] = shot
    BASE["rect"] = w.rect

    # Line 3 of the list opened on the web tab is GitHub; a new label for it, then save.
    focus(e, w)
    w.click(*w.list_line(GITHUB))
    filled, _ = e.wait_for(lambda s: w.ink(s, 120, 227, 420, 24)[0] is not None)
    type_label(e, w, NEW_LABEL)
    w.click(190, 315)                                   # "+ Tambah / Update"
    time.sleep(0.3)
    w.click(460, 367)                                   # "Simpan & Terapkan"
    gone = e.poll(lambda: window_rect()[0] is None)
    saved = e.poll(lambda: b"Label_2=" + NEW_LABEL.encode() + b"\r\n" in read_config(e))
    data = read_config(e)
    web = data[data.find(b"[PAGE1]"):]
    R.check("settings: a selected WEB line with a new label, Tambah / Update, then Simpan & Terapkan: config.ini "
            "holds the label (target kept) on the web layer and the window closes",
            filled and saved and gone and b"Label_2=" + NEW_LABEL.encode() + b"\r\nTarget_2=https://github.com/\r\n"
            in web and data.count(b"Label_") == original.count(b"Label_"),
            f"filled: {filled}, gone: {gone}, file: {data!r}", e.grab())
    ok, shot = e.wait_for(lambda s: e2e_actions.balloon_box(e, s) is not None
                                    and e2e_actions.balloon_box(e, clean) is None)
    R.check("settings: the save shows a balloon from the tray", ok, "", shot)
    e2e_actions.dismiss_balloon(e)
    ok, after_areas = web_label_areas(e, log)
    R.check("settings: the next M4 press shows the new label on the WEB layer (only that sector's label changed)",
            seen_ok and ok and changed_labels(before_areas, after_areas) == [GITHUB],
            f"changed label boxes: {changed_labels(before_areas, after_areas)}", e.grab())

    # Twice from the menu: one window.
    mark = log.mark()
    open_from_menu(e, icon_box)
    w = wait_window(e, 1.0)
    open_from_menu(e, icon_box)
    time.sleep(1.0)
    rect, count = window_rect()
    opened = sum(1 for l in log.since(mark) if l.startswith("OpenSettingsWindow: opened"))
    R.check("settings: choosing the menu command twice leaves one window", w is not None and count == 1 and
            opened == 1, f"windows: {count}, openings logged: {opened}", e.grab())
    if w is None:
        return

    # An edit closed with the close box: live at once, the file untouched.
    saved_bytes = read_config(e)
    focus(e, w)
    w.click(*w.list_line(YOUTUBE))
    e.wait_for(lambda s: w.ink(s, 120, 227, 420, 24)[0] is not None)
    type_label(e, w, LIVE_LABEL)
    w.click(190, 315)
    time.sleep(0.3)
    x, y, width, _ = w.rect
    e.xdo("mousemove", x + width - round(14 * w.scale), y + round(11 * w.scale), "click", 1)
    gone = e.poll(lambda: window_rect()[0] is None)
    ok, live_areas = web_label_areas(e, log)
    R.check("settings: the close box closes the window; the edit is on the wheel at once, config.ini unchanged",
            gone and ok and read_config(e) == saved_bytes and changed_labels(after_areas, live_areas) == [YOUTUBE],
            f"gone: {gone}, file unchanged: {read_config(e) == saved_bytes}, "
            f"changed label boxes: {changed_labels(after_areas, live_areas)}", e.grab())

    # "Reset Default" (the question's default button is Yes), then save: the file is as at start.
    open_from_menu(e, icon_box)
    w = wait_window(e, 1.0)
    if w is not None:
        focus(e, w)
        w.click(470, 315)
        asked = e.poll(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Konfirmasi"],
                                              capture_output=True, text=True).stdout.strip())
        if asked:
            subprocess.run(["xdotool", "windowfocus", "--sync", asked.split()[0]], timeout=5, check=False)
            e.xdo("key", "Return")
        time.sleep(0.5)
        w.click(460, 367)
    back = e.poll(lambda: read_config(e) == e.DEFAULT_CONFIG)
    R.check("settings: Reset Default, confirmed, then Simpan & Terapkan writes the default sectors again",
            w is not None and back, f"file: {read_config(e)!r}", e.grab())
    e.wait_for(lambda s: e2e_actions.balloon_box(e, s) is not None, timeout=3)
    e2e_actions.dismiss_balloon(e)


def run_scaled(e, log, env):
    """In the 144-DPI start: the window is 1.5 times as large and no text is cut."""
    R = e.R
    shot = e.grab()
    icon_box = e.tray_icon_box(shot)
    lit = icon_box is not None and open_from_menu(e, icon_box)
    w = wait_window(e, 1.5)
    shot = e.grab()
    if not R.check("144 DPI: the settings window opens from the tray menu", lit and w is not None,
                   f"window: {window_rect()}", shot):
        return
    base = BASE.get("size")
    size = w.rect[2:]
    ratio = (size[0] / base[0], size[1] / base[1]) if base else (0, 0)
    R.check(f"144 DPI: the settings window is 1.5 times as large ({size}, {base} at 96 DPI)",
            all(abs(r - 1.5) <= 0.02 for r in ratio), f"ratios {ratio}", shot)
    shot.save("settings-144dpi")
    bad = []
    for name, (box, clear) in w.inks(shot).items():
        old = BASE.get("ink", {}).get(name, (None, False))[0]
        if box is None or not clear:
            bad.append((name, "cut" if box else "no text"))
            continue
        if old:
            grow = (box[2] - box[0]) / max(1, old[2] - old[0])
            if not 1.25 <= grow <= 1.75:
                bad.append((name, f"text {grow:.2f} times as wide as at 96 DPI"))
    R.check("144 DPI: every control's text shows whole, about 1.5 times as wide as at 96 DPI", not bad, e.fmt(bad, 7),
            shot)
    x, y, width, _ = w.rect
    e.xdo("mousemove", x + width - round(14 * w.scale), y + round(11 * w.scale), "click", 1)
    R.check("144 DPI: the close box closes the settings window", e.poll(lambda: window_rect()[0] is None), "",
            e.grab())
