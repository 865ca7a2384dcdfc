"""Shared pieces of the contract tests: the schemas, the PKI, HTTPS posts."""

import json
import os
import pathlib
import ssl
import urllib.error
import urllib.request

import jsonschema
import referencing

SOURCE = pathlib.Path(os.environ.get("NEROLIN_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
BINARY = pathlib.Path(os.environ.get("NEROLIN_BINARY_DIR", SOURCE / "build"))
PKI = SOURCE / "testdata" / "pki"


def _registry():
    resources = []
    for path in sorted((SOURCE / "docs" / "schemas").glob("*.schema.json")):
        schema = json.loads(path.read_text())
        resources.append((schema["$id"], referencing.Resource.from_contents(schema)))
    return referencing.Registry().with_resources(resources)


REGISTRY = _registry()


def schema_errors(name, instance):
    """Every way the instance breaks the schema urn:nerolin:NAME, as text."""
    schema = REGISTRY.contents(f"urn:nerolin:{name}")
    validator = jsonschema.Draft202012Validator(schema, registry=REGISTRY)
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
