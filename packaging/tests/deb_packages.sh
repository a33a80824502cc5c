#!/usr/bin/env bash
# Builds the two Debian packages as a user would (cpack -G DEB) and checks them: lintian finds no
# error, each holds exactly its files and they share none, tarvex-cli depends on no display
# library, and tarvex-cli's package, extracted into an empty folder, works: its tarvex-cli reads
# its tarvex-sim's unit from the extracted paths and takes the packaged example, the packaged
# Ansible module keeps that unit's file, and the packaged playbooks find the packaged modules.
# Usage: deb_packages.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
source "$(dirname "$0")/common.sh"
out=$(scratch deb-packages)
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" ||
    { cat "$out/cpack.log"; exit 1; }
arch=$(dpkg --print-architecture)
cli_deb=$out/tarvex-cli_${version}_$arch.deb
window_deb=$out/tarvex-configurator_${version}_$arch.deb

check_lintian()
{
    # As root (CI) lintian only says it is not recommended; it runs the same checks.
    local deb
    for deb in "$cli_deb" "$window_deb"; do
        lintian --fail-on error --tag-display-limit 0 "$deb" >"$out/lintian.txt" 2>&1 ||
            fail "lintian $(basename "$deb"): $(cat "$out/lintian.txt")"
        sed 's/^/  /' "$out/lintian.txt"
    done
}

# The files (not folders) a package holds, one a line, sorted.
files_of()
{
    dpkg-deb -c "$1" | awk '$1 !~ /^d/ { sub(/^\.\//, "/", $6); print $6 }' | sort
}

expect_files()
{
    local deb=$1
    shift
    printf '%s\n' "$@" | sort >"$out/expected.txt"
    files_of "$deb" >"$out/actual.txt"
    diff -u "$out/expected.txt" "$out/actual.txt" >"$out/contents.diff" ||
        fail "$(basename "$deb") holds other files than expected:
$(cat "$out/contents.diff")"
}

check_contents()
{
    local man=/usr/share/man/man1 icons=/usr/share/icons/hicolor
    expect_files "$window_deb" /usr/bin/tarvex-configurator \
        /usr/share/applications/com.tarvex.configurator.desktop \
        /usr/share/metainfo/com.tarvex.configurator.metainfo.xml \
        $icons/{16x16,32x32,48x48,128x128,256x256}/apps/tarvex-configurator.png \
        $icons/scalable/apps/tarvex-configurator.svg \
        $man/tarvex-configurator.1.gz /usr/share/doc/tarvex-configurator/{copyright,changelog.gz}
    local cli_files=(/usr/bin/tarvex-{cli,sim} $man/tarvex-{cli,sim}.1.gz
        /usr/share/doc/tarvex-cli/{copyright,changelog.gz}
        /usr/share/tarvex/{tarvex-config.schema.json,example-config.json}
        /usr/share/tarvex/{tarvex-fleet.schema.json,example-fleet.json}
        /usr/share/tarvex/ansible/{provision-bench.yml,inventory.example.ini,inventory-pcs.example.ini,README.md}
        /usr/share/tarvex/ansible/{provision-sites.yml,inventory-sites.example.ini}
        /usr/share/tarvex/ansible/{backup-sites.yml,module_utils/tarvex_cli.py}
        /usr/share/tarvex/ansible/library/{tarvex_unit,tarvex_unit_info}.py
        /usr/share/tarvex/ansible/action_plugins/{tarvex_unit,tarvex_unit_info}.py
        /usr/lib/systemd/system/tarvex-register-backup.{service,timer}
        /usr/lib/sysusers.d/tarvex-cli.conf)
    expect_files "$cli_deb" "${cli_files[@]}"
    local shared
    shared=$(comm -12 <(files_of "$cli_deb") <(files_of "$window_deb"))
    [ -z "$shared" ] || fail "both packages hold $shared"
}

