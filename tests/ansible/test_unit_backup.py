#!/usr/bin/env python3
"""The modules' documentation, the read-only module, the backup option and the register playbook against tarvex-sim units,
through the real tarvex-cli, Debian's ser2net and git.

test_unit_backup.py TARVEX_CLI TARVEX_SIM

- tarvex_unit_info in check mode returns what tarvex-cli read finds, as facts, changes nothing
  and keeps no backup;
- tarvex_unit's backup keeps, before the apply, byte for byte what read -o writes, for its owner
  only, under the default name in the folder given;
- backup-sites.yml commits once per run: the units read (one behind ser2net), a unit that hangs
  up mid-read named as failed with its last good file kept; a run with nothing new commits
  nothing; a unit changed by hand is the one file of the next commit.
"""

import json
import os
import re
import stat
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import test_provision_bench as bench  # noqa: E402  (the units, ser2net and Ansible's setup)
from test_provision_bench import expect  # noqa: E402

ANSIBLE = os.path.join(HERE, "..", "..", "ansible")
BACKUP_PLAYBOOK = os.path.join(ANSIBLE, "backup-sites.yml")
AUTHOR = "Register Keeper"
DEFAULT_NAME = re.compile(r"^unit1_config\.\d{4}-\d\d-\d\d@\d\d:\d\d:\d\d$")
AD_HOC_RESULT = re.compile(r"^(\S+) \| (\w+)(?: \| rc=\d+)? => (\{.*?^\})$", re.M | re.S)


def environment(scratch):
    """Ansible without user configuration, finding the modules as the playbooks do; git with a
    known author and no user configuration."""
    env = bench.ansible_environment(scratch)
    env.update(
        ANSIBLE_LIBRARY=os.path.join(ANSIBLE, "library"),
        ANSIBLE_MODULE_UTILS=os.path.join(ANSIBLE, "module_utils"),
        ANSIBLE_ACTION_PLUGINS=os.path.join(ANSIBLE, "action_plugins"),
        HOME=scratch,
        GIT_CONFIG_NOSYSTEM="1",
        GIT_AUTHOR_NAME=AUTHOR, GIT_AUTHOR_EMAIL="keeper@example.net",
        GIT_COMMITTER_NAME=AUTHOR, GIT_COMMITTER_EMAIL="keeper@example.net",
    )
    return env


def run(command, env, expect_rc=0):
    print("$ " + " ".join(command), flush=True)
    done = subprocess.run(command, env=env, capture_output=True, text=True, timeout=bench.RUN_TIMEOUT_S)
    print(done.stdout + done.stderr, flush=True)
    expect(done.returncode == expect_rc, "%s exited %d, not %d" % (command[0], done.returncode, expect_rc))
    return done.stdout


def ad_hoc(context, module, arguments, *options):
    """One module on host unit1 by `ansible`; its result document."""
    arguments = dict(arguments, executable=context["cli"], reply_wait=200)
    output = run(["ansible", "unit1", "-i", context["inventory"], "-m", module,
                  "-a", json.dumps(arguments)] + list(options), context["env"])
    found = AD_HOC_RESULT.search(output)
    expect(found and found.group(2) in ("SUCCESS", "CHANGED"), "no successful result in the output")
    return json.loads(found.group(3))


def read_file(context, device, path):
    """What tarvex-cli read -o writes for the unit."""
    run([context["cli"], "read", "-o", path, "--device", device, "--reply-wait", "200", "--quiet"], context["env"])
    with open(path, "rb") as written:
        return written.read()


def contents(path):
    with open(path, "rb") as file:
        return file.read()


def check_documentation(context):
    # ansible-doc parses each module's documentation as YAML; a stray colon breaks it silently.
    for module in ("tarvex_unit", "tarvex_unit_info"):
        run(["ansible-doc", "-M", os.path.join(ANSIBLE, "library"), module], context["env"])


def check_info_reads_only(context, device, state):
    before = contents(state)
    read = json.loads(run([context["cli"], "read", "--json", "--device", device, "--reply-wait", "200"],
                          context["env"]))
    folder = os.path.join(context["scratch"], "info-backup")
    result = ad_hoc(context, "tarvex_unit_info",
                    {"device": device, "backup": True, "backup_options": {"dir_path": folder}}, "--check")
    facts = result["ansible_facts"]["tarvex_unit"]
    expect(facts["configuration"] == read["configuration"] and facts["identity"] == read["identity"],
           "the facts are not what tarvex-cli read finds: %s" % facts)
    expect(not result["changed"], "a read reported a change")
    expect(not os.path.exists(folder) and "backup_path" not in result, "check mode kept a backup")
    expect(contents(state) == before, "a read altered the unit's memory")


def check_backup_before_apply(context, device, state):
    expected = read_file(context, device, os.path.join(context["scratch"], "before.json"))
    folder = os.path.join(context["scratch"], "backups")
    result = ad_hoc(context, "tarvex_unit",
                    {"device": device, "config": bench.CONFIGURATION, "backup": True,
                     "backup_options": {"dir_path": folder}})
    path = result.get("backup_path", "")
    expect(result["changed"] and os.path.dirname(path) == folder and DEFAULT_NAME.match(os.path.basename(path)),
           "no backup under the default name in %s: %s" % (folder, path))
    expect(contents(path) == expected, "the backup is not what read -o wrote before the apply")
    expect(stat.S_IMODE(os.stat(path).st_mode) == 0o600, "the backup is readable by others")
    expect(json.loads(contents(state))["phones"][0] == "9800000000", "the apply after the backup did not write")


