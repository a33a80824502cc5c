#!/usr/bin/env python3
"""The shipped schema of fleet.json is a valid schema that accepts the example, and it judges
the same lists as tarvex-cli does: each row goes to both (tarvex-cli fleet status in a register
made by fleet init), and they must agree.

Usage: check_fleet_schema.py SCHEMA EXAMPLE TARVEX_CLI
"""
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

schema_path, example_path, cli = sys.argv[1:4]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
with open(example_path, encoding="utf-8") as f:
    example = json.load(f)
validator_class = jsonschema.validators.validator_for(schema)
validator_class.check_schema(schema)
validator = validator_class(schema)
validator.validate(example)


def listing(*sites, **extra):
    return dict({"format": "tarvex-fleet", "version": 1, "sites": list(sites)}, **extra)


ROWS = [
    ("the example", example),
    ("no sites", listing()),
    ("unknown list key", listing(owner="x")),
    ("unknown site key", listing({"name": "a", "device": "/dev/ttyS0", "colour": 1})),
    ("name with a slash", listing({"name": "a/b", "device": "/dev/ttyS0"})),
    ("name starting with a dot", listing({"name": ".a", "device": "/dev/ttyS0"})),
    ("no device", listing({"name": "a"})),
    ("template outside", listing({"name": "a", "device": "/dev/ttyS0", "template": "../t.json"})),
    ("value a list", listing({"name": "a", "device": "/dev/ttyS0", "values": {"k": [1]}})),
    ("number value", listing({"name": "a", "device": "/dev/ttyS0", "values": {"k": 7}})),
]

env = dict(os.environ, GIT_AUTHOR_NAME="t", GIT_AUTHOR_EMAIL="t@example.net",
           GIT_COMMITTER_NAME="t", GIT_COMMITTER_EMAIL="t@example.net",
           GIT_CONFIG_NOSYSTEM="1", GIT_CONFIG_GLOBAL="/dev/null")
failures = 0
with tempfile.TemporaryDirectory() as folder:
    register = os.path.join(folder, "register")
    subprocess.run([cli, "fleet", "init", register], env=env, check=True, capture_output=True)
    for name, document in ROWS:
        with open(os.path.join(register, "fleet.json"), "w", encoding="utf-8") as f:
            json.dump(document, f)
        by_schema = validator.is_valid(document)
        run = subprocess.run([cli, "fleet", "status", "--fleet", register], env=env,
                             capture_output=True)
        by_cli = run.returncode == 0
        if by_schema != by_cli:
            failures += 1
            print(f"{name}: schema says {by_schema}, tarvex-cli exit {run.returncode}: "
                  f"{run.stderr.decode()}")
sys.exit(1 if failures else 0)
