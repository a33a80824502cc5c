#!/usr/bin/env python3
"""The shipped JSON Schema is a valid schema, accepts the example file, and refuses what the
program refuses in the cases a schema can express."""
import json
import sys

import jsonschema

schema_path, example_path = sys.argv[1], sys.argv[2]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
with open(example_path, encoding="utf-8") as f:
    example = json.load(f)

validator_class = jsonschema.validators.validator_for(schema)
validator_class.check_schema(schema)
validator = validator_class(schema)
validator.validate(example)

refused = [
    {"format": "tarvex-config", "version": 2},
    {"format": "tarvex-config", "version": 1, "colour": 1},
    {"format": "tarvex-config", "version": 1, "phones": {"numbers": ["980000000"]}},
    {"format": "tarvex-config", "version": 1, "phones": {"test": "98+0000000"}},
    {"format": "tarvex-config", "version": 1, "events": {"test": {"message": "a" * 81}}},
    {"format": "tarvex-config", "version": 1, "events": {"test": {"message": "5 \u20ac"}}},
    {"format": "tarvex-config", "version": 1, "events": {"test": {"message": "ab\n"}}},
    {"format": "tarvex-config", "version": 1, "events": {"power3_off_to_on": {}}},
]
wrongly_accepted = [case for case in refused if validator.is_valid(case)]
if wrongly_accepted:
    sys.exit(f"the schema accepts what tarvex-cli refuses: {wrongly_accepted}")
print("schema: valid; example accepted; 8 of 8 invalid files refused")
