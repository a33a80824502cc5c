#!/usr/bin/env bash
# Installs the build into an empty folder as the packages do (prefix /usr) and checks what a
# desktop, man and a user find there: the desktop entry and the metainfo pass their validators,
# the icon is there at every size, each man page renders without a warning and documents every
# option its program's --help lists, each program's --version prints the project's version, and
# the register's backup timer and service pass systemd-analyze verify.
# Usage: install_tree.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
source "$(dirname "$0")/common.sh"
root=$(scratch install-tree)
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
usr=$root/usr
export LC_ALL=C.UTF-8 # man renders plain hyphens, as --help prints them

check_desktop_entry()
{
    local entry=$usr/share/applications/com.tarvex.configurator.desktop
    local report
    report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
    [ -z "$report" ] || fail "desktop-file-validate: $report"
    local exec icon
    exec=$(sed -n 's/^Exec=//p' "$entry")
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -x "$usr/bin/${exec%% *}" ] || fail "desktop entry runs $exec, which is not installed"
    [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
    local size
    for size in 16 32 48 128 256; do
        local png=$usr/share/icons/hicolor/${size}x$size/apps/$icon.png
        file "$png" | grep -q "PNG image data, $size x $size," || fail "icon $png is not $size px"
    done
}

check_metainfo()
{
    local report
    report=$(appstreamcli validate --no-net --strict \
        "$usr/share/metainfo/com.tarvex.configurator.metainfo.xml" 2>&1) ||
        fail "appstreamcli validate: $report"
}

# Every man page renders without a warning; each program's page names every option of --help.
check_man_pages()
{
    local page
    for page in "$usr"/share/man/man1/*.1.gz; do
        MANWIDTH=80 man --warnings -l "$page" >"$root/page.txt" 2>"$root/warnings.txt" ||
            fail "man -l $page failed"
        [ ! -s "$root/warnings.txt" ] || fail "man -l $page warns: $(cat "$root/warnings.txt")"
        local program=$usr/bin/$(basename "$page" .1.gz)
        [ -x "$program" ] || fail "$page documents no installed program"
        local option
        for option in $(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help |
            grep -oE -- '--[a-z][a-z-]*' | sort -u); do
            grep -qe "$option" "$root/page.txt" || fail "$page does not document $option"
        done
    done
}

check_versions()
{
    local program
    for program in "$usr"/bin/*; do
        local name answer
        name=$(basename "$program")
        [ -f "$usr/share/man/man1/$name.1.gz" ] || fail "$name has no man page"
        answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version)
        [ "$answer" = "$name $version" ] || fail "$name --version says '$answer'"
    done
}

# The backup timer and its service pass systemd's own check, their user file systemd-sysusers'
# (in a copy of this machine's user database). Skipped where systemd is not installed.
check_systemd_units()
{
    if ! command -v systemd-analyze >/dev/null || ! command -v systemd-sysusers >/dev/null; then
        echo "SKIP: systemd-analyze or systemd-sysusers not installed"
        return
    fi
    local dir=$root/units unit report installed
    installed=$(realpath "$usr") # systemd takes absolute paths only
    local units=(tarvex-register-backup.service tarvex-register-backup.timer)
    mkdir -p "$dir" "$root/users/etc"
    for unit in "${units[@]}"; do
        # The program installed here, where /usr/bin of this machine may have none.
        sed "s|/usr/bin/tarvex-cli|$installed/bin/tarvex-cli|" "$usr/lib/systemd/system/$unit" >"$dir/$unit" ||
            fail "$unit is not installed"
    done
    report=$(cd "$dir" && systemd-analyze verify --man=no "${units[@]/#/./}" 2>&1) ||
        fail "systemd-analyze verify: $report"
    [ -z "$report" ] || fail "systemd-analyze verify warns: $report"
    grep -q '^WantedBy=timers.target' "$dir/tarvex-register-backup.timer" ||
        fail "the timer cannot be enabled"
    cp /etc/passwd /etc/group "$root/users/etc/"
    report=$(systemd-sysusers --dry-run --root="$root/users" "$installed/lib/sysusers.d/tarvex-cli.conf" 2>&1) ||
        fail "systemd-sysusers: $report"
}

check_desktop_entry
check_metainfo
check_systemd_units
check_man_pages
check_versions
finish
