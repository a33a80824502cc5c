#!/usr/bin/env python3
"""The example playbook against three simulated units, through the real tarvex-cli.

test_provision_bench.py TARVEX_CLI TARVEX_SIM TEST_SSHD

A first run writes all three units, a second changes nothing, and a check run after the file
changed reports the change (with --diff, item by item) yet leaves every unit's memory as it was.
A unit that ignores writes, and one that does not exist, fail their own hosts only, with
tarvex-cli's message (and, for the first, as changed: something was written). The sites playbook
writes a unit behind Debian's ser2net (RFC 2217) from the controller, and then changes nothing;
then, the file changed, through an SSH tunnel to that ser2net (the tests' own sshd).
"""

import ctypes
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PLAYBOOK = os.path.join(HERE, "..", "..", "ansible", "provision-bench.yml")
SITES_PLAYBOOK = os.path.join(HERE, "..", "..", "ansible", "provision-sites.yml")
SER2NET_START_S = 10
UNITS = ("unit1", "unit2", "unit3")
RUN_TIMEOUT_S = 240

CONFIGURATION = {
    "format": "tarvex-config",
    "version": 1,
    "phones": {"numbers": ["9800000000", "9811111111"], "test": "9899999999"},
    "events": {
        "power1_off_to_on": {"enabled": True, "message": "Power 1 is back"},
        "power2_off_to_on": {"enabled": False},
        "test": {"enabled": True, "message": "Weekly test\nfrom the bench"},
    },
}

RECAP_LINE = re.compile(r"^(\S+)\s+: ok=(\d+)\s+changed=(\d+)\s+unreachable=(\d+)\s+failed=(\d+)", re.M)


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def end_with_parent():
    # A test killed by its timeout must not leave simulators behind.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def start_unit(sim, scratch, name, *options):
    link = os.path.join(scratch, name)
    process = subprocess.Popen(
        [sim, "--link", link, "--state", os.path.join(scratch, name + ".state.json"), *options],
        stdout=subprocess.PIPE,
        preexec_fn=end_with_parent,
    )
    expect(process.stdout.readline().strip(), "tarvex-sim printed no device path")
    return process, link


def free_tcp_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def listening(port):
    # Binding fails once ser2net listens; connecting would take its one client place.
    with socket.socket() as probe:
        try:
            probe.bind(("127.0.0.1", port))
        except OSError:
            return True
        return False


def start_ser2net(scratch, device):
    """Debian's ser2net in the foreground, an RFC 2217 accepter in front of device."""
    port = free_tcp_port()
    config = os.path.join(scratch, "ser2net.yaml")
    with open(config, "w", encoding="utf-8") as out:
        out.write("connection: &unit\n"
                  "  accepter: telnet(rfc2217),tcp,127.0.0.1,%d\n"
                  "  connector: serialdev,%s,9600n81,local\n" % (port, device))
    expect(shutil.which("ser2net", path="/usr/sbin:/usr/bin"), "ser2net not found (scripts/install-deps.sh)")
    # -n: in the foreground; -u: no UUCP lock files (the simulator's device is ours alone).
    process = subprocess.Popen(
        [shutil.which("ser2net", path="/usr/sbin:/usr/bin"), "-n", "-u", "-c", config,
         "-P", os.path.join(scratch, "ser2net.pid")],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=end_with_parent)
    deadline = time.monotonic() + SER2NET_START_S
    while not listening(port):
        expect(time.monotonic() < deadline and process.poll() is None, "ser2net does not listen")
        time.sleep(0.05)
    return process, "rfc2217://127.0.0.1:%d" % port


def write_json(path, document):
    with open(path, "w", encoding="utf-8") as out:
        json.dump(document, out)


def write_inventory(path, hosts):
    """hosts: inventory host name -> its variables."""
    lines = ["[tarvex_units]"]
    for name, variables in hosts.items():
        lines.append(" ".join([name] + ["%s=%s" % item for item in variables.items()]))
    lines += ["", "[tarvex_units:vars]", "ansible_connection=local",
              'ansible_python_interpreter="{{ ansible_playbook_python }}"']
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


