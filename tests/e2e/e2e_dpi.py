"""The wheel checks once more with the display at 150 % (LogPixels 144), in a second start of
the program in the same prefix and virtual desktop.

measure_base() runs while the first start (96 DPI) is up and records what the 144-DPI pass
compares with: the wheel's width on the screen and how many lines each label takes.
run() sets LogPixels, starts the program again, and repeats the checks in the scaled geometry.
"""

import subprocess
import time

SCALE = 1.5
DPI = 144
LABEL_FONT_PX = 9.5 * DPI / 72          # the label font's size in pixels at 144 DPI
MEDIA_LABELS = ["Format Image", "Image to PDF", "Screenshot", "Compress", "PDF Split"]
WEB_LABELS = ["YouTube", "Netflix", "GitHub", "ChatGPT", "Google"]


def scaled_wheel_class(e2e):
    class ScaledWheel(e2e.Wheel):
        """A wheel whose window is drawn at SCALE: points are given in the 96-DPI window."""

        def screen(self, wx, wy):
            return (int(round(self.cx + (wx - e2e.CENTRE) * SCALE)),
                    int(round(self.cy + (wy - e2e.CENTRE) * SCALE)))

    return ScaledWheel


def wheel_width(background, shot, cx, cy):
    """Width of what the wheel changed on the row through its centre (the shadow ring's extent)."""
    xs = [x for x in range(max(0, cx - 400), min(background.width, cx + 400))
          if background.px(x, cy) != shot.px(x, cy)]
    return (max(xs) - min(xs) + 1) if xs else 0


def label_lines(e2e, wheel, shot, n, scale):
    """Per sector: (text lines, ink box in screen pixels, label box in screen pixels) of its label.

    The label is white; its box starts just below the anchor (the glyph sits above it). The
    scan reaches past the box downwards, where a wrapped second line would spill."""
    results = []
    for j in range(n):
        ax, ay = e2e.polar(97.5, (j + 0.5) * 360.0 / n)
        left, top = wheel.screen(ax - 48, ay)
        right, bottom = wheel.screen(ax + 48, ay + 34)
        rows = []
        xs = []
        for y in range(top, bottom):
            count = 0
            for x in range(left, right):
                # Only the ring between the centre disc and the rim, whose outlines may be white.
                rx, ry = (x - wheel.cx) / scale, (y - wheel.cy) / scale
                if not 50 <= (rx * rx + ry * ry) ** 0.5 <= 146:
                    continue
                r, g, b = shot.px(x, y)
                if r > 200 and g > 200 and b > 200:
                    count += 1
                    xs.append(x)
            rows.append(count >= 2)
        lines, inside, gap = 0, False, 0
        first = last = None
        for i, on in enumerate(rows):
            if on:
                if not inside and (lines == 0 or gap > max(1, round(scale))):
                    lines += 1
                inside, gap = True, 0
                first = i if first is None else first
                last = i
            else:
                gap += 1
                inside = False
        ink = (min(xs), top + first, max(xs), top + last) if xs and first is not None else None
        box = wheel.screen(ax - 48, ay + 1) + wheel.screen(ax + 48, ay + 23)
        results.append((lines, ink, box))
    return results


def measure_base(e2e, log):
    """The 96-DPI wheel as the first start shows it: width and label lines of both layers."""
    wheel, _, ok, shot = e2e.open_wheel(8, 512, 384, log)
    base = {"ok": ok, "width": wheel_width(wheel.background, shot, 512, 384),
            "media": [r[0] for r in label_lines(e2e, wheel, shot, 5, 1.0)]}
    e2e.xdo("click", 4)
    ok, shot = e2e.wait_for(lambda s: not wheel.dots(s, "right"))
    base["web"] = [r[0] for r in label_lines(e2e, wheel, shot, 5, 1.0)]
    wheel.move(10, 90)
    e2e.wait_for(lambda s: not wheel.centre(s, e2e.CENTRE_HOVER_FILL))
    e2e.xdo("mouseup", 8)
    e2e.wait_for(wheel.gone)
    print(f"      at 96 DPI: wheel {base['width']} px wide, label lines MEDIA {base['media']} WEB {base['web']}",
          flush=True)
    return base


def set_log_pixels(env, value):
    subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", str(value), "/f"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=60, check=False)


def check_labels(e2e, R, wheel, shot, names, base_lines, layer):
    bad = []
    for name, base, (lines, ink, box) in zip(names, base_lines, label_lines(e2e, wheel, shot, 5, SCALE)):
        if ink is None:
            bad.append((name, "no ink"))
            continue
        # Words break only where they did at 96 DPI: a one-line label stays on one line.
        if lines != base:
            bad.append((name, f"{lines} lines, {base} at 96 DPI"))
        if base == 1 and ink[3] - ink[1] > 1.4 * LABEL_FONT_PX:
            bad.append((name, f"ink {ink[3] - ink[1]} px high for one line"))
        # Inside its box sideways (the text is centred there) and not clipped at its sides.
        if ink[0] <= box[0] or ink[2] >= box[2] or ink[2] - ink[0] < 2 * LABEL_FONT_PX:
            bad.append((name, f"ink {ink} outside or cut by box {box}"))
    one_line = [n for n, b in zip(names, base_lines) if b == 1]
    R.check(f"144 DPI: the {layer} labels take the lines they take at 96 DPI ({', '.join(one_line)} on one line), "
            f"inside their sectors", not bad and len(one_line) >= 3, e2e.fmt(bad, 6), shot)