check_depends()
{
    local cli window
    cli=$(dpkg-deb -f "$cli_deb" Depends)
    window=$(dpkg-deb -f "$window_deb" Depends)
    echo "tarvex-cli depends on: $cli"
    echo "tarvex-configurator depends on: $window"
    grep -q 'libqt6core6' <<<"$cli" && grep -q 'libqt6serialport6' <<<"$cli" ||
        fail "tarvex-cli does not depend on QtCore and QtSerialPort"
    ! grep -qE 'libqt6(gui|widgets)|qpa|fonts' <<<"$cli" ||
        fail "tarvex-cli depends on display libraries"
    grep -q 'libqt6widgets6' <<<"$window" && grep -q 'fonts-liberation2' <<<"$window" ||
        fail "tarvex-configurator does not depend on QtWidgets and its font"
}

# The packaged tarvex_unit_info, with its module_utils and action plugin, keeps the unit's file.
check_extracted_modules()
{
    local ansible=$out/extracted/usr/share/tarvex/ansible backup=$out/backup/unit.json
    local arguments
    arguments=$(printf '{"device": "%s", "executable": "%s", "backup": true, "backup_options": {"dir_path": "%s", "filename": "unit.json"}}' \
        "$1" "$out/extracted/usr/bin/tarvex-cli" "$out/backup")
    ANSIBLE_LIBRARY=$ansible/library ANSIBLE_MODULE_UTILS=$ansible/module_utils \
        ANSIBLE_ACTION_PLUGINS=$ansible/action_plugins ANSIBLE_LOCALHOST_WARNING=0 \
        ansible localhost -c local -e ansible_python_interpreter=/usr/bin/python3 \
        -m tarvex_unit_info -a "$arguments" >"$out/module.txt" 2>&1 ||
        fail "the packaged tarvex_unit_info: $(cat "$out/module.txt")"
    grep -q '"identity": *"KTX-987"' "$backup" 2>/dev/null ||
        fail "the packaged tarvex_unit_info kept no backup: $(cat "$out/module.txt")"
}

# The extracted tarvex-cli reads the extracted tarvex-sim's unit.
check_extracted_cli()
{
    local root=$out/extracted
    dpkg-deb -x "$cli_deb" "$root"
    coproc SIM { exec "$root/usr/bin/tarvex-sim" --id KTX-987; }
    local device
    read -r -t 20 device <&"${SIM[0]}" || fail "extracted tarvex-sim printed no device"
    if "$root/usr/bin/tarvex-cli" read --device "$device" --json >"$out/read.json" 2>"$out/read.err"
    then
        grep -q '"identity": *"KTX-987"' "$out/read.json" ||
            fail "extracted tarvex-cli read another unit: $(cat "$out/read.json")"
        grep -q '"format": *"tarvex-config"' "$out/read.json" ||
            fail "extracted tarvex-cli read no configuration: $(cat "$out/read.json")"
    else
        fail "extracted tarvex-cli read failed: $(cat "$out/read.err" "$out/read.json")"
    fi
    local example=$root/usr/share/tarvex/example-config.json
    "$root/usr/bin/tarvex-cli" apply --check --quiet --device "$device" "$example" \
        >"$out/check.txt" 2>&1 ||
        fail "the packaged example does not apply: $(cat "$out/check.txt")"
    check_extracted_modules "$device"
    kill "$SIM_PID"
    wait "$SIM_PID" || true
}

# The packaged playbook finds the packaged module (a syntax check resolves every module name).
check_extracted_playbook()
{
    local ansible=$out/extracted/usr/share/tarvex/ansible
    (cd "$ansible" && ansible-playbook --syntax-check -i localhost, provision-bench.yml provision-sites.yml \
        backup-sites.yml) \
        >"$out/playbook.txt" 2>&1 || fail "the packaged playbook: $(cat "$out/playbook.txt")"
}

check_lintian
check_contents
check_depends
check_extracted_cli
check_extracted_playbook
finish