def ansible_environment(scratch):
    """No user or system configuration, no cows, no retry files, temp files in the scratch dir."""
    environment = {key: value for key, value in os.environ.items() if not key.startswith("ANSIBLE_")}
    empty_config = os.path.join(scratch, "ansible.cfg")
    open(empty_config, "w").close()
    environment.update(
        ANSIBLE_CONFIG=empty_config,
        ANSIBLE_HOME=os.path.join(scratch, "ansible-home"),
        ANSIBLE_LOCAL_TEMP=os.path.join(scratch, "ansible-local"),
        ANSIBLE_REMOTE_TEMP=os.path.join(scratch, "ansible-remote"),
        ANSIBLE_COLLECTIONS_PATH=os.path.join(scratch, "collections"),
        ANSIBLE_NOCOWS="1",
        ANSIBLE_NOCOLOR="1",
        ANSIBLE_RETRY_FILES_ENABLED="0",
        ANSIBLE_HOST_KEY_CHECKING="0",
        ANSIBLE_STDOUT_CALLBACK="default",
        ANSIBLE_LOAD_CALLBACK_PLUGINS="0",
        ANSIBLE_LOCALHOST_WARNING="0",
        ANSIBLE_FORKS="4",
    )
    return environment


def run_playbook(context, config_file, *options, inventories=("units.ini",), expect_rc=0,
                 playbook=PLAYBOOK):
    command = [context["ansible"], playbook, "-e", "config_file=" + config_file,
               "-e", "tarvex_cli=" + context["cli"], "-e", "tarvex_reply_wait=200"]
    for inventory in inventories:
        command += ["-i", os.path.join(context["scratch"], inventory)]
    command += list(options)
    print("$ " + " ".join(command), flush=True)
    run = subprocess.run(command, env=context["environment"], capture_output=True, text=True,
                         timeout=RUN_TIMEOUT_S)
    print(run.stdout + run.stderr, flush=True)
    expect(run.returncode == expect_rc, "ansible-playbook exited %d, not %d" % (run.returncode, expect_rc))
    recap = {host: (int(changed), int(failed))
             for host, _, changed, _, failed in RECAP_LINE.findall(run.stdout)}
    return recap, run.stdout


def expect_recap(recap, changed, failed=0, hosts=UNITS):
    for host in hosts:
        expect(recap.get(host) == (changed, failed),
               "%s: changed, failed = %s, expected (%d, %d)" % (host, recap.get(host), changed, failed))


def failure_of(output, host):
    """The module's result for a host that failed, as the default callback prints it."""
    failure = re.search(r"^fatal: \[%s\]: FAILED! => (.*)$" % host, output, re.M)
    expect(failure, "no failure reported for " + host)
    result = json.loads(failure.group(1))
    expect(result["error"]["kind"] and result["error"]["message"] in result["msg"],
           "%s's failure does not carry tarvex-cli's error: %s" % (host, result))
    return result


def state_files(scratch):
    contents = {}
    for name in UNITS:
        with open(os.path.join(scratch, name + ".state.json"), "rb") as state:
            contents[name] = state.read()
    return contents


def check_first_run_wrote(context, config_file):
    recap, output = run_playbook(context, config_file, inventories=("units.ini", "stubborn.ini"),
                                 expect_rc=2)
    expect_recap(recap, changed=1)
    expect_recap(recap, changed=0, failed=1, hosts=("stubborn",))
    stubborn = failure_of(output, "stubborn")
    expect(stubborn["rc"] == 3 and stubborn["changed"], "the unit ignoring writes: %s" % stubborn)
    for name, state in state_files(context["scratch"]).items():
        memory = json.loads(state)
        expect(memory["count"] == 2 and memory["phones"][:2] == ["9800000000", "9811111111"],
               "%s holds count %s, phones %s" % (name, memory["count"], memory["phones"][:2]))
        expect(memory["phones"][10] == "9899999999", "%s: test number %s" % (name, memory["phones"][10]))
    trace = context["trace"]
    expect(os.path.exists(trace) and os.path.getsize(trace) > 0, "no trace written to " + trace)


def check_second_run_idempotent(context, config_file):
    before = state_files(context["scratch"])
    recap, _ = run_playbook(context, config_file)
    expect_recap(recap, changed=0)
    expect(state_files(context["scratch"]) == before, "a run without changes altered a unit's memory")


