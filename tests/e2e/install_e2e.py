#!/usr/bin/python3
"""Installation checks under Wine: silent install, the installed program (one copy at a time,
starting with Windows from its tray menu), silent uninstall.

install_e2e.sh prepares the X server and a fresh prefix with a virtual desktop, then runs
    install_e2e.py SETUP_EXE BUILT_EXE OUT_DIR
Judged from outside: the prefix's files, the registry (through Wine's reg), the portable zip,
the program's log, its exit codes, its process in /proc and screenshots of the tray.
"""

import os
import re
import subprocess
import sys
import time
import zipfile

SETUP, BUILT_EXE, OUT = sys.argv[1], sys.argv[2], sys.argv[3]
# The screen, input, log and result helpers of the main end-to-end runner, which takes its
# program, its output folder and a URL record from the command line when imported.
sys.argv = [sys.argv[0], BUILT_EXE, OUT, os.devnull]
import e2e  # noqa: E402
import e2e_actions  # noqa: E402

from e2e import R, grab, poll, wait_for, xdo, tray_icon_box, SCREEN_W, SCREEN_H  # noqa: E402

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TarvixTool"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


def balloon_shown(shot):
    return e2e_actions.balloon_box(e2e, shot) is not None


# ---------------------------------------------------------------- the prefix

def reg_values(key):
    """The values of a registry key as {name: (type, data)}; None when the key is missing."""
    run = subprocess.run(["wine", "reg", "query", key], capture_output=True, timeout=60)
    if run.returncode != 0:
        return None
    values = {}
    for line in run.stdout.decode("utf-8", errors="replace").splitlines():
        m = re.match(r"^\s+(\S+)\s+(REG_\w+)\s+(.*?)\s*$", line)
        if m:
            values[m.group(1)] = (m.group(2), m.group(3))
    return values


def run_value():
    values = reg_values(RUN_KEY) or {}
    return values.get("TarvixTool", (None, None))[1]


# ---------------------------------------------------------------- the tray menu

def lit_band(shot, lit, box):
    """Rows of the menu that changed between shot and lit (the highlighted entry), or None."""
    rows = [y for y in range(box[1], box[3] + 1)
            if any(shot.px(x, y) != lit.px(x, y) for x in range(box[0] + 4, box[2] - 4, 2))]
    return (min(rows), max(rows)) if rows else None


def choose_autostart(icon_box, log, name):
    """Chooses the entry right above "Exit" in the tray menu; returns the log lines that this
    caused, the screenshot of the open menu, the menu's box and the entry's rows."""
    ok, _, shot, box = e2e.open_tray_menu(icon_box)
    time.sleep(0.3)  # fully drawn
    shot = grab()
    if not R.check(f"{name}: a right click on the tray icon opens the menu", ok, f"box {box}", shot):
        return None, shot, None, None
    x = (box[0] + box[2]) // 2
    # "Exit" is the last entry; its highlight gives the height of one entry.
    xdo("mousemove", x, box[3] - 10)
    lit, exit_shot = wait_for(lambda s: lit_band(shot, s, box) is not None)
    exit_band = lit_band(shot, exit_shot, box)
    if not R.check(f"{name}: the pointer highlights the last entry", lit, f"box {box}", exit_shot):
        return None, shot, None, None
    entry = exit_band[1] - exit_band[0] + 1
    y = exit_band[0] - entry // 2 - 1
    xdo("mousemove", x, y)
    # Lit: the changed rows now begin one entry above "Exit" (a tooltip may change rows below).
    lit, entry_shot = wait_for(lambda s: exit_band[0] - entry - 2 <= (lit_band(shot, s, box) or (box[3], 0))[0] <= y)
    if not R.check(f"{name}: the entry above it lights up", lit, f"exit {exit_band}, now {lit_band(shot, entry_shot, box)}",
                   entry_shot):
        return None, shot, None, None
    mark = log.mark()
    xdo("click", 1)
    poll(lambda: any(l.startswith("Autostart: ") for l in log.since(mark)))
    return log.since(mark), shot, box, (exit_band[0] - entry, exit_band[0] - 1)


# ---------------------------------------------------------------- scenarios

