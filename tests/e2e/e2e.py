#!/usr/bin/env python3
"""End-to-end tests: MORVASIM.EXE under Wine on the current (virtual) display, clicked with a
real mouse through xdotool, and read back with the probe program and screenshots. With --native,
the Linux program (morva --cable sim) of a Winelib build folder takes MORVASIM.EXE's place.

Usage: e2e.py --build BUILD_DIR --source SOURCE_DIR [--native --windows-build DIR] CASE
"""
import argparse
import contextlib
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import zipfile
import time

# What each state button must do: TMS, TDI (None: left as it was) and the state it enters.
COMMANDS = {
    1001: (0, 1, "RTI"), 1002: (1, None, "SDS"), 1004: (0, None, "CDR"), 1005: (0, 0, "SDR"),
    1036: (0, 1, "SDR"), 1006: (1, 0, "E1D"), 1037: (1, 1, "E1D"), 1007: (0, 1, "PDR"),
    1008: (1, None, "E2D"), 1009: (1, 1, "UDR"), 1003: (1, None, "SIS"), 1010: (0, None, "CIR"),
    1011: (0, 0, "SIR"), 1038: (0, 1, "SIR"), 1012: (1, 0, "E1I"), 1039: (1, 1, "E1I"),
    1013: (0, 1, "RIR"), 1014: (1, None, "E2I"), 1015: (1, 1, "UIR"),
}
# Buttons one clock can reach from each state, with TEST-LOGIC-RESET; and the highlighted ones.
ENABLED = {
    "***": {1000}, "TLR": {1000, 1001}, "RTI": {1000, 1001, 1002}, "SDS": {1000, 1004, 1003},
    "CDR": {1000, 1005, 1036, 1006, 1037}, "SDR": {1000, 1005, 1036, 1006, 1037},
    "E1D": {1000, 1007, 1009}, "PDR": {1000, 1007, 1008}, "E2D": {1000, 1005, 1036, 1009},
    "UDR": {1000, 1001, 1002}, "SIS": {1000, 1010}, "CIR": {1000, 1011, 1038, 1012, 1039},
    "SIR": {1000, 1011, 1038, 1012, 1039}, "E1I": {1000, 1013, 1015},
    "RIR": {1000, 1013, 1014}, "E2I": {1000, 1011, 1038, 1015}, "UIR": {1000, 1001, 1002},
}
HIGHLIGHTED = {
    "***": set(), "TLR": {1000}, "RTI": {1001}, "SDS": {1002}, "CDR": {1004}, "SDR": {1005, 1036},
    "E1D": {1006, 1037}, "PDR": {1007}, "E2D": {1008}, "UDR": {1009}, "SIS": {1003},
    "CIR": {1010}, "SIR": {1011, 1038}, "E1I": {1012, 1039}, "RIR": {1013}, "E2I": {1014},
    "UIR": {1015},
}
STATE_BUTTONS = sorted(set(COMMANDS) | {1000})
ROWS = [1028, 1032, 1033, 1029, 1030, 1031]  # three code rows, then TMS, TDI, TDO


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Window:
    """What the probe saw of the running window."""

    def __init__(self, text):
        self.visible = False
        self.controls, self.rows, self.colours = {}, {}, {}
        self.count, self.top, self.last_line = 0, 0, ""
        self.mains, self.main_in_front, self.boxes = 0, False, {}
        self.lines = []
        self.focus = (0, False)
        self.texts, self.items = {}, {}
        self.menu = {"open": False, "rect": (0, 0, 0, 0)}
        self.title, self.box_buttons = "", {}
        self.chain = {"visible": False, "rect": (0, 0, 0, 0), "picked": -1, "controls": {}, "texts": {}, "items": []}
        self.pins = {"visible": False, "rect": (0, 0, 0, 0), "picked": -1, "controls": {}, "texts": {}, "items": []}
        self.svf = {"visible": False, "rect": (0, 0, 0, 0), "picked": -1, "controls": {}, "texts": {}, "items": []}
        self.board = {"visible": False, "rect": (0, 0, 0, 0), "picked": -1, "controls": {}, "texts": {}, "items": []}
        # False when a command ran while the probe read: what it saw may mix two states.
        self.settled = True
        for line in text.splitlines():
            kind, _, rest = line.partition(" ")
            if kind == "window":
                fields = rest.split()
                # A window that holds its painting reads as hidden for that moment: its place
                # is still its place.
                self.visible = fields[0] == "1"
                self.rect = tuple(int(v) for v in fields[1:5])
            elif kind == "control":
                v = [int(f) for f in rest.split()]
                self.controls[v[0]] = {"enabled": v[1] == 1, "visible": v[2] == 1, "rect": tuple(v[3:7])}
            elif kind == "row":
                ident, _, text_ = rest.partition(" ")
                self.rows[int(ident)] = text_
            elif kind == "history":
                fields = rest.split(" ", 2)
                self.count, self.top = int(fields[0]), int(fields[1])
                self.last_line = fields[2] if len(fields) > 2 else ""
            elif kind == "line":
                self.lines.append(rest)
            elif kind == "settled":
                self.settled = rest == "1"
            elif kind == "windows":
                count, front = rest.split()
                self.mains, self.main_in_front = int(count), front == "1"
            elif kind == "box":
                fields = rest.split(" ", 6)
                self.boxes[fields[0]] = {"count": int(fields[1]), "rect": tuple(int(v) for v in fields[2:6]),
                                         "texts": fields[6].split("|")[:-1] if len(fields) > 6 else []}
            elif kind == "boxbutton":
                fields = rest.split()
                self.box_buttons.setdefault(fields[0], {})[int(fields[1])] = tuple(int(v) for v in fields[2:6])
            elif kind == "title":
                self.title = rest
            elif kind == "menu":
                v = [int(f) for f in rest.split()]
                self.menu = {"open": v[0] == 1, "rect": tuple(v[1:5])}
            elif kind == "text":
                ident, _, text_ = rest.partition(" ")
                self.texts[int(ident)] = text_
            elif kind == "item":
                ident, _, text_ = rest.partition(" ")
                self.items.setdefault(int(ident), []).append(text_)
            elif kind in ("chain", "pins", "svf", "board") and rest != "none":
                v = [int(f) for f in rest.split()]
                getattr(self, kind).update(visible=v[0] == 1, rect=tuple(v[1:5]), picked=v[5], line_height=v[6])
            elif kind in ("chaincontrol", "pinscontrol", "svfcontrol", "boardcontrol"):
                v = [int(f) for f in rest.split()]
                getattr(self, kind[:-7])["controls"][v[0]] = tuple(v[1:5])
            elif kind in ("chaintext", "pinstext", "svftext", "boardtext"):
                ident, _, text_ = rest.partition(" ")
                getattr(self, kind[:-4])["texts"][int(ident)] = text_
            elif kind in ("chainitem", "pinsitem", "svfitem", "boarditem"):
                getattr(self, kind[:-4])["items"].append(rest)
            elif kind == "focus":
                ident, enabled = rest.split()
                self.focus = (int(ident), enabled == "1")
            elif kind == "colour":
                name, value = rest.split()
                self.colours[name] = tuple(int(value[i:i + 2], 16) for i in (0, 2, 4))

    def enabled_buttons(self):
        return {i for i in STATE_BUTTONS if self.controls[i]["enabled"]}


class Session:
    def __init__(self, build, source, native=False):
        self.build, self.source, self.native = build, source, native
        self.prefix = os.path.join(build, "wineprefix")
        # The Linux program and its probe are 64-bit Winelib programs in a 64-bit prefix.
        runner = "wine64-run.sh" if native else "wine-run.sh"
        self.wine = [os.path.join(source, "scripts", runner), self.prefix]
        self.process = None
        self.env = None
        self.others = []
        self.last_click = (None, 0.0)
        self.probes, self.probe_output = {}, {}

    def prepare_prefixes(self):
        """Each language's prefix made now, where making one may take a while: a program started
        in a prefix still to be made would keep the test waiting for its window."""
        for _, _, overrides in LOCALES:
            self.env = locale_env(overrides)
            self.probe(timeout=600)
        self.env = None

    def launch(self, program=None, env=None, stdout=subprocess.DEVNULL, args=(), cwd=None, stderr=subprocess.DEVNULL):
        if program is None:
            program, args = ("morva.exe", ["--cable", "sim"] + list(args)) if self.native else ("MORVASIM.EXE", args)
        # A session of its own, so that stopping ends Wine's process too, not only the wrapper.
        # No terminal, as from a desktop's menu: the Linux program says its errors in a box then.
        # The probe looks in the prefix the program runs in, which the locale chooses.
        self.env = env
        process = subprocess.Popen(self.wine + [os.path.join(self.build, program)] + list(args), env=env, cwd=cwd,
                                   stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr,
                                   start_new_session=True)
        self.others.append(process)
        return process

    def start(self, env=None):
        check(not self.probe().visible, "a MORVA window is already open")
        self.process = self.launch(env=env)
        deadline = time.time() + 60
        while time.time() < deadline:
            window = self.probe()
            if window.visible:
                return window
            time.sleep(0.3)
        raise Failure("the window did not appear within 60 s" + self.seen(window))

    def stop(self):
        for process in self.others:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
        # Wine takes a moment to drop the windows of a process that was killed.
        deadline = time.time() + 15
        while self.others and time.time() < deadline and self.probe().mains > 0:
            time.sleep(0.2)

    def wait_until(self, condition, what, timeout=30, action="", on_timeout=None):
        deadline = time.time() + timeout
        while True:
            window = self.probe(action)
            if condition(window):
                return window
            # What was seen is gathered (a screenshot among it) only once the wait has run out.
            if time.time() >= deadline:
                check(False, f"timed out waiting for {what}" + (f": {on_timeout(window)}" if on_timeout else "") +
                      self.seen(window))
            time.sleep(0.3)

    def seen(self, window):
        """What the display showed when a wait ran out: a screenshot, and what the probe found."""
        shot = os.path.join(self.build, f"e2e-timeout-{os.getpid()}.png")
        subprocess.run(["import", "-window", "root", shot], capture_output=True)
        started = ", ".join(f"{p.pid}:{'running' if p.poll() is None else p.returncode}" for p in self.others)
        return (f" (the probe saw {window.mains} main windows, visible {window.visible}; programs started {started}; "
                f"display {os.environ.get('DISPLAY')} in {shot})")

    def probe(self, action="", timeout=60, retry=True):
        """What the probe sees now, after the action asked of it. The probe runs as a server, one
        for each environment (the locale and the screen choose the prefix), started on first use."""
        key = None if self.env is None else tuple(sorted(self.env.items()))
        server = self.probes.get(key)
        if server is None or server.poll() is not None:
            env = dict(self.env if self.env is not None else os.environ, MORVA_WINE_STREAM="1")
            server = subprocess.Popen(self.wine + [os.path.join(self.build, "tests", "e2e_probe.exe"), "--serve"],
                                      env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=subprocess.DEVNULL, start_new_session=True)
            self.probes[key] = server
            self.probe_output[key] = b""
        try:
            server.stdin.write((action + "\n").encode())
            server.stdin.flush()
        except BrokenPipeError:
            self.stop_probes()
            if retry:
                return self.probe(action, timeout, retry=False)
            raise Failure(f"the probe ended before it was asked {action!r}")
        deadline = time.time() + timeout
        buffered = self.probe_output[key]
        while True:
            text = buffered.replace(b"\r", b"")
            found = (b"\n" + text).find(b"\nend\n")
            if found >= 0:
                break
            left = deadline - time.time()
            if left <= 0 or not select.select([server.stdout], [], [], left)[0]:
                self.stop_probes()
                raise Failure(f"the probe did not answer {action!r} within {timeout} s")
            chunk = os.read(server.stdout.fileno(), 65536)
            if not chunk:
                # Its Wine ended under it (a prefix's server stopped): a new one is asked once.
                self.stop_probes()
                if retry:
                    return self.probe(action, timeout, retry=False)
                raise Failure(f"the probe ended while asked {action!r}")
            buffered += chunk
        self.probe_output[key] = text[found + len(b"end\n"):]
        return Window(text[:found].decode("utf-8", "replace"))

    def stop_probes(self):
        for server in self.probes.values():
            try:
                os.killpg(server.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            server.wait()
        self.probes, self.probe_output = {}, {}

    def click(self, window, ident, double=False, hold=None):
        left, top, right, bottom = window.controls[ident]["rect"]
        x, y = (left + right) // 2, (top + bottom) // 2
        if hold is not None:
            # Pressed for a while, as a person does: what the press itself paints is done before the release.
            command = ["xdotool", "mousemove", str(x), str(y), "mousedown", "1", "sleep", str(hold), "mouseup", "1"]
            subprocess.run(command, check=True)
            self.last_click = (ident, time.time())
            return
        command = ["xdotool", "mousemove", str(x), str(y), "click"]
        if double:
            command += ["--repeat", "2", "--delay", "80"]
        subprocess.run(command + ["1"], check=True)
        self.last_click = (ident, time.time())

    def key(self, name):
        subprocess.run(["xdotool", "key", name], check=True)

    def wait_for_count(self, count, line_changes_from=None, timeout=10):
        deadline = time.time() + timeout
        while True:
            window = self.probe()
            done = window.count >= count if line_changes_from is None else window.last_line != line_changes_from
            if (done and window.settled) or time.time() > deadline:
                return window
            time.sleep(0.1)

    def wait_until_settled(self):
        """Lets the window work through the clicks it took: the history unchanged for 1.5 s."""
        seen, stable_since = None, time.time()
        while True:
            window = self.probe()
            if (window.count, window.last_line) != seen or not window.settled:
                seen, stable_since = (window.count, window.last_line), time.time()
            elif time.time() - stable_since >= 1.5:
                return window
            time.sleep(0.2)

    def screenshot(self, path, rect=None):
        crop = ["-crop", f"{rect[2] - rect[0]}x{rect[3] - rect[1]}+{rect[0]}+{rect[1]}", "+repage"] if rect else []
        subprocess.run(["import", "-window", "root", "-depth", "8"] + crop + [path], check=True)


def click_through(session, window, buttons, hold=None):
    """Clicks each button in turn and waits for its clocks in the history (six for a reset)."""
    for ident in buttons:
        before = window.count
        session.click(window, ident, hold=hold)
        window = session.wait_for_count(before + (6 if ident == 1000 else 1))
    return window


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    parts, pos = [], 0
    while len(parts) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        parts.append(data[pos:end])
        pos = end
    width, height = int(parts[1]), int(parts[2])
    pixels = data[pos + 1:]
    return lambda x, y: tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3])


def check_window(session, window, code, tms, tdi, shot_path):
    """After a clock into `code`: enabled set, highlight colours, history line and trace rows."""
    check(window.enabled_buttons() == ENABLED[code],
          f"{code}: enabled {sorted(window.enabled_buttons())}, expected {sorted(ENABLED[code])}")
    session.screenshot(shot_path)
    pixel = read_ppm(shot_path)
    caption = window.colours["activecaption"]
    for ident in STATE_BUTTONS:
        left, top, _, _ = window.controls[ident]["rect"]
        # Just inside the frame: face colour, clear of the caption and the focus rectangle.
        colour = pixel(left + 2, top + 2)
        if ident in HIGHLIGHTED[code]:
            check(colour == caption, f"{code}: button {ident} shows {colour}, not the caption colour {caption}")
        else:
            check(colour != caption, f"{code}: button {ident} is highlighted but should not be")
            if window.controls[ident]["enabled"]:
                check(colour == window.colours["btnface"], f"{code}: button {ident} face {colour}")

    line = window.last_line
    check(len(line) == 7 and line[3] == "-" and line[4:] == code, f"history line {line!r} for {code}")
    check(line[0] == str(tms), f"{code}: TMS {line[0]} in {line!r}, expected {tms}")
    if tdi is not None:
        check(line[1] == str(tdi), f"{code}: TDI {line[1]} in {line!r}, expected {tdi}")
    check(line[2] in "01", f"TDO digit in {line!r}")
    rows = [window.rows[i] for i in ROWS]
    width = len(rows[0])
    check(width > 32 and all(len(r) == width for r in rows), f"rows of unequal width: {[len(r) for r in rows]}")
    newest = "".join(r[-1] for r in rows)
    check(newest == code + line[:3], f"newest trace column {newest!r}, history {line!r}")
    return line


def walk_every_state(session, window, build):
    """A reset, then every state of the diagram clicked in turn, checked after every click."""
    shot = os.path.join(build, "e2e-probe.ppm")
    before = window.count
    session.click(window, 1000)
    window = session.wait_for_count(before + 6)
    check(window.count == before + 6, f"a reset gives six clocks, history has {window.count - before} more")
    tdi = 1
    check_window(session, window, "TLR", 1, 1, shot)
    check(window.rows[1029].endswith("111111") and window.rows[1030].endswith("111111"),
          "the reset drives TMS and TDI high on all six clocks")
    check(window.rows[1028].endswith("*****T"), f"code row 1 after reset: {window.rows[1028][-6:]}")

    walk = [1001, 1001, 1002, 1004, 1005, 1036, 1006, 1007, 1007, 1008, 1005, 1037, 1009, 1002, 1003,
            1010, 1038, 1011, 1012, 1013, 1013, 1014, 1011, 1039, 1015, 1001]
    seen = {"TLR"}
    for ident in walk:
        tms, drive, code = COMMANDS[ident]
        tdi = tdi if drive is None else drive
        before = window.count
        session.click(window, ident)
        window = session.wait_for_count(before + 1)
        check(window.count == before + 1, f"button {ident} gave {window.count - before} clocks")
        check_window(session, window, code, tms, tdi, shot)
        seen.add(code)
        if len(seen) == 8:
            left, top, right, bottom = window.rect
            subprocess.run(["import", "-window", "root", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                            "+repage", os.path.join(build, "e2e-walk.png")], check=True)
    check(seen == set(HIGHLIGHTED) - {"***"}, f"states not visited: {set(HIGHLIGHTED) - seen - {'***'}}")
    return window



