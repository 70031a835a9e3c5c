#!/usr/bin/env python3
"""The Linux program started from a terminal: --help and --version on standard output with status 0;
a refused option, and a start without a display, on standard error with status 1 and no box."""
import argparse
import os
import subprocess
import sys


def run(build, source, args, env):
    command = [os.path.join(source, "scripts", "wine64-run.sh"), os.path.join(build, "wineprefix"),
               os.path.join(build, "morva.exe")] + args
    return subprocess.run(command, env=env, capture_output=True, text=True, timeout=120)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    options = parser.parse_args()
    # No display at all: nothing may wait for a box nobody can see.
    env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
    cases = [
        (["--help"], 0, "stdout", "--cable CABLE"),
        (["--help"], 0, "stdout", "rbb:HOST:PORT"),
        (["--version"], 0, "stdout", "MORVA 0."),
        (["--bogus"], 1, "stderr", "morva: MORVA does not know the command-line word \"--bogus\""),
        (["--cable"], 1, "stderr", "names no cable"),
        (["--cable", "sim"], 1, "stderr", "DISPLAY is not set"),
    ]
    failures = 0
    for args, status, stream, text in cases:
        result = run(options.build, options.source, args, env)
        said = result.stdout if stream == "stdout" else result.stderr
        if result.returncode != status or text not in said:
            failures += 1
            print(f"FAILED: morva {' '.join(args)}: status {result.returncode} (wanted {status}), "
                  f"{stream} {said!r} lacks {text!r}")
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
