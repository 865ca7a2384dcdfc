"""Shared pieces of the contract tests: the schemas, the PKI, HTTPS posts."""

import json
import os
import pathlib
import ssl
import urllib.error
import urllib.request

import jsonschema

SOURCE = pathlib.Path(os.environ.get("NEROLIN_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
BINARY = pathlib.Path(os.environ.get("NEROLIN_BINARY_DIR", SOURCE / "build"))
PKI = SOURCE / "testdata" / "pki"

SCHEMAS = {}
for _path in sorted((SOURCE / "docs" / "schemas").glob("*.schema.json")):
    _schema = json.loads(_path.read_text())
    SCHEMAS[_schema["$id"]] = _schema


def _validator(schema):
    try:  # jsonschema 4.18 and later resolve references through a registry
        import referencing
        registry = referencing.Registry().with_resources(
            (uri, referencing.Resource.from_contents(contents)) for uri, contents in SCHEMAS.items())
        return jsonschema.Draft202012Validator(schema, registry=registry)
    except ImportError:  # Debian bookworm's 4.10
        resolver = jsonschema.RefResolver(schema["$id"], schema, store=SCHEMAS)
        return jsonschema.Draft202012Validator(schema, resolver=resolver)


def schema_errors(name, instance):
    """Every way the instance breaks the schema urn:nerolin:NAME, as text."""
    validator = _validator(SCHEMAS[f"urn:nerolin:{name}"])
    return [f"{'/'.join(map(str, e.absolute_path)) or '(root)'}: {e.message}" for e in validator.iter_errors(instance)]


def post(url, body, cafile):
    """POSTs a body to the service; (status, content type, parsed JSON)."""
    context = ssl.create_default_context(cafile=cafile)
    request = urllib.request.Request(url, data=body, method="POST")
    try:
        with urllib.request.urlopen(request, context=context, timeout=30) as answer:
            status, headers, text = answer.status, answer.headers, answer.read()
    except urllib.error.HTTPError as error:
        status, headers, text = error.code, error.headers, error.read()
    return status, headers.get("Content-Type", ""), (json.loads(text) if text else None)


def get(url, cafile):
    context = ssl.create_default_context(cafile=cafile)
    with urllib.request.urlopen(url, context=context, timeout=30) as answer:
        return json.loads(answer.read())
