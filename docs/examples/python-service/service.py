#!/usr/bin/env python3
"""A small signing service for Nerolin, written from docs/protocol.md.

It is an integrator's starting point, not a product: sessions live in memory,
and the web application's side is two plain routes.

    GET  /new?mode=SIGN            creates a session; answers {"sessionId", "link"}
    GET  /report/ID                the session as the web application sees it

Everything under /sessions/ is the agent's side of docs/protocol.md. With
--whitelist-cert and --whitelist-key the service also plays the whitelist host
that a development build of Nerolin asks (NEROLIN_TEST_WHITELIST_URL).

Needs only the standard library and python3-cryptography.
"""

import argparse
import base64
import hashlib
import json
import ssl
import threading
import urllib.parse
import uuid
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from cryptography import x509
from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa, utils

SHA256_OID = "2.16.840.1.101.3.4.2.1"
MODES = ("SELECT_CERTIFICATE", "SIGN", "SELECT_CERTIFICATE_AND_SIGN", "TEST")
MAX_BODY = 1 << 20


class Session:
    def __init__(self, mode, documents, certificate_pem=None, pending_polls=1):
        self.id = uuid.uuid4().hex
        self.mode = mode
        self.documents = documents  # {"doc-1": b"text", ...}
        self.certificate_pem = certificate_pem  # SIGN: the certificate that must sign
        self.pending_polls = pending_polls  # 202 answers before the hashes are ready
        self.state = "WAITING_FOR_CONFIG_GOT"
        self.verdicts = {}  # documentId -> True / False
        self.detail = ""


