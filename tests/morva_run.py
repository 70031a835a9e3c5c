"""What the command-line tests share: the program run through the build's Wine prefix, and the
count they end with."""
import argparse
import os
import subprocess


def command_line():
    """The build and source folders, and which of the two programs."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--windows", action="store_true", help="MORVA.EXE, not the Linux program")
    return parser.parse_args()


def program_command(build, source, windows, args):
    """MORVA.EXE with --windows, else the Linux program, started through the build's prefix."""
    runner, program = ("wine-run.sh", "MORVA.EXE") if windows else ("wine64-run.sh", "morva.exe")
    return [os.path.join(source, "scripts", runner), os.path.join(build, "wineprefix"),
            os.path.join(build, program)] + args


def run(build, source, windows, args, env):
    return subprocess.run(program_command(build, source, windows, args), env=env, capture_output=True, text=True,
                          timeout=120)


def summary(checked, failures):
    """Says the count; the script's status."""
    print(f"{checked - failures} passed, {failures} failed")
    return 1 if failures else 0
