#!/usr/bin/env python3
"""Opening latency of the wheel under Wine: side-button press to the wheel on the screen.

Run by scripts/bench_opening.sh inside a prepared display and prefix, with the program running:
    opening_latency.py <log file> [openings]
Each opening presses M4 over the desktop, watches one pixel of the wheel's centre through Xlib until
it changes (the wheel is on the screen), then releases on the centre (which cancels) and waits for the
wheel to go. The detection's share comes from the log: "Step 1" to "Step 2" of the same opening.
Reports, never asserts.
"""
import ctypes
import re
import statistics
import subprocess
import sys
import time
from datetime import datetime

X11 = ctypes.cdll.LoadLibrary("libX11.so.6")
X11.XOpenDisplay.restype = ctypes.c_void_p
X11.XOpenDisplay.argtypes = [ctypes.c_char_p]
X11.XDefaultRootWindow.restype = ctypes.c_ulong
X11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X11.XGetImage.restype = ctypes.c_void_p
X11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                          ctypes.c_ulong, ctypes.c_int]
X11.XGetPixel.restype = ctypes.c_ulong
X11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
X11.XFree.argtypes = [ctypes.c_void_p]
ZPIXMAP = 2
ALL_PLANES = 0xFFFFFFFF

DISPLAY = X11.XOpenDisplay(None)
ROOT = X11.XDefaultRootWindow(DISPLAY)
STAMP = re.compile(r"^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\] (.*)$")


def pixel(x, y):
    image = X11.XGetImage(DISPLAY, ROOT, x, y, 1, 1, ALL_PLANES, ZPIXMAP)
    value = X11.XGetPixel(image, 0, 0)
    X11.XFree(image)  # the one pixel of data stays behind; a few bytes per poll over a short run
    return value


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


def wait_pixel(x, y, changed_from, want_change, timeout=8.0):
    end = time.perf_counter() + timeout
    while time.perf_counter() < end:
        if (pixel(x, y) != changed_from) == want_change:
            return time.perf_counter()
        time.sleep(0.0005)
    return None


def log_lines(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8", errors="replace").split("\r\n")


def stamp(line):
    m = STAMP.match(line)
    return (datetime.strptime(m.group(1), "%Y-%m-%d %H:%M:%S.%f"), m.group(2)) if m else (None, "")


def detection_ms(lines):
    """Step 1 to Step 2 of the last opening in lines, in milliseconds."""
    start = end = None
    for line in lines:
        t, text = stamp(line)
        if text.startswith("Step 1: DetectSelectedFiles"):
            start, end = t, None
        elif text.startswith("Step 2: Reset UI state") and start:
            end = t
    return (end - start).total_seconds() * 1000 if start and end else None


def main():
    log_path = sys.argv[1]
    openings = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    cx, cy = 500, 380
    # A point of the centre disc, away from its text, that differs from the desktop behind it.
    px, py = cx - 30, cy + 25
    latencies, detections = [], []
    for i in range(openings):
        xdo("mousemove", cx, cy)
        time.sleep(0.3)
        background = pixel(px, py)
        mark = len(log_lines(log_path))
        t0 = time.perf_counter()
        xdo("mousedown", 8)
        t1 = wait_pixel(px, py, background, True)
        xdo("mouseup", 8)
        if t1 is None:
            print(f"opening {i + 1}: the wheel did not show", flush=True)
            continue
        latencies.append((t1 - t0) * 1000)
        wait_pixel(px, py, background, False)
        time.sleep(0.2)
        d = detection_ms(log_lines(log_path)[mark:])
        if d is not None:
            detections.append(d)
        print(f"opening {i + 1}: {latencies[-1]:.0f} ms on screen, detection {d if d is not None else '?'} ms",
              flush=True)
    if not latencies:
        print("no opening was seen")
        return 1
    print(f"press to wheel on screen, {len(latencies)} openings: median {statistics.median(latencies):.0f} ms, "
          f"worst {max(latencies):.0f} ms")
    if detections:
        print(f"detection (Step 1 to Step 2 in the log): median {statistics.median(detections):.0f} ms, "
              f"worst {max(detections):.0f} ms, share of the median opening "
              f"{100 * statistics.median(detections) / statistics.median(latencies):.0f}%")
    print("note: xdotool's own start (about a few ms) is inside every on-screen figure")
    return 0


if __name__ == "__main__":
    sys.exit(main())