class Service:
    def __init__(self, base_url, sign_certificate_pem=None):
        self.base_url = base_url  # e.g. https://127.0.0.1:8443
        self.sign_certificate_pem = sign_certificate_pem
        self.sessions = {}
        self.lock = threading.Lock()

    # Called for every exchange with the agent; tests hook it to check messages.
    def on_exchange(self, kind, request, status, answer):
        pass

    # --- the web application's side -------------------------------------

    def new_session(self, mode, document_count=2):
        documents = {f"doc-{n}": f"Document {n} of the sample service.\n".encode() for n in range(1, document_count + 1)}
        session = Session(mode, documents, self.sign_certificate_pem if mode == "SIGN" else None)
        with self.lock:
            self.sessions[session.id] = session
        request = {"sessionUrl": f"{self.base_url}/sessions/{session.id}", "sessionId": session.id, "mode": mode}
        compact = json.dumps(request, separators=(",", ":"))
        # Escape every byte outside the unreserved characters; Nerolin takes any %XX.
        return session, "yendo:" + urllib.parse.quote(compact, safe="")

    def report(self, session):
        return {"sessionId": session.id, "mode": session.mode, "state": session.state,
                "detail": session.detail, "signatures": session.verdicts}

    # --- the agent's side --------------------------------------------------

    def handle(self, session, kind, request):
        """Returns (status, answer) for one POST of the agent."""
        if kind == "config" and request.get("cancel") is True:
            session.state = "ERROR" if session.state != "FINISHED" else session.state
            session.detail = session.detail or "canceled by the user"
            return 200, self.result(session, "OK")
        if kind == "config":
            return self.configuration(session)
        if kind == "state":
            if session.state == "ERROR":
                # A 420 closes the mobile dialog with the message; the state
                # "ERROR" alone would only show "Error!" and keep it polling.
                return 420, self.result(session, "ERROR", session.detail)
            return 200, {"sessionId": session.id, "code": session.state}
        if session.state in ("FINISHED", "ERROR"):
            return 420, self.result(session, "ERROR", "The session has ended.")
        if kind == "certificate":
            return self.certificate(session, request.get("certificate", ""))
        if kind == "unsigned-hashes":
            if session.pending_polls > 0:
                session.pending_polls -= 1
                return 202, {"sessionId": session.id}
            session.state = "WAITING_FOR_SIGNED_HASHES"
            return 200, {"sessionId": session.id, "hashAlgorithm": SHA256_OID,
                         "unsignedHashes": self.unsigned_hashes(session),
                         "signedHashUrl": self.url(session, "signed-hashes")}
        if kind == "signed-hashes":
            return self.signed_hashes(session, request.get("signedHashes", []))
        return 420, self.result(session, "ERROR", "Unknown request.")

    def configuration(self, session):
        if session.state in ("FINISHED", "ERROR"):
            return 420, self.result(session, "ERROR", "The session has ended.")
        config = {"sessionId": session.id, "version": "1"}
        if session.mode == "TEST":
            session.state = "FINISHED"
            return 200, config
        config["SPName"] = "Sample Service"
        config["message"] = "Please sign the sample documents."
        if session.mode != "SELECT_CERTIFICATE":
            config["documents"] = [
                {"documentId": doc_id, "name": f"{doc_id}.txt", "downloadUrl": f"{self.base_url}/documents/{session.id}/{doc_id}"}
                for doc_id in session.documents]
        if session.mode == "SIGN":
            for entry, hash_entry in zip(config["documents"], self.unsigned_hashes(session)):
                entry["unsignedHash"] = hash_entry["unsignedHash"]
            config["hashAlgorithm"] = SHA256_OID
            config["certificate"] = session.certificate_pem
            config["signedHashUrl"] = self.url(session, "signed-hashes")
            session.state = "WAITING_FOR_SIGNED_HASHES"
        else:
            # Only certificates that may sign: key usage nonRepudiation.
            config["filters"] = [{"keyUsage": {"nonRepudiation": True}}]
            config["certificateUrl"] = self.url(session, "certificate")
            session.state = "WAITING_FOR_CERTIFICATE"
        config["stateUrl"] = self.url(session, "state")
        return 200, config

    def certificate(self, session, pem):
        try:
            # PEM with CR LF line ends; the library reads it as it is.
            x509.load_pem_x509_certificate(pem.encode())
            session.certificate_pem = pem
        except ValueError:
            session.state, session.detail = "ERROR", "unreadable certificate"
            return 420, self.result(session, "ERROR", "The certificate cannot be read.")
        if session.mode == "SELECT_CERTIFICATE":
            session.state = "FINISHED"
            return 200, self.result(session, "OK")
        session.state = "WAITING_FOR_UNSIGNED_HASHES"
        return 200, {"sessionId": session.id, "unsignedHashUrl": self.url(session, "unsigned-hashes")}

    def unsigned_hashes(self, session):
        return [{"documentId": doc_id, "unsignedHash": base64.b64encode(hashlib.sha256(text).digest()).decode()}
                for doc_id, text in session.documents.items()]

    def signed_hashes(self, session, signed):
        certificate = x509.load_pem_x509_certificate(session.certificate_pem.encode())
        received = {entry.get("documentId"): entry.get("signedHash", "") for entry in signed}
        for doc_id, text in session.documents.items():
            session.verdicts[doc_id] = verify(certificate, text, received.get(doc_id, ""))
        bad = [doc_id for doc_id, ok in session.verdicts.items() if not ok]
        if bad:
            session.state, session.detail = "ERROR", f"invalid signature for {bad[0]}"
            return 420, self.result(session, "ERROR", f'Invalid signature for document "{bad[0]}.txt"')
        session.state = "FINISHED"
        return 200, self.result(session, "OK")

    def result(self, session, code, message=None):
        answer = {"sessionId": session.id, "code": code}
        if message:
            answer["message"] = message
        return answer

    def url(self, session, kind):
        return f"{self.base_url}/sessions/{session.id}/{kind}"


def verify(certificate, document, signed_hash):
    """Checks one signature of Nerolin over the SHA-256 digest of the document."""
    try:
        # Base64 with CR LF after every 64 characters: strip the line breaks first.
        signature = base64.b64decode("".join(signed_hash.split()), validate=True)
        key = certificate.public_key()
        if isinstance(key, rsa.RSAPublicKey):
            key.verify(signature, document, padding.PKCS1v15(), hashes.SHA256())
        elif isinstance(key, ec.EllipticCurvePublicKey):
            # ECDSA travels as r || s, each as long as the curve's order.
            half = len(signature) // 2
            if half == 0 or len(signature) % 2:
                return False
            r, s = int.from_bytes(signature[:half], "big"), int.from_bytes(signature[half:], "big")
            key.verify(utils.encode_dss_signature(r, s), document, ec.ECDSA(hashes.SHA256()))
        else:
            return False
        return True
    except (ValueError, InvalidSignature):
        return False