def case_walk(session, build):
    """Every state of the diagram, clicked in turn, checked after every click."""
    window = session.start()
    check(window.enabled_buttons() == ENABLED["***"], "at start only TEST-LOGIC-RESET is enabled")
    check(window.count == 0, "the history starts empty")

    window = walk_every_state(session, window, build)

    # A double click on RUN-TEST/IDLE is two clicks, and so two clocks.
    before = window.count
    session.click(window, 1001, double=True)
    window = session.wait_until_settled()
    check(window.count == before + 2, f"a double click gave {window.count - before} clocks")
    check(window.top + 1 <= window.count, "the newest history line is in view")
    print("walk: every state visited, panel, colours, history and trace checked after every click")


def case_every_click(session, build):
    """Every click a clock: a person's clicks on one spot 0.1 s apart, each within the double-click
    time of the one before, on every button that can take another click (the reset, the states
    that can follow themselves and their "1" companions). The history counts every clock, and a
    register shifted so shows whole."""
    window = session.start()
    clocks = 0

    def clicks(ident, count):
        nonlocal window, clocks
        left, top, right, bottom = window.controls[ident]["rect"]
        subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2),
                        "click", "--repeat", str(count), "--delay", "100", "1"], check=True)
        session.last_click = (ident, time.time())
        # Six clocks a reset. The count goes on from burst to burst: a clock too many shows at the
        # next one's check, and the last is checked once the window has stayed still.
        each = 6 if ident == 1000 else 1
        clocks += count * each
        window = session.wait_until(lambda w: w.count >= clocks and w.settled, f"{count} clicks on {ident}", timeout=15,
                                    on_timeout=lambda w: f"{w.count - clocks + count * each} clocks, not {count * each}")
        check(window.count == clocks, f"{count} clicks on {ident} gave {window.count - clocks + count * each} "
                                      f"clocks, not {count * each}")

    for ident, count in ((1000, 3), (1001, 9), (1002, 1), (1004, 1), (1005, 32), (1006, 1)):
        clicks(ident, count)
    check(window.texts[1043] == "32'h14D5654B", f"32 clicks in SHIFT-DR show {window.texts[1043]!r}")
    for ident, count in ((1007, 6), (1008, 1), (1036, 8), (1037, 1), (1009, 1), (1002, 1), (1003, 1), (1010, 1),
                         (1011, 4), (1038, 4), (1012, 1)):
        clicks(ident, count)
    check(window.texts[1043].startswith("8'h"), f"eight shifts in SHIFT-IR show {window.texts[1043]!r}")
    clicks(1013, 6)
    window = session.wait_until_settled()
    check(window.count == clocks, f"{window.count} clocks in all, not {clocks}")
    check(window.last_line.endswith("RIR"), f"the history ends with {window.last_line!r}")
    escape(session, window, session.process)
    print(f"every click: {clocks} history lines from clicks 0.1 s apart on one spot of each button that takes "
          f"another, the reset and the companions among them; SHIFT-DR's 32 bits shown whole")


def case_keys(session, build):
    """Enter does not close the window; Escape does."""
    window = session.start()
    session.click(window, 1000)
    window = session.wait_for_count(6)
    left, top, right, bottom = window.rect
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str(bottom - 20)], check=True)
    time.sleep(0.3)
    session.key("Return")
    time.sleep(1.0)
    window = session.probe()
    check(window.visible, "Enter closed the window")
    check(window.count == 6, f"Enter made {window.count - 6} clocks")
    session.key("Escape")
    deadline = time.time() + 15
    while session.process.poll() is None and time.time() < deadline:
        time.sleep(0.2)
    check(session.process.poll() is not None, "Escape did not end the program")
    check(not session.probe().visible, "the window is still there after Escape")
    print("keys: Enter ignored, Escape closes")


# The program speaks Japanese where the user's language is Japanese, English elsewhere (the
# tests' default locale).
NEED_GIVEIO = {"ja": "ＮＴ系なのでGIVEIO.SYSが必要です。",
               "en": "MORVA reaches the parallel port only through the GIVEIO.SYS driver or the InpOut library"}
CHOOSE_CABLE = {"ja": "MORVA.EXE /cable:ftdi で起動するか", "en": "start MORVA.EXE with /cable:ftdi"}
ABOUT_TEXTS = {"ja": ["MORVA Version 0.0.1", "JTAG簡易操作ツール", "ケーブル: シミュレーションボード"],
               "en": ["MORVA Version 0.0.1", "JTAG stepping tool", "Cable: simulated board"]}
# The messages the code builds, in the program's language.
CABLE_ERROR = {"ja": "0x3F8 はパラレルポートのデータレジスタではありえません", "en": "0x3F8 cannot be a parallel port's"}
FTDI_ERROR = {"ja": "FTDI の D2XX ライブラリを C:\\windows\\system32\\ftd2xx.dll に探しましたが",
              "en": "FTDI's D2XX library at C:\\windows\\system32\\ftd2xx.dll"}
LOCALES = (("default", "en", {}), ("ja", "ja", {"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"}))


def says(window, box, phrase):
    """Whether a line of the box holds the phrase."""
    return any(phrase in text for text in window.boxes[box]["texts"])


def same_picture(path, reference):
    result = subprocess.run(["compare", "-metric", "AE", path, reference, "null:"], capture_output=True, text=True)
    return result.returncode == 0 and result.stderr.strip() == "0"


def ended(process, timeout):
    try:
        process.wait(timeout=timeout)
        return True
    except subprocess.TimeoutExpired:
        return False


def case_single(session, build):
    """A second start while the first runs opens no window and brings the first to the front."""
    session.start()
    second = session.launch()
    check(ended(second, 30), "the second instance did not end")
    window = session.probe()
    check(window.mains == 1, f"{window.mains} main windows after a second start")
    check(window.main_in_front, "the first instance is not in front")
    print("single: the second start ended and left the first in front")


def case_error(session, build):
    """MORVA.EXE without GIVEIO: the message box, the diagnostic line, no main window, and a
    second start while the box shows ends quietly."""
    with tempfile.TemporaryFile() as out:
        first = session.launch("MORVA.EXE", stdout=out)
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the error box")
        check(says(window, "error", NEED_GIVEIO["en"]) and says(window, "error", CHOOSE_CABLE["en"])
              and says(window, "error", "/cable:sim"), f"error box texts {window.boxes['error']['texts']}")
        check(window.mains == 0, "a main window opened")
        second = session.launch("MORVA.EXE")
        check(ended(second, 30), "a second start during the error box did not end")
        window = session.probe()
        check(window.boxes["error"]["count"] == 1, f"{window.boxes['error']['count']} error boxes")
        session.probe("close-error")
        check(ended(first, 30), "MORVA.EXE did not end after its error box")
        check(session.probe().mains == 0, "a main window opened after the error box")
        out.seek(0)
        printed = out.read().decode("utf-8", "replace")
        check("Couldn't access giveio device\n" in printed.replace("\r\n", "\n"),
              f"standard output was {printed!r}")
    print("error: message box, diagnostic line, no window; the second start ended quietly")


def locale_env(overrides):
    """The environment with the locale of LOCALES' overrides alone."""
    env = dict(os.environ)
    for key in ("LANG", "LC_ALL", "LC_CTYPE", "LANGUAGE"):
        env.pop(key, None)
    env.update(overrides)
    return env


def start_in_shift_dr(session, env):
    """The program started, then a reset and the four clicks that lead to SHIFT-DR."""
    window = session.start(env=env)
    session.click(window, 1000)
    window = session.wait_for_count(6)
    for ident in (1001, 1002, 1004, 1005):
        before = window.count
        session.click(window, ident)
        window = session.wait_for_count(before + 1)
    return window


def case_screens(session, build):
    """Screenshots of the main window, the About box and the error boxes in the default locale
    (English) and in Japanese; the Japanese texts must arrive as themselves, not as question
    marks, the messages built in code come in the program's language, and the Japanese windows are
    as in their reference pictures (the About box with its version whole and without the button to
    a home page there is none of)."""
    folder = os.path.join(build, "screens")
    os.makedirs(folder, exist_ok=True)
    reference = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference")
    session.prepare_prefixes()
    for name, language, overrides in LOCALES:
        env = locale_env(overrides)
        window = start_in_shift_dr(session, env)
        session.screenshot(os.path.join(folder, f"{name}-main.png"), window.rect)

        window = session.wait_until(lambda w: w.boxes["about"]["count"] == 1, "the About box", action="about")
        texts = window.boxes["about"]["texts"]
        check(all(t in texts for t in ABOUT_TEXTS[language]), f"{name}: About box texts {texts}")
        time.sleep(0.5)
        session.screenshot(os.path.join(folder, f"{name}-about.png"), window.boxes["about"]["rect"])
        session.wait_until(lambda w: w.boxes["about"]["count"] == 0, "the About box to close", action="close-about")
        session.stop()
        session.others = []

        for shot, args, text in (("error", [], NEED_GIVEIO[language]),
                                 ("cable-error", ["/cable:lpt:0x3F8"], CABLE_ERROR[language]),
                                 ("ftdi-error", ["/cable:ftdi"], FTDI_ERROR[language])):
            error = session.launch("MORVA.EXE", env=env, args=args)
            window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the error box")
            texts = " ".join(window.boxes["error"]["texts"])
            check(text in texts, f"{name}: error box texts {texts}")
            if shot == "error":
                check(CHOOSE_CABLE[language] in texts, f"{name}: no word of choosing a cable in {texts}")
            time.sleep(0.5)
            session.screenshot(os.path.join(folder, f"{name}-{shot}.png"), window.boxes["error"]["rect"])
            session.probe("close-error")
            check(ended(error, 30), "MORVA.EXE did not end after its error box")
    for shot in ("main", "about", "cable-error", "ftdi-error"):
        check(same_picture(os.path.join(folder, f"ja-{shot}.png"), os.path.join(reference, f"ja-{shot}.png")),
              f"the Japanese {shot} differs from tests/e2e/reference/ja-{shot}.png")
    # An English message's backslashes are backslashes, in a Latin face: no yen signs.
    check(same_picture(os.path.join(folder, "default-ftdi-error.png"), os.path.join(reference, "en-ftdi-error.png")),
          "the English FTDI message differs from tests/e2e/reference/en-ftdi-error.png")
    print(f"screens: saved in {folder}; the Japanese main window, About box and cable messages as they were; the "
          f"English message's backslashes as in its reference")


def case_dpi(session, build):
    """The main window on screens of 96, 144 and 192 DPI (a prefix each), in both languages: at
    every DPI the same clocks in the history and the same trace columns, in a window grown with
    the DPI; at 96 DPI the Japanese window is as it always was. Screenshots to look at."""
    folder = os.path.join(build, "screens")
    os.makedirs(folder, exist_ok=True)
    reference = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference")
    seen = {}
    try:
        for dpi in (96, 144, 192):
            # The probe runs in the same prefix as the program: it takes the setting from here.
            if dpi == 96:
                os.environ.pop("MORVA_LOGPIXELS", None)
            else:
                os.environ["MORVA_LOGPIXELS"] = str(dpi)
            for _, _, overrides in LOCALES:
                # A new prefix is made on first use, one for each language.
                session.env = locale_env(overrides)
                session.probe(timeout=600)
            for name, _, overrides in LOCALES:
                window = start_in_shift_dr(session, locale_env(overrides))
                screen = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True).stdout.split()
                check(window.rect[2] <= int(screen[0]) and window.rect[3] <= int(screen[1]),
                      f"at {dpi} DPI the window {window.rect} does not fit the screen {screen}")
                session.screenshot(os.path.join(folder, f"dpi{dpi}-{name}-main.png"), window.rect)
                seen[(dpi, name)] = (window, [window.rows[r] for r in ROWS])
                session.stop()
                session.others = []
    finally:
        os.environ.pop("MORVA_LOGPIXELS", None)
    for (dpi, name), (window, rows) in seen.items():
        base, base_rows = seen[(96, name)]
        check(rows == base_rows, f"{name} at {dpi} DPI: trace rows {rows}, at 96 DPI {base_rows}")
        check((window.count, window.last_line) == (base.count, base.last_line),
              f"{name} at {dpi} DPI: history ends {window.count} {window.last_line!r}")
        width, base_width = window.rect[2] - window.rect[0], base.rect[2] - base.rect[0]
        check(width * 96 >= base_width * dpi * 0.95, f"{name} at {dpi} DPI: the window is {width} pixels wide")
    check(len(seen[(96, "ja")][1][0]) >= 40, f"only {len(seen[(96, 'ja')][1][0])} trace columns")
    check(same_picture(os.path.join(folder, "dpi96-ja-main.png"), os.path.join(reference, "ja-main.png")),
          "the Japanese window at 96 DPI differs from tests/e2e/reference/ja-main.png")
    print(f"dpi: saved in {folder}; {len(seen[(96, 'ja')][1][0])} trace columns at every DPI")


# --- The InpOut way to the port -------------------------------------------------------------

def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def standin_env(log, **extra):
    env = dict(os.environ)
    env["MORVA_STANDIN_LOG"] = windows_path(log)
    env.update(extra)
    return env


def read_log(log):
    if not os.path.exists(log):
        return []
    with open(log, encoding="ascii", errors="replace") as f:
        return [line.rstrip("\r\n") for line in f]


def expected_bytes(walk):
    """The data-register writes of power-on, a reset, the walk and power-off."""
    writes, shadow = [0x10], 0x10

    def clock():
        writes.extend([shadow & ~0x02, shadow & ~0x02, shadow | 0x02, shadow | 0x02])

    shadow = 0x10 | 0x04 | 0x01
    for _ in range(6):
        clock()
    for ident in walk:
        tms, tdi, _ = COMMANDS[ident]
        shadow = (shadow & ~0x04) | (0x04 if tms else 0)
        if tdi is not None:
            shadow = (shadow & ~0x01) | tdi
        clock()
    return writes + [0x00]


TEMPORARY = []


def temporary_folder(prefix):
    folder = tempfile.mkdtemp(prefix=prefix)
    TEMPORARY.append(folder)
    return folder


def home_in(env, folder):
    """The Linux program's settings kept under folder, its home: env changed so, and returned."""
    env.update(HOME=folder)
    env.pop("XDG_CONFIG_HOME", None)
    return env


def program_folder(build, standin=None):
    folder = temporary_folder("morva-")
    shutil.copy(os.path.join(build, "MORVA.EXE"), folder)
    if standin:
        shutil.copy(os.path.join(build, "tests", "standin", standin, "inpout32.dll"), folder)
    return folder