def git(context, *arguments):
    return run(["git", "-C", context["register"]] + list(arguments), context["env"])


def commits(context):
    return int(git(context, "rev-list", "--count", "HEAD").strip())


def backup_run(context, inventory, expect_rc=0):
    run([context["ansible_playbook"], BACKUP_PLAYBOOK, "-i", inventory, "-e", "register_dir=" + context["register"],
         "-e", "tarvex_cli=" + context["cli"], "-e", "tarvex_reply_wait=200"], context["env"], expect_rc)


def check_register(context, sites, flaky_inventory):
    register = context["register"]
    # flaky's last good file, from an earlier run.
    os.makedirs(os.path.join(register, "units"))
    git(context, "init", "--quiet")
    with open(os.path.join(register, "units", "flaky.json"), "w", encoding="utf-8") as out:
        out.write('{"format": "tarvex-config", "version": 1}\n')
    git(context, "add", "units")
    git(context, "commit", "--quiet", "-m", "flaky's last good file")
    kept = contents(os.path.join(register, "units", "flaky.json"))

    backup_run(context, flaky_inventory, expect_rc=2)
    expect(commits(context) == 2, "the first run made %d commits, not one" % (commits(context) - 1))
    message = git(context, "log", "-1", "--format=%an|%B").strip()
    expect(message == "%s|Backup of 2 units: 2 changed, 1 failed\n\nchanged: unit1, unit2\n\nfailed: flaky" % AUTHOR,
           "the commit says %r" % message)
    expect(contents(os.path.join(register, "units", "flaky.json")) == kept, "a failed read replaced the last good file")
    for name, device in sites.items():
        path = os.path.join(register, "units", name + ".json")
        expected = read_file(context, device, os.path.join(context["scratch"], name + ".read.json"))
        expect(contents(path) == expected, "units/%s.json is not what read -o writes" % name)
        expect(stat.S_IMODE(os.stat(path).st_mode) == 0o600, "units/%s.json is readable by others" % name)
    expect(stat.S_IMODE(os.stat(register).st_mode) == 0o700, "the register is open to others")

    backup_run(context, context["sites_inventory"])
    expect(commits(context) == 2, "a run that found nothing new committed")

    run([context["cli"], "message", "set", "test", "Changed on site", "--device", sites["unit2"],
         "--reply-wait", "200", "--quiet"], context["env"])
    backup_run(context, context["sites_inventory"])
    touched = git(context, "show", "--name-only", "--format=%s", "HEAD").split()
    expect(commits(context) == 3 and touched[-1] == "units/unit2.json" and touched.count("units/unit2.json") == 1
           and "units/unit1.json" not in touched, "the change by hand was not one commit of unit2 alone: %s" % touched)


def write_sites(path, sites):
    with open(path, "w", encoding="utf-8") as out:
        out.write("[tarvex_sites]\n" + "".join("%s unit_address=%s\n" % item for item in sites.items()))


def main():
    cli, sim = sys.argv[1:3]
    ansible_playbook = bench.shutil.which("ansible-playbook")
    expect(ansible_playbook, "ansible-playbook not found (scripts/install-deps.sh installs ansible-core)")
    with tempfile.TemporaryDirectory(prefix="tarvex-backup-") as scratch:
        processes = []
        try:
            devices = {}
            for name in ("unit1", "unit2"):
                process, devices[name] = bench.start_unit(sim, scratch, name)
                processes.append(process)
            process, flaky = bench.start_unit(sim, scratch, "flaky", "--hangup-after", "3")
            processes.append(process)
            server, address = bench.start_ser2net(scratch, devices["unit2"])
            processes.append(server)
            inventory = os.path.join(scratch, "units.ini")
            bench.write_inventory(inventory, {"unit1": {}})
            sites = {"unit1": devices["unit1"], "unit2": address}
            context = dict(cli=cli, scratch=scratch, inventory=inventory, env=environment(scratch),
                           ansible_playbook=ansible_playbook, register=os.path.join(scratch, "register"),
                           sites_inventory=os.path.join(scratch, "sites.ini"))
            write_sites(context["sites_inventory"], sites)
            write_sites(os.path.join(scratch, "flaky.ini"), dict(sites, flaky=flaky))
            state = os.path.join(scratch, "unit1.state.json")
            check_documentation(context)
            check_info_reads_only(context, devices["unit1"], state)
            check_backup_before_apply(context, devices["unit1"], state)
            check_register(context, sites, os.path.join(scratch, "flaky.ini"))
        finally:
            for process in processes:
                process.terminate()
                process.wait(timeout=10)
    print("PASS")


if __name__ == "__main__":
    try:
        main()
    except bench.Failure as failure:
        print("FAIL: %s" % failure, file=sys.stderr)
        sys.exit(1)