def main():
    env = dict(os.environ)
    user, home = e2e.users_dir()
    install_dir = os.path.join(home, "AppData", "Local", "Programs", "Tarvix Tool")
    win_install_dir = f"C:\\users\\{user}\\AppData\\Local\\Programs\\Tarvix Tool"
    win_exe = win_install_dir + "\\TarvixTool.exe"
    installed_exe = os.path.join(install_dir, "TarvixTool.exe")
    uninstaller = os.path.join(install_dir, "Uninstall.exe")
    shortcut = os.path.join(home, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs",
                            "Tarvix Tool.lnk")
    config = os.path.join(home, "AppData", "Roaming", "TarvixTool", "config.ini")
    log = e2e.Log(os.path.join(home, "Temp", "TarvixTool.log"))
    program = None
    try:
        # ---- silent install
        started = time.monotonic()
        install = subprocess.run(["wine", SETUP, "/S"], env=env, capture_output=True, timeout=90)
        R.check(f"install: the silent installer ends with 0 ({time.monotonic() - started:.1f} s)",
                install.returncode == 0, f"status {install.returncode}")
        with open(BUILT_EXE, "rb") as f:
            built = f.read()
        got = open(installed_exe, "rb").read() if os.path.exists(installed_exe) else b""
        R.check("install: the program is in the user's local programs folder, byte for byte the built one",
                got == built, f"{installed_exe}: {len(got)} bytes, built {len(built)}")
        R.check("install: the uninstaller and the Start-menu shortcut are there",
                os.path.isfile(uninstaller) and os.path.isfile(shortcut), f"{uninstaller}, {shortcut}")
        values = reg_values(UNINSTALL_KEY) or {}
        want = {
            "DisplayName": ("REG_SZ", "Tarvix Tool"),
            "DisplayVersion": ("REG_SZ", "1.9"),
            "Publisher": ("REG_SZ", "Tarvix"),
            "DisplayIcon": ("REG_SZ", f'"{win_exe}",0'),
            "UninstallString": ("REG_SZ", f'"{win_install_dir}\\Uninstall.exe"'),
            "QuietUninstallString": ("REG_SZ", f'"{win_install_dir}\\Uninstall.exe" /S'),
            "NoModify": ("REG_DWORD", "0x1"),
            "NoRepair": ("REG_DWORD", "0x1"),
        }
        wrong = {k: (values.get(k), v) for k, v in want.items() if values.get(k) != v}
        size = values.get("EstimatedSize", ("", "0x0"))
        size_kb = int(size[1], 16) if size[0] == "REG_DWORD" else 0
        # The program is one executable of about 1.7 MB; the uninstaller adds some 100 kB.
        R.check(f"install: the uninstall registration names, versions and sizes the program ({size_kb} kB)",
                not wrong and len(built) // 1024 <= size_kb <= len(built) // 1024 + 400, f"wrong: {wrong}")
        R.check("install: a silent install without /AUTOSTART leaves starting with Windows off",
                run_value() is None, f"Run value {run_value()!r}")

        # ---- the portable zip beside the installer
        portable = os.path.join(os.path.dirname(SETUP), "TarvixTool-1.9-portable.zip")
        with zipfile.ZipFile(portable) as z:
            names = z.namelist()
            exe = z.read("TarvixTool.exe") if "TarvixTool.exe" in names else b""
            readme = z.read("BACA-SAYA.txt") if "BACA-SAYA.txt" in names else b""
        R.check("portable zip: the built program and a read-me with CR LF lines, at the top, nothing else",
                sorted(names) == ["BACA-SAYA.txt", "TarvixTool.exe"] and exe == built
                and readme.count(b"\r\n") > 5 and b"\n" not in readme.replace(b"\r\n", b""),
                f"names {names}, exe {len(exe)} bytes, read-me {readme[:60]!r}")

        # ---- the installed program, and a second start
        program = subprocess.Popen(["wine", win_exe], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ok, shot = wait_for(lambda s: tray_icon_box(s) is not None, timeout=30)
        icon_box = tray_icon_box(shot)
        if not R.check("run: the installed program shows its tray icon", ok, "", shot):
            return
        poll(lambda: os.path.exists(config))
        time.sleep(1.0)  # the hook goes in after the icon
        first_pid = e2e.find_linux_pid()

        mark = log.mark()
        second = subprocess.Popen(["wine", win_exe], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            code = second.wait(timeout=20)
        except subprocess.TimeoutExpired:
            second.kill()
            code = None
        lines = log.since(mark)
        R.check("second start: it ends by itself with exit code 0", code == 0, f"exit code {code}")
        R.check("second start: it writes one log line, that the program is already running",
                len(lines) == 1 and re.fullmatch(r"AppMain: Tarvix Tool is already running \(tray window "
                                                 r"(?!0{16})[0-9A-F]{16}\), this copy exits", lines[0]) is not None,
                f"lines: {lines}")
        shown, shot = wait_for(balloon_shown, timeout=8)
        R.check("second start: the running copy shows a balloon", shown, "", shot)
        R.check("second start: the running copy goes on, and it alone",
                program.poll() is None and first_pid is not None and e2e.find_linux_pid() == first_pid,
                f"first: {first_pid}, now: {e2e.find_linux_pid()}")
        R.check("second start: still one tray icon", tray_icon_box(grab()) == icon_box,
                f"before {icon_box}, after {tray_icon_box(grab())}")
        # The balloon goes with a click, so that the menu below finds a plain desktop.
        if shown:
            xdo("mousemove", SCREEN_W - 150, SCREEN_H - 80, "click", 1)
            wait_for(lambda s: not balloon_shown(s), timeout=15)

        # One hook: one press opens one wheel; its release on the wheel's centre runs nothing.
        xdo("mousemove", 500, 350)
        mark = log.mark()
        xdo("mousedown", 8)
        opened = poll(lambda: "=== WM_APP_OPENWHEEL received ===" in log.since(mark))
        time.sleep(1.5)  # time for a second wheel to open, if a second hook were there
        openings = log.since(mark).count("=== WM_APP_OPENWHEEL received ===")
        xdo("mouseup", 8)
        R.check("second start: a side-button press opens one wheel", opened and openings == 1,
                f"openings: {openings}")
        time.sleep(0.5)

        # ---- start with Windows, from the tray menu
        lines, shot, _, _ = choose_autostart(icon_box, log, "autostart on")
        quoted = f'"{win_exe}"'
        value = poll(run_value, timeout=5)
        R.check("autostart on: the menu entry writes the Run value naming the running exe in quotes",
                value == quoted and lines == [f"Autostart: Run value set to {quoted}"],
                f"value {value!r}, log {lines}", shot)
        unchecked_menu = shot

        lines, shot, box, row = choose_autostart(icon_box, log, "autostart off")
        time.sleep(0.5)
        R.check("autostart off: choosing the entry again removes the Run value",
                run_value() is None and lines == ["Autostart: Run value removed"],
                f"value {run_value()!r}, log {lines}", shot)
        checked_menu = shot
        # The menu showed the check mark only while the value was there: down to the entry (below
        # it the pointer's tooltip may come and go), only the entry's row differs between the two.
        diff = row and lit_band(unchecked_menu, checked_menu, (box[0], box[1], box[2], row[1]))
        R.check("autostart: the menu shows a check mark only while the Run value is there",
                bool(diff) and row[0] <= diff[0], f"changed rows {diff}, entry rows {row}", checked_menu)

        lines, shot, _, _ = choose_autostart(icon_box, log, "autostart on again")
        R.check("autostart on again: the Run value is back", poll(lambda: run_value() == quoted, timeout=5),
                f"value {run_value()!r}, log {lines}")

        # ---- silent uninstall, with the program still running
        uninstall = subprocess.run(["wine", win_install_dir + "\\Uninstall.exe", "/S"], env=env,
                                   capture_output=True, timeout=60)
        R.check("uninstall: the silent uninstaller ends with 0", uninstall.returncode == 0,
                f"status {uninstall.returncode}")
        # The uninstaller runs on from a copy of itself in the temporary folder.
        gone = poll(lambda: not os.path.exists(install_dir) and not os.path.exists(shortcut), timeout=20)
        R.check("uninstall: the program, the uninstaller, their folder and the shortcut are gone", gone,
                f"left: {[p for p in (installed_exe, uninstaller, install_dir, shortcut) if os.path.exists(p)]}")
        try:
            code = program.wait(timeout=10)
        except subprocess.TimeoutExpired:
            code = None
        R.check("uninstall: the running copy was closed, with exit code 0", code == 0, f"exit code {code}")
        R.check("uninstall: the Run value and the uninstall registration are gone",
                run_value() is None and reg_values(UNINSTALL_KEY) is None,
                f"Run value {run_value()!r}, registration {reg_values(UNINSTALL_KEY)}")
        R.check("uninstall: config.ini and the log stay", os.path.isfile(config) and os.path.isfile(log.path))
    except Exception as e:  # a broken step must still produce a verdict line
        import traceback
        traceback.print_exc()
        R.check("the run completes without an error in the test itself", False, repr(e), grab())
    finally:
        if program is not None and program.poll() is None:
            program.kill()
        with open(os.path.join(OUT, "result"), "w") as f:
            f.write(f"{R.passed} {R.failed}\n")
    return 1 if R.failed else 0


if __name__ == "__main__":
    sys.exit(main())
