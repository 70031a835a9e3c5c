#!/usr/bin/env python3
"""The packages made as a normal user: a copy of the tree, and scripts/package.sh run there as that
user with the programs this run built (--programs-from), so that nothing is compiled a second
time. Its build folders are configured with the tests off, needing nothing of the tests' packages
and no root; the zip and the .deb are made and hold the programs given.
Run as root, the packaging runs as a user made for it (removed again); run as another user, as
that user.

Usage: plain_build_test.py --source SOURCE_DIR --windows-build DIR --linux-build DIR
"""
import argparse
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import zipfile

USER = "morva-plain-build"


def fail(message):
    print(f"FAILED: {message}")
    sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--windows-build", required=True)
    parser.add_argument("--linux-build", required=True)
    args = parser.parse_args()
    built = {"MORVA.EXE": os.path.join(args.windows_build, "MORVA.EXE"),
             "MORVASIM.EXE": os.path.join(args.windows_build, "MORVASIM.EXE"),
             "morva.exe.so": os.path.join(args.linux_build, "morva.exe.so")}

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

        # The programs this run built, handed over as a user would copy them.
        programs = os.path.join(folder, "programs")
        os.makedirs(programs)
        for name, path in built.items():
            shutil.copy2(path, os.path.join(programs, name))
        for root, dirs, names in os.walk(folder):
            for name in dirs + names:
                os.chown(os.path.join(root, name), owner.pw_uid, owner.pw_gid)
        os.chown(folder, owner.pw_uid, owner.pw_gid)

        env = {"PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": owner.pw_dir, "LANG": "C.UTF-8"}
        result = subprocess.run(as_user + ["sh", os.path.join(tree, "scripts", "package.sh"), "--programs-from", programs],
                                capture_output=True, text=True, env=env, cwd=tree)
        if result.returncode != 0:
            fail(f"package.sh as {owner.pw_name}:\n{result.stdout[-3000:]}\n{result.stderr[-3000:]}")
        for build in ("build-package", "build-package-linux"):
            path = os.path.join(tree, build)
            if os.stat(path).st_uid != owner.pw_uid:
                fail(f"{build} was not made by {owner.pw_name}")
            if os.path.exists(os.path.join(path, "tests")) or os.path.exists(os.path.join(path, "googletest")):
                fail(f"the tests were configured in {build} although they are off")
        objects = [name for build in ("build-package", "build-package-linux")
                   for _, _, names in os.walk(os.path.join(tree, build)) for name in names if name.endswith((".o", ".obj"))]
        if objects:
            fail(f"package.sh compiled although it was given the programs: {objects[:3]}")
        made = result.stdout.split()
        found = {}
        for suffix in ("-win32.zip", "_amd64.deb"):
            paths = [path for path in made if path.endswith(suffix) and os.path.isfile(path)]
            if len(paths) != 1 or os.stat(paths[0]).st_uid != owner.pw_uid:
                fail(f"package.sh made no {suffix} of {owner.pw_name}'s: {result.stdout!r}")
            found[suffix] = paths[0]
        # The packages hold the programs given, byte for byte (the .deb's stripped, so by its size only).
        with zipfile.ZipFile(found["-win32.zip"]) as archive:
            for name in ("MORVA.EXE", "MORVASIM.EXE"):
                with open(built[name], "rb") as f:
                    if archive.read(name) != f.read():
                        fail(f"the zip's {name} is not the one built")
        listing = subprocess.run(["dpkg-deb", "-c", found["_amd64.deb"]], capture_output=True, text=True,
                                 check=True).stdout
        if "./usr/lib/morva/morva.exe.so" not in listing:
            fail(f"the .deb holds no program: {listing}")
        print(f"plain packaging: package.sh as {owner.pw_name} (uid {owner.pw_uid}), its build folders configured "
              f"with the tests off, made the zip and the .deb from the programs built, compiling nothing")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        if made_user:
            subprocess.run(["/usr/sbin/userdel", "--remove", USER], capture_output=True)


if __name__ == "__main__":
    main()
