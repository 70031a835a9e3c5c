#!/usr/bin/env python3
"""The chain from the command line, against the example's three Verilog TAPs on one chain served
over remote_bitbang: --scan lists them, --device 3 reads the third one's IDCODE alone, and a server
whose TDO stays at 1 is a broken chain with status 2. MORVA.EXE with --windows, else the Linux
program."""
import os
import subprocess
import sys

from morva_run import command_line, run, summary


def main():
    options = command_line()
    example = os.path.join(options.source, "examples", "verilator-tap")
    out = os.path.join(options.build, "example-verilator-chain")
    subprocess.run(["make", "-s", "-C", example, "TOP=chain", f"OBJ_DIR={out}"], check=True, stdout=subprocess.DEVNULL)
    env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
    # Every run here says something: one that fails without a word was never started by Wine.
    env["MORVA_WINE_RETRY"] = "1"

    scan = ("1  IR 4  IDCODE 0x3C0FFEE1  Syntiant  part 0xC0FF  version 3\n"
            "2  IR 6  IDCODE none\n"
            "3  IR 5  IDCODE 0x5A5A5B5B  Shenzhen Goodix Technology Co Ltd  part 0xA5A5  version 5\n")
    cases = [
        ([], ["--scan"], 0, scan, ""),
        ([], ["--device", "3", "--ir", "5'h02", "--dr", "32'h0"], 0, "5'h01\n32'h5A5A5B5B\n", ""),
        ([], ["--device", "1", "--ir", "4'h2", "--dr", "32'h0"], 0, "4'h1\n32'h3C0FFEE1\n", ""),
        (["tdo=1"], ["--scan", "--dr", "32'h0"], 2, "", "TDO stays at 1: is the target powered, is TDO wired?"),
    ]
    failures = 0
    for server_args, args, status, stdout, stderr in cases:
        server = subprocess.Popen([os.path.join(out, "rbb_server"), "0"] + server_args, stdout=subprocess.PIPE, text=True)
        try:
            address = server.stdout.readline().split()[-1]  # "remote_bitbang on 127.0.0.1:PORT"
            result = run(options.build, options.source, options.windows, ["--cable", f"rbb:{address}"] + args, env)
        finally:
            server.kill()
            server.wait()
        said = result.stdout.replace("\r\n", "\n")
        if result.returncode != status or said != stdout or stderr not in result.stderr:
            failures += 1
            print(f"FAILED: morva {' '.join(args)} (server {server_args}): status {result.returncode} (wanted {status}), "
                  f"stdout {said!r} (wanted {stdout!r}), stderr {result.stderr!r}")
    return summary(len(cases), failures)


if __name__ == "__main__":
    sys.exit(main())
