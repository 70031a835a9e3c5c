#!/usr/bin/env python3
"""The programs started from a terminal. The Linux program: --help and --version on standard output
with status 0; a refused option, and a start without a display, on standard error with status 2 and
no box. Both it and MORVA.EXE (--windows): values sent from the command line, without a display,
each value that came out a line on standard output; a value that cannot be sent refused by name;
a BSDL file described, or refused at its line; the example chip's instructions by name and its
pins read."""
import os
import select
import signal
import subprocess
import sys
import tempfile
import time

from morva_run import command_line, program_command, run, summary


def run_piped(build, source, windows, args):
    """The program with its standard error (and output) a pipe, no terminal: its status and what it
    said, once it ended by itself. Wine's helpers may keep the pipe open after the program ends, so
    what is there is read without waiting for the pipe's end. A box would keep it waiting: then
    it is ended and said so."""
    env = dict(os.environ, MORVA_WINE_STREAM="1")
    process = subprocess.Popen(program_command(build, source, windows, args), env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        status = process.wait(timeout=60)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return None, "nothing: it waited, most likely on a box nobody sees"
    os.set_blocking(process.stdout.fileno(), False)
    said = process.stdout.read() or b""
    process.stdout.close()
    return status, said.decode("utf-8", "replace")


def interrupted(build, source, svf, env):
    """The Linux program playing a file whose RUNTEST never ends: SIGINT once it says where it is."""
    path = os.path.join(svf, "long.svf")
    with open(path, "w") as f:
        f.write("STATE RESET;\nRUNTEST IDLE 4294967295 TCK;\n")
    env = dict(env, MORVA_WINE_STREAM="1")
    process = subprocess.Popen(program_command(build, source, False, ["--cable", "sim", "--svf", path]), env=env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    said = b""
    deadline = time.time() + 60
    while b"RUNTEST" not in said and time.time() < deadline and process.poll() is None:
        if select.select([process.stdout], [], [], 1)[0]:
            said += os.read(process.stdout.fileno(), 4096)
    process.send_signal(signal.SIGINT)
    try:
        status = process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None, said.decode("utf-8", "replace") + " (it did not end after Ctrl-C)"
    os.set_blocking(process.stdout.fileno(), False)
    said += process.stdout.read() or b""
    return status, said.decode("utf-8", "replace")


def main():
    options = command_line()
    # No display at all: nothing may wait for a box nobody can see.
    env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
    # Every run here says something: one that fails without a word was never started by Wine.
    env["MORVA_WINE_RETRY"] = "1"
    idcode = ["--ir", "4'b0010", "--dr", "32'h0"]
    cases = [
        # The IR's capture, then the board's IDCODE, whichever way the cable is written.
        (["--cable", "sim"] + idcode, 0, "stdout", "4'h1\n32'h14D5654B\n"),
        (["/cable:sim"] + idcode, 0, "stdout", "4'h1\n32'h14D5654B\n"),
        (["--cable", "sim", "--ir", "4'bxx"], 2, "stderr", "MORVA cannot send \"4'bxx\" given with --ir"),
    ]
    demo = os.path.join(options.source, "examples", "bsdl", "morva_demo.bsd")
    broken = os.path.join(tempfile.mkdtemp(prefix="morva-terminal-"), "broken.bsd")
    with open(demo) as f, open(broken, "w") as out:
        out.write(f.read().replace("is 16;", "is sixteen;"))
    chip = ["--cable", "sim:bsdl=" + demo]
    cases += [
        (["--bsdl", demo], 0, "stdout", "entity MORVA_DEMO  package SO20\nIR length 5  capture 00X01\n"
                                        "IDCODE XXXX1011111011101111000001001011\n"),
        (["--bsdl", demo], 0, "stdout", "instruction BYPASS 11111 11110  register BYPASS\n"),
        (["--bsdl", demo], 0, "stdout", "register SCRATCH 8\nboundary length 16\n"),
        (["--bsdl", broken], 2, "stderr", "broken.bsd:69: BOUNDARY_LENGTH was expected as a number, not \"sixteen\"."),
        (chip + ["--scan"], 0, "stdout", "1  IR 5  IDCODE 0x0BEEF04B  Tristar  part 0xBEEF  version 0  BSDL MORVA_DEMO SO20\n"),
        (chip + ["--device", "1", "--ir", "IDCODE", "--dr", "32'h0", "--sample"], 0, "stdout",
         "5'h01\n32'h0BEEF04B\nRESET_N  pin 5  in  0\nCLK  pin 6  in  0\nBTN(0)  pin 7  in  1\n"),
        (chip + ["--device", "1", "--ir", "NOSUCH"], 2, "stderr", "gives MORVA_DEMO no instruction of that name"),
        (["--cable", "sim", "--device", "1", "--sample"], 2, "stderr", "Device 1 has no BSDL file"),
        # Pins driven from the command line: the group of LED(0) and LED(1) set whole, the pins that
        # drive said with their levels (OK has no control cell: it always drives, at its safe 1),
        # then every pin read as the pin view reads it under EXTEST.
        (chip + ["--device", "1", "--drive", "LED(0)=1", "--drive", "led(1)=0", "--extest", "--leave-extest"], 0,
         "stdout", "drives  LED(1)  pin 11  0\ndrives  LED(0)  pin 12  1\ndrives  OK  pin 13  1\nRESET_N  pin 5  in  "),
        (chip + ["--device", "1", "--drive", "LED(0)=1", "--drive", "LED(1)=0", "--extest"], 0, "stdout",
         "LED(1)  pin 11  out  drives 0\nLED(0)  pin 12  out  drives 1\nOK  pin 13  buffer  drives 1\n"),
        # Nobody answered the question: nothing is driven, and the run is not done.
        (chip + ["--device", "1", "--drive", "LED(0)=1"], 2, "stderr", "MORVA drives no pin without --extest"),
        # A group member nobody set, whose safe value is X, is not driven at a guessed level.
        (chip + ["--device", "1", "--drive", "LED(0)=1", "--extest"], 2, "stderr", "LED(1)"),
        (chip + ["--device", "1", "--drive", "NOPE=1", "--extest"], 2, "stderr", "has no pin NOPE"),
        (chip + ["--device", "1", "--drive", "LED(0)=2", "--extest"], 2, "stderr", "\"2\" is no level"),
        (["--cable", "sim", "--drive", "LED(0)=1", "--extest"], 2, "stderr", "name it with --device N"),
        (chip + ["--device", "1", "--sample", "--extest"], 2, "stderr", "give one of them"),
        (["--cable", "sim", "--sample"], 2, "stderr", "name it with --device N"),
    ]
    # The board's IDCODE as an SVF file expects it, then as it does not; a file with PIO.
    svf = os.path.dirname(broken)
    with open(os.path.join(svf, "ok.svf"), "w") as f:
        f.write("! the IDCODE\nSTATE RESET;\nSIR 4 TDI (2) TDO (1) MASK (3);\nSDR 32 TDI (0) TDO (14D5654B);\n")
    with open(os.path.join(svf, "wrong.svf"), "w") as f:
        f.write("STATE RESET;\nSIR 4 TDI (2);\n\nSDR 32 TDI (0)\n  TDO (14D5654C);\n")
    with open(os.path.join(svf, "pio.svf"), "w") as f:
        f.write("SIR 4 TDI (2);\nPIOMAP (IN A);\n")
    cases += [
        (["--cable", "sim", "--svf", os.path.join(svf, "ok.svf")], 0, "stdout",
         "3 commands played, 54 clocks; every TDO was as the file expects.\n"),
        (["--cable", "sim", "--svf", os.path.join(svf, "wrong.svf")], 1, "stderr",
         "wrong.svf:4: SDR 32: TDO differs from what the file expects (hex, the first bit out lowest)\n"
         "  expected 14D5654C\n  read     14D5654B\n  mask     FFFFFFFF\n  differ   00000007\n"),
        (["--cable", "sim", "--svf", os.path.join(svf, "pio.svf")], 2, "stderr",
         "pio.svf:2: PIOMAP is not played: MORVA drives no parallel vectors, only the TAP."),
        # The command line's own values written as SVF, then played back: its 54 clocks again (a reset, the
        # IR SEND's 11 and the DR SEND's 37), every TDO as it was read.
        (["--cable", "sim", "--ir", "4'b0010", "--dr", "32'h0", "--svf-out", os.path.join(svf, "out.svf")], 0,
         "stdout", "4'h1\n32'h14D5654B\n"),
        (["--cable", "sim", "--svf", os.path.join(svf, "out.svf")], 0, "stdout",
         "4 commands played, 54 clocks; every TDO was as the file expects.\n"),
    ]
    # A Windows program's help and refusals are boxes.
    cases += [] if options.windows else [
        (["--help"], 0, "stdout", "--cable CABLE"),
        (["--help"], 0, "stdout", "--ir VALUE"),
        (["--help"], 0, "stdout", "rbb:HOST:PORT"),
        (["--version"], 0, "stdout", "MORVA 0."),
        (["--help"], 0, "stdout", "Exit status:\n  0  done as asked\n  1  an SVF file's TDO differs"),
        (["--bogus"], 2, "stderr", "morva: MORVA does not know the command-line word \"--bogus\""),
        (["--cable"], 2, "stderr", "names no cable"),
        (["--cable", "sim"], 2, "stderr", "DISPLAY is not set"),
        (["--cable", "sim", "--svf-out", "x.svf"], 2, "stderr", "--svf-out writes the command line's own --scan"),
    ]
    failures = 0
    checked = len(cases)
    # From a script on a desktop: a display there, no terminal, standard error read through a pipe.
    # A refusal is said there with status 2, never a box that would wait for nobody.
    if os.environ.get("DISPLAY"):
        refused = [(["--sacn"], "does not know the command-line word \"--sacn\""),
                   (["--cable", "bogus"], "bogus")] if not options.windows else [
                   (["/cable:sim", "--sacn"], "does not know the command-line word \"--sacn\""),
                   (["/cable:bogus"], "bogus")]
        for args, text in refused:
            checked += 1
            status, said = run_piped(options.build, options.source, options.windows, args)
            if status != 2 or text not in said:
                failures += 1
                print(f"FAILED: {' '.join(args)} with standard error piped: status {status} (wanted 2), said {said!r}")
    # A RUNTEST of four thousand million clocks from a terminal: a line a second says where the play
    # is; Ctrl-C stops it there, the TAP's state said, status 2.
    if not options.windows:
        checked += 1
        status, said = interrupted(options.build, options.source, svf, env)
        if status != 2 or "at line 2: RUNTEST" not in said or "the TAP is in RUN-TEST/IDLE" not in said:
            failures += 1
            print(f"FAILED: a long RUNTEST interrupted: status {status} (wanted 2), said {said!r}")
    for args, status, stream, text in cases:
        result = run(options.build, options.source, options.windows, args, env)
        said = (result.stdout if stream == "stdout" else result.stderr).replace("\r\n", "\n")
        if result.returncode != status or text not in said:
            failures += 1
            print(f"FAILED: morva {' '.join(args)}: status {result.returncode} (wanted {status}), "
                  f"{stream} {said!r} lacks {text!r}")
    return summary(checked, failures)


if __name__ == "__main__":
    sys.exit(main())