def run(e2e, log, env, base, scaled_checks=()):
    """scaled_checks: further checks of this start, each called as check(e2e, log, env)."""
    R = e2e.R
    set_log_pixels(env, DPI)
    program = subprocess.Popen(["wine", e2e.EXE], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # Up once the tray icon is back (the first start removed its own at Exit).
        started, shot = e2e.wait_for(lambda s: e2e.tray_icon_box(s) is not None, timeout=30)
        if not R.check("144 DPI: the program starts again with LogPixels 144", started, "", shot):
            return
        time.sleep(0.5)  # the hook goes in after the icon
        ScaledWheel = scaled_wheel_class(e2e)
        cx, cy = 512, 384
        e2e.xdo("mousemove", cx, cy)
        background = e2e.grab()
        e2e.xdo("mousedown", 8)
        wheel = ScaledWheel(cx, cy, background)
        ok, shot = e2e.wait_for(lambda s: not wheel.main_wheel(s))
        R.check("144 DPI: five dark sectors, clear gaps and outside, dark centre, all at 1.5 times the radii",
                ok, e2e.fmt(wheel.main_wheel(shot)), shot)
        width = wheel_width(background, shot, cx, cy)
        ratio = width / base["width"] if base.get("width") else 0
        R.check(f"144 DPI: the wheel is 1.5 times as wide on the screen ({width} px, {base.get('width')} px at 96 DPI)",
                abs(ratio - SCALE) <= 0.02, f"ratio {ratio:.3f}", shot)
        R.check("144 DPI: the MEDIA dot is lit in the scaled centre", not wheel.dots(shot, "left"),
                e2e.fmt(wheel.dots(shot, "left")), shot)
        check_labels(e2e, R, wheel, shot, MEDIA_LABELS, base["media"], "MEDIA")

        # Hover in the scaled geometry: sector 2 at 150 px from the centre.
        wheel.move(100, 180)
        ok, shot = e2e.wait_for(lambda s: not wheel.sector_hovered(s, 5, 2) and not wheel.sectors_dark(s, 5, [0, 1, 3, 4]))
        R.check("144 DPI: moving into sector 2 lights it and only it", ok,
                e2e.fmt(wheel.sector_hovered(shot, 5, 2) + wheel.sectors_dark(shot, 5, [0, 1, 3, 4])), shot)
        # The dead zone is 67.5 px here: 60 px from the centre is still the centre (it would be a
        # sector with the 45 px of 96 DPI), 78 px is a sector.
        wheel.move(40, 200)
        ok, shot = e2e.wait_for(lambda s: not wheel.centre(s, e2e.CENTRE_HOVER_FILL) and not wheel.sectors_dark(s, 5))
        R.check("144 DPI: 60 px from the centre is in the scaled dead zone (the centre turns rose red)", ok,
                e2e.fmt(wheel.centre(shot, e2e.CENTRE_HOVER_FILL) + wheel.sectors_dark(shot, 5)), shot)
        wheel.move(52, 200)
        ok, shot = e2e.wait_for(lambda s: not wheel.sector_hovered(s, 5, 2) and not wheel.centre(s, e2e.CENTRE_FILL))
        R.check("144 DPI: 78 px from the centre is sector 2 again", ok,
                e2e.fmt(wheel.sector_hovered(shot, 5, 2) + wheel.centre(shot, e2e.CENTRE_FILL)), shot)

        e2e.xdo("click", 4)
        wheel.move(100, 0)
        ok, shot = e2e.wait_for(lambda s: not wheel.dots(s, "right") and not wheel.sector_hovered(s, 5, 0))
        R.check("144 DPI: a scroll notch shows the WEB layer (right dot lit)", ok,
                e2e.fmt(wheel.dots(shot, "right") + wheel.sector_hovered(shot, 5, 0)), shot)
        # Labels with no sector lit: a lit sector's white outline would pass for ink.
        wheel.move(10, 90)
        ok, shot = e2e.wait_for(lambda s: not wheel.centre(s, e2e.CENTRE_HOVER_FILL) and not wheel.sectors_dark(s, 5))
        check_labels(e2e, R, wheel, shot, WEB_LABELS, base["web"], "WEB")

        # Release on the centre cancels; the whole scaled disc goes.
        wheel.move(10, 90)
        e2e.wait_for(lambda s: not wheel.centre(s, e2e.CENTRE_HOVER_FILL))
        e2e.xdo("mouseup", 8)
        ok, shot = e2e.wait_for(wheel.gone)
        R.check("144 DPI: release on the centre hides the scaled wheel", ok, e2e.fmt(wheel.leftovers(shot)), shot)
        for check in scaled_checks:
            check(e2e, log, env)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait(timeout=10)
        set_log_pixels(env, 96)
