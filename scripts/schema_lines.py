"""The line checked in place of a line of JSON output, for check-schemas.

Lines that differ only in fields of which the schema asks no more than a whole number (a time,
a handle) or hex pairs (bytes written or read) are validated once: 0 stands for any whole
number as JSON writes it, as many zeros for any hex pairs. The schema is held to that wherever
it names such a field, so that a rule added to one of them is never skipped.
"""
import re

WHOLE = {"type": "integer", "minimum": 0}
HEX_PAIRS = {"type": "string", "pattern": "^([0-9a-f]{2})*$"}


def _subschemas(schema, keyword):
    if isinstance(schema, dict):
        if keyword in schema:
            yield schema[keyword]
        for value in schema.values():
            yield from _subschemas(value, keyword)
    elif isinstance(schema, list):
        for value in schema:
            yield from _subschemas(value, keyword)


def _resolved(schema, subschema):
    """The subschema itself, or the definition it is nothing but a reference to."""
    if set(subschema) == {"$ref"}:
        return schema["$defs"][subschema["$ref"].removeprefix("#/$defs/")]
    return subschema


def _objects_constrained_otherwise(schema):
    """Whether the schema reaches a field by a way other than its name under "properties"."""
    if isinstance(schema, dict):
        if "patternProperties" in schema or isinstance(schema.get("additionalProperties"), dict):
            return True
        if isinstance(schema.get("const"), (dict, list)):
            return True  # a whole object's value
        if any(isinstance(value, (dict, list)) for value in schema.get("enum", [])):
            return True
        return any(_objects_constrained_otherwise(value) for value in schema.values())
    if isinstance(schema, list):
        return any(_objects_constrained_otherwise(value) for value in schema)
    return False


def stand_in(schema, fields):
    """A function from a line to the line validated in its place, for `fields` (name: WHOLE or
    HEX_PAIRS). Raises ValueError naming a field of which the schema asks more."""
    if _objects_constrained_otherwise(schema):
        raise ValueError("the schema constrains fields beyond their names under \"properties\"")
    for properties in _subschemas(schema, "properties"):
        for name, plain in fields.items():
            if name in properties and _resolved(schema, properties[name]) != plain:
                raise ValueError(f'the schema asks more of "{name}" than {plain}')
    numbers = "|".join(re.escape(name) for name, kind in fields.items() if kind == WHOLE)
    hexes = "|".join(re.escape(name) for name, kind in fields.items() if kind == HEX_PAIRS)
    # Inside a JSON string a quote is escaped, so these match a key and its value only.
    number = re.compile(rf'"({numbers})":(0|[1-9][0-9]*)(?=[,}}])') if numbers else None
    hex_field = re.compile(rf'"({hexes})":"([0-9a-f]*)"') if hexes else None

    def replace(line):
        if number:
            line = number.sub(r'"\1":0', line)
        if hex_field:
            line = hex_field.sub(lambda m: f'"{m[1]}":"{"0" * len(m[2])}"', line)
        return line

    return replace
