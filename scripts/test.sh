#!/bin/sh
# Installs what is missing, builds both builds, and runs every test under Wine; window tests on Xvfb.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh"
# A wineserver left from an earlier run may still talk to a display that is gone.
stop_wine() {
    WINEPREFIX="$top/build/wineprefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$top/build-linux/wineprefix" wineserver -k >/dev/null 2>&1 || true
}
stop_wine
status=0
# MORVA.EXE and MORVASIM.EXE are 32-bit programs, which Wine runs only where the kernel runs
# 32-bit programs; a kernel started with its 32-bit emulation off (ia32_emulation=off) runs none.
if /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
    # One run: the Windows programs' tests and, included from build-linux/, the Linux program's.
    cd "$top/build"
else
    cat >&2 <<'EOF'
NOTE: this machine's kernel runs no 32-bit program (its 32-bit emulation is off: dmesg says
"32-bit emulation disabled"), so Wine cannot start MORVA.EXE or MORVASIM.EXE here. They are built
and their imports checked; their tests are NOT run, nor linux.e2e.native, which compares the
Linux window with MORVASIM.EXE's. The Linux program's other tests and the fuzzers run.
EOF
    python3 "$top/compat/check_imports.py" "$top/compat/windows-95-nt4.txt" "$top/build/MORVA.EXE" \
        "$top/build/MORVASIM.EXE" || status=$?
    python3 "$top/tests/layout_test.py" "$top" || status=$?
    (cd "$top/build-fuzz" && ctest --output-on-failure -j"$(nproc)" "$@") || status=$?
    cd "$top/build-linux"
    # The one Linux case that sets the Linux window beside MORVASIM.EXE's.
    set -- -E '^linux[.]e2e[.]native$' "$@"
fi
xvfb-run -a -s "-screen 0 1280x1200x24" ctest --output-on-failure -j"$(nproc)" "$@" || status=$?
stop_wine
exit $status
