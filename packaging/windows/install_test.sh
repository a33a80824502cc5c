#!/usr/bin/env bash
# The installer under Wine, silently: it installs under Program Files with its Start-menu
# shortcut and its "Apps & features" entry, the installed program starts from its own folder
# alone (no DLL from elsewhere), tarvex-cli answers its version, and the uninstaller leaves
# nothing behind.
#   install_test.sh BUILD_DIR WINE_RUN VERSION
set -euo pipefail
build=$1 wine_run=$2 version=$3
prefix=$("$wine_run" --prefix)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES='winemenubuilder.exe=d'
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -G NSIS -B "$scratch" >/dev/null
installer=$(echo "$scratch"/tarvex-configurator-"$version"-windows-x64.exe)
[ -f "$installer" ] || fail "no installer was built"

folder="$prefix/drive_c/Program Files/Tarvex Configurator"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarvex Configurator"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvex Configurator'

wine "$installer" /S
wineserver --wait
for file in tarvex-configurator.exe tarvex-cli.exe Qt6Core.dll Qt6Widgets.dll Qt6SerialPort.dll \
    libstdc++-6.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll README.txt \
    Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "not installed: $file"
done
[ -f "$menu/Tarvex Configurator.lnk" ] || fail "no Start-menu shortcut \"Tarvex Configurator\""
wine reg query "$entry" /v DisplayName | grep -q "Tarvex Configurator" ||
    fail "no entry in Apps & features"

# Only what the package holds: no WINEPATH to Qt or MinGW here, and Wine names every DLL it
# cannot find. (The window shows its version in a message box, which has no display here.)
status=0
loading=$(env -u WINEPATH WINEDEBUG=err+module \
    wine "C:\\Program Files\\Tarvex Configurator\\tarvex-configurator.exe" --version 2>&1) ||
    status=$?
[ $status -eq 0 ] && ! grep -q "not found" <<<"$loading" ||
    fail "the installed program does not start (exit $status): $loading"

# tarvex-cli is a console program: its version comes back on standard output.
cli='C:\Program Files\Tarvex Configurator\tarvex-cli.exe'
answer=$(env -u WINEPATH wine "$cli" --version 2>&1) ||
    fail "the installed tarvex-cli does not start: $answer"
grep -q "tarvex-cli $version" <<<"$answer" || fail "the installed tarvex-cli answered: $answer"

wine "C:\\Program Files\\Tarvex Configurator\\Uninstall.exe" /S
wineserver --wait # the uninstaller runs on from a copy of itself
[ ! -e "$folder" ] || fail "left behind: $(cd "$folder" && find . -mindepth 1 | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "left behind: the Start-menu folder"
! wine reg query "$entry" >/dev/null 2>&1 || fail "left behind: the Apps & features entry"
echo "installed, answered, uninstalled without a trace: $(basename "$installer")," \
    "$(stat -c %s "$installer") bytes"