def expect_refusal(session, folder, env, cwd=None):
    """The error box, no main window, then the end."""
    session.env = env
    process = subprocess.Popen(session.wine + [os.path.join(folder, "MORVA.EXE")], env=env, cwd=cwd,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    session.others.append(process)
    window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the error box")
    check(says(window, "error", NEED_GIVEIO["en"]), f"error box texts {window.boxes['error']['texts']}")
    check(window.mains == 0, "a main window opened")
    session.probe("close-error")
    check(ended(process, 30), "MORVA.EXE did not end after its error box")


def case_inpout(session, build):
    """With the library next to MORVA.EXE: the program runs, and a reset and a walk clicked with the
    mouse give the library exactly the bytes the cable driver prescribes."""
    folder = program_folder(build, "whole")
    log = os.path.join(folder, "standin.log")
    env = standin_env(log)
    session.env = env
    process = subprocess.Popen(session.wine + [os.path.join(folder, "MORVA.EXE")], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    session.others.append(process)
    window = session.wait_until(lambda w: w.visible, "the main window")
    walk = [1001, 1002, 1004, 1005, 1036, 1006, 1009, 1001]
    window = click_through(session, window, [1000] + walk)
    check(window.count == 6 + len(walk), f"{window.count} clocks in the history")
    escape(session, window, process)

    lines = read_log(log)
    check(lines and lines[0].startswith("loaded ") and lines[0].lower().endswith(
        windows_path(os.path.join(folder, "inpout32.dll")).lower()), f"first log line {lines[:1]}")
    writes = [int(line.split()[2], 16) for line in lines if line.startswith("W ")]
    check(all(line.split()[1] == "0378" for line in lines if line.startswith("W ")), "a write not to 0x378")
    reads = [line for line in lines if line.startswith("R ")]
    check(all(line.split()[1] == "0379" for line in reads), "a read not from 0x379")
    check(len(reads) == 6 + len(walk), f"{len(reads)} status reads for {6 + len(walk)} clocks")
    expected = expected_bytes(walk)
    check(writes == expected, f"writes {[hex(b) for b in writes]}\nexpected {[hex(b) for b in expected]}")
    print(f"inpout: {len(writes)} writes as prescribed, 0x10 first and 0x00 last")


def case_inpout_refused(session, build):
    """A library without one of its calls, or with its driver closed, is not used: the error box,
    no main window, no port access."""
    for standin, extra in (("partial", {}), ("whole", {"MORVA_STANDIN_CLOSED": "1"})):
        folder = program_folder(build, standin)
        log = os.path.join(folder, "standin.log")
        expect_refusal(session, folder, standin_env(log, **extra))
        accesses = [line for line in read_log(log) if not line.startswith("loaded ")]
        check(accesses == [], f"{standin} {extra}: port accessed: {accesses}")
    print("inpout-refused: missing export and closed driver both refused, no port access")


def case_inpout_planted(session, build):
    """A library in the current folder but not next to the program is never loaded."""
    folder = program_folder(build)
    planted = temporary_folder("morva-planted-")
    shutil.copy(os.path.join(build, "tests", "standin", "whole", "inpout32.dll"), planted)
    log = os.path.join(planted, "standin.log")
    expect_refusal(session, folder, standin_env(log), cwd=planted)
    check(read_log(log) == [], f"the planted library was loaded: {read_log(log)}")
    print("inpout-planted: the library in the current folder was not loaded")


def start_in(session, folder, args=(), env=None, cwd=None):
    """MORVA.EXE from its folder; returns the process and, once its window shows, the window."""
    session.env = env
    process = subprocess.Popen(session.wine + [os.path.join(folder, "MORVA.EXE")] + list(args), env=env, cwd=cwd,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    session.others.append(process)
    return process


def escape(session, window, process):
    left, top, right, bottom = window.rect
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str(bottom - 20)], check=True)
    time.sleep(0.3)
    session.key("Escape")
    check(ended(process, 30), "MORVA.EXE did not end on Escape")


def register_accesses(log):
    """(kind, address, value) of every port access the InpOut stand-in saw."""
    return [(line.split()[0], int(line.split()[1], 16), int(line.split()[2], 16))
            for line in read_log(log) if line[:2] in ("W ", "R ")]


def case_lpt_address(session, build):
    """A parallel port at 0xD010 through InpOut: the same bytes as at 0x378, at 0xD010/0xD011 only."""
    folder = program_folder(build, "whole")
    log = os.path.join(folder, "standin.log")
    process = start_in(session, folder, ["/cable:lpt:0xD010"], standin_env(log))
    window = session.wait_until(lambda w: w.visible, "the main window")
    walk = [1001, 1002, 1004, 1005, 1036, 1006, 1009, 1001]
    window = click_through(session, window, [1000] + walk)
    escape(session, window, process)
    accesses = register_accesses(log)
    writes = [value for kind, address, value in accesses if kind == "W"]
    check({address for kind, address, _ in accesses if kind == "W"} == {0xD010}, "a write not to 0xD010")
    check({address for kind, address, _ in accesses if kind == "R"} == {0xD011}, "a read not from 0xD011")
    expected = expected_bytes(walk)
    check(writes == expected, f"writes {[hex(b) for b in writes]}\nexpected {[hex(b) for b in expected]}")
    print(f"lpt-address: {len(writes)} writes at 0xD010 as at 0x378, reads at 0xD011")


def start_choosing(session, build, ini, args):
    """MORVA.EXE with the InpOut stand-in, a MORVA.INI holding `ini` in its [cable] section (none
    if None) and the command line `args`; returns the process and the stand-in's log."""
    folder = program_folder(build, "whole")
    if ini:
        with open(os.path.join(folder, "MORVA.INI"), "w") as f:
            f.write(f"[cable]\r\n{ini}\r\n")
    log = os.path.join(folder, "standin.log")
    return start_in(session, folder, args, standin_env(log)), log


def case_cable_choice(session, build):
    """MORVA.INI and the command line, alone and together; malformed choices touch no port."""
    for ini, args, address in (("cable=lpt:0xD010", [], 0xD010), ("cable=lpt:0xD010", ["/cable:lpt:0xE800"], 0xE800),
                               (None, ["--cable", "lpt:0x278"], 0x278), (None, ["--cable=LPT"], 0x378)):
        process, log = start_choosing(session, build, ini, args)
        window = session.wait_until(lambda w: w.visible, "the main window")
        escape(session, window, process)
        accesses = register_accesses(log)
        check(accesses == [("W", address, 0x10), ("W", address, 0x00)],
              f"{ini} {args}: accesses {accesses}, expected on {address:#x}")
    for ini, args, text in ((None, ["/cable:lpt:0x3F8"], "0x3F8 cannot be"), (None, ["/cabel:ftdi"], "/cabel:ftdi"),
                            ("cable=usb", [], "MORVA.INI"), ("cable=lpt:0xD012", [], "0xD012 cannot be"),
                            ("cable=ftdi\r\n[ftdi]\r\ntdo=1", [], "tdi and tdo are on the same pin")):
        process, log = start_choosing(session, build, ini, args)
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the error box")
        texts = " ".join(window.boxes["error"]["texts"])
        # Each says how to put it right: the forms, the section, or the options.
        check(text in texts and any(how in texts for how in ("lpt:ADDRESS", "[ftdi]", "/cable:CABLE")),
              f"{ini} {args}: error box says {texts}")
        check(window.mains == 0, "a main window opened")
        session.probe("close-error")
        check(ended(process, 30), "MORVA.EXE did not end after its error box")
        check(register_accesses(log) == [], f"{ini} {args}: the port was touched")
    # MORVASIM.EXE drives its board whatever it is told.
    process = session.launch("MORVASIM.EXE", args=["/cable:lpt:0x3F8"])
    window = session.wait_until(lambda w: w.visible, "MORVASIM.EXE's window")
    window = session.wait_until(lambda w: w.boxes["about"]["count"] == 1, "the About box", action="about")
    check("Cable: simulated board" in window.boxes["about"]["texts"], f"About box {window.boxes['about']['texts']}")
    session.wait_until(lambda w: w.boxes["about"]["count"] == 0, "the About box to close", action="close-about")
    print("cable-choice: file alone, command line over file, command line alone; malformed choices refused; "
          "MORVASIM.EXE ignores the choice")


# --- FTDI cables through the stand-in D2XX library -------------------------------------------

def system_folders(build):
    """The system folder of each prefix there is: one for each language, and for each DPI."""
    import glob
    return glob.glob(os.path.join(build, "wineprefix*", "drive_c", "windows", "system32"))


class InstalledD2xx:
    """The stand-in ftd2xx.dll in the Wine prefix's system folder, where FTDI's driver puts it;
    with no variant, none there."""

    def __init__(self, build, variant):
        self.source = os.path.join(build, "tests", "standin", variant, "ftd2xx.dll") if variant else None
        self.targets = [os.path.join(folder, "ftd2xx.dll") for folder in system_folders(build)]

    def __enter__(self):
        for target in self.targets:
            if self.source:
                shutil.copy(self.source, target)
            elif os.path.exists(target):
                os.remove(target)
        return self

    def __exit__(self, *args):
        for target in self.targets:
            if os.path.exists(target):
                os.remove(target)


def ftdi_env(folder, plugged=True):
    log, plug = os.path.join(folder, "ftdi.log"), os.path.join(folder, "plugged")
    if plugged:
        open(plug, "w").close()
    env = dict(os.environ)
    env.update({"MORVA_FTDI_LOG": windows_path(log), "MORVA_FTDI_PLUG": windows_path(plug)})
    return env, log, plug


def pin_levels(data):
    """The default pin map: TCK on pin 0, TDI on 1, TMS on 3."""
    return (1 if data & 0x02 else 0) | (2 if data & 0x01 else 0) | (8 if data & 0x04 else 0)


def case_ftdi(session, build):
    """An FTDI cable: the exact pin sequence of a reset and a walk, the IDCODE off the TDO row, and
    every pin an input once the window closes."""
    with InstalledD2xx(build, "whole"):
        folder = program_folder(build)
        env, log, _ = ftdi_env(folder)
        process = start_in(session, folder, ["/cable:ftdi"], env)
        window = session.wait_until(lambda w: w.visible, "the main window")
        walk = [1001, 1002, 1004, 1005, 1036, 1006, 1009, 1001]
        idcode_walk = [1002, 1004] + [1005] * 32 + [1006]
        window = click_through(session, window, [1000] + walk + idcode_walk)
        check(window.count == 6 + len(walk) + len(idcode_walk), f"{window.count} clocks in the history")
        bits = window.rows[1031][-32:]
        idcode = sum(1 << i for i, digit in enumerate(bits) if digit == "1")
        check(idcode == 0x14D5654B, f"the TDO row gives {idcode:#010x}")
        window = session.wait_until(lambda w: w.boxes["about"]["count"] == 1, "the About box", action="about")
        about = window.boxes["about"]["texts"]
        check("Cable: FTDI cable (first found) (D2XX)" in about, f"About box texts {about}")
        session.wait_until(lambda w: w.boxes["about"]["count"] == 0, "the About box to close", action="close-about")
        escape(session, window, process)

    lines = read_log(log)
    check(lines[0].lower() == "loaded c:\\windows\\system32\\ftd2xx.dll", f"first log line {lines[:1]}")
    writes = [line for line in lines if line.startswith("write")]
    expected = [f"write {pin_levels(0x10):02X}"]
    data = expected_bytes(walk + idcode_walk)[1:-1]
    for i in range(0, len(data), 4):
        expected.append("write " + " ".join(f"{pin_levels(b):02X}" for b in data[i:i + 4]))
    check(writes == expected, f"pin writes {writes[:8]}...\nexpected {expected[:8]}...")
    reads = [line for line in lines if line.startswith("read")]
    check(reads == ["read 1"] + ["read 4"] * (len(expected) - 1), "one read a clock, of four samples")
    modes = [line for line in lines if line.startswith("bitmode")]
    check(modes == ["bitmode 00 04", "bitmode 0B 04", "bitmode 00 04"], f"bit modes {modes}")
    last = len(lines) - 1
    check(lines[last] == "bitmode 00 04" or lines[last - 1] == "bitmode 00 04",
          f"the pins are not made inputs at the end: {lines[-3:]}")
    print(f"ftdi: {len(writes)} transfers as prescribed, IDCODE {idcode:#010x}, pins inputs at close")


def case_ftdi_unplug(session, build):
    """Unplugged mid-session: the message, the unknown state, nothing false in the trace; a reset
    recovers once the cable is back."""
    with InstalledD2xx(build, "whole"):
        folder = program_folder(build)
        env, log, plug = ftdi_env(folder)
        start_in(session, folder, ["--cable", "ftdi:MV232H01"], env)
        window = session.wait_until(lambda w: w.visible, "the main window")
        window = click_through(session, window, [1000, 1001, 1002])
        rows_before, count_before = dict(window.rows), window.count

        os.remove(plug)
        session.click(window, 1004)
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the cable's error box")
        texts = " ".join(window.boxes["error"]["texts"])
        check("stopped answering" in texts and "TEST-LOGIC-RESET" in texts and "FT_Write" in texts,
              f"error box says {texts}")
        session.screenshot(os.path.join(build, "e2e-ftdi-unplugged.png"), window.boxes["error"]["rect"])
        window = session.probe("close-error")
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 0, "the box to close")
        check(window.enabled_buttons() == ENABLED["***"], f"enabled {sorted(window.enabled_buttons())} after the loss")
        check(window.count == count_before and window.rows == rows_before, "the lost clock was recorded")

        session.click(window, 1000)
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the error box of a reset unplugged")
        check("No FTDI cable was found" in " ".join(window.boxes["error"]["texts"]), "a reset unplugged: wrong text")
        session.probe("close-error")
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 0, "the box to close")
        check(window.count == count_before, "a reset without a cable recorded clocks")

        open(plug, "w").close()
        session.click(window, 1000)
        window = session.wait_for_count(count_before + 6)
        check(window.count == count_before + 6 and window.last_line == "111-TLR", f"recovery: {window.last_line}")
        check(window.enabled_buttons() == ENABLED["TLR"], "after recovery the panel shows TEST-LOGIC-RESET")
        window = click_through(session, window, [1001])
        check(window.last_line[4:] == "RTI", f"after recovery: {window.last_line}")
    print("ftdi-unplug: message, unknown state, nothing recorded; reset recovers once plugged back in")


def case_ftdi_replug(session, build):
    """The cable pulled in EXIT1-IR with the TAP powered, and plugged back: the reset after it is
    its six clocks at the pins and no other TCK edge, the outputs switched on with TCK low."""
    with InstalledD2xx(build, "whole"):
        folder = program_folder(build)
        env, log, plug = ftdi_env(folder)
        process = start_in(session, folder, ["--cable", "ftdi:MV232H01"], env)
        window = session.wait_until(lambda w: w.visible, "the main window")
        window = click_through(session, window, [1000, 1001, 1002, 1003, 1010, 1011, 1012])
        check(window.last_line[4:] == "E1I", f"not in EXIT1-IR: {window.last_line}")
        os.remove(plug)
        session.click(window, 1000)
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the cable's error box")
        session.probe("close-error")
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 0, "the box to close")
        count = window.count
        open(plug, "w").close()
        with open(log, "a") as marker:
            marker.write("replugged\n")
        session.click(window, 1000)
        window = session.wait_for_count(count + 6)
        check(window.count == count + 6 and window.last_line == "111-TLR", f"the reset gave {window.last_line}")
        escape(session, window, process)

    lines = read_log(log)
    lines = lines[lines.index("replugged") + 1:]
    # TCK's level at the pins from the moment they drive: pin 0 of each byte written once the
    # outputs are on, starting from the level written while they were inputs.
    enable = next(i for i, line in enumerate(lines) if line == "bitmode 0B 04")
    before = [line for line in lines[:enable] if line.startswith("write")]
    check(len(before) == 1, f"writes before the outputs came on: {before}")
    levels = [int(before[0].split()[1], 16) & 1]
    for line in lines[enable + 1:]:
        if line.startswith("write"):
            levels += [int(byte, 16) & 1 for byte in line.split()[1:]]
        elif line.startswith("bitmode 00"):
            break
    # The board pulls TCK low while nothing drives it.
    rising = sum(1 for a, b in zip([0] + levels, levels) if a == 0 and b == 1)
    check(levels[0] == 0, f"the outputs came on with TCK high: {before[0]}")
    check(rising == 6, f"{rising} rising TCK edges after the replug, not the reset's six")
    print(f"ftdi-replug: after the replug the outputs came on with TCK low; {rising} TCK edges, the reset's six")


def case_numlock_keys(session, build):
    """The keypad's 0 in SHIFT-DR: with Num Lock on a step with TDI 0, as the main row's 0; with
    Num Lock off (Insert) no step at all, never a TDI of 1. The key is the keypad's own (keycode
    of KP_Insert), read by the X server through the Num Lock state that the Num_Lock key toggles."""
    window = session.start()
    left, top, right, bottom = window.rect
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str(bottom - 20)], check=True)
    session.key("r")
    window = session.wait_until(lambda w: w.count >= 6, "the reset's six clocks")
    subprocess.run(["xdotool", "key", "--delay", "80", "0", "1", "0", "0"], check=True)
    window = session.wait_until(lambda w: w.count >= 10, "the walk into SHIFT-DR")
    check(window.last_line[4:] == "SDR", f"not in SHIFT-DR: {window.last_line}")
    results = {}
    for _ in range(2):
        # The keypad's key, then the main row's 0 as a marker: its step shows that the keypad's
        # key has been taken, with a step or without.
        before = session.probe("lines").lines
        session.key("KP_Insert")
        session.key("0")
        window = session.wait_until(lambda w: w.count >= len(before) + 1, "the marker's step")
        window = session.wait_until_settled()
        # TMS, TDI and the state; TDO is the IDCODE's next bit.
        added = [line[:2] + line[3:] for line in session.probe("lines").lines[len(before):]]
        results["on" if len(added) == 2 else "off"] = added
        session.key("Num_Lock")
    session.key("Num_Lock")
    check(set(results) == {"on", "off"}, f"Num Lock on and off gave {results}")
    check(results["on"] == ["00-SDR", "00-SDR"], f"Num Lock on: the keypad's 0 gave {results['on'][:1]}")
    check(results["off"] == ["00-SDR"], f"Num Lock off: the keypad's 0 stepped: {results['off']}")
    print("numlock-keys: keypad 0 shifts a 0 with Num Lock on, and steps nothing with it off")


