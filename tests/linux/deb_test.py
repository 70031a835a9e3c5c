#!/usr/bin/env python3
"""The Debian package, made from the tree: its files and control fields, lintian's verdict, the
manual page; installed with dpkg -i (unpacked into a scratch root where this is not root, and
said so), `morva --cable sim` started from a folder outside the source tree with a fresh home,
its window clicked and screenshotted; then removed with dpkg -r, leaving nothing of its own.

Usage: deb_test.py --build LINUX_BUILD_DIR --source SOURCE_DIR
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e  # noqa: E402
from e2e import Failure, check  # noqa: E402

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
FILES = {"usr/bin/morva", "usr/lib/morva/morva.exe.so", "usr/share/morva/wine-prefix.sh",
         "usr/share/morva/wine-fonts.reg", "usr/share/morva/wine-fonts-latin.reg", "usr/share/applications/morva.desktop",
         "usr/lib/udev/rules.d/60-morva-ftdi.rules", "usr/lib/udev/rules.d/60-morva-cmsis-dap.rules",
         "usr/share/man/man1/morva.1.gz",
         "usr/share/doc/morva/copyright", "usr/share/doc/morva/changelog.gz", "usr/share/doc/morva/guide.md",
         "usr/share/doc/morva/window.png", "usr/share/doc/morva/cable-list.png",
         "usr/share/doc/morva/no-cable.png", "usr/share/doc/morva/chain-window.png",
         "usr/share/doc/morva/chain-window-ja.png", "usr/share/doc/morva/pin-view.png",
         "usr/share/doc/morva/pin-view-ja.png", "usr/share/doc/morva/svf-step.png",
         "usr/share/doc/morva/svf-step-ja.png", "usr/share/doc/morva/examples/verilator-tap/chain.v",
         "usr/share/doc/morva/examples/verilator-tap/Makefile", "usr/share/doc/morva/examples/verilator-tap/tap.v",
         "usr/share/doc/morva/examples/verilator-tap/rbb_server.cpp", "usr/share/doc/morva/examples/bsdl/morva_demo.bsd"} | {
    f"usr/share/icons/hicolor/{n}x{n}/apps/morva.png" for n in ICON_SIZES}
# What the program needs at run time, each found by make-deb.sh from the program itself (libusb
# for the FTDI device list, beside libftdi).
NEEDED = {"libc6", "libftdi1-2", "libusb-1.0-0", "libstdc++6", "wine64", "libwine", "fonts-liberation", "fonts-ipafont-gothic"}


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def check_package(deb, source, build):
    listing = run(["dpkg-deb", "-c", deb], check=True).stdout.splitlines()
    files = {line.split()[-1].lstrip("./") for line in listing if not line.startswith("d")}
    check(files == FILES, f"the package holds {sorted(files ^ FILES)} more or less than it should")
    modes = {line.split()[-1].lstrip("./"): line.split()[0] for line in listing}
    check(modes["usr/bin/morva"] == "-rwxr-xr-x" and all(
        mode == "-rw-r--r--" for name, mode in modes.items() if name in FILES - {"usr/bin/morva"}),
        f"file modes {modes}")

    fields = dict(line.split(": ", 1) for line in run(["dpkg-deb", "-f", deb], check=True).stdout.splitlines()
                  if ": " in line and not line.startswith(" "))
    with open(os.path.join(source, "CMakeLists.txt")) as f:
        version = re.search(r"project\(MORVA VERSION ([0-9.]+)", f.read()).group(1)
    check(fields["Package"] == "morva" and fields["Version"] == version and fields["Architecture"] == "amd64",
          f"control fields {fields}")
    depends = {d.split()[0] for d in fields["Depends"].split(", ")}
    check(depends == NEEDED | {"libgcc-s1"}, f"Depends: {fields['Depends']}")

    scratch = tempfile.mkdtemp(prefix="morva-deb-")
    try:
        run(["dpkg-deb", "-x", deb, scratch], check=True)
        with open(os.path.join(scratch, "usr/bin/morva")) as f:
            launcher = f.read()
        check(source not in launcher and build not in launcher and "build-linux" not in launcher,
              "the launcher names a build or source folder")
        with open(os.path.join(scratch, "usr/lib/udev/rules.d/60-morva-ftdi.rules")) as f:
            rule = f.read()
        check('ATTR{idVendor}=="0403"' in rule and 'TAG+="uaccess"' in rule, "the udev rule")
        with open(os.path.join(scratch, "usr/lib/udev/rules.d/60-morva-cmsis-dap.rules")) as f:
            rule = f.read()
        check('ATTRS{product}=="*CMSIS-DAP*"' in rule and 'KERNEL=="hidraw*"' in rule, "the CMSIS-DAP udev rule")
        page = run(["man", "--warnings", "-l", os.path.join(scratch, "usr/share/man/man1/morva.1.gz")],
                   env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
        check(page.returncode == 0 and not page.stderr.strip(), f"man: {page.stderr.strip()}")
        for heading in ("SYNOPSIS", "CABLES", "SETTINGS", "KEYS", "FILES", "EXIT STATUS", "--trace", "lpt:/dev/parport1",
                        "group lp"):
            check(heading in page.stdout, f"the manual page lacks {heading!r}")
        icon = run(["identify", "-format", "%wx%h", os.path.join(scratch, "usr/share/icons/hicolor/48x48/apps/morva.png")])
        check(icon.stdout == "48x48", f"the 48-pixel icon is {icon.stdout}")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    report = run(["lintian", "--display-info", deb]).stdout.splitlines()
    errors = [line for line in report if line.startswith("E:")]
    check(not errors, f"lintian: {errors}")
    with open(os.path.join(source, "docs", "developers.md")) as f:
        readme = f.read()
    unexplained = [line for line in report if line.startswith("W:") and line.split()[2] not in readme]
    check(not unexplained, f"lintian warnings docs/developers.md does not explain: {unexplained}")
    return fields, [line for line in report if line[:2] in ("W:", "I:")]


def start_installed(build, source, root, screenshot):
    """morva as the desktop's menu starts it, with no cable chosen and no terminal, from a folder
    outside the tree with a fresh home: its prefix is made there; where the computer has no
    parallel port, the box that says so takes one real click on Yes to the simulated board; a
    reset clicked; the window screenshotted; Escape closes it."""
    home, elsewhere = tempfile.mkdtemp(prefix="morva-home-"), tempfile.mkdtemp(prefix="morva-cwd-")
    session = e2e.Session(build, source, native=True)
    session.prefix = os.path.join(home, ".local", "share", "morva", "wine")
    session.wine = [os.path.join(source, "scripts", "wine64-run.sh"), session.prefix]
    env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_") and k != "MORVA_WINEPREFIX"}
    env["HOME"] = home
    try:
        no_port = not os.path.exists("/dev/parport0")
        args = [] if no_port else ["--cable", "sim"]
        process = subprocess.Popen([os.path.join(root, "usr", "bin", "morva")] + args, cwd=elsewhere, env=env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        session.others.append(process)
        if no_port:
            window = session.wait_until(lambda w: w.boxes["error"]["count"] == 1, "the box of a start without a cable",
                                        timeout=180)
            texts = " ".join(window.boxes["error"]["texts"])
            check("no parallel port" in texts and "Open MORVA on the simulated board?" in texts, f"the box says {texts!r}")
            left, top, right, bottom = window.box_buttons["error"][6]  # IDYES
            subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1"],
                           check=True)
        window = session.wait_until(lambda w: w.visible, "the installed program's window", timeout=180)
        if no_port:
            check(window.title.startswith("MORVA - simulated board:"), f"the title reads {window.title!r}")
            check(window.texts[1042].startswith("sim"), f"the cable list shows {window.texts[1042]!r}")
        window = e2e.click_through(session, window, [1000])
        check(window.last_line == "111-TLR", f"after a reset the history ends with {window.last_line!r}")
        session.screenshot(screenshot, window.rect)
        e2e.escape(session, window, process)
        check(os.path.isfile(os.path.join(session.prefix, "system.reg")), "no Wine prefix under the home")
    finally:
        session.stop()
        session.stop_probes()
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=session.prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(home, ignore_errors=True)
        shutil.rmtree(elsewhere, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    build, source = os.path.abspath(args.build), os.path.abspath(args.source)
    screenshot = os.path.join(build, "deb-installed-window.png")
    installed = False
    display = e2e.own_display()
    try:
        deb = run(["sh", os.path.join(source, "package", "deb", "make-deb.sh"), build], check=True).stdout.strip()
        fields, remarks = check_package(deb, source, build)
        if os.geteuid() == 0:
            check(run(["dpkg", "-s", "morva"]).returncode != 0, "a morva package is installed already")
            result = run(["dpkg", "-i", deb])
            check(result.returncode == 0, f"dpkg -i: {result.stderr.strip()}")
            installed = True
            start_installed(build, source, "/", screenshot)
            result = run(["dpkg", "-r", "morva"])
            check(result.returncode == 0, f"dpkg -r: {result.stderr.strip()}")
            installed = False
            left = [name for name in FILES if os.path.exists("/" + name)]
            check(not left, f"left after dpkg -r: {left}")
            where = "installed with dpkg -i and removed with dpkg -r"
        else:
            root = tempfile.mkdtemp(prefix="morva-root-")
            try:
                run(["dpkg-deb", "-x", deb, root], check=True)
                start_installed(build, source, root, screenshot)
            finally:
                shutil.rmtree(root, ignore_errors=True)
            where = "not root: unpacked into a scratch root instead of installed"
    except Failure as failure:
        print(f"FAILED: {failure}")
        return 1
    finally:
        if installed:
            run(["dpkg", "-r", "morva"])
        e2e.end_display(display)
    print(f"deb: {os.path.basename(deb)}, Depends: {fields['Depends']}; lintian: no errors, "
          f"{len(remarks)} remarks; {where}; the window in {screenshot}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
