#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and runs the installed programs
# from there: versions, the manual found under share/, the report, and the
# window (offscreen) keeping its settings in the per-user folder.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
bin="$root/usr/bin"
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$("$bin/lumora-cli" --version)" = "lumora-cli $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ] \
  || fail "lumora-cli --version: $("$bin/lumora-cli" --version)"
"$bin/lumora" --version | grep -qE '^lumora [0-9]+\.[0-9]+\.[0-9]+$' || fail "lumora --version"
"$bin/lumora-cli" reflections -o "$root/report.hkl" || fail "installed report"
head -n 1 "$root/report.hkl" | grep -q "^LUMORA REPORT - 1296 reflections" || fail "installed report's first line"

for f in share/applications/lumora.desktop share/icons/hicolor/scalable/apps/lumora.svg \
         share/metainfo/org.lumora.Lumora.metainfo.xml share/bash-completion/completions/lumora-cli \
         share/doc/lumora/copyright share/doc/lumora/changelog.gz share/lumora/help/index.html \
         share/doc/lumora/examples/synthetic_decagonal.xye; do
  [ -f "$root/usr/$f" ] || fail "missing $f"
done
if command -v help2man >/dev/null; then
  for p in lumora lumora-cli; do [ -f "$root/usr/share/man/man1/$p.1.gz" ] || fail "missing manual page of $p"; done
fi

# The window: its manual under share/, its settings in ~/.config/Lumora.
export HOME="$root/home" XDG_CONFIG_HOME="" XDG_DATA_HOME="" TMP="" TMPDIR=""
mkdir -p "$HOME"
manual=$("$bin/lumora" --paths | sed -n 's/^manual: *//p')
[ "$manual" = "$root/usr/share/lumora/help/index.html" ] || fail "manual at $manual"
QT_QPA_PLATFORM=offscreen "$bin/lumora" >"$root/out.txt" 2>&1 &
pid=$!
for _ in $(seq 1 100); do [ -f "$HOME/.local/share/Lumora/lumora.exe.manifest" ] && break; sleep 0.1; done
sleep 0.5
kill -TERM "$pid"
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; fail "the window did not end on SIGTERM"; }
[ -f "$HOME/.config/Lumora/Lumora.cfg" ] || { cat "$root/out.txt" >&2; fail "no settings in ~/.config/Lumora"; }
[ ! -e "$HOME/.config/Lumora/Lumora" ] || fail "a doubled folder ~/.config/Lumora/Lumora"
[ ! -e "$bin/Lumora.cfg" ] || fail "settings written beside the installed program"
echo "1 passed, 0 failed"
