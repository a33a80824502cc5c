#!/usr/bin/env python3
"""The shipped JSON Schema is a valid schema that accepts the example file, and it judges the
same files as tarvex-cli does: every row below goes to both, and they must agree. The rows sit
on the limits of the program's value rules (ten characters a number, at most ten numbers, 80
characters a message with a line break counting as two), so a limit changed on one side only
makes them disagree.

Usage: check_schema.py SCHEMA EXAMPLE TARVEX_CLI
       check_schema.py --message-pattern LIMIT   (prints the pattern the schema must hold)
"""
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

def message_length_pattern(limit):
    """At most limit characters, a line break counting as two: for every k, a text with k
    breaks or more is shorter than limit + 1 - k."""
    terms = "".join(f"(?!(?=(?:[^\\n]*\\n){{{k}}})[\\s\\S]{{{limit + 1 - k}}})"
                    for k in range(1, limit // 2 + 1))
    return f"^(?![\\s\\S]{{{limit + 1}}}){terms}"


if sys.argv[1] == "--message-pattern":
    print(json.dumps(message_length_pattern(int(sys.argv[2]))))
    sys.exit(0)

schema_path, example_path, cli = sys.argv[1], sys.argv[2], sys.argv[3]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
with open(example_path, encoding="utf-8") as f:
    example = json.load(f)

validator_class = jsonschema.validators.validator_for(schema)
validator_class.check_schema(schema)
validator = validator_class(schema)
validator.validate(example)

message_rule = schema["$defs"]["event"]["properties"]["message"]
limit = message_rule["maxLength"]
length_pattern = message_length_pattern(limit)
if length_pattern not in [rule.get("pattern") for rule in message_rule.get("allOf", [])]:
    sys.exit("the message's length pattern is not the one for maxLength "
             f"{limit}; put this in the schema:\n{json.dumps(length_pattern)}")


def config(**parts):
    return {"format": "tarvex-config", "version": 1, **parts}


def message(text):
    return config(events={"test": {"message": text}})


def numbers(*values):
    return config(phones={"numbers": list(values)})


rows = {
    "example": example,
    "wrong version": {"format": "tarvex-config", "version": 2},
    "unknown key": config(colour=1),
    "unknown event": config(events={"power3_off_to_on": {}}),
    "ten digits": numbers("9800000000"),
    "nine digits": numbers("980000000"),
    "eleven digits": numbers("98000000001"),
    "leading plus": numbers("+919822222"),
    "plus inside": config(phones={"test": "98+0000000"}),
    "ten numbers": numbers(*["9800000000"] * 10),
    "eleven numbers": numbers(*["9800000000"] * 11),
    "message at the limit": message("a" * limit),
    "message past the limit": message("a" * (limit + 1)),
    "break counted as two, at the limit": message("a" * (limit // 2 - 1) + "\n" + "a" * (limit // 2 - 1)),
    "break counted as two, past it": message("a" * (limit // 2) + "\n" + "a" * (limit // 2 - 1)),
    "many breaks, at the limit": message("a\n" * (limit // 3) + "a" * (limit - 3 * (limit // 3))),
    "many breaks, past it": message("a\n" * (limit // 3) + "a" * (limit + 1 - 3 * (limit // 3))),
    "breaks first, at the limit": message("\n" * (limit // 2 - 1) + "aa"),
    "breaks first, past it": message("\n" * (limit // 2 - 1) + "aaa"),
    "ISO 8859-1": message("5 \u00a3, caf\u00e9"),
    "outside ISO 8859-1": message("5 \u20ac"),
    "outside 16 bits": message("ok \U0001f600"),
    "NUL": message("a\u0000b"),
    "carriage return": message("a\r\nb"),
    "trailing break": message("ab\n"),
}


def program_accepts(document):
    """apply validates the whole file before it looks for a unit: 65 is a refused file, and a
    file that passes fails later, on the missing device."""
    with tempfile.NamedTemporaryFile("w", suffix=".json", encoding="utf-8", delete=False) as f:
        json.dump(document, f)
    try:
        run = subprocess.run([cli, "apply", f.name, "--check", "--quiet", "--device",
                              "/nonexistent/tarvex-unit"], capture_output=True, timeout=30)
    finally:
        os.unlink(f.name)
    return run.returncode != 65


disagreements = []
for name, document in rows.items():
    by_schema, by_program = validator.is_valid(document), program_accepts(document)
    if by_schema != by_program:
        disagreements.append(f"{name}: schema {'accepts' if by_schema else 'refuses'}, "
                             f"tarvex-cli {'accepts' if by_program else 'refuses'}")
if disagreements:
    sys.exit("the schema and tarvex-cli disagree:\n" + "\n".join(disagreements))
print(f"schema: valid; agrees with tarvex-cli on {len(rows)} files")
