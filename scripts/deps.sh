#!/usr/bin/env bash
# Installs the Debian 12 packages Tarnwick needs, only those missing. Silent when everything is there.
#   scripts/deps.sh run    what building and running the application needs
#   scripts/deps.sh package  that, plus what makes the Debian package (icon rendering, dpkg-shlibdeps)
#   scripts/deps.sh test   all of that, plus compilers, sanitizers, the desktop test harness, benchmark
#                          peers and the package's checkers
set -euo pipefail

run_pkgs=(
    g++ make cmake pkg-config git
    qt6-base-dev libqt6sql6-sqlite qt6-qpa-plugins qt6-svg-dev libqt6svg6 libgl-dev
    libyara-dev nlohmann-json3-dev libicu-dev libyaml-cpp-dev libtomlplusplus-dev
    dbus fonts-dejavu-core fonts-noto-color-emoji
)
package_pkgs=(
    librsvg2-bin dpkg-dev file
)
test_pkgs=(
    clang libclang-rt-14-dev libgtest-dev libsqlite3-dev sqlite3 ccache
    xvfb xfonts-base x11-utils dbus-x11 dunst trayer xdotool imagemagick at-spi2-core
    inotify-tools fswatch yara
    lintian appstream desktop-file-utils man-db
)

pkgs=("${run_pkgs[@]}")
case "${1:-run}" in
    package) pkgs+=("${package_pkgs[@]}") ;;
    test) pkgs+=("${package_pkgs[@]}" "${test_pkgs[@]}") ;;
esac

missing=()
for p in "${pkgs[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
