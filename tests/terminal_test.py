#!/usr/bin/env python3
"""The programs started from a terminal. The Linux program: --help and --version on standard output
with status 0; a refused option, and a start without a display, on standard error with status 1 and
no box. Both it and MORVA.EXE (--windows): values sent from the command line, without a display,
each value that came out a line on standard output; a value that cannot be sent refused by name."""
import argparse
import os
import subprocess
import sys


def run(build, source, windows, args, env):
    runner, program = ("wine-run.sh", "MORVA.EXE") if windows else ("wine64-run.sh", "morva.exe")
    command = [os.path.join(source, "scripts", runner), os.path.join(build, "wineprefix"),
               os.path.join(build, program)] + args
    return subprocess.run(command, env=env, capture_output=True, text=True, timeout=120)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--windows", action="store_true", help="MORVA.EXE, not the Linux program")
    options = parser.parse_args()
    # No display at all: nothing may wait for a box nobody can see.
    env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
    idcode = ["--ir", "4'b0010", "--dr", "32'h0"]
    cases = [
        # The IR's capture, then the board's IDCODE, whichever way the cable is written.
        (["--cable", "sim"] + idcode, 0, "stdout", "4'h1\n32'h14D5654B\n"),
        (["/cable:sim"] + idcode, 0, "stdout", "4'h1\n32'h14D5654B\n"),
        (["--cable", "sim", "--ir", "4'bxx"], 1, "stderr", "MORVA cannot send \"4'bxx\" given with --ir"),
    ]
    # A Windows program's help and refusals are boxes.
    cases += [] if options.windows else [
        (["--help"], 0, "stdout", "--cable CABLE"),
        (["--help"], 0, "stdout", "--ir VALUE"),
        (["--help"], 0, "stdout", "rbb:HOST:PORT"),
        (["--version"], 0, "stdout", "MORVA 0."),
        (["--bogus"], 1, "stderr", "morva: MORVA does not know the command-line word \"--bogus\""),
        (["--cable"], 1, "stderr", "names no cable"),
        (["--cable", "sim"], 1, "stderr", "DISPLAY is not set"),
    ]
    failures = 0
    for args, status, stream, text in cases:
        result = run(options.build, options.source, options.windows, args, env)
        said = (result.stdout if stream == "stdout" else result.stderr).replace("\r\n", "\n")
        if result.returncode != status or text not in said:
            failures += 1
            print(f"FAILED: morva {' '.join(args)}: status {result.returncode} (wanted {status}), "
                  f"{stream} {said!r} lacks {text!r}")
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
