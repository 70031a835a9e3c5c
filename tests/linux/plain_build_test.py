#!/usr/bin/env python3
"""A plain build of the Linux program as a normal user: a copy of the tree, CMake configured with
the tests off, built, and the program there; nothing of the tests' packages needed, no root. Then
scripts/package.sh as the same user in the same copy: the zip and the .deb made.
Run as root, the build runs as a user made for it (removed again); run as another user, as that
user.

Usage: plain_build_test.py --source SOURCE_DIR
"""
import argparse
import os
import pwd
import shutil
import subprocess
import sys
import tempfile

USER = "morva-plain-build"


def fail(message):
    print(f"FAILED: {message}")
    sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    args = parser.parse_args()

    made_user = False
    if os.geteuid() == 0:
        try:
            pwd.getpwnam(USER)
        except KeyError:
            subprocess.run(["/usr/sbin/useradd", "--system", "--create-home", "--home-dir", f"/tmp/{USER}", USER], check=True)
            made_user = True
        as_user = ["/usr/sbin/runuser", "-u", USER, "--"]
        owner = pwd.getpwnam(USER)
    else:
        as_user = []
        owner = pwd.getpwuid(os.geteuid())

    folder = tempfile.mkdtemp(prefix="morva-plain-")
    try:
        # The tree as git has it, as a user would clone it.
        tree = os.path.join(folder, "morva")
        files = subprocess.run(["git", "-C", args.source, "ls-files", "-z"], capture_output=True,
                               check=True).stdout.decode().split("\0")
        for name in filter(None, files):
            target = os.path.join(tree, name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if os.path.isfile(os.path.join(args.source, name)):
                shutil.copy2(os.path.join(args.source, name), target)
        for root, dirs, names in os.walk(folder):
            for name in dirs + names:
                os.chown(os.path.join(root, name), owner.pw_uid, owner.pw_gid)
        os.chown(folder, owner.pw_uid, owner.pw_gid)

        build = os.path.join(tree, "build-linux")
        env = {"PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": owner.pw_dir, "LANG": "C.UTF-8"}
        for step in (["cmake", "-S", tree, "-B", build, "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(
                          tree, "cmake", "x86_64-winelib.cmake"), "-DBUILD_TESTING=OFF"],
                     ["cmake", "--build", build, "--target", "morva", f"-j{os.cpu_count() or 2}"]):
            result = subprocess.run(as_user + step, capture_output=True, text=True, env=env, cwd=tree)
            if result.returncode != 0:
                fail(f"{' '.join(step)} as {owner.pw_name}:\n{result.stdout[-3000:]}\n{result.stderr[-3000:]}")
        for name in ("morva", "morva.exe.so"):
            path = os.path.join(build, name)
            if not os.path.isfile(path) or os.stat(path).st_uid != owner.pw_uid:
                fail(f"{name} was not built by {owner.pw_name}")
        if os.path.exists(os.path.join(build, "tests")) or os.path.exists(os.path.join(build, "googletest")):
            fail("the tests were configured although they are off")
        result = subprocess.run(as_user + ["sh", os.path.join(tree, "scripts", "package.sh")], capture_output=True,
                                text=True, env=env, cwd=tree)
        if result.returncode != 0:
            fail(f"package.sh as {owner.pw_name}:\n{result.stdout[-3000:]}\n{result.stderr[-3000:]}")
        made = result.stdout.split()
        for suffix in ("-win32.zip", "_amd64.deb"):
            found = [path for path in made if path.endswith(suffix) and os.path.isfile(path)]
            if len(found) != 1 or os.stat(found[0]).st_uid != owner.pw_uid:
                fail(f"package.sh made no {suffix} of {owner.pw_name}'s: {result.stdout!r}")
        print(f"plain build: configured and built as {owner.pw_name} (uid {owner.pw_uid}) with the tests off; "
              f"package.sh made the zip and the .deb as {owner.pw_name}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        if made_user:
            subprocess.run(["/usr/sbin/userdel", "--remove", USER], capture_output=True)


if __name__ == "__main__":
    main()
