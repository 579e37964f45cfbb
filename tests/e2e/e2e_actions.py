#!/usr/bin/python3
"""End-to-end checks of the media actions: the wheel's sectors run the real actions, whose
open-file dialogs are driven by keyboard and mouse, and the files they write are judged by
independent readers (ImageMagick, qpdf, poppler), together with the log and the screen.

e2e.py calls run_all() from its main() and passes itself, so every check counts in its one
Results. run_e2e.sh calls this file alone as `e2e_actions.py --fixtures DIR` to make the
input pictures while the Wine prefix boots; they are moved to C:\\media afterwards.
"""

import os
import re
import shutil
import subprocess
import sys
import time

MEDIA_WIN = "C:\\media"
IMAGE_PICKER = "^Open$"
PDF_PICKER = "^Pilih File PDF untuk di-Split / Unmerge$"

# Main wheel sectors (5) and the FORMAT sub-wheel (4), as (sector count, index) hops.
FORMAT_JPG = [(5, 0), (4, 1)]
FORMAT_WEBP = [(5, 0), (4, 2)]
IMAGE_TO_PDF = [(5, 1)]
COMPRESS = [(5, 3)]
PDF_SPLIT = [(5, 4)]

# Where the wheel opens: clear of the dialogs (top left), of notepad and of the balloons
# that rise from the tray (bottom right).
WHEEL_AT = (820, 430)

# Inside the open-file dialog, relative to its top-left corner (Wine's own layout, 658 x 414).
NAME_TEXT = (232, 321, 510, 333)   # the file-name box's text row, right of the caret
NAME_BOX = (370, 327)              # a point inside the file-name box
CARET = (226, 320, 232, 334)       # where the caret of the empty file-name box blinks
FIRST_ITEM = (180, 66)             # first entry of the file list
CANCEL_BUTTON = (594, 356)

PAIR = ("a.png", 64, 48), ("b.jpg", 80, 60)
GLASS = "glass.png"                 # 60 x 40: left half transparent, right half opaque blue
GLASS_BLUE = (0x20, 0x50, 0xC0)
MANY = 300
MANY_NAME = "summer-holiday-snapshot-number-%03d.png"
BIG = 12
BIG_NAME = "photo-%02d.jpg"


# ---------------------------------------------------------------- fixtures

def make_fixtures(root):
    """The input pictures, made with ImageMagick; each folder serves one group of checks."""
    def convert(*args):
        subprocess.run(["convert"] + list(args), check=True)

    for sub in ("pair", "alpha", "many", "big"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    (a, aw, ah), (b, bw, bh) = PAIR
    convert("-size", f"{aw}x{ah}", "gradient:red-blue", "PNG24:" + os.path.join(root, "pair", a))
    convert("-size", f"{bw}x{bh}", "gradient:yellow-darkgreen", "-quality", "92", os.path.join(root, "pair", b))
    convert("-size", "60x40", "xc:none", "-fill", "#%02X%02X%02X" % GLASS_BLUE, "-draw", "rectangle 30,0 59,39",
            "PNG32:" + os.path.join(root, "alpha", GLASS))
    seed = os.path.join(root, "many", MANY_NAME % 1)
    convert("-size", "8x6", "xc:orange", "PNG24:" + seed)
    for i in range(2, MANY + 1):
        shutil.copyfile(seed, os.path.join(root, "many", MANY_NAME % i))
    # Photo-sized pages keep the PDF job busy for several seconds.
    first = os.path.join(root, "big", BIG_NAME % 1)
    convert("-size", "1000x750", "xc:gray", "-seed", "7", "+noise", "Random", "-resize", "4000x3000!",
            "-quality", "85", first)
    for i in range(2, BIG + 1):
        shutil.copyfile(first, os.path.join(root, "big", BIG_NAME % i))


# ---------------------------------------------------------------- files and readers

def media_dir(e, *parts):
    return os.path.join(e.PREFIX, "drive_c", "media", *parts)


def tree(e):
    """Every file under the media folder with its size."""
    found = {}
    for d, _, files in os.walk(media_dir(e)):
        for f in files:
            p = os.path.join(d, f)
            found[os.path.relpath(p, media_dir(e))] = os.path.getsize(p)
    return found


def tool(cmd):
    r = subprocess.run(cmd, capture_output=True, text=True)
    return r.returncode, r.stdout + r.stderr


def picture(path):
    """(format, width, height) as ImageMagick reads the file, or None."""
    rc, out = tool(["identify", "-format", "%m %w %h\n", path])
    parts = out.split("\n")[0].split() if rc == 0 else []
    return (parts[0], int(parts[1]), int(parts[2])) if len(parts) == 3 else None


def is_jpeg(path):
    try:
        with open(path, "rb") as f:
            head = f.read(3)
    except OSError:
        return False
    return head == b"\xff\xd8\xff" and (picture(path) or ("",))[0] == "JPEG"


def pixel(path, x, y):
    info = picture(path)
    if not info:
        return None
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True).stdout
    i = (y * info[1] + x) * 3
    return tuple(data[i:i + 3]) if len(data) >= i + 3 else None