def case_ftdi_refused(session, build):
    """No device, an old library, and no library where FTDI's driver puts it (copies in the current
    folder and the program's folder are never loaded): a message that says what, and no window."""
    planted = temporary_folder("morva-planted-")
    for variant, plugged, text in (("whole", False, "No FTDI cable was found"), ("old", True, "has no FT_SetBitMode"),
                                   (None, True, "ftd2xx.dll and could not load it")):
        folder = program_folder(build)
        env, log, _ = ftdi_env(folder, plugged)
        if variant is None:
            for place in (folder, planted):
                shutil.copy(os.path.join(build, "tests", "standin", "whole", "ftd2xx.dll"), place)
        with InstalledD2xx(build, variant):
            process = start_in(session, folder, ["/cable:ftdi"], env, cwd=planted)
            window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the error box")
            texts = " ".join(window.boxes["error"]["texts"])
            check(text in texts, f"{variant}: error box says {texts}")
            check(window.mains == 0, "a main window opened")
            session.probe("close-error")
            check(ended(process, 30), "MORVA.EXE did not end after its error box")
        lines = read_log(log)
        check(not any(line.startswith("write") for line in lines), f"{variant}: pins written: {lines}")
        if variant is None:
            check(lines == [], f"a planted library was loaded: {lines}")
    print("ftdi-refused: no device, old library, missing library (planted copies ignored)")


def case_focus(session, build):
    """After a click whose own step disables its button, the focus is on an enabled control and a
    real Escape closes the window."""
    paths = [[1001, 1002], [1001, 1002, 1004], [1001, 1002, 1003, 1010, 1012, 1015], [1001, 1002, 1004, 1037]]
    for path in paths:
        window = click_through(session, session.start(), [1000] + path)
        check(not window.controls[path[-1]]["enabled"], f"{path[-1]} stays enabled after its own step")
        ident, enabled = window.focus
        check(ident != 0 and enabled, f"after {path}: the focus is on {ident}, enabled {enabled}")
        escape(session, window, session.process)
        session.stop()
        session.others = []
    print("focus: after clicks that disable their own button, the focus is on an enabled control; Escape closes")


def case_pixels(session, build):
    """A click leaves on screen the same pixels as when every change was painted at once: the
    program against a reference build that paints so, through every state and a full list."""
    walk = [1000, 1001, 1002, 1004, 1005, 1036, 1006, 1007, 1008, 1005, 1037, 1009, 1002, 1003, 1010, 1038,
            1011, 1012, 1013, 1014, 1011, 1039, 1015, 1001]
    # Then over a hundred clocks more: the list is full and scrolls on every clock.
    fill = [1002, 1004, 1006, 1009, 1001] * 22
    shots = {}
    for name, program in (("reference", os.path.join("tests", "eager", "MORVASIM.EXE")), ("program", "MORVASIM.EXE")):
        session.process = session.launch(program)
        window = session.wait_until(lambda w: w.visible, f"the {name}'s window")
        shots[name] = []

        def shoot():
            path = os.path.join(build, f"e2e-{name}-{len(shots[name]):03d}.png")
            session.screenshot(path, window.rect)
            shots[name].append(path)

        # The window shows before it has painted all of itself: wait until two shots agree.
        settled = os.path.join(build, f"e2e-{name}-settled.png")
        session.screenshot(settled, window.rect)
        deadline = time.time() + 30
        while True:
            shoot()
            same = subprocess.run(["compare", "-metric", "AE", settled, shots[name][-1], "null:"],
                                  capture_output=True, text=True).stderr.strip() == "0"
            if same:
                break
            check(time.time() < deadline, f"the {name}'s window did not settle")
            shutil.copy(shots[name].pop(), settled)
        # Each click held a moment: the button that loses the focus to it repaints before the
        # release in both programs, so that the two runs paint in the same order.
        for ident in walk:
            window = click_through(session, window, [ident], hold=0.2)
            shoot()
        for ident in fill:
            before = window.last_line
            session.click(window, ident, hold=0.05)
            window = session.wait_for_count(0, line_changes_from=before)
        check(window.count == 101, f"{name}: the list holds {window.count} lines")
        shoot()
        # The list as it shows after the clicks, and as it shows painted afresh.
        left, top, right, bottom = window.controls[1027]["rect"]
        list_rect = (left - window.rect[0], top - window.rect[1], right - window.rect[0], bottom - window.rect[1])
        session.probe("repaint-list")
        repainted = os.path.join(build, f"e2e-{name}-list-repainted.png")
        session.screenshot(repainted, window.controls[1027]["rect"])
        shown = os.path.join(build, f"e2e-{name}-list-shown.png")
        crop = f"{list_rect[2] - list_rect[0]}x{list_rect[3] - list_rect[1]}+{list_rect[0]}+{list_rect[1]}"
        subprocess.run(["convert", shots[name][-1], "-crop", crop, "+repage", shown], check=True)
        shots[name + "-list"] = (shown, repainted)
        escape(session, window, session.process)
        session.stop()
        session.others = []
    def differing(first, second, mask=None):
        masked = []
        for path in (first, second):
            if mask:
                out = path.replace(".png", "-masked.png")
                subprocess.run(["convert", path, "-fill", "black", "-draw", "rectangle %d,%d %d,%d" % mask, out], check=True)
                path = out
            masked.append(path)
        return subprocess.run(["compare", "-metric", "AE"] + masked + ["null:"], capture_output=True,
                              text=True).stderr.strip()

    for reference, shot in zip(shots["reference"][:-1], shots["program"][:-1]):
        count = differing(reference, shot)
        check(count == "0", f"{shot} differs from {reference} in {count} pixels")
    # With the list full the old way of painting can leave the list's lines out of step with
    # what it holds (the reference's list is compared with itself painted afresh, for the record).
    count = differing(shots["reference"][-1], shots["program"][-1], list_rect)
    check(count == "0", f"with the list full, the window outside the list differs in {count} pixels")
    count = differing(*shots["program-list"])
    check(count == "0", f"with the list full, the list differs from itself painted afresh in {count} pixels")
    stale = differing(*shots["reference-list"])
    print(f"pixels: {len(shots['program'])} screens equal to the reference's; the full list shows what it holds "
          f"(the reference's list differs from a fresh paint of it in {stale} pixels)")


# The state names of sigrok's JTAG decoder, by the history's codes.
DECODER_NAMES = {
    "TLR": "TEST-LOGIC-RESET", "RTI": "RUN-TEST/IDLE", "SDS": "SELECT-DR-SCAN", "CDR": "CAPTURE-DR",
    "SDR": "SHIFT-DR", "E1D": "EXIT1-DR", "PDR": "PAUSE-DR", "E2D": "EXIT2-DR", "UDR": "UPDATE-DR",
    "SIS": "SELECT-IR-SCAN", "CIR": "CAPTURE-IR", "SIR": "SHIFT-IR", "E1I": "EXIT1-IR", "RIR": "PAUSE-IR",
    "E2I": "EXIT2-IR", "UIR": "UPDATE-IR",
}


def case_session(session, build):
    """A session of several hundred clicks kept whole: the file written as it goes equals the one
    saved from the system menu, and sigrok's JTAG decoder reads from it the states of the history,
    clock by clock, and the board's IDCODE."""
    folder = temporary_folder("morva-session-")
    live, saved = os.path.join(folder, "live.vcd"), os.path.join(folder, "saved.vcd")
    session.process = session.launch(args=["/trace:" + windows_path(live)])
    window = session.wait_until(lambda w: w.visible, "the main window")
    idcode = [1000, 1001, 1002, 1004] + [1005] * 32 + [1006, 1009]
    window = click_through(session, window, idcode)
    # The states file beside the trace names the codes of STATE, as GTKWave's translate filter reads it.
    with open(os.path.join(folder, "live.states.txt")) as f:
        state_names = dict(line.split(" ", 1) for line in f.read().splitlines() if line and not line.startswith("#"))
    check(sorted(state_names.values()) == sorted(DECODER_NAMES.values()), f"the states file names {state_names}")
    lines = session.probe("lines").lines
    cycle = [1002, 1004, 1006, 1009, 1001] * 52
    for ident in cycle:
        before = window.last_line
        session.click(window, ident)
        window = session.wait_for_count(0, line_changes_from=before)
        lines.append(window.last_line)
        # The file is complete after every click: its last state is the history's.
        if len(lines) % 50 == 0:
            last = vcd_last_state(live)
            check(last == DECODER_NAMES[window.last_line[4:]], f"the trace file ends in {last!r}")
    check(len(lines) > 300, f"{len(lines)} clocks")
    check(session.probe("lines").lines == lines[-101:], "the history is not the clocks clicked")

    # Asked once: every request queued while the dialog is on its way would open another.
    session.probe("save-trace")
    window = session.wait_until(lambda w: w.boxes["save"]["count"] == 1, "the Save dialog")
    time.sleep(0.5)
    session.screenshot(os.path.join(build, "e2e-save-dialog.png"), window.boxes["save"]["rect"])
    # The keyboard follows the pointer: over the dialog, then the name typed over the one offered.
    left, top, right, bottom = window.boxes["save"]["rect"]
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str(top + 30)], check=True)
    time.sleep(0.3)
    subprocess.run(["xdotool", "key", "ctrl+a", "type", "--delay", "20", windows_path(saved)], check=True)
    session.key("Return")
    deadline = time.time() + 30
    while not os.path.exists(saved) and time.time() < deadline:
        time.sleep(0.2)
    session.wait_until(lambda w: w.boxes["save"]["count"] == 0, "the Save dialog to close")
    with open(live, "rb") as a, open(saved, "rb") as b:
        check(a.read() == b.read(), "the saved file differs from the one written as the session went")
    check(not [name for name in os.listdir(folder) if name.endswith(".part")], "a temporary file was left")

    run = subprocess.run(["sigrok-cli", "-I", "vcd", "-i", saved, "-P", "jtag:tdi=TDI:tdo=TDO:tck=TCK:tms=TMS"],
                         capture_output=True, text=True, check=True)
    check(not run.stderr.strip(), f"sigrok warns reading the file: {run.stderr[:300]!r}")
    decoded = run.stdout.splitlines()
    check(os.path.exists(os.path.join(folder, "saved.states.txt")), "the saved trace has no states file")
    # One state a clock, named once the next rising edge ends it: all but the last clock. The
    # decoder starts from RUN-TEST/IDLE, the history from "***": compare from the reset's last clock.
    states = [line.split(": ", 1)[1] for line in decoded if line.split(": ", 1)[-1] in DECODER_NAMES.values()]
    check(len(states) == len(lines) - 1, f"the decoder names {len(states)} states for {len(lines)} clocks")
    expected = [DECODER_NAMES[line[4:]] for line in lines[5:-1]]
    differ = [i for i, (a, b) in enumerate(zip(states[5:], expected)) if a != b]
    check(not differ, f"the decoder's states differ from the history from clock {differ[:1]}")
    # "DR TDO: 0001...1011 (0x14d5654b), 32 bits": the first register shifted out is the IDCODE.
    tdo = [line.split("DR TDO: ", 1)[1].split()[0] for line in decoded if "DR TDO: " in line]
    check(tdo and int(tdo[0], 2) == 0x14D5654B, f"the decoder's first DR TDO is {tdo[:1]}")
    print(f"session: {len(lines)} clocks saved whole; trace file equals the saved one; sigrok decodes the same states "
          f"and the IDCODE")


# --- SEND-IR and SEND-DR --------------------------------------------------------------------

IDCODE = 0x14D5654B


def expected_send_lines(buttons, tdi, outs):
    """History lines of these buttons clicked from TEST-LOGIC-RESET: TMS, TDI and state from the
    buttons' table; TDO the next of `outs` for a clock that starts in a Shift state, else 1."""
    lines, state, outs = [], "TLR", list(outs)
    for ident in buttons:
        tms, drive, code = COMMANDS[ident]
        tdi = tdi if drive is None else drive
        tdo = outs.pop(0) if state in ("SDR", "SIR") else 1
        lines.append(f"{tms}{tdi}{tdo}-{code}")
        state = code
    return lines