def check_check_mode_writes_nothing(context, config_file):
    changed = json.loads(json.dumps(CONFIGURATION))
    changed["phones"]["numbers"][1] = "9822222222"
    changed["events"]["test"]["message"] = "Weekly test"
    write_json(config_file, changed)
    before = state_files(context["scratch"])
    # The absent unit rides along: only its own host fails.
    recap, output = run_playbook(context, config_file, "--check", "--diff",
                                 inventories=("units.ini", "absent.ini"), expect_rc=2)
    expect_recap(recap, changed=1)
    expect(state_files(context["scratch"]) == before, "a check run altered a unit's memory")
    for line in ('-phones.numbers[1]: "9811111111"', '+phones.numbers[1]: "9822222222"',
                 '-events.test.message: "Weekly test\\nfrom the bench"', '+events.test.message: "Weekly test"'):
        expect(output.count(line) == len(UNITS), "the diff does not show %r once per unit" % line)
    expect_recap(recap, changed=0, failed=1, hosts=("absent",))
    absent = failure_of(output, "absent")
    expect(absent["rc"] == 69 and not absent["changed"], "the absent unit: %s" % absent)


def check_sites_playbook_through_ser2net(context, config_file, address):
    inventory = os.path.join(context["scratch"], "sites.ini")
    with open(inventory, "w", encoding="utf-8") as out:
        out.write("[tarvex_sites]\nsite-unit unit_address=%s\n" % address)
    for changed in (1, 0):
        recap, _ = run_playbook(context, config_file, inventories=("sites.ini",),
                                playbook=SITES_PLAYBOOK)
        expect_recap(recap, changed=changed, hosts=("site-unit",))
    memory = json.loads(open(os.path.join(context["scratch"], "site-unit.state.json"), "rb").read())
    expect(memory["phones"][:2] == ["9800000000", "9811111111"],
           "the unit behind ser2net holds phones %s" % memory["phones"][:2])


def check_sites_playbook_through_ssh(context, config_file, address, sshd):
    server = subprocess.Popen([sshd], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                              preexec_fn=end_with_parent)
    try:
        ssh_command = server.stdout.readline().strip()
        expect(ssh_command, "the test sshd did not start")
        context = dict(context, environment=dict(context["environment"],
                                                 TARVEX_SSH_COMMAND=ssh_command))
        changed = json.loads(json.dumps(CONFIGURATION))
        changed["phones"]["test"] = "9877777777"
        write_json(config_file, changed)
        check_sites_playbook_through_ser2net(context, config_file, address + "?via=site")
        memory = json.loads(open(os.path.join(context["scratch"], "site-unit.state.json"), "rb").read())
        expect(memory["phones"][-1] == "9877777777",
               "through SSH the unit's test phone is %s" % memory["phones"][-1])
    finally:
        server.stdin.close()
        server.wait(timeout=10)


def main():
    cli, sim, sshd = sys.argv[1:4]
    ansible = shutil.which("ansible-playbook")
    expect(ansible, "ansible-playbook not found (scripts/install-deps.sh installs ansible-core)")
    with tempfile.TemporaryDirectory(prefix="tarvex-ansible-") as scratch:
        units = []
        try:
            hosts = {}
            for name in UNITS:
                process, device = start_unit(sim, scratch, name)
                units.append(process)
                hosts[name] = {"device": device}
            trace = os.path.join(scratch, "unit1.trace")
            hosts["unit1"]["tarvex_trace"] = trace
            write_inventory(os.path.join(scratch, "units.ini"), hosts)
            process, device = start_unit(sim, scratch, "stubborn", "--ignore-writes")
            units.append(process)
            write_inventory(os.path.join(scratch, "stubborn.ini"), {"stubborn": {"device": device}})
            absent = {"absent": {"device": os.path.join(scratch, "no-unit")}}
            write_inventory(os.path.join(scratch, "absent.ini"), absent)
            config_file = os.path.join(scratch, "site.json")
            write_json(config_file, CONFIGURATION)
            context = dict(cli=cli, ansible=ansible, scratch=scratch, trace=trace,
                           environment=ansible_environment(scratch))
            check_first_run_wrote(context, config_file)
            check_second_run_idempotent(context, config_file)
            check_check_mode_writes_nothing(context, config_file)
            process, device = start_unit(sim, scratch, "site-unit")
            units.append(process)
            server, address = start_ser2net(scratch, device)
            units.append(server)
            write_json(config_file, CONFIGURATION)
            check_sites_playbook_through_ser2net(context, config_file, address)
            check_sites_playbook_through_ssh(context, config_file, address, sshd)
        finally:
            for process in units:
                process.terminate()
                process.wait(timeout=10)
    print("PASS")


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print("FAIL: %s" % failure, file=sys.stderr)
        sys.exit(1)