def make_handler(service, whitelist_hosts):
    kinds = {"": "config", "/certificate": "certificate", "/unsigned-hashes": "unsigned-hashes",
             "/signed-hashes": "signed-hashes", "/state": "state"}

    class Handler(BaseHTTPRequestHandler):
        def send_json(self, status, answer):
            body = json.dumps(answer, separators=(",", ":")).encode()
            self.send_response(status)
            # Nerolin refuses every answer not declared as JSON, 202 and 420 included.
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            url = urllib.parse.urlsplit(self.path)
            query = urllib.parse.parse_qs(url.query)
            parts = url.path.strip("/").split("/")
            if whitelist_hosts is not None:
                if url.path == "/whitelist/whitelist.json":
                    return self.send_json(200, whitelist_hosts)
                return self.send_json(404, {"error": "not found"})
            if url.path == "/new":
                mode = query.get("mode", ["SELECT_CERTIFICATE_AND_SIGN"])[0]
                if mode not in MODES or (mode == "SIGN" and not service.sign_certificate_pem):
                    return self.send_json(400, {"error": "unknown mode or no --sign-certificate"})
                session, link = service.new_session(mode)
                return self.send_json(200, {"sessionId": session.id, "link": link})
            session = service.sessions.get(parts[1]) if len(parts) >= 2 else None
            if parts[0] == "report" and session:
                return self.send_json(200, service.report(session))
            if parts[0] == "documents" and session and len(parts) == 3 and parts[2] in session.documents:
                text = session.documents[parts[2]]
                self.send_response(200)
                self.send_header("Content-Type", "text/plain; charset=utf-8")
                self.send_header("Content-Length", str(len(text)))
                self.end_headers()
                return self.wfile.write(text)
            self.send_json(404, {"error": "not found"})

        def do_POST(self):
            length = int(self.headers.get("Content-Length") or 0)
            if length > MAX_BODY:
                return self.send_json(413, {"error": "too large"})
            body = self.rfile.read(length)
            parts = self.path.split("/", 3)  # "", "sessions", ID, rest
            if len(parts) < 3 or parts[1] != "sessions":
                return self.send_json(404, {"error": "not found"})
            kind = kinds.get("/" + parts[3] if len(parts) == 4 else "")
            session = service.sessions.get(parts[2])
            try:
                request = json.loads(body)
            except ValueError:
                request = None
            if kind is None or session is None or not isinstance(request, dict):
                return self.send_json(404, {"error": "unknown session or request"})
            if request.get("sessionId") != session.id:
                return self.send_json(420, {"sessionId": session.id, "code": "ERROR", "message": "Wrong session."})
            with service.lock:
                status, answer = service.handle(session, kind, request)
            service.on_exchange(kind, request, status, answer)
            self.send_json(status, answer)

        def log_message(self, format, *args):
            pass

    return Handler


def serve(port, handler, certificate, key):
    server = ThreadingHTTPServer(("127.0.0.1", port), handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--cert", required=True, help="the service's TLS certificate chain (PEM)")
    parser.add_argument("--key", required=True, help="its private key (PEM)")
    parser.add_argument("--sign-certificate", help="PEM certificate that SIGN sessions require")
    parser.add_argument("--whitelist-cert", help="serve a whitelist host with this chain (development builds)")
    parser.add_argument("--whitelist-key")
    options = parser.parse_args()

    pem = open(options.sign_certificate).read() if options.sign_certificate else None
    service = Service("", pem)
    server = serve(options.port, make_handler(service, None), options.cert, options.key)
    service.base_url = f"https://127.0.0.1:{server.server_address[1]}"
    print(f"SERVICE_URL={service.base_url}", flush=True)
    if options.whitelist_cert:
        whitelist = serve(0, make_handler(service, ["127.0.0.1"]), options.whitelist_cert, options.whitelist_key)
        print(f"WHITELIST_URL=https://127.0.0.1:{whitelist.server_address[1]}/whitelist/whitelist.json", flush=True)
    print("ready", flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