def type_value(session, window, ident, text, enter=True):
    """Clicks into a value list's edit field, types the value over what it holds, and Enter."""
    left, top, right, bottom = window.controls[ident]["rect"]
    subprocess.run(["xdotool", "mousemove", str(left + 12), str((top + bottom) // 2), "click", "1"], check=True)
    subprocess.run(["xdotool", "key", "End", "shift+Home", "BackSpace", "type", "--delay", "30", text], check=True)
    session.wait_until(lambda w: w.texts[ident] == text, f"{text!r} in list {ident}")
    if enter:
        session.key("Return")


def bits(value, count):
    return [(value >> i) & 1 for i in range(count)]


def click_to_new_states(session, window, buttons):
    """Clicks each button and waits for its line; each enters a state other than the one before,
    so this works with the history full too."""
    for ident in buttons:
        before = window.last_line
        session.click(window, ident)
        window = session.wait_until(lambda w: w.last_line != before, f"the clock of button {ident}")
    return window


def vcd_edges(path):
    """Each clock of a trace file: the time TCK fell, the time it rose, and the state it entered."""
    clocks, time_now, fall, code = [], 0, 0, ["x"] * 4
    with open(path[:-len(".vcd")] + ".states.txt") as states:
        names = dict(line.split(" ", 1) for line in states.read().splitlines() if line and not line.startswith("#"))
    with open(path) as trace:
        for line in trace:
            line = line.strip()
            if line.startswith("#"):
                time_now = int(line[1:])
            elif line == "0!":
                fall = time_now
            elif line == "1!":
                clocks.append([fall, time_now, None])
            elif len(line) == 2 and line[1] in STATE_WIRES and clocks:
                code[STATE_WIRES.index(line[1])] = line[0]
                clocks[-1][2] = "UNKNOWN" if "x" in code else names.get("%X" % int("".join(code), 2))
    return clocks


# The wires of STATE in a trace file, bit 3 first.
STATE_WIRES = "%&'("


def vcd_last_state(path):
    """The state a trace file ends in."""
    clocks = vcd_edges(path)
    return clocks[-1][2] if clocks else None


def case_send(session, build):
    """IR 4'b0010 then DR 32'h0 typed and sent with real keys and clicks: the IDCODE in the value
    display, every clock in the history, the trace rows and the trace file; the IDCODE clicked by
    hand; BYPASS; bad values refused; a SEND from PAUSE-DR; a 4096-bit SEND at the cable's speed with
    every clock in the trace file; the lists kept across a restart."""
    folder = temporary_folder("morva-send-")
    shutil.copy(os.path.join(build, "MORVASIM.EXE"), folder)
    program, live = os.path.join(folder, "MORVASIM.EXE"), os.path.join(folder, "live.vcd")
    session.process = session.launch(program, args=["/trace:" + windows_path(live)])
    window = session.wait_until(lambda w: w.visible, "the main window")
    check(window.texts[1024] == "4'b0010" and window.items.get(1024) == ["4'b0010", "4'b1111"],
          f"IR list at start: {window.texts[1024]!r} {window.items.get(1024)}")
    check(window.texts[1023] == "32'h0", f"DR list at start: {window.texts[1023]!r}")
    check(window.controls[1043]["visible"], "the value display is hidden")
    check(not window.controls[1025]["enabled"] and not window.controls[1026]["enabled"],
          "a SEND is offered before the state is known")
    window = click_through(session, window, [1000])
    check(window.controls[1025]["enabled"] and window.controls[1026]["enabled"], "no SEND after a reset")

    # The IDCODE clicked by hand shows in the display as it leaves Shift-DR.
    window = click_through(session, window, [1001, 1002, 1004] + [1005] * 32 + [1006])
    check(window.texts[1043] == "32'h14D5654B", f"clicked by hand the display shows {window.texts[1043]!r}")
    window = click_through(session, window, [1009, 1001])
    clicked = window.count

    ir = [1002, 1003, 1010, 1011, 1011, 1038, 1011, 1012, 1015, 1001]
    dr = [1002, 1004, 1005] + [1005] * 31 + [1006, 1009, 1001]
    expected = expected_send_lines([1001] + ir + dr, 1, [1, 0, 0, 0] + bits(IDCODE, 32))[1:]
    type_value(session, window, 1024, "4'b0010")
    # The display changes last of all a SEND shows: wait for it, then for the lines.
    window = session.wait_until(lambda w: w.texts[1043] == "4'h1" and w.count == clicked + len(ir),
                                "the instruction register's capture, 0001, after the IR SEND's clocks")
    type_value(session, window, 1023, "32'h0", enter=False)
    session.click(window, 1025)
    window = session.wait_until(lambda w: w.visible and w.texts[1043] == "32'h14D5654B" and w.texts[1025] == "SEND-DR",
                                "the IDCODE in the value display")
    check(window.count == clicked + len(ir) + len(dr), f"{window.count - clicked} clocks for the two SENDs")
    check_window(session, window, "RTI", 0, 1, os.path.join(build, "e2e-probe.ppm"))
    lines = session.probe("lines").lines
    check(lines[clicked:] == expected, f"history {lines[clicked:]}\nexpected {expected}")
    rows = [window.rows[i] for i in ROWS]
    width = len(rows[0])
    columns = ["".join(r[i] for r in rows) for i in range(width)]
    check(columns == [line[4:] + line[:3] for line in lines[-width:]], "the trace rows differ from the history")
    session.screenshot(os.path.join(build, "e2e-send-idcode.png"), window.rect)

    # BYPASS: one bit that captures 0, so the data comes back one clock late.
    type_value(session, window, 1024, "4'hF")
    window = session.wait_until(lambda w: w.texts[1043] == "4'h1" and w.texts[1026] == "SEND-IR", "the IR SEND")
    type_value(session, window, 1023, "8'hA5")
    window = session.wait_until(lambda w: w.texts[1043] == "8'h4A", "8'h4A out of BYPASS")
    # Enter sent it and took the focus out of the list: a key steps again (the history is full: its
    # last line tells), and the list keeps its text.
    session.key("1")
    window = session.wait_until(lambda w: w.last_line.endswith("SDS"), "a step by the key 1 after a SEND by Enter")
    check(window.texts[1023] == "8'hA5", f"after the key 1 the list holds {window.texts[1023]!r}")

    # A bad value: SEND disabled, Enter says what is accepted, nothing clocked.
    last = session.probe("lines").lines
    type_value(session, window, 1023, "12x", enter=False)
    window = session.wait_until(lambda w: not w.controls[1025]["enabled"], "SEND-DR disabled for 12x")
    session.key("Return")
    window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the message for 12x")
    texts = " ".join(window.boxes["error"]["texts"])
    check("12x" in texts and "4'b0010, 6'h09" in texts, f"the message for 12x: {texts!r}")
    session.probe("close-error")
    window = session.wait_until(lambda w: w.boxes["error"]["count"] == 0, "the message to close")
    check(session.probe("lines").lines == last, "a refused value was clocked")

    # From PAUSE-DR the shift goes on through EXIT2-DR: 2 + 8 + 2 clocks.
    window = click_to_new_states(session, window, [1004, 1006, 1007])
    type_value(session, window, 1023, "8'h0F", enter=False)
    session.click(window, 1025)
    window = session.wait_until(lambda w: w.texts[1043] == "8'h1E", "8'h1E out of BYPASS")
    tail = session.probe("lines").lines[-13:]
    check([line[4:] for line in tail] == ["PDR", "E2D"] + ["SDR"] * 8 + ["E1D", "UDR", "RTI"],
          f"the SEND from PAUSE-DR: {tail}")

    # 4096 bits at the cable's speed: the display shows them all, and the trace file holds each of
    # the 4101 clocks, stamped within a second of cable time.
    type_value(session, window, 1023, "4096'h0", enter=False)
    session.click(window, 1025)
    window = session.wait_until(lambda w: w.texts[1043].startswith("4096'h") and w.texts[1025] == "SEND-DR",
                                "the 4096 bits in the value display")
    check(window.texts[1043] == "4096'h" + "0" * 1024, f"the display after the SEND: {window.texts[1043][:20]!r}")
    check(window.controls[1025]["enabled"] and window.controls[1026]["enabled"], "no SEND after the long one")
    escape(session, window, session.process)
    clocks = vcd_edges(live)[-4101:]
    states = [state for _, _, state in clocks]
    check(states[:3] == ["SELECT-DR-SCAN", "CAPTURE-DR", "SHIFT-DR"] and states.count("SHIFT-DR") == 4096 and
          states[-3:] == ["EXIT1-DR", "UPDATE-DR", "RUN-TEST/IDLE"], f"the long SEND's clocks: {states[:4]} {states[-4:]}")
    cable_us = clocks[-1][1] - clocks[0][0]
    check(cable_us < 1000000, f"the 4101 clocks took {cable_us} us of cable time")

    # The next start offers what was sent, newest first, each value once.
    session.process = session.launch(program)
    window = session.wait_until(lambda w: w.visible, "the main window again")
    check(window.items.get(1023) == ["4096'h0", "8'h0F", "8'hA5", "32'h0"], f"DR list kept: {window.items.get(1023)}")
    check(window.items.get(1024) == ["4'hF", "4'b0010"], f"IR list kept: {window.items.get(1024)}")
    escape(session, window, session.process)

    decoded = subprocess.run(["sigrok-cli", "-I", "vcd", "-i", live, "-P", "jtag:tdi=TDI:tdo=TDO:tck=TCK:tms=TMS"],
                             capture_output=True, text=True, check=True).stdout.splitlines()
    found = [line.split(": ", 1)[1] for line in decoded if "IR TDI: " in line or "DR TDO: " in line]
    check(any(line.startswith("IR TDI: 0010 ") for line in found), f"the decoder saw no IR 0010: {found[:6]}")
    check(sum("(0x14d5654b)" in line for line in found) == 2, f"the decoder saw no two IDCODEs: {found[:6]}")
    check(any("(0x4a)" in line for line in found), f"the decoder saw no 0x4A out of BYPASS: {found}")
    print(f"send: IDCODE by hand and by SEND, BYPASS, every clock in history, rows and trace file; a bad value "
          f"refused; a SEND from PAUSE-DR; a 4096-bit SEND in {cable_us} us of cable time, its 4101 clocks in the "
          f"trace file; the lists kept")

def case_package(session, build):
    """The release package, made here, unpacked elsewhere, and its MORVASIM.EXE started there."""
    subprocess.run(["cpack", "-G", "ZIP"], cwd=build, check=True, stdout=subprocess.DEVNULL)
    packages = [name for name in os.listdir(build) if name.startswith("MORVA-") and name.endswith("-win32.zip")]
    check(len(packages) == 1, f"packages in the build folder: {packages}")
    folder = temporary_folder("morva-package-")
    with zipfile.ZipFile(os.path.join(build, packages[0])) as archive:
        names = sorted(archive.namelist())
        archive.extractall(folder)
    check(names == ["MORVA.EXE", "MORVA.TXT", "MORVASIM.EXE", "examples/", "examples/morva_demo.bsd"],
          f"package holds {names}")
    with open(os.path.join(folder, "MORVA.TXT"), "rb") as guide:
        text = guide.read()
    check(b"0x14D5654B" in text and b"inpout32.dll" in text and b"GIVEIO" in text, "the guide lacks a topic")
    session.env = None
    process = subprocess.Popen(session.wine + [os.path.join(folder, "MORVASIM.EXE")], cwd=folder,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    session.others.append(process)
    window = session.wait_until(lambda w: w.visible, "the unpacked program's window")
    session.click(window, 1000)
    window = session.wait_for_count(6)
    check(window.last_line == "111-TLR", f"after a reset the history ends with {window.last_line!r}")
    print(f"package: {packages[0]} holds {names}; its MORVASIM.EXE runs from {folder}")


# The TAP state diagram by state code: the successor on TMS 0 and on TMS 1.
DIAGRAM = {
    "TLR": ("RTI", "TLR"), "RTI": ("RTI", "SDS"), "SDS": ("CDR", "SIS"), "CDR": ("SDR", "E1D"),
    "SDR": ("SDR", "E1D"), "E1D": ("PDR", "UDR"), "PDR": ("PDR", "E2D"), "E2D": ("SDR", "UDR"),
    "UDR": ("RTI", "SDS"), "SIS": ("CIR", "TLR"), "CIR": ("SIR", "E1I"), "SIR": ("SIR", "E1I"),
    "E1I": ("RIR", "UIR"), "RIR": ("RIR", "E2I"), "E2I": ("SIR", "UIR"), "UIR": ("RTI", "SDS"),
}


def check_path(lines):
    """Each line's state follows from the one before with the TMS it records."""
    for before, after in zip(lines, lines[1:]):
        tms, code = int(after[0]), after[4:]
        if code == "***":
            check(tms == 1, f"a reset clock with TMS 0: {after!r}")
        elif before[4:] == "***":
            check(code == "TLR" and tms == 1, f"{before!r} then {after!r}")
        else:
            check(DIAGRAM[before[4:]][tms] == code, f"{before!r} then {after!r}: not one clock of the diagram")


def case_burst(session, build):
    """A person clicking fast: bursts of real clicks 10 ms apart across several buttons. The
    history stays a path through the diagram, and the panel matches its last line."""
    window = session.start()
    session.click(window, 1000)
    window = session.wait_for_count(6)
    rects = window.controls
    bursts = [[1001, 1002, 1004, 1005, 1005, 1006, 1007, 1008, 1005, 1037, 1009],
              [1002, 1003, 1010, 1038, 1011, 1039, 1013, 1014, 1011, 1012, 1015],
              [1001, 1001, 1002, 1003, 1010, 1012, 1015, 1000, 1001, 1002, 1004, 1036, 1006],
              [1036, 1005, 1006, 1009, 1001, 1002, 1003, 1000, 1001, 1002, 1004, 1005]]
    for burst in bursts:
        command = ["xdotool"]
        for i, ident in enumerate(burst):
            left, top, right, bottom = rects[ident]["rect"]
            # A few pixels apart each time, so that no two clicks make a double click.
            x, y = (left + right) // 2 + (i % 3) * 2 - 2, (top + bottom) // 2
            command += ["mousemove", str(x), str(y), "click", "--delay", "0", "1", "sleep", "0.01"]
        subprocess.run(command, check=True)
        window = session.wait_until_settled()
    window = session.probe("lines")
    check(len(window.lines) == window.count and window.count > 6, f"history of {window.count} lines")
    check_path(window.lines)
    code = window.lines[-1][4:]
    check_window(session, window, code, int(window.lines[-1][0]), None, os.path.join(build, "e2e-probe.ppm"))
    print(f"burst: {window.count} history lines form a path through the diagram, ending in {code}")


def case_verilator(session, build):
    """The example's Verilog TAP, built with Verilator and served over remote_bitbang: the program
    (MORVA.EXE, or with --native the Linux program) walks it through all sixteen states by real
    clicks, checked after every click, and reads its IDCODE by clicks alone."""
    example = os.path.join(session.source, "examples", "verilator-tap")
    out = os.path.join(build, "example-verilator")
    subprocess.run(["make", "-s", "-C", example, f"OBJ_DIR={out}"], check=True, stdout=subprocess.DEVNULL)
    server = subprocess.Popen([os.path.join(out, "rbb_server"), "0"], stdout=subprocess.PIPE, text=True)
    try:
        address = server.stdout.readline().split()[-1]  # "remote_bitbang on 127.0.0.1:PORT"
        cable = f"rbb:{address}"
        program, args = ("morva.exe", ["--cable", cable]) if session.native else ("MORVA.EXE", [f"/cable:{cable}"])
        check(not session.probe().visible, "a MORVA window is already open")
        session.process = session.launch(program, args=args)
        window = session.wait_until(lambda w: w.visible, "the window", timeout=60)
        check(any(address in item for item in window.items.get(1042, [])) or address in window.texts.get(1042, ""),
              f"the cable list does not show {cable}: {window.texts.get(1042)!r}")
        # The IDCODE first: both walks' 74 lines stay below the history's limit of 101.
        idcode_walk = [1000, 1001, 1002, 1004, 1005] + [1005] * 31 + [1006]
        window = click_through(session, window, idcode_walk)
        value = window.texts.get(1043, "")
        check(value == "32'h3C0FFEE1", f"the value display shows {value!r}, not the example's IDCODE 32'h3C0FFEE1")
        tdo = "".join(window.rows[1031][-32:])
        check(int(tdo[::-1], 2) == 0x3C0FFEE1, f"the TDO row's last 32 digits {tdo} are not the IDCODE")
        window = walk_every_state(session, window, build)
        session.screenshot(os.path.join(build, "e2e-verilator.png"), window.rect)
        escape(session, window, session.process)
    finally:
        server.kill()
        server.wait()
    print(f"verilator: the example's TAP over {cable}: every state walked and checked, IDCODE 32'h3C0FFEE1 read")


def case_native(session, build, windows_build):
    """The Linux program on the simulated board: every state walked and checked as MORVASIM.EXE's
    window is, then its window against MORVASIM.EXE's after the same clicks, pixel for pixel."""
    case_walk(session, build)
    escape(session, session.probe(), session.process)
    session.stop()
    session.others = []
    case_every_click(session, build)
    session.stop()
    session.others = []

    clicks = [1000, 1001, 1002, 1004, 1005, 1036, 1006, 1007, 1008, 1005, 1037, 1009, 1002, 1003, 1010]
    screens = os.path.join(build, "screens")
    os.makedirs(screens, exist_ok=True)
    shots = {}
    for name, runner in (("linux", session), ("windows", Session(windows_build, session.source))):
        runner.process = runner.launch()
        window = runner.wait_until(lambda w: w.visible, f"the {name} program's window")
        try:
            # Held a moment, as in the pixels case: both programs paint in the same order.
            window = click_through(runner, window, clicks, hold=0.2)
            shots[name] = os.path.join(screens, f"{name}-window.png")
            runner.screenshot(shots[name], window.rect)
            escape(runner, window, runner.process)
        finally:
            runner.stop()
            runner.others = []
            if runner is not session:
                runner.stop_probes()
    subprocess.run(["convert", shots["linux"], shots["windows"], "-background", "white", "-splice", "12x0",
                    "+append", os.path.join(screens, "linux-and-windows.png")], check=True)
    count = subprocess.run(["compare", "-metric", "AE", shots["linux"], shots["windows"], "null:"],
                           capture_output=True, text=True).stderr.strip()
    check(count == "0", f"the Linux program's window differs from MORVASIM.EXE's in {count} pixels")

    # A cable the Linux program cannot reach, and no cable where there is no /dev/parport0: a
    # message that says what to give, no window, and the end once it is read.
    refusals = [(["--cable", "lpt:0xD010"], "No parallel port of this computer has the address 0xD010",
                 "linux-cable-error.png"),
                (["--cable", "bogus"], "~/.config/morva/morva.ini", "linux-tilde-error.png")]
    if not os.path.exists("/dev/parport0"):
        refusals.append(([], "this computer has no parallel port /dev/parport0", "linux-no-cable.png"))
    for args, text, shot in refusals:
        process = session.launch("morva.exe", args=args)
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, f"the error box for {args}")
        texts = " ".join(window.boxes["error"]["texts"])
        check(text in texts and "lpt:DEVICE" in texts, f"error box for {args}: {texts!r}")
        check(window.mains == 0, "a main window opened")
        session.screenshot(os.path.join(screens, shot), window.boxes["error"]["rect"])
        session.probe("close-error")
        check(ended(process, 30), f"morva {args} did not end after its error box")
    # An English message's tilde is a tilde, in a Latin face: no overline.
    reference = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference", "en-linux-tilde-error.png")
    check(same_picture(os.path.join(screens, "linux-tilde-error.png"), reference),
          "the English message with ~ differs from tests/e2e/reference/en-linux-tilde-error.png")
    print(f"native: the walk checked after every click; after {len(clicks)} clicks the window equals MORVASIM.EXE's "
          f"pixel for pixel; {len(refusals)} refused cable choices said what to give")


class TinyRemoteBitbang:
    """A remote_bitbang server on the loopback whose TDO is always 1: a cable the Linux program
    opens here beside its simulated board."""

    def __init__(self):
        import socket
        import threading
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            with connection:
                while True:
                    data = connection.recv(4096)
                    if not data or b"Q" in data:
                        break
                    if data.count(b"R"):
                        connection.sendall(b"1" * data.count(b"R"))

    def close(self):
        self.listener.close()


def case_kept_choice(session, build):
    """A new user's Linux program, its home without a config folder: a cable picked in the
    window is kept, and the next start without a cable on the command line opens it."""
    home = temporary_folder("morva-home-")
    env = home_in(dict(os.environ), home)
    server = TinyRemoteBitbang()
    try:
        process = session.launch("morva.exe", env=env, args=["--cable", f"rbb:127.0.0.1:{server.port}"])
        window = session.wait_until(lambda w: w.visible, "the main window")
        check(window.texts[1042].startswith("rbb:"), f"the cable list shows {window.texts[1042]!r}")
        # A click before the window has finished starting is lost: a reset first, and its clocks seen.
        session.click(window, 1000)
        window = session.wait_for_count(6)
        pick_cable(session, window, "sim")
        window = session.wait_until(lambda w: w.texts[1042].startswith("sim"), "the simulated board in use")
        escape(session, window, process)
    finally:
        server.close()
    folder = os.path.join(home, ".config", "morva")
    check(os.path.isfile(os.path.join(folder, "morva.ini")), "no settings file was written")
    check(os.stat(folder).st_mode & 0o777 == 0o700, f"the folder's mode is {os.stat(folder).st_mode & 0o777:o}")
    process = session.launch("morva.exe", env=env, args=[])
    window = session.wait_until(lambda w: w.visible or w.boxes["error"]["count"] == 1, "the restarted program")
    check(window.visible, f"the restart without a cable did not open the window: {window.boxes['error']['texts']}")
    check(window.texts[1042].startswith("sim"), f"after the restart the cable list shows {window.texts[1042]!r}")
    session.click(window, 1000)
    window = session.wait_for_count(6)
    check(window.last_line == "111-TLR", f"the kept cable's reset gave {window.last_line}")
    escape(session, window, process)
    print("kept-choice: a cable picked from an empty home is kept in ~/.config/morva (0700) and opened at the restart")


class WindowManager:
    """Openbox on the test's display, as a desktop has a window manager: it draws the title bars
    and their menus itself, so the program's system menu is never shown."""

    def __enter__(self):
        self.process = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True)
        deadline = time.time() + 30
        while "window id" not in subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True,
                                                text=True).stdout:
            check(time.time() < deadline and self.process.poll() is None, "openbox did not start")
            time.sleep(0.2)
        return self

    def __exit__(self, *args):
        os.killpg(self.process.pid, signal.SIGTERM)
        self.process.wait()


MENU_ITEMS = 6  # About, Save trace, Scan chain, Save as SVF, Play SVF file, the SRST pulse


def context_command(session, window, index, what):
    """A right click on the window's title label (free of controls that take it), then a click
    on the menu's item at that index."""
    left, top, right, bottom = window.controls[1040]["rect"]
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "3"], check=True)
    window = session.wait_until(lambda w: w.menu["open"], f"the menu of a right click, for {what}")
    session.screenshot(os.path.join(session.build, f"e2e-context-menu-{index}.png"))
    left, top, right, bottom = window.menu["rect"]
    y = top + (bottom - top) * (2 * index + 1) // (2 * MENU_ITEMS)
    subprocess.run(["xdotool", "mousemove", str(left + 20), str(y), "click", "1"], check=True)
    return session.wait_until(lambda w: not w.menu["open"], "the menu to close")