def pdf_images(path):
    """(page, width, height, encoding) of every image pdfimages lists."""
    rc, out = tool(["pdfimages", "-list", path])
    rows = []
    for line in out.splitlines()[2:] if rc == 0 else []:
        f = line.split()
        if len(f) > 8 and f[2] == "image":
            rows.append((int(f[0]), int(f[3]), int(f[4]), f[8]))
    return rows


def pdf_pages(path):
    rc, out = tool(["pdfinfo", path])
    m = re.search(r"^Pages:\s+(\d+)", out, re.M)
    return int(m.group(1)) if rc == 0 and m else None


# ---------------------------------------------------------------- windows and dialogs

def find_window(title):
    """(X window id, x, y, width, height) of the visible top-level window whose title matches, or None."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                         capture_output=True, text=True).stdout.split()
    if not ids:
        return None
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", ids[0]],
                         capture_output=True, text=True).stdout
    v = dict(line.split("=", 1) for line in out.split() if "=" in line)
    try:
        return ids[0], int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])
    except (KeyError, ValueError):
        return None


class Dialog:
    """An open-file dialog on the screen, driven by keyboard and mouse."""

    def __init__(self, e, title, found):
        self.e, self.title = e, title
        self.xid, self.box = found[0], found[1:]

    def name_box_empty(self, shot):
        x0, y0, x1, y1 = NAME_TEXT
        ox, oy = self.box[0], self.box[1]
        return all(min(shot.px(ox + x, oy + y)) >= 235 for y in range(y0, y1, 2) for x in range(x0, x1, 2))

    def name_box_selected(self, shot):
        """The box's text is highlighted (as after Enter on the folder it already shows)."""
        x0, y0, x1, y1 = NAME_TEXT
        ox, oy = self.box[0], self.box[1]
        return any(p[2] > 180 and p[0] < 120 for p in
                   (shot.px(ox + x, oy + y) for y in range(y0, y1, 2) for x in range(x0, x1, 4)))

    def name_box_plain(self, shot):
        return not self.name_box_empty(shot) and not self.name_box_selected(shot)

    def caret_shown(self, shot):
        x0, y0, x1, y1 = CARET
        ox, oy = self.box[0], self.box[1]
        return any(max(shot.px(ox + x, oy + y)) < 100 for y in range(y0, y1) for x in range(x0, x1))

    def name_box(self, shot):
        x0, y0, x1, y1 = NAME_TEXT
        ox, oy = self.box[0], self.box[1]
        return [shot.px(ox + x, oy + y) for y in range(y0, y1) for x in range(x0, x1)]

    def gone(self):
        return self.e.poll(lambda: find_window(self.title) is None)

    def type_and_wait(self, text):
        """Types into the file-name box and waits until the text shows there."""
        self.e.xdo("type", "--delay", "12", text)
        return self.e.wait_for(lambda s: not self.name_box_empty(s))[0]

    def enter_folder(self, folder):
        """Typed folder + Enter: the dialog goes there and empties the file-name box, or, when it
        was there already, highlights the text so that the next typing replaces it."""
        if not self.type_and_wait(folder):
            return False
        self.e.xdo("key", "Return")
        return self.e.wait_for(lambda s: self.name_box_empty(s) or self.name_box_selected(s))[0]

    def choose(self, folder, names):
        """Types the folder, then the (quoted) names, and confirms; true once the dialog closed."""
        if not self.enter_folder(folder) or not self.type_and_wait(names):
            return False
        self.e.xdo("key", "Return")
        return self.gone()

    def choose_whole_folder(self, folder):
        """Selects every file of the folder in the list: the first, then Shift+End."""
        if not self.enter_folder(folder):
            return False
        self.e.xdo("mousemove", self.box[0] + FIRST_ITEM[0], self.box[1] + FIRST_ITEM[1], "click", 1)
        ok, one = self.e.wait_for(self.name_box_plain)
        if not ok:
            return False
        self.e.xdo("key", "shift+End")
        # The box then lists every name in quotes, which shifts what it shows.
        ok, _ = self.e.wait_for(lambda s: self.name_box(s) != self.name_box(one))
        if not ok:
            return False
        self.e.xdo("key", "Return")
        return self.gone()

    def cancel(self):
        self.e.xdo("key", "Escape")
        return self.gone()

    def click_cancel(self):
        self.e.xdo("mousemove", self.box[0] + CANCEL_BUTTON[0], self.box[1] + CANCEL_BUTTON[1], "click", 1)
        return self.gone()


