#!/usr/bin/python3
# -*- coding: utf-8 -*-
# Ansible module around `tarvex-cli read`: the unit's configuration as facts, nothing written.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: tarvex_unit_info
short_description: Read the configuration of a Tarvex power-supply alert unit
description:
  - Runs C(tarvex-cli read) against one unit on a serial line of the managed host, or behind a
    terminal server that the managed host reaches over the network, and returns the unit's
    configuration as facts.
  - The unit is only read, so the task never reports a change and runs the same in check mode.
  - With I(backup) the configuration file is also kept on the controller, byte for byte as
    C(tarvex-cli read -o) writes it.
author:
  - Tarvex Configurator developers
requirements:
  - C(tarvex-cli) on the managed host, with access to the unit's serial device (usually
    membership of the C(dialout) group), or a network path to its terminal server.
options:
  device:
    description:
      - The unit's serial device on the managed host, or its network address
        (C(rfc2217://HOST:PORT), C(tcp://HOST:PORT), either with C(?via=SSHHOST), or
        C(ssh://USER@HOST)), passed as C(--device); see the
        I(device) option of M(tarvex_unit).
      - When left out, C(tarvex-cli) takes C(TARVEX_DEVICE) from the environment or scans the
        host's serial ports, and fails if several units answer.
    type: str
  messages:
    description:
      - Whether the eight message texts are read too. Without them the read takes 13 exchanges
        instead of 21.
    type: bool
    default: true
  backup:
    description:
      - Keeps the configuration file on the controller, as the I(backup) option of Ansible's
        network modules does; see I(backup_options). The file is readable by its owner only.
      - In check mode nothing is written.
    type: bool
    default: false
  backup_options:
    description:
      - Where I(backup) keeps the file.
    type: dict
    suboptions:
      dir_path:
        description:
          - The folder on the controller, made when missing (readable by its owner only).
            Default C(backup) beside the playbook, or beside the role.
        type: path
      filename:
        description:
          - The file's name. Default C(HOSTNAME_config.YYYY-MM-DD@HH:MM:SS), the inventory
            host's name and the time of the backup.
        type: str
  executable:
    description:
      - The C(tarvex-cli) program to run, a name looked up in C(PATH) or a path.
    type: str
    default: tarvex-cli
  trace:
    description:
      - A file on the managed host to which every exchange with the unit is appended (C(--trace)).
    type: path
  reply_wait:
    description:
      - For tests against simulated units only. The reply wait of each exchange in
        milliseconds, passed as C(--reply-wait). A real unit needs the default of 200 ms.
    type: int
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
  facts:
    support: full
notes:
  - The read is strict; a reply that breaks a rule of the file format fails the task, and a
    value the unit holds that the file format refuses is passed on as a warning.
  - "The example playbook C(backup-sites.yml) keeps every unit's file in one git repository
    and commits once per run."
"""

EXAMPLES = r"""
- name: Read the unit behind a terminal server, from the controller
  tarvex_unit_info:
    device: rfc2217://site-17.example.net:4001
  delegate_to: localhost

- name: The on-call numbers of a bench unit
  tarvex_unit_info:
    device: /dev/ttyUSB0
    messages: false
- debug:
    var: tarvex_unit.configuration.phones.numbers

- name: Keep the unit's file in a register, one file per host
  tarvex_unit_info:
    device: "{{ unit_address }}"
    backup: true
    backup_options:
      dir_path: /srv/tarvex-register/units
      filename: "{{ inventory_hostname }}.json"
"""

RETURN = r"""
ansible_facts:
  description: The facts set for the host.
  returned: success
  type: complex
  contains:
    tarvex_unit:
      description: What was read.
      type: dict
      contains:
        configuration:
          description: The unit's configuration in the C(tarvex-config) format version 1, as
            C(tarvex-cli read) writes it (its C(identity), C(phones) and C(events)).
          type: dict
        identity:
          description: The identity the unit answered with.
          type: str
          sample: KTX-210
        device:
          description: The device that tarvex-cli talked to.
          type: str
          sample: /dev/ttyUSB0
backup_path:
  description: The file on the controller that I(backup) wrote.
  returned: when I(backup) is set, outside check mode
  type: str
  sample: /srv/tarvex-register/units/site17-unit1.json
exchanges:
  description: How many commands were exchanged with the unit.
  returned: when tarvex-cli printed a result document
  type: int
elapsed_ms:
  description: How long tarvex-cli took, in milliseconds.
  returned: when tarvex-cli printed a result document
  type: int
error:
  description: Why the read failed, as tarvex-cli reported it (C(kind), C(message)).
  returned: failure
  type: dict
  sample: {"kind": "no-unit", "message": "No unit answered on /dev/ttyUSB0.", "device": "/dev/ttyUSB0"}
rc:
  description: The exit code of tarvex-cli (0 done, 69 no unit, 74 line lost, 75 port busy, ...).
  returned: always
  type: int
cmd:
  description: The command line that was run.
  returned: always
  type: list
  elements: str
stderr:
  description: The diagnostics tarvex-cli printed; its warnings are also Ansible warnings.
  returned: always
  type: str
"""

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.tarvex_cli import BACKUP_ARGUMENTS, UNIT_ARGUMENTS, read_unit


def main():
    module = AnsibleModule(
        argument_spec=dict(messages=dict(type="bool", default=True), **UNIT_ARGUMENTS, **BACKUP_ARGUMENTS),
        supports_check_mode=True,
    )
    document, result, text = read_unit(module, module.params["messages"])
    result.update((field, document[field]) for field in ("exchanges", "elapsed_ms") if field in document)
    result["ansible_facts"] = dict(tarvex_unit=dict(
        configuration=document.get("configuration"),
        identity=document.get("identity"),
        device=document.get("device"),
    ))
    if module.params["backup"] and not module.check_mode:
        result["__backup__"] = text
    module.exit_json(**result)


if __name__ == "__main__":
    main()