def scanned_in_window(session, program, env, args, title, devices):
    """The program started (none open before it) and "Scan chain" clicked in its menu; the window
    once the chain's list holds the whole chain's line and the devices'."""
    check(not session.probe().visible, "a MORVA window is already open")
    session.process = session.launch(program, env=env, args=args)
    window = session.wait_until(lambda w: w.visible, f"the {title} window", timeout=60)
    window = context_command(session, window, 2, "Scan chain")
    return session.wait_until(lambda w: w.chain["visible"] and len(w.chain["items"]) == devices + 1 and w.settled,
                              "the scan's list")


def case_context_menu(session, build):
    """Under a window manager, in both languages: a right click in the Linux program's window
    opens its own commands; "Save trace..." saves the session, "About" opens the About box."""
    folder = temporary_folder("morva-context-")
    session.prepare_prefixes()
    with WindowManager():
        for name, language, overrides in LOCALES:
            env = locale_env(overrides)
            process = session.launch("morva.exe", env=env, args=["--cable", "sim"])
            window = session.wait_until(lambda w: w.visible, f"the {name} window")
            window = click_through(session, window, [1000, 1001])
            saved = os.path.join(folder, f"{name}.vcd")
            window = context_command(session, window, 1, "Save trace")
            window = session.wait_until(lambda w: w.boxes["save"]["count"] == 1, "the Save dialog")
            subprocess.run(["xdotool", "key", "ctrl+a", "type", "--delay", "20", windows_path(saved)], check=True)
            session.key("Return")
            window = session.wait_until(lambda w: w.boxes["save"]["count"] == 0 and os.path.exists(saved),
                                        "the trace saved")
            clocks = vcd_edges(saved)
            check(clocks and clocks[-1][2] == "RUN-TEST/IDLE", f"{name}: the saved trace lacks the session")
            window = context_command(session, window, 0, "About")
            window = session.wait_until(lambda w: w.boxes["about"]["count"] == 1, "the About box")
            texts = window.boxes["about"]["texts"]
            check(all(t in texts for t in ABOUT_TEXTS[language]), f"{name}: About box texts {texts}")
            session.screenshot(os.path.join(build, f"e2e-context-about-{name}.png"), window.boxes["about"]["rect"])
            session.probe("close-about")
            window = session.wait_until(lambda w: w.boxes["about"]["count"] == 0, "the About box to close")
            escape(session, window, process)
    print("context-menu: under openbox, in both languages, a right click saved the trace and opened the About box")


def pick_cable(session, window, cable):
    """Drops the cable list down with a click, moves to the cable with the arrow keys and takes it
    with Enter, as a person does; returns the window once the list has closed."""
    session.click(window, 1042)
    window = session.wait_until(lambda w: len(w.items.get(1042, [])) > 1, "the cable list dropped down")
    items = window.items[1042]
    wanted = [i for i, item in enumerate(items) if item.split("  ")[0] == cable]
    check(len(wanted) == 1, f"{cable} not once in the list {items}")
    current = items.index(window.texts[1042])
    steps = wanted[0] - current
    for _ in range(abs(steps)):
        session.key("Down" if steps > 0 else "Up")
    session.key("Return")
    return window


def case_cable_list(session, build):
    """The cable list: dropped down it shows what there is now (the board, the stand-in's two FTDI
    devices, the cable the settings file names); a pick releases the cable in use and opens the
    new one with its state unknown; one that cannot be opened leaves the old in use; the choice
    is kept for the next start."""
    session.prepare_prefixes()
    with InstalledD2xx(build, "whole"):
        folder = program_folder(build)
        env, log, plug = ftdi_env(folder)
        env["MORVA_FTDI_UART"] = "1"
        with open(os.path.join(folder, "MORVA.INI"), "w") as ini:
            ini.write("[cable]\ncable=ftdi:GONE01\n")
        screens = os.path.join(build, "screens")
        os.makedirs(screens, exist_ok=True)
        for name, overrides in (("default", {}), ("ja", {"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"})):
            shown = dict(env)
            for key in ("LANG", "LC_ALL", "LC_CTYPE", "LANGUAGE"):
                shown.pop(key, None)
            shown.update(overrides)
            process = start_in(session, folder, ["/cable:sim"], shown)
            window = session.wait_until(lambda w: w.visible, "the main window")
            check(window.controls[1042]["enabled"], "the cable list is disabled")
            check(window.texts[1042] == "sim", f"the list shows {window.texts[1042]!r}")
            session.click(window, 1042)
            window = session.wait_until(lambda w: len(w.items.get(1042, [])) > 1, "the cable list dropped down")
            expected = ["lpt  parallel port at 0x378 (LPT1)", "ftdi:MV232H01  FTDI MV232H JTAG (D2XX, bit-bang)",
                        "ftdi:MVUART01  FTDI FT232R USB UART (D2XX, bit-bang)", "sim  simulated board",
                        "sim:chain  simulated chain of three devices", "ftdi:GONE01  FTDI cable GONE01"]
            check(window.items[1042] == expected, f"the list holds {window.items[1042]}")
            left, top, right, bottom = window.rect
            session.screenshot(os.path.join(screens, f"cable-list-{name}.png"),
                               (left, top, max(right, window.controls[1042]["rect"][0] + 380), bottom))
            session.key("Escape")
            window = session.wait_until(lambda w: len(w.items.get(1042, [])) == 1, "the list closed on Escape")
            check(window.texts[1042] == "sim", "Escape in the list changed the cable")
            check(window.mains == 1, "Escape in the dropped list closed the window")
            escape(session, window, process)

        process = start_in(session, folder, ["/cable:sim"], env)
        window = session.wait_until(lambda w: w.visible, "the main window")
        window = click_through(session, window, [1000, 1001])
        clicks = window.count

        # The settings file's cable is not plugged in: the message, and the board stays.
        pick_cable(session, window, "ftdi:GONE01")
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the error box")
        text = window.boxes["error"]["texts"]
        check(any("could not open FTDI cable GONE01, so simulated board stays in use" in t for t in text),
              f"error box {text}")
        window = session.wait_until(lambda w: w.boxes["error"]["count"] == 0, "the box to close", action="close-error")
        check(window.texts[1042] == "sim", f"after the failure the list shows {window.texts[1042]!r}")
        check(read_log(log).count("openex GONE01") == 1, "the missing cable was not looked for once")

        # To the FTDI cable: nothing of it was driven before, its state is unknown until a reset.
        before = len(read_log(log))
        pick_cable(session, window, "ftdi:MV232H01")
        window = session.wait_until(lambda w: w.texts[1042].startswith("ftdi:MV232H01"), "the FTDI cable in use")
        check(window.controls[1000]["enabled"] and not window.controls[1001]["enabled"],
              "the state is not unknown after the change of cable")
        opened = read_log(log)[before:]
        check(opened[:2] == ["list 2", "openex MV232H01"] or opened[:1] == ["openex MV232H01"],
              f"the FTDI cable opened with {opened[:3]}")
        check(not any(line.startswith("uart ") or line == "openex MVUART01" for line in read_log(log)),
              "the adapter was opened")
        window = click_through(session, window, [1000, 1001])
        check(window.count == clicks + 7, f"{window.count - clicks} clocks on the FTDI cable")
        escape(session, window, process)
        with open(os.path.join(folder, "MORVA.INI")) as ini:
            kept = ini.read()
        check("cable=ftdi:MV232H01" in kept, f"the choice was not kept: {kept!r}")

        # The next start takes the kept cable; back to the board: the FTDI pins are inputs and
        # its handle closed before the board is touched.
        process = start_in(session, folder, [], env)
        window = session.wait_until(lambda w: w.visible, "the main window")
        check(window.texts[1042].startswith("ftdi:MV232H01"), f"after a restart the list shows {window.texts[1042]!r}")
        window = click_through(session, window, [1000])
        pick_cable(session, window, "sim")
        window = session.wait_until(lambda w: w.texts[1042] == "sim", "the board in use")
        lines = read_log(log)
        check(lines[-2:] == ["bitmode 00 04", "close"], f"the FTDI cable was left with {lines[-3:]}")
        window = click_through(session, window, [1000, 1001])
        check(read_log(log) == lines, "the FTDI cable was touched after the change")
        escape(session, window, process)
    print("cable-list: the list dropped down in both locales, a cable that would not open left the board in use, "
          "the FTDI cable chosen, kept across a restart and released for the board")


def case_step_keys(session, build):
    """Keys alone, as a keyboard presses them: nothing before a reset but R; the IDCODE read with
    0 and 1, its history that of the same clicks; a held key one step a repeat."""
    window = session.start()
    left, top, right, bottom = window.rect
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str(bottom - 20)], check=True)
    session.key("0")
    session.key("1")
    session.key("r")
    window = session.wait_until(lambda w: w.count >= 6, "the reset's six clocks")
    lines = session.probe("lines").lines
    check(lines[-1] == "111-TLR" and len(lines) == 6, f"0 and 1 before the reset stepped: {lines}")

    keys = ["0", "1", "0", "0"] + ["0"] * 31 + ["1"]
    subprocess.run(["xdotool", "key", "--delay", "80"] + keys, check=True)
    window = session.wait_until(lambda w: w.count >= 6 + len(keys) and w.texts[1043] != "", "the keyed clocks")
    check(window.texts[1043] == "32'h14D5654B", f"the value display shows {window.texts[1043]!r}")
    clicked = [1001, 1002, 1004] + [1005] * 32 + [1006]
    expected = expected_send_lines(clicked, 1, bits(IDCODE, 32))
    lines = session.probe("lines").lines
    check(lines[6:] == expected, f"keyed history {lines[6:]}\nexpected {expected}")

    # Held down in PAUSE-DR: every repeat one clock into PAUSE-DR, none other.
    session.key("0")
    window = session.wait_until(lambda w: w.count >= len(lines) + 1, "the step into PAUSE-DR")
    before = window.count
    subprocess.run(["xdotool", "keydown", "0"], check=True)
    try:
        window = session.wait_until(lambda w: w.count >= before + 5, "five repeats of a held key")
    finally:
        subprocess.run(["xdotool", "keyup", "0"], check=True)
    window = session.wait_until_settled()
    held = session.probe("lines").lines[before:]
    check(held and all(line == "011-PDR" for line in held), f"the held key gave {held}")
    print(f"step-keys: the IDCODE read with {len(keys) + 1} keys equals the clicked walk; a held key gave "
          f"{len(held)} steps, each into PAUSE-DR")


# --- The chain window ------------------------------------------------------------------------

SIM_CHAIN_IDCODE_2 = 0x35678043


def vcd_changes(path):
    """A trace file's value changes in order, without their times: two records of the same clocks
    made at different speeds give the same list."""
    with open(path) as f:
        body = f.read().split("$enddefinitions $end", 1)[1]
    return [line for line in body.splitlines() if line and not line.startswith("#")]


def vcd_clocks(path):
    """How many rising TCK edges a trace file holds: the clocks it recorded."""
    with open(path) as f:
        head, _, body = f.read().partition("$enddefinitions $end")
    tck = next(line.split()[3] for line in head.splitlines() if line.split()[-2:] == ["TCK", "$end"])
    return body.splitlines().count("1" + tck)


def shift_bits(lines, state, column):
    """The TDI (column 1) or TDO (column 2) of each clock that starts in a Shift state (by its
    history code), the first shifted first."""
    return [int(line[column]) for before, line in zip(lines, lines[1:]) if before[4:] == state]


