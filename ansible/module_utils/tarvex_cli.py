# -*- coding: utf-8 -*-
# What the Tarvex modules share: how tarvex-cli is found and run against one unit, its result
# document, and the read that a backup keeps byte for byte.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import tempfile

# How tarvex-cli begins a warning on stderr, such as an identity other than the file's.
WARNING_PREFIX = "tarvex-cli: warning: "

# The options every module passes on to tarvex-cli as they are.
UNIT_ARGUMENTS = dict(
    device=dict(type="str"),
    executable=dict(type="str", default="tarvex-cli"),
    trace=dict(type="path"),
    reply_wait=dict(type="int"),
)

# backup and backup_options: the module reads before anything else, the action plugin on the
# controller writes what was read.
BACKUP_ARGUMENTS = dict(
    backup=dict(type="bool", default=False),
    backup_options=dict(type="dict", options=dict(dir_path=dict(type="path"), filename=dict(type="str"))),
)


def executable_path(module):
    executable = module.params["executable"]
    if os.sep in executable:
        return executable
    return module.get_bin_path(executable, required=True)


def unit_options(module):
    """--device, --trace and --reply-wait as the task gives them."""
    params = module.params
    options = []
    if params["device"]:
        options += ["--device", params["device"]]
    if params["trace"]:
        options += ["--trace", params["trace"]]
    if params["reply_wait"] is not None:
        options += ["--reply-wait", str(params["reply_wait"])]
    return options


def result_document(stdout):
    """The one JSON object tarvex-cli prints with --json, or None."""
    try:
        document = json.loads(stdout)
    except ValueError:
        return None
    return document if isinstance(document, dict) else None


def pass_on_warnings(module, stderr, device):
    for line in stderr.splitlines():
        if line.startswith(WARNING_PREFIX):
            module.warn("%s: %s" % (device, line[len(WARNING_PREFIX):]))


def run_json(module, command):
    """Runs tarvex-cli; its result document and what a task result reports of the run."""
    rc, stdout, stderr = module.run_command(command)
    result = dict(changed=False, rc=rc, cmd=command, stderr=stderr)
    document = result_document(stdout)
    if document is None:
        module.fail_json(msg="tarvex-cli printed no result document (exit code %d)" % rc,
                         stdout=stdout, **result)
    pass_on_warnings(module, stderr, document.get("device") or module.params["device"])
    return document, result


def fail_unless_ok(module, document, result, replace=None):
    """Fails the task with tarvex-cli's error; replace: (text, by) for names the play never saw."""
    rc = result["rc"]
    if not document.get("ok"):
        error = document.get("error") or {}
        message = error.get("message") or "tarvex-cli failed"
        if replace:
            message = message.replace(*replace)
        module.fail_json(msg="%s (exit code %d)" % (message, rc), error=error, **result)
    if rc != 0:
        module.fail_json(msg="tarvex-cli reported success but exited with code %d" % rc, **result)


def read_unit(module, messages=True):
    """tarvex-cli read -o: its document, the task result, and the file's text exactly as written.

    The file is written by tarvex-cli only after a complete read, so a failed read fails the
    task here and leaves nothing to keep."""
    handle, path = tempfile.mkstemp(prefix="tarvex-read-", suffix=".json", dir=module.tmpdir)
    os.close(handle)
    command = [executable_path(module), "read", "-o", path, "--json"] + unit_options(module)
    if not messages:
        command.append("--no-messages")
    document, result = run_json(module, command)
    fail_unless_ok(module, document, result)
    with open(path, "rb") as written:
        text = written.read().decode("utf-8")
    return document, result, text