def wait_dialog(e, title):
    """The dialog once it is drawn (its file-name box shows empty), with the keyboard focus.

    Without a window manager the X server sends key presses to the X window that last had the
    input focus (often the taskbar), and Wine then hands them to another window than the new
    dialog; so the X focus is put on the dialog's window, and a click goes into the file-name
    box as a person's would. The blinking caret there says the box has the focus."""
    found = e.poll(lambda: find_window(title))
    if not found:
        return None
    d = Dialog(e, title, found)
    if not e.wait_for(d.name_box_empty)[0]:
        return None
    subprocess.run(["xdotool", "windowfocus", "--sync", d.xid], timeout=5, check=False)
    e.xdo("mousemove", d.box[0] + NAME_BOX[0], d.box[1] + NAME_BOX[1], "click", 1)
    return d if e.wait_for(d.caret_shown, timeout=3)[0] else None


def close_dialogs(e):
    """Clicks away any picker a failed step left open, so that later scenarios start clean."""
    for title in (IMAGE_PICKER, PDF_PICKER):
        for _ in range(3):
            found = find_window(title)
            if not found:
                break
            print(f"      closing a picker left open: {title}", flush=True)
            Dialog(e, title, found).click_cancel()


def balloon_box(e, shot):
    """Bounding box of what covers the desktop above the tray (where balloons rise), or None."""
    desktop = shot.px(e.SCREEN_W - 20, 20)
    xs, ys = [], []
    for y in range(e.SCREEN_H - 220, e.SCREEN_H - 22, 3):
        for x in range(e.SCREEN_W - 460, e.SCREEN_W, 3):
            if not e.close(shot.px(x, y), desktop, 12):
                xs.append(x)
                ys.append(y)
    if len(xs) < 200:
        return None
    box = min(xs), min(ys), max(xs), max(ys)
    return box if box[2] - box[0] > 120 and box[3] - box[1] > 40 else None