def case_chain(session, build):
    """sim:chain in both languages, by real clicks: "Scan chain" from the window's menu lists the
    three devices, lengths not told; the lengths typed and scanned again; device 2 picked in the
    list; SEND-IR 6'h02 and SEND-DR 32'h0 show its IR capture and IDCODE, with every clock in the
    history, the trace rows and the trace file."""
    session.prepare_prefixes()
    for name, language, overrides in LOCALES:
        env = locale_env(overrides)
        if session.native:
            # The Linux program keeps its settings under the home folder.
            folder = temporary_folder("morva-chain-")
            home_in(env, folder)
            program, settings = os.path.join(build, "morva.exe"), os.path.join(folder, ".config", "morva", "morva.ini")
            live, alone = os.path.join(folder, "live.vcd"), os.path.join(folder, "alone.vcd")
            args, cli = ["--cable", "sim:chain", "--trace", live], ["--trace", alone]
        else:
            folder = program_folder(build)
            program, settings = os.path.join(folder, "MORVA.EXE"), os.path.join(folder, "MORVA.INI")
            live, alone = os.path.join(folder, "live.vcd"), os.path.join(folder, "alone.vcd")
            args, cli = ["/cable:sim:chain", "/trace:" + windows_path(live)], ["--trace", windows_path(alone)]
        window = scanned_in_window(session, program, env, args, name, 3)
        whole = {"en": "Whole chain", "ja": "チェーン全体"}[language]
        check(window.chain["items"][0] == whole and window.chain["picked"] == 0, f"first line {window.chain['items']}")
        check(window.chain["items"][1].startswith("1|?|0x1ABCD093|Xilinx|0xABCD|1"), f"{window.chain['items']}")
        check("irlen=4,6,8" in window.chain["texts"][1053], f"the scan says {window.chain['texts'][1053]!r}")
        # The scan's clocks are the command line's scan, clock for clock.
        subprocess.run(session.wine + [program, "--cable", "sim:chain", "--scan"] + cli, env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        check(vcd_changes(live) == vcd_changes(alone), "the window's scan differs from the command line's")
        check(window.last_line.endswith("-RTI"), f"the scan ended in {window.last_line}")

        left, top, right, bottom = window.chain["controls"][1051]
        subprocess.run(["xdotool", "mousemove", str(left + 10), str((top + bottom) // 2), "click", "1"], check=True)
        subprocess.run(["xdotool", "key", "End", "shift+Home", "BackSpace", "type", "--delay", "30", "4,6,8"],
                       check=True)
        window = session.wait_until(lambda w: w.chain["texts"][1051] == "4,6,8", "the IR lengths typed")
        left, top, right, bottom = window.chain["controls"][1050]
        subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1"],
                       check=True)
        window = session.wait_until(lambda w: len(w.chain["items"]) == 4 and w.chain["texts"][1053] == "",
                                    "the lengths told")
        check(window.chain["items"][2] == "2|6|0x35678043|Lattice Semi.|0x5678|3", f"{window.chain['items']}")
        check(window.chain["items"][3] == "3|8|none|||", f"{window.chain['items']}")

        # Device 2's line, by a click on it.
        left, top, right, bottom = window.chain["controls"][1052]
        y = top + 2 + window.chain["line_height"] * 2 + window.chain["line_height"] // 2
        subprocess.run(["xdotool", "mousemove", str(left + 40), str(y), "click", "1"], check=True)
        window = session.wait_until(lambda w: w.chain["picked"] == 2, "device 2 picked")

        # The history is full after the scan: the trace file counts the clocks.
        before = vcd_clocks(live)
        type_value(session, window, 1024, "6'h02")
        window = session.wait_until(lambda w: w.texts[1043] == "6'h01" and w.settled and vcd_clocks(live) == before + 24,
                                    "device 2's IR capture after the 24 clocks of an 18-bit SEND-IR", timeout=10,
                                    on_timeout=lambda w: f"{w.texts[1043]!r}, {vcd_clocks(live) - before} clocks")
        ir_lines = session.probe("lines").lines[-25:]
        check(shift_bits(ir_lines, "SIR", 1) == [1] * 8 + [0, 1, 0, 0, 0, 0] + [1] * 4,
              f"SEND-IR shifted {shift_bits(ir_lines, 'SIR', 1)}")
        type_value(session, window, 1023, "32'h0")
        window = session.wait_until(lambda w: w.texts[1043] == "32'h%08X" % SIM_CHAIN_IDCODE_2 and w.settled and
                                    vcd_clocks(live) == before + 24 + 39,
                                    "device 2's IDCODE after the 39 clocks of a padded SEND-DR", timeout=10,
                                    on_timeout=lambda w: f"{w.texts[1043]!r}, {vcd_clocks(live) - before} clocks")
        lines = session.probe("lines").lines
        dr_lines = lines[-40:]
        tdo = shift_bits(dr_lines, "SDR", 2)
        check(len(tdo) == 34 and tdo[1:33] == bits(SIM_CHAIN_IDCODE_2, 32),
              f"SEND-DR read {tdo}: device 3's BYPASS bit, then device 2's IDCODE, then device 1's BYPASS bit")
        rows = [window.rows[i] for i in ROWS]
        columns = ["".join(r[i] for r in rows) for i in range(len(rows[0]))]
        check(columns == [line[4:] + line[:3] for line in lines[-len(columns):]], "the trace rows differ from the history")
        states = [state for _, _, state in vcd_edges(live)]
        check(states[-1] == DECODER_NAMES["RTI"], f"the trace file ends in {states[-1]!r}")
        session.screenshot(os.path.join(build, f"e2e-chain-{'linux-' if session.native else ''}{name}.png"),
                           (window.rect[0], min(window.rect[1], window.chain["rect"][1]),
                            window.chain["rect"][2], max(window.rect[3], window.chain["rect"][3])))
        with open(settings) as f:
            kept = f.read()
        check("[chains]" in kept and "sim:chain 1ABCD093 35678043 - = 4,6,8" in kept,
              f"the IR lengths typed were not kept for the chain in {settings}: {kept!r}")
        check("irlen=" not in kept, f"the IR lengths typed became every cable's: {kept!r}")
        escape(session, window, session.process)
        # Another cable's scan is not given them; a scan of this chain is.
        other = subprocess.run(session.wine + [program, "--cable", "sim", "--scan"], env=env, capture_output=True,
                               text=True)
        check(other.returncode == 0 and "IR 4" in other.stdout and not other.stderr.strip(),
              f"sim's scan after the lengths were typed for sim:chain: {other.stdout!r} {other.stderr!r}")
        same = subprocess.run(session.wine + [program, "--cable", "sim:chain", "--scan"], env=env, capture_output=True,
                              text=True)
        check(same.returncode == 0 and "3  IR 8  IDCODE none" in same.stdout,
              f"sim:chain's scan did not take the lengths kept for it: {same.stdout!r} {same.stderr!r}")
    print("chain: in both languages the menu's scan listed sim:chain's three devices; the lengths typed, device 2 "
          "picked, SEND-IR and SEND-DR showed its IR capture 6'h01 and IDCODE 32'h35678043, every clock recorded")


def click_at(rect):
    left, top, right, bottom = rect
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1"], check=True)


def click_line(panel, line):
    """A click on a line of a panel's list (the chain window's or the pin view's)."""
    left, top, right, bottom = panel["controls"][1052 if 1052 in panel["controls"] else 1061]
    y = top + 2 + panel["line_height"] * line + panel["line_height"] // 2
    subprocess.run(["xdotool", "mousemove", str(left + 30), str(y), "click", "1"], check=True)


def case_bsdl(session, build):
    """The example chip simulated from its BSDL file (sim:bsdl=), in both languages, by real
    clicks and keys: the scan names the entity; IDCODE goes by name and the DR list offers its 32
    bits; the pin view reads the counting inputs by pin name; LED(0) driven high after the one
    question, every other output at its safe value, and EXTEST left by one click."""
    session.prepare_prefixes()
    demo = os.path.join(session.source, "examples", "bsdl", "morva_demo.bsd")
    for name, language, overrides in LOCALES:
        env = locale_env(overrides)
        if session.native:
            folder = temporary_folder("morva-bsdl-")
            home_in(env, folder)
            program, live = os.path.join(build, "morva.exe"), os.path.join(folder, "live.vcd")
            args = ["--cable", "sim:bsdl=" + demo, "--trace", live]
        else:
            folder = program_folder(build)
            program, live = os.path.join(folder, "MORVA.EXE"), os.path.join(folder, "live.vcd")
            args = ["/cable:sim:bsdl=" + windows_path(demo), "/trace:" + windows_path(live)]
        window = scanned_in_window(session, program, env, args, name, 1)
        check(window.chain["items"][1] == "1|5|0x0BEEF04B|Tristar|0xBEEF|0|MORVA_DEMO SO20", f"{window.chain['items']}")
        click_line(window.chain, 1)
        window = session.wait_until(lambda w: w.chain["picked"] == 1, "the chip picked")
        check("IDCODE  00010" in window.items[1024], f"the IR list offers {window.items[1024]}")

        type_value(session, window, 1024, "IDCODE")
        window = session.wait_until(lambda w: w.texts[1043] == "5'h01" and w.texts[1023] == "32'h0" and w.settled,
                                    "IDCODE's IR capture, and 32 bits offered for its register",
                                    on_timeout=lambda w: f"{w.texts[1043]!r}, {w.texts[1023]!r}")
        session.click(window, 1025)
        window = session.wait_until(lambda w: w.texts[1043] == "32'h0BEEF04B" and w.settled, "the chip's IDCODE")

        click_at(window.chain["controls"][1055])
        window = session.wait_until(lambda w: w.pins["visible"] and len(w.pins["items"]) == 11 and w.settled,
                                    "the pin view, read once")
        pins = {item.split("|")[0]: item for item in window.pins["items"]}
        check(pins["BTN(0)"] == "BTN(0)|7|in|in 4|1|" and pins["BTN(1)"] == "BTN(1)|8|in|in 5|0|",
              f"the first capture: {window.pins['items']}")
        check(window.pins["texts"][1060].startswith("SAMPLE"), f"the mode line says {window.pins['texts'][1060]!r}")
        click_at(window.pins["controls"][1062])
        window = session.wait_until(lambda w: any(i == "BTN(1)|8|in|in 5|1|" for i in w.pins["items"]),
                                    "the second capture, which counts on")

        click_line(window.pins, [i.split("|")[0] for i in window.pins["items"]].index("LED(0)"))
        window = session.wait_until(lambda w: w.pins["items"][w.pins["picked"]].startswith("LED(0)|"), "LED(0) picked")
        click_at(window.pins["controls"][1064])
        window = session.wait_until(lambda w: w.boxes["extest"]["count"] == 1, "the question before EXTEST")
        # LED(1) shares LED(0)'s control cell and has no safe value: the question names it, low.
        question = " ".join(window.boxes["extest"]["texts"])
        check("LED(1)" in question, f"the question does not name LED(1): {question!r}")
        session.screenshot(os.path.join(build, f"e2e-bsdl-extest-{'linux-' if session.native else ''}{name}.png"),
                           window.boxes["extest"]["rect"])
        click_at(window.box_buttons["extest"][6])  # IDYES
        window = session.wait_until(lambda w: w.boxes["extest"]["count"] == 0 and
                                    w.pins["texts"][1060].startswith("EXTEST") and w.settled, "LED(0) driven")
        pins = {item.split("|")[0]: item for item in window.pins["items"]}
        check(pins["LED(0)"] == "LED(0)|12|out|out 0 control 2|drives 1|high", f"{pins['LED(0)']!r}")
        # LED(1), which LED(0)'s enable switches on too, low as the question said; every other
        # output at its safe value: OK 1, the data bus off.
        check(pins["LED(1)"] == "LED(1)|11|out|out 1 control 2|drives 0|low", f"{pins['LED(1)']!r}")
        check(pins["OK"] == "OK|13|buffer|out 3|drives 1|", f"{pins['OK']!r}")
        check(pins["DATA(0)"].endswith("|0, off|") and pins["DATA(1)"].endswith("|0, off|"),
              f"{pins['DATA(0)']!r}, {pins['DATA(1)']!r}")
        chain, pin_view = window.chain["rect"], window.pins["rect"]
        session.screenshot(os.path.join(build, f"e2e-bsdl-{'linux-' if session.native else ''}{name}.png"),
                           (window.rect[0], min(window.rect[1], chain[1]), max(chain[2], pin_view[2]),
                            max(window.rect[3], pin_view[3])))

        click_at(window.pins["controls"][1068])
        # The view shows the chip's own logic at once, not the levels EXTEST drove.
        led = lambda w: [item for item in w.pins["items"] if item.startswith("LED(0)|")][0]  # noqa: E731
        window = session.wait_until(lambda w: not w.pins["texts"][1060].startswith("EXTEST") and w.settled and
                                    "drives 1" not in led(w) and led(w).endswith("|"),
                                    "EXTEST left by a reset, the pins read again",
                                    on_timeout=lambda w: f"{w.pins['texts'][1060]!r} {led(w)!r}")
        # Escape in the pin view hides it; the main window, clicked on its title, ends on its own.
        session.key("Escape")
        window = session.wait_until(lambda w: not w.pins["visible"], "the pin view hidden by Escape")
        click_at(window.controls[1040]["rect"])
        escape(session, window, session.process)
    print("bsdl: in both languages the scan named MORVA_DEMO SO20, IDCODE went by name, the pin view read the "
          "counting inputs, LED(0) was driven high after one question with every other output at its safe value, "
          "and one click left EXTEST")

def case_board(session, build):
    """The example board simulated with one open and one short (sim:board=), in both languages, by
    real clicks and keys: "Scan chain", then "Board test..." in the chain window, the board file
    typed into the file dialog, the one question naming the nets answered Yes, and the report in
    its window, the faulty nets first."""
    session.prepare_prefixes()
    examples = os.path.join(session.source, "examples", "board")
    board = os.path.join(examples, "board.ini")
    results = {"default": ("open", "short", "good", "not tested"), "ja": ("断線", "短絡", "良好", "未テスト")}
    for name, language, overrides in LOCALES:
        env = locale_env(overrides)
        if session.native:
            folder = temporary_folder("morva-board-")
            home_in(env, folder)
            program, args = os.path.join(build, "morva.exe"), ["--cable", "sim:board=" + board]
        else:
            folder = program_folder(build)
            program, args = os.path.join(folder, "MORVA.EXE"), ["/cable:sim:board=" + windows_path(board)]
        window = scanned_in_window(session, program, env, args, name, 2)
        check(window.chain["items"][2].startswith("2|?|0x1100104B|"), f"the scan: {window.chain['items']}")
        click_at(window.chain["controls"][1056])
        window = session.wait_until(lambda w: w.boxes["open"]["count"] == 1, "the file dialog of Board test...")
        window = type_file_name(session, window, "open", board)
        window = session.wait_until(lambda w: w.boxes["extest"]["count"] == 1, "the question before the board test")
        question = " ".join(window.boxes["extest"]["texts"])
        check("LED_R (U1.11 U2.5)" in question and "RESET_N (U2.15)" in question, f"the question: {question!r}")
        click_at(window.box_buttons["extest"][6])  # IDYES
        window = session.wait_until(lambda w: w.board["visible"] and len(w.board["items"]) == 16 and w.settled,
                                    "the board test's report")
        # The board's own BSDL files told the scan the chips before the test.
        check(window.chain["items"][1].endswith("|MORVA_DEMO SO20") and window.chain["items"][2].startswith("2|4|") and
              window.chain["items"][2].endswith("|MORVA_IO SOP18"), f"the chain: {window.chain['items']}")
        open_, short, good, untested = results[name]
        items = window.board["items"]
        check(items[0] == f"{open_}|LED_R|" + ("DRIVER U1.11 -> RECEIVER U2.5" if name == "default"
                                               else "駆動 U1.11 → 受信 U2.5"), f"{items[0]!r}")
        check(items[1].startswith(f"{short}|SDA|") and items[2].startswith(f"{short}|SCL|"), f"{items[1:3]}")
        check(all(item.startswith(f"{good}|") for item in items[3:8]), f"{items[3:8]}")
        check(all(item.startswith(f"{untested}|") for item in items[8:]), f"{items[8:]}")
        summary = window.board["texts"][1080]
        check(summary.startswith("board.ini: ") and ("2 faults" in summary or "故障 2" in summary), f"{summary!r}")
        chain, report = window.chain["rect"], window.board["rect"]
        session.screenshot(os.path.join(build, f"e2e-board-{'linux-' if session.native else ''}{name}.png"),
                           (min(chain[0], report[0]), min(chain[1], report[1]), max(chain[2], report[2]),
                            max(chain[3], report[3])))
        click_at(window.controls[1040]["rect"])
        escape(session, window, session.process)
    print("board: in both languages the chain window's Board test... read the example board file through the file "
          "dialog, asked once naming the nets, and listed the open and the short first, then the good nets and "
          "those not tested")


def type_file_name(session, window, box, path):
    """Types a path into the file dialog's name over the one offered, and Enter."""
    left, top, right, bottom = window.boxes[box]["rect"]
    subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str(top + 30)], check=True)
    # The Linux program's dialog takes the Linux path as it is.
    typed = path if session.native else windows_path(path)
    subprocess.run(["xdotool", "key", "ctrl+a", "type", "--delay", "20", typed], check=True)
    session.key("Return")
    return session.wait_until(lambda w: w.boxes[box]["count"] == 0, f"the {box} dialog to close")


WRONG_IDCODE_SVF = """! expects another chip's IDCODE
STATE RESET;
SIR 4 TDI (2) TDO (1) MASK (F);
SDR 32 TDI (00000000) TDO (14D5654C) MASK (FFFFFFFF);
STATE IDLE;
"""


def case_svf(session, build):
    """A session clicked and SENT by hand on the simulated board, saved as SVF from the window's
    menu, then played by OpenOCD's svf through a remote_bitbang server with the simulated board
    behind it, every TDO check passing (with --native: the Linux program saves it, and plays it back
    from a terminal). Then, in both languages, a file that expects a wrong IDCODE opened from the
    menu, stepped a command and a clock, and run: MORVA stops at its line with the differing bits
    marked."""
    folder = temporary_folder("morva-svf-")
    saved = os.path.join(folder, "session.svf")
    home = home_in(dict(os.environ), folder)
    # The Linux program's standard error is kept: its file dialogs write nothing there.
    errors = open(os.path.join(folder, "stderr.txt"), "w+")
    session.process = session.launch(env=home if session.native else None, stderr=errors if session.native else
                                     subprocess.DEVNULL, cwd=folder)
    window = session.wait_until(lambda w: w.visible, "the main window")
    window = click_through(session, window, [1000, 1001, 1001, 1001])
    type_value(session, window, 1024, "4'b0010")
    window = session.wait_until(lambda w: w.texts[1043] == "4'h1" and w.texts[1026] == "SEND-IR", "the IR SEND")
    type_value(session, window, 1023, "32'h0")
    window = session.wait_until(lambda w: w.texts[1043] == "32'h14D5654B" and w.texts[1025] == "SEND-DR", "the IDCODE")
    # Three bits of the IDCODE by clicks, and Update; then BYPASS sent, and a byte through it.
    window = click_through(session, window, [1002, 1004, 1005, 1005, 1005, 1006, 1009, 1001])
    type_value(session, window, 1024, "4'hF")
    window = session.wait_until(lambda w: w.texts[1043] == "4'h1" and w.texts[1026] == "SEND-IR", "BYPASS sent")
    type_value(session, window, 1023, "8'hA5")
    window = session.wait_until(lambda w: w.texts[1043] == "8'h4A", "8'h4A out of BYPASS")

    session.probe("save-svf")
    window = session.wait_until(lambda w: w.boxes["save"]["count"] == 1, "the Save dialog")
    window = type_file_name(session, window, "save", saved)
    session.wait_until(lambda w: os.path.exists(saved), "the SVF file")
    if session.native:
        errors.seek(0)
        said = errors.read()
        check(not said.strip(), f"the Linux program wrote on standard error around its file dialog: {said!r}")
    errors.close()
    os.killpg(session.process.pid, signal.SIGKILL)
    session.process.wait()
    session.wait_until(lambda w: not w.visible, "the window to go")
    with open(saved) as f:
        text = f.read()
    for line in ("STATE RESET;\nSTATE IDLE;\nRUNTEST IDLE 2 TCK ENDSTATE IDLE;\nSIR 4 TDI (2) TDO (1) MASK (F);\n"
                 "SDR 32 TDI (00000000) TDO (14D5654B) MASK (FFFFFFFF);\nSDR 3 TDI (",
                 "SIR 4 TDI (F) TDO (1) MASK (F);\nSDR 8 TDI (A5) TDO (4A) MASK (FF);\n"):
        check(line in text, f"{line!r} is not in the file saved:\n{text}")

    if session.native:
        played = subprocess.run(session.wine + [os.path.join(build, "morva.exe"), "--cable", "sim", "--svf", saved],
                                capture_output=True, text=True, timeout=120)
        check(played.returncode == 0 and "every TDO was as the file expects" in played.stdout,
              f"the Linux program did not play the file back ({played.returncode}):\n{played.stdout}\n{played.stderr}")
    else:
        play_with_openocd(session, build, folder, saved)

    wrong = os.path.join(folder, "wrong.svf")
    with open(wrong, "w") as f:
        f.write(WRONG_IDCODE_SVF)
    session.prepare_prefixes()
    for name, language, overrides in LOCALES:
        env = locale_env(overrides)
        if session.native:
            home_in(env, folder)
        program, args = ("morva.exe", ["--cable", "sim"]) if session.native else ("MORVA.EXE", ["/cable:sim"])
        check(not session.probe().visible, "a MORVA window is already open")
        session.process = session.launch(program, env=env, args=args)
        window = session.wait_until(lambda w: w.visible, f"the {name} window", timeout=60)
        step_wrong_idcode(session, window, wrong, os.path.join(build, f"e2e-svf-{'linux-' if session.native else ''}{name}.png"))
    print("svf: a session saved as SVF played by " + ("the Linux program" if session.native else "OpenOCD") +
          " with every TDO check passing; a wrong IDCODE stopped at line 4 with bits 0 to 2 marked, in both languages")


@contextlib.contextmanager
def sim_server(session, build, folder, args=()):
    """The simulated board served over remote_bitbang while the block runs: gives its port."""
    port_file = os.path.join(folder, "port")
    server = subprocess.Popen(session.wine + [os.path.join(build, "tests", "sim_server.exe"), windows_path(port_file)] +
                              list(args), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        deadline = time.time() + 60
        while not os.path.exists(port_file) and time.time() < deadline and server.poll() is None:
            time.sleep(0.2)
        check(os.path.exists(port_file), "the remote_bitbang server did not start")
        with open(port_file) as f:
            yield int(f.read().strip())
    finally:
        if os.path.exists(port_file):
            os.remove(port_file)
        try:
            server.wait(timeout=60)
        except subprocess.TimeoutExpired:
            os.killpg(server.pid, signal.SIGKILL)


def play_with_openocd(session, build, folder, saved):
    """OpenOCD plays the file on a board of its own, checking every TDO."""
    with sim_server(session, build, folder) as port:
        played = subprocess.run(["openocd", "-c", "adapter driver remote_bitbang", "-c", "remote_bitbang host 127.0.0.1",
                                 "-c", f"remote_bitbang port {port}", "-c", "transport select jtag",
                                 "-c", "jtag newtap sim tap -irlen 4", "-c", "init", "-c", f"svf {saved}",
                                 "-c", "shutdown"], capture_output=True, text=True, timeout=120)
    check(played.returncode == 0 and "svf file programmed successfully" in played.stderr + played.stdout
          and "0 errors" in played.stderr + played.stdout,
          f"OpenOCD did not play the file ({played.returncode}):\n{played.stdout}\n{played.stderr}")


def step_wrong_idcode(session, window, wrong, screenshot):
    """The file opened from the menu, a command and a clock stepped, then run to its mismatch."""
    session.probe("play-svf")
    window = session.wait_until(lambda w: w.boxes["open"]["count"] == 1, "the Open dialog")
    window = type_file_name(session, window, "open", wrong)
    window = session.wait_until(lambda w: w.svf["visible"] and w.svf["texts"][1070].startswith("Next, line 2:"),
                                "the SVF window on the file's first command")
    click_at(window.svf["controls"][1073])
    window = session.wait_until(lambda w: w.svf["texts"][1070].startswith("Next, line 3:  SIR 4") and w.settled,
                                "STATE RESET played", on_timeout=lambda w: repr(w.svf["texts"]))
    check(window.last_line.endswith("TLR"), f"the history ends with {window.last_line!r}")
    click_at(window.svf["controls"][1074])
    window = session.wait_until(lambda w: w.svf["texts"][1072].startswith("Clock 1 of 11 of line 3") and w.settled,
                                "one clock of the SIR", on_timeout=lambda w: repr(w.svf["texts"]))
    check(window.last_line.endswith("RTI"), f"the SIR's first clock: {window.last_line!r}")
    click_at(window.svf["controls"][1075])
    window = session.wait_until(lambda w: w.svf["texts"][1072].startswith(("Line 4: SDR 32: TDO differs", "4 行目: SDR 32: TDO")) and w.settled,
                                "the run stopped at the IDCODE", on_timeout=lambda w: repr(w.svf["texts"]))
    tdo = window.svf["texts"][1071]
    check("expected 14D5654C" in tdo and "read     14D5654B" in tdo and "differ   00000007" in tdo
          and tdo.rstrip().endswith("^^^"), f"the TDO shown: {tdo!r}")
    check(window.svf["texts"][1070].startswith("Next, line 5:  STATE IDLE"), f"{window.svf['texts'][1070]!r}")
    left = min(window.rect[0], window.svf["rect"][0])
    top = min(window.rect[1], window.svf["rect"][1])
    right = max(window.rect[2], window.svf["rect"][2])
    bottom = max(window.rect[3], window.svf["rect"][3])
    session.screenshot(screenshot, (left, top, right, bottom))
    # Escape in the SVF window hides it; in the main window it ends MORVA.
    session.key("Escape")
    window = session.wait_until(lambda w: not w.svf["visible"], "the SVF window to hide")
    escape(session, window, session.process)


def overlap(a, b):
    """The pixels two rectangles (left, top, right, bottom) share."""
    width = min(a[2], b[2]) - max(a[0], b[0])
    height = min(a[3], b[3]) - max(a[1], b[1])
    return width * height if width > 0 and height > 0 else 0


def end_program(session):
    """The program ended from outside: on a small screen its tool windows lie over the main
    window's corners, where a key would go to them."""
    os.killpg(session.process.pid, signal.SIGKILL)
    session.process.wait()
    session.wait_until(lambda w: not w.visible, "the window to go")


def case_stop_slow(session, build):
    """A SEND-DR of 2,048 bits to a remote_bitbang server that answers a clock a millisecond, as a
    simulated design does, stopped by a real click on STOP once it runs: the TAP waits in PAUSE-DR
    and the register was not updated (no UPDATE-DR after the shift)."""
    folder = program_folder(build)
    with sim_server(session, build, folder, ["--drip-ms", "1"]) as port:
        session.process = session.launch(os.path.join(folder, "MORVA.EXE"), args=[f"/cable:rbb:localhost:{port}"])
        window = session.wait_until(lambda w: w.visible, "the main window", timeout=60)
        window = click_through(session, window, [1000, 1001])
        # A first SEND shows how slow the server is: the next one goes out in pieces of some 50 ms.
        type_value(session, window, 1023, "512'h0")
        window = session.wait_until(lambda w: w.texts[1043].startswith("512'h") and w.texts[1025] == "SEND-DR",
                                    "the first SEND", timeout=60)
        type_value(session, window, 1023, "2048'h0")
        window = session.wait_until(lambda w: w.texts[1025] == "STOP", "the SEND running")
        session.click(window, 1025)
        window = session.wait_until(lambda w: w.boxes["send-dr"]["count"] == 1, "the box of the stopped SEND",
                                    timeout=30)
        lines = session.probe("lines").lines
        check(lines[-1].endswith("PDR"), f"the stopped SEND ended in {lines[-1]!r}, not PAUSE-DR")
        check(not any(line.endswith("UDR") for line in lines), f"the register was updated: {lines[-8:]}")
        shifted = sum(line.endswith("SDR") for line in lines)
        session.probe("close-send")
        window = session.wait_until(lambda w: w.boxes["send-dr"]["count"] == 0 and w.texts[1025] == "SEND-DR",
                                    "the box closed")
        escape(session, window, session.process)
    print(f"stop-slow: a 2048-bit SEND-DR to a server answering a clock a millisecond, stopped by a click, waits "
          f"in PAUSE-DR with no UPDATE-DR ({shifted} of the last history lines in SHIFT-DR)")


SCREEN = (1280, 1200)


def case_placement(session, build):
    """On a 1,024x768 screen (case placement) and a 1,600x1,000 one (placement-wide), in both
    languages: the chain window, the pin view and the SVF window open where they cover none of the
    main window's controls, and where the screen has room neither the main window nor each other;
    a window moved by hand opens there at the next start; a file dialog opens over its window."""
    width, height = SCREEN
    wide = width >= 1600
    # A prefix of its own, whose desktop is made on this case's screen.
    os.environ["MORVA_PREFIX_SUFFIX"] = f"screen{width}"
    session.prepare_prefixes()
    demo = os.path.join(session.source, "examples", "bsdl", "morva_demo.bsd")
    said = []
    for name, language, overrides in LOCALES:
        env = locale_env(overrides)
        folder = program_folder(build)
        program = os.path.join(folder, "MORVA.EXE")
        wrong = os.path.join(folder, "wrong.svf")
        with open(wrong, "w") as f:
            f.write(WRONG_IDCODE_SVF)

        def open_all():
            window = scanned_in_window(session, program, env, ["/cable:sim:bsdl=" + windows_path(demo)],
                                       f"{name} main", 1)
            click_line(window.chain, 1)
            window = session.wait_until(lambda w: w.chain["picked"] == 1, "the chip picked")
            click_at(window.chain["controls"][1055])
            window = session.wait_until(lambda w: w.pins["visible"] and w.settled, "the pin view")
            session.probe("play-svf")
            window = session.wait_until(lambda w: w.boxes["open"]["count"] == 1, "the Open dialog")
            dialog, main = window.boxes["open"]["rect"], window.rect
            check(overlap(dialog, main) > 0, f"the Open dialog {dialog} is away from its window {main}")
            window = type_file_name(session, window, "open", wrong)
            return session.wait_until(lambda w: w.svf["visible"] and w.settled, "the SVF window")

        window = open_all()
        rects = {"main": window.rect, "chain": window.chain["rect"], "pins": window.pins["rect"],
                 "svf": window.svf["rect"]}
        session.screenshot(os.path.join(build, f"e2e-placement-{width}x{height}-{name}.png"), (0, 0, width, height))
        visible = {ident: control["rect"] for ident, control in window.controls.items() if control["visible"]}
        for tool in ("chain", "pins", "svf"):
            left, top, right, bottom = rects[tool]
            check(left >= 0 and top >= 0 and right <= width and bottom <= height,
                  f"the {tool} window {rects[tool]} is off the screen")
            covered = [ident for ident, rect in visible.items() if overlap(rects[tool], rect)]
            check(not covered, f"the {tool} window {rects[tool]} covers the main window's controls {covered}")
        pairs = (("chain", "pins"), ("chain", "svf"), ("pins", "svf"), ("main", "chain"), ("main", "pins"),
                 ("main", "svf"))
        if wide:
            # Room for all four side by side: none covers another.
            for a, b in pairs:
                check(overlap(rects[a], rects[b]) == 0, f"the {a} window {rects[a]} covers the {b} window {rects[b]}")
        else:
            # No room for all four: the pin view fits beside the chain window; the SVF window
            # covers the least it can.
            check(overlap(rects["chain"], rects["pins"]) == 0,
                  f"the chain window {rects['chain']} covers the pin view {rects['pins']}")
            svf_covers = overlap(rects["svf"], rects["chain"]) + overlap(rects["svf"], rects["pins"])
            check(svf_covers < (rects["svf"][2] - rects["svf"][0]) * (rects["svf"][3] - rects["svf"][1]) // 4,
                  f"the SVF window {rects['svf']} covers {svf_covers} pixels of the others")

        # The chain window moved by hand, 40 pixels up and right: there again at the next start.
        moved = (rects["chain"][0] + 40, max(0, rects["chain"][1] - 40))
        title = {"en": "^Chain$", "ja": "^チェーン$"}[language]
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], capture_output=True,
                             text=True).stdout.split()
        check(len(ids) == 1, f"the chain window's X windows: {ids}")
        # The X window is the client area: it lies where the window's frame leaves it.
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", ids[0]], capture_output=True,
                                  text=True).stdout
        x_place = dict(line.split("=", 1) for line in geometry.split())
        frame = (int(x_place["X"]) - rects["chain"][0], int(x_place["Y"]) - rects["chain"][1])
        subprocess.run(["xdotool", "windowmove", ids[0], str(moved[0] + frame[0]), str(moved[1] + frame[1])],
                       check=True)
        window = session.wait_until(lambda w: tuple(w.chain["rect"][:2]) == moved, "the chain window moved",
                                    on_timeout=lambda w: repr(w.chain["rect"]))
        end_program(session)
        with open(os.path.join(folder, "MORVA.INI")) as f:
            kept = f.read()
        check(f"chain={moved[0]},{moved[1]}" in kept, f"the place moved to is not kept: {kept!r}")
        window = open_all()
        check(tuple(window.chain["rect"][:2]) == moved,
              f"the chain window opened at {window.chain['rect']}, not {moved}")
        end_program(session)
        said.append(f"{name}: main {rects['main']}, chain {rects['chain']}, pins {rects['pins']}, svf {rects['svf']}")
    os.environ.pop("MORVA_PREFIX_SUFFIX", None)
    print(f"placement on {width}x{height}: " + "; ".join(said) + "; the tool windows cover none of the main "
          f"window's controls{', nor each other' if wide else ''}; the chain window moved opened there again")


