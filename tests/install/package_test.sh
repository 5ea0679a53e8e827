#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it and checks what
# a user gets from "apt install": the Python package importable by Debian's
# python3 from /usr/lib/python3/dist-packages, and the examples in
# /usr/share/doc/lumora/examples that the README's walk-throughs name.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/out/lumora_*.deb)
dpkg-deb -x "$deb" "$work/root"
root="$work/root"
dpkg-deb -f "$deb" Recommends | grep -q "python3-numpy" || fail "the package does not recommend python3-numpy"

site="$root/usr/lib/python3/dist-packages"
[ -f "$site/lumora/__init__.py" ] || fail "no lumora/__init__.py in /usr/lib/python3/dist-packages"
ls "$site"/lumora/_core*.so >/dev/null 2>&1 || fail "no compiled lumora/_core in /usr/lib/python3/dist-packages"
# Every example path the README names (its tour runs them from there).
readme="$(cd "$(dirname "$0")/../.." && pwd)/README.md"
named=$(grep -oE '/usr/share/doc/lumora/examples/[A-Za-z0-9_.-]+' "$readme" | sort -u)
[ -n "$named" ] || fail "the README names no installed example"
for f in $named make_synthetic_powder.py; do
  f=${f#/usr/share/doc/lumora/examples/}
  [ -f "$root/usr/share/doc/lumora/examples/$f" ] || fail "missing /usr/share/doc/lumora/examples/$f"
done

# Debian's python3, isolated from the environment and the build tree, finds
# the package where apt puts it (here: the unpacked tree standing in for /).
cd "$work"
/usr/bin/python3 -I - "$site" "$root/usr/share/doc/lumora/examples/synthetic_decagonal.xye" <<'PY' || fail "import lumora from the package"
import sys
sys.path.insert(0, sys.argv[1])
import lumora
assert lumora.__file__.startswith(sys.argv[1]), lumora.__file__
assert len(lumora.reflections()["theta"]) == 1296
pattern = lumora.read_pattern(sys.argv[2])
assert pattern["format"] == "text" and len(pattern["two_theta"]) > 1000 and pattern["sigma"] is not None
PY
echo "1 passed, 0 failed"
