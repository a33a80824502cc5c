#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the window still lack.
set -euo pipefail

packages=(build-essential cmake qt6-base-dev qt6-serialport-dev qt6-qpa-plugins fonts-liberation2
          ansible-core python3-jsonschema ser2net)
# The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
packages+=(clang libclang-rt-14-dev libfuzzer-14-dev)
# Icons, Debian packages (file for dpkg-shlibdeps) and the checks run on them.
packages+=(librsvg2-bin file lintian desktop-file-utils appstream man-db)
# The Windows build (scripts/build-windows.sh), its zip and installer, and its tests under
# Wine, headless.
packages+=(g++-mingw-w64-x86-64-posix qt6-base-dev-tools wine64 wine nsis icoutils)
# The terminal server in front of the simulator for the network line's tests (ss sees it listen).
packages+=(ser2net iproute2)
# The register of sites keeps its history with the git program; its tests run real repositories.
packages+=(git)
# SSH lines: the system's OpenSSH client; the tests' own sshd in the foreground (the server
# package's service is never started: see below), and socat to bridge a console server's session
# to a simulated unit.
packages+=(openssh-client openssh-server socat)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
# No service of a package may start during the install: the tests run their own sshd on a free
# port, and nothing of ours may leave one listening on port 22.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
    "${sudo[@]}" chmod 755 "$policy"
    trap '"${sudo[@]}" rm -f "$policy"' EXIT
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
# Installed here for the tests only: the machine's own sshd stays off at the next boot too.
if [[ " ${missing[*]} " == *" openssh-server "* ]] && command -v systemctl >/dev/null; then
    "${sudo[@]}" systemctl disable ssh.service ssh.socket >/dev/null 2>&1 || true
fi