def case_dap(session, build):
    """A CMSIS-DAP probe through a stand-in of hidapi that the Linux program loads as the real
    library (first on LD_LIBRARY_PATH), the simulated probe behind it: "Scan chain" finds the
    board's device through the probe, SEND-DR 32'h0 typed and clicked reads its IDCODE, and the
    cable list shows the probe with its serial number and transport."""
    session.prepare_prefixes()
    folder = temporary_folder("morva-dap-")
    env = locale_env({})
    home_in(env, folder)
    env["LD_LIBRARY_PATH"] = os.path.join(build, "tests", "dap-standin")
    window = scanned_in_window(session, os.path.join(build, "morva.exe"), env, ["--cable", "dap"], "CMSIS-DAP", 1)
    check(window.chain["items"][1].startswith("1|4|0x14D5654B|"), f"the scan through the probe: {window.chain['items']}")
    type_value(session, window, 1023, "32'h0", enter=False)
    session.click(window, 1025)
    window = session.wait_until(lambda w: w.texts[1043] == "32'h14D5654B" and w.texts[1025] == "SEND-DR" and w.settled,
                                "the IDCODE read through the probe")
    check(window.last_line.endswith("-RTI"), f"the SEND ended in {window.last_line}")
    session.click(window, 1042)
    window = session.wait_until(lambda w: len(w.items.get(1042, [])) > 1, "the cable list dropped down")
    listed = "dap:SIMDAP01  MORVA simulated probe CMSIS-DAP (CMSIS-DAP v1)"
    check(listed in window.items[1042], f"the cable list holds {window.items[1042]}")
    session.screenshot(os.path.join(build, "e2e-dap-linux.png"))
    session.key("Escape")
    window = session.wait_until(lambda w: w.texts[1042] == "dap", "the cable list closed on the probe")
    escape(session, window, session.process)
    print("dap: through the hidapi stand-in's simulated probe, the window scanned the board's device, read its "
          "IDCODE with a clicked SEND-DR, and listed the probe")


CASES = {"walk": case_walk, "keys": case_keys, "single": case_single, "error": case_error,
         "screens": case_screens, "inpout": case_inpout, "inpout-refused": case_inpout_refused,
         "inpout-planted": case_inpout_planted, "package": case_package, "burst": case_burst,
         "lpt-address": case_lpt_address, "cable-choice": case_cable_choice, "ftdi": case_ftdi,
         "ftdi-unplug": case_ftdi_unplug, "ftdi-replug": case_ftdi_replug,
         "numlock-keys": case_numlock_keys, "kept-choice": case_kept_choice,
         "context-menu": case_context_menu, "ftdi-refused": case_ftdi_refused, "focus": case_focus,
         "pixels": case_pixels, "session": case_session, "every-click": case_every_click, "send": case_send, "cable-list": case_cable_list,
         "step-keys": case_step_keys, "dpi": case_dpi, "verilator": case_verilator, "chain": case_chain, "svf": case_svf,
         "bsdl": case_bsdl, "placement": case_placement,
         "placement-wide": case_placement, "stop-slow": case_stop_slow, "dap": case_dap,
         "board": case_board}


def own_display(size="1280x1200"):
    """A virtual display of this case's own, as DISPLAY for all it starts: real clicks and
    screenshots then meet no other test's windows, and other tests run meanwhile. Returns the
    server, to be ended with the case."""
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", size + "x24", "-nolisten", "tcp"],
                              pass_fds=(write,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(write)
    number = b""
    deadline = time.time() + 30
    while not number.endswith(b"\n"):
        if time.time() > deadline or not select.select([read], [], [], max(0.0, deadline - time.time()))[0]:
            server.kill()
            raise Failure("Xvfb did not start")
        chunk = os.read(read, 16)
        if not chunk:
            raise Failure("Xvfb ended as it started")
        number += chunk
    os.close(read)
    os.environ["DISPLAY"] = ":" + number.decode().strip()
    return server


def end_display(server):
    server.terminate()
    try:
        server.wait(timeout=10)
    except subprocess.TimeoutExpired:
        server.kill()
        server.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--native", action="store_true")
    parser.add_argument("--windows-build")
    parser.add_argument("case", choices=list(CASES) + ["native"])
    args = parser.parse_args()
    global SCREEN
    SCREEN = {"placement": (1024, 768), "placement-wide": (1600, 1000)}.get(args.case, (1280, 1200))
    display = own_display("%dx%d" % SCREEN)
    session = Session(args.build, args.source, args.native)
    # The settings file beside the programs keeps what a case sends: each case leaves it as it was,
    # so that no other case starts with its lists.
    settings = os.path.join(args.build, "MORVA.INI")
    kept = open(settings, "rb").read() if os.path.exists(settings) else None
    try:
        if args.case == "native":
            case_native(session, args.build, args.windows_build)
        else:
            CASES[args.case](session, args.build)
    except Failure as failure:
        print(f"FAILED: {failure}")
        return 1
    finally:
        session.stop()
        session.stop_probes()
        end_display(display)
        if kept is None:
            if os.path.exists(settings):
                os.remove(settings)
        else:
            with open(settings, "wb") as f:
                f.write(kept)
        for folder in TEMPORARY:
            shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