def dismiss_balloon(e):
    """Clicks a balloon away so that later scenarios near the tray see a plain desktop."""
    for _ in range(3):
        box = balloon_box(e, e.grab())
        if not box:
            return True
        e.xdo("mousemove", (box[0] + box[2]) // 2, (box[1] + box[3]) // 2, "click", 1)
        if e.wait_for(lambda s: balloon_box(e, s) is None, timeout=3)[0]:
            return True
    return e.wait_for(lambda s: balloon_box(e, s) is None, timeout=15)[0]


# ---------------------------------------------------------------- the wheel

def start_action(e, log, hops):
    """Opens the wheel with M4, releases on the first hop's sector and left-clicks the others.

    Returns the log mark taken before the release, or None when the wheel did not follow."""
    wheel, _, ok, shot = e.open_wheel(8, WHEEL_AT[0], WHEEL_AT[1], log)
    if not ok:
        e.R.check("actions: the wheel opens", False, e.fmt(wheel.main_wheel(shot)), shot)
        e.xdo("mouseup", 8)
        return None
    mark = log.mark()
    if not e.walk_sectors(wheel, hops, "actions"):
        return None
    return mark


def sentinel(e, log, mark):
    """Log lines after mark up to a fresh opening of the wheel, which is then closed empty."""
    wheel, _, _, _ = e.open_wheel(8, WHEEL_AT[0], WHEEL_AT[1], log)
    got, lines = e.lines_before_next_opening(log, mark)
    wheel.move(10, 45)
    e.wait_for(lambda s: not wheel.centre(s, e.CENTRE_HOVER_FILL))
    e.xdo("mouseup", 8)
    e.wait_for(wheel.gone)
    return lines if got else None


def in_order(lines, wanted):
    """True when every wanted line occurs in lines, in this order."""
    pos = 0
    for w in wanted:
        try:
            pos = lines.index(w, pos) + 1
        except ValueError:
            return False
    return True


# ---------------------------------------------------------------- scenarios

def scenario_compress_pair(e, log):
    mark = start_action(e, log, COMPRESS)
    if mark is None:
        return
    d = wait_dialog(e, IMAGE_PICKER)
    chosen = d is not None and d.choose(MEDIA_WIN + "\\pair", " ".join(f'"{n}"' for n, _, _ in PAIR))
    e.R.check("compress: the picker opens and takes a typed folder, then two typed quoted names", chosen,
              "", e.grab())
    outs = [(media_dir(e, "pair", n.rsplit(".", 1)[0] + "-compressed.jpg"), w, h) for n, w, h in PAIR]
    done = e.poll(lambda: all(os.path.exists(p) for p, _, _ in outs)
                  and sum("  Compress success -> " in l for l in log.since(mark)) == len(PAIR))
    got = [(os.path.basename(p), is_jpeg(p), picture(p)) for p, _, _ in outs]
    e.R.check("compress: a-compressed.jpg and b-compressed.jpg appear, decode as JPEG at their inputs' sizes",
              done and all(j and pic == ("JPEG", w, h) for (_, j, pic), (_, w, h) in zip(got, outs)),
              f"got {got}, files: {sorted(tree(e))[:12]}")
    wanted = []
    for n, _, _ in PAIR:
        stem = n.rsplit(".", 1)[0]
        wanted += [f"ExecuteCompress: Opening {MEDIA_WIN}\\pair\\{n}",
                   f"  Compress success -> {MEDIA_WIN}\\pair\\{stem}-compressed.jpg"]
    e.R.check("compress: the log has the Opening and success lines of both files, in order",
              in_order(log.since(mark), wanted), f"lines: {log.since(mark)}")


def scenario_pdf_pair(e, log):
    before = e.grab()
    mark = start_action(e, log, IMAGE_TO_PDF)
    if mark is None:
        return
    d = wait_dialog(e, IMAGE_PICKER)
    chosen = d is not None and d.choose(MEDIA_WIN + "\\pair", " ".join(f'"{n}"' for n, _, _ in PAIR))
    pdf = media_dir(e, "pair", "a-merged.pdf")
    finished = e.poll(lambda: any(l.startswith("ExecutePdf: Finished successfully.") for l in log.since(mark)))
    lines = log.since(mark)
    size = os.path.getsize(pdf) if os.path.exists(pdf) else -1
    e.R.check("pdf: two typed names give a-merged.pdf and the log's byte count is the file's size",
              chosen and finished and f"ExecutePdf: Finished successfully. Total {size} bytes written." in lines
              and in_order(lines, ["ExecutePdf: Starting PDF export for 2 targets",
                                   f"ExecutePdf: Output file -> {MEDIA_WIN}\\pair\\a-merged.pdf"]),
              f"size {size}, lines: {lines}")
    rc, out = tool(["qpdf", "--check", pdf])
    images = pdf_images(pdf)
    want = [(i + 1, w, h, "jpeg") for i, (_, w, h) in enumerate(PAIR)]
    e.R.check("pdf: qpdf accepts it; pdfinfo counts 2 pages; one JPEG per page at its input's size",
              rc == 0 and pdf_pages(pdf) == 2 and images == want,
              f"qpdf {rc}: {out.strip()[-300:]}; pages {pdf_pages(pdf)}; images {images}")
    ok, shot = e.wait_for(lambda s: balloon_box(e, s) is not None and balloon_box(e, before) is None)
    e.R.check("pdf: a balloon rises from the tray when the PDF is written", ok,
              f"box now {balloon_box(e, shot)}, before {balloon_box(e, before)}", shot)


def scenario_split(e, log):
    pdf = media_dir(e, "pair", "a-merged.pdf")
    mark = start_action(e, log, PDF_SPLIT)
    if mark is None:
        return
    d = wait_dialog(e, PDF_PICKER)
    chosen = d is not None and d.choose(MEDIA_WIN + "\\pair", "a-merged.pdf")
    e.R.check("split: its own picker (Pilih File PDF ...) opens and takes the typed folder and name", chosen,
              "", e.grab())
    pages = [media_dir(e, "pair", f"a-page-{i:02d}.jpg") for i in range(1, len(PAIR) + 1)]
    e.poll(lambda: sum(l.startswith("  ExecutePdfSplit: Created image ") for l in log.since(mark)) == len(PAIR))
    ref = os.path.join(e.OUT, "split-reference")
    shutil.rmtree(ref, ignore_errors=True)
    os.makedirs(ref)
    rc, out = tool(["pdfimages", "-j", pdf, os.path.join(ref, "p")])
    refs = sorted(os.listdir(ref))

    def same(a, b):
        try:
            return open(a, "rb").read() == open(b, "rb").read()
        except OSError:
            return False

    e.R.check("split: a-page-01.jpg and a-page-02.jpg are byte-identical to the JPEG streams pdfimages -j extracts",
              rc == 0 and len(refs) == len(pages)
              and all(same(p, os.path.join(ref, r)) for p, r in zip(pages, refs)),
              f"pdfimages {rc} {out.strip()[:200]}, reference {refs}, pages exist "
              f"{[os.path.exists(p) for p in pages]}")
    wanted = [f"ExecutePdfSplit: Processing {MEDIA_WIN}\\pair\\a-merged.pdf"] + \
             [f"  ExecutePdfSplit: Created image {MEDIA_WIN}\\pair\\a-page-{i:02d}.jpg" for i in (1, 2)]
    e.R.check("split: the log names the PDF and each page image it created", in_order(log.since(mark), wanted),
              f"lines: {log.since(mark)}")


def scenario_format_jpg(e, log):
    mark = start_action(e, log, FORMAT_JPG)
    if mark is None:
        return
    d = wait_dialog(e, IMAGE_PICKER)
    chosen = d is not None and d.choose(MEDIA_WIN + "\\alpha", GLASS)
    out = media_dir(e, "alpha", "glass.jpg")
    done = e.poll(lambda: f"  Convert success -> {MEDIA_WIN}\\alpha\\glass.jpg" in log.since(mark))
    clear, solid = pixel(out, 10, 20), pixel(out, 45, 20)
    e.R.check("FORMAT > JPG: glass.jpg appears beside the PNG, a 60x40 JPEG, white where the PNG was "
              "transparent and blue where it was opaque",
              chosen and done and is_jpeg(out) and picture(out) == ("JPEG", 60, 40)
              and clear is not None and min(clear) >= 245 and solid is not None and e.close(solid, GLASS_BLUE, 24),
              f"chosen {chosen}, logged {done}, picture {picture(out)}, pixels {clear} {solid}, "
              f"lines {log.since(mark)}")


def scenario_format_webp(e, log):
    mark = start_action(e, log, FORMAT_WEBP)
    if mark is None:
        return
    d = wait_dialog(e, IMAGE_PICKER)
    chosen = d is not None and d.choose(MEDIA_WIN + "\\pair", PAIR[0][0])
    out = media_dir(e, "pair", "a.webp")
    done = e.poll(lambda: f"  Convert success -> {MEDIA_WIN}\\pair\\a.webp" in log.since(mark))
    info_rc, info = tool(["webpinfo", out])
    pam = out + ".pam"
    dec_rc, _ = tool(["dwebp", out, "-pam", "-o", pam])
    size = picture(pam) if dec_rc == 0 else None
    if os.path.exists(pam):
        os.remove(pam)
    # A written file means the run ends without the nothing-written balloon; the screen cannot
    # tell that balloon from one an earlier action left standing.
    failed = [line for line in log.since(mark) if "FAILED" in line or "open failed" in line]
    e.R.check("FORMAT > WebP: a.webp appears beside the PNG, webpinfo accepts it, dwebp reads 64x48, "
              "and the log shows no failure",
              chosen and done and info_rc == 0 and "No error detected." in info and size is not None
              and size[1:] == (PAIR[0][1], PAIR[0][2]) and not failed,
              f"chosen {chosen}, logged {done}, webpinfo {info_rc} {info.strip()[-80:]!r}, decoded {size}, "
              f"lines {log.since(mark)}")


CANCELS = [
    # what, wheel hops, picker, log lines the cancelled run writes
    ("Compress", COMPRESS, IMAGE_PICKER, []),
    ("FORMAT > JPG", FORMAT_JPG, IMAGE_PICKER, []),
    ("Image to PDF", IMAGE_TO_PDF, IMAGE_PICKER, ["ExecutePdf: targets empty, aborting."]),
    ("PDF Split", PDF_SPLIT, PDF_PICKER, ["ExecutePdfSplit: targets empty, aborting."]),
]


def scenario_cancels(e, log):
    for what, hops, title, expected in CANCELS:
        files = tree(e)
        mark = start_action(e, log, hops)
        if mark is None:
            continue
        d = wait_dialog(e, title)
        closed = d is not None and d.cancel()
        if not closed:
            close_dialogs(e)
        lines = sentinel(e, log, mark)
        after = tree(e)
        e.R.check(f"cancel: Esc in the picker of {what} writes no file and logs "
                  f"{'nothing' if not expected else expected[0]}",
                  closed and lines == expected and after == files,
                  f"closed {closed}, lines {lines}, new files {sorted(set(after) - set(files))[:5]}")


def scenario_many(e, log):
    names = [MANY_NAME % i for i in range(1, MANY + 1)]
    # What the dialog hands back: folder, then each name, each ended by a zero character.
    needed = len(MEDIA_WIN + "\\many") + 1 + sum(len(n) + 1 for n in names) + 1
    print(f"      {MANY} names need {needed} characters in the dialog's result (its first buffer holds 8192)",
          flush=True)
    mark = start_action(e, log, COMPRESS)
    if mark is None:
        return
    d = wait_dialog(e, IMAGE_PICKER)
    chosen = d is not None and d.choose_whole_folder(MEDIA_WIN + "\\many")
    outs = [media_dir(e, "many", n[:-4] + "-compressed.jpg") for n in names]
    done = e.poll(lambda: sum("  Compress success -> " in l for l in log.since(mark)) >= MANY, timeout=60,
                  interval=0.5)
    present = sum(os.path.exists(p) for p in outs)
    lines = log.since(mark)
    e.R.check(f"many: {MANY} files picked at once ({needed} characters) are all compressed",
              chosen and done and present == MANY and is_jpeg(outs[0]) and is_jpeg(outs[-1])
              and not any(l.startswith("PickFiles:") for l in lines),
              f"chosen {chosen}, outputs {present}, success lines "
              f"{sum('  Compress success -> ' in l for l in lines)}, picker lines "
              f"{[l for l in lines if l.startswith('PickFiles:')]}")


def scenario_scroll_during_job(e, log, env):
    """A long PDF job must not hold up the mouse: scrolls reach notepad at once meanwhile."""
    trace_path = os.path.join(e.OUT, "notepad-during-job.txt")
    trace = open(trace_path, "wb")
    notepad = subprocess.Popen(["wine", "notepad.exe"], env=dict(env, WINEDEBUG="+message"),
                               stdout=subprocess.DEVNULL, stderr=trace)
    try:
        def count(message):
            with open(trace_path, "rb") as f:
                return len(re.findall(message + rb" dispatched", f.read()))

        ok, shot = e.wait_for(lambda s: all(e.close(s.px(x, y), (255, 255, 255), 8)
                                            for x, y in ((150, 200), (300, 300), (400, 150))), timeout=20)
        if not e.R.check("job: a test window (notepad) opens to receive the scrolls", ok, "", shot):
            return
        mark = start_action(e, log, IMAGE_TO_PDF)
        if mark is None:
            return
        d = wait_dialog(e, IMAGE_PICKER)
        names = [BIG_NAME % i for i in range(1, BIG + 1)]
        chosen = d is not None and d.choose(MEDIA_WIN + "\\big", " ".join(f'"{n}"' for n in names))
        started = e.poll(lambda: f"ExecutePdf: Reading {MEDIA_WIN}\\big\\{names[1]}" in log.since(mark))
        # Focus notepad (the click goes through the hook as well), then scroll a few notches.
        delays = []
        for button, message in [(1, rb"WM_LBUTTONDOWN")] + [(5, rb"WM_MOUSEWHEEL")] * 4:
            seen = count(message)
            t0 = time.monotonic()
            e.xdo("mousemove", 300, 300, "click", button)
            arrived = e.poll(lambda: count(message) > seen, timeout=5, interval=0.01)
            delays.append(round(time.monotonic() - t0, 2) if arrived else None)
            time.sleep(0.2)
        running = not any(l.startswith("ExecutePdf: Finished") for l in log.since(mark))
        e.R.check("job: while the 12-photo PDF is still being written, a click and each scroll reach "
                  "notepad within 1 s",
                  chosen and started and running and all(t is not None and t < 1.0 for t in delays),
                  f"chosen {chosen}, job started {started}, still running {running}, delays (s) {delays}")
        print(f"      click and scroll delays during the job (s): {delays}", flush=True)
        finished = e.poll(lambda: any(l.startswith("ExecutePdf: Finished") for l in log.since(mark)), timeout=90,
                          interval=0.5)
        pdf = media_dir(e, "big", (BIG_NAME % 1)[:-4] + "-merged.pdf")
        e.R.check(f"job: it then finishes with a {BIG}-page PDF", finished and pdf_pages(pdf) == BIG,
                  f"finished {finished}, pages {pdf_pages(pdf)}")
    finally:
        if notepad.poll() is None:
            notepad.kill()
            notepad.wait()
        trace.close()


def run_all(e, log, env):
    """All media scenarios; e is the e2e module (helpers and its one Results)."""
    if not os.path.isdir(media_dir(e, "pair")):
        e.R.check("actions: the input pictures are in C:\\media", False, media_dir(e))
        return
    for scenario in (scenario_compress_pair, scenario_pdf_pair, scenario_split, scenario_format_jpg,
                     scenario_format_webp, scenario_cancels, scenario_many):
        scenario(e, log)
        close_dialogs(e)
    scenario_scroll_during_job(e, log, env)
    close_dialogs(e)
    # The tray's neighbourhood must be plain again for the menu scenarios that follow.
    e.R.check("actions: the balloons are gone afterwards", dismiss_balloon(e), "", e.grab())


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--fixtures":
        make_fixtures(sys.argv[2])
    else:
        sys.exit("usage: e2e_actions.py --fixtures DIR")
