"""The real nerolin program against the Python sample service of docs/examples,
with every message both ways checked against docs/schemas/."""

import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest
import urllib.parse

from contract import BINARY, PKI, SOURCE, get, post, schema_errors

sys.path.insert(0, str(SOURCE / "docs" / "examples" / "python-service"))
import service as sample  # noqa: E402

REQUEST_SCHEMAS = {"certificate": "certificate-message", "signed-hashes": "signed-hashes-message"}


class CheckedService(sample.Service):
    """The sample, recording every message that breaks its schema."""

    def __init__(self, *args):
        super().__init__(*args)
        self.breaches = []
        self.kinds = []
        self.modes = {}
        self.tamper = None  # (status, configuration) -> (status, configuration)

    def configuration(self, session):
        status, config = super().configuration(session)
        return self.tamper(status, config) if self.tamper else (status, config)

    def new_session(self, mode, document_count=2):
        session, link = super().new_session(mode, document_count)
        self.modes[session.id] = mode
        return session, link

    def on_exchange(self, kind, request, status, answer):
        self.kinds.append(kind)
        mode = self.modes.get(request.get("sessionId"), "")
        answer_schema = {
            "config": "config-" + mode.lower().replace("_", "-"),
            "certificate": "result" if mode == "SELECT_CERTIFICATE" else "unsigned-hash-url",
            "unsigned-hashes": "unsigned-hashes",
            "signed-hashes": "result",
            "state": "state",
        }[kind]
        if request.get("cancel") is True or status == 420:
            answer_schema = "result"
        checks = [(REQUEST_SCHEMAS.get(kind, "poll-message"), request)]
        if status != 202:
            checks.append((answer_schema, answer))
        for name, message in checks:
            self.breaches += [f"{kind} {name}: {error}" for error in schema_errors(name, message)]


class SampleServiceWithTheAgent(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        nerolin = BINARY / "bin" / "nerolin"
        if not nerolin.exists():
            raise unittest.SkipTest(f"{nerolin} is not built")
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="nerolin-sample-"))
        # Both signing certificates in the NSS software token, which asks no PIN.
        subprocess.run([str(SOURCE / "scripts" / "make-test-token"), str(cls.work / "token"), "--no-softhsm",
                        "--nss-certs", "rsa ec"], check=True, stdout=subprocess.DEVNULL)
        service_pki = PKI / "service"
        cls.service = CheckedService("", (PKI / "signing" / "ec.pem").read_text())
        server = sample.serve(0, sample.make_handler(cls.service, None), service_pki / "service-localhost.chain.pem",
                              service_pki / "service-localhost.key")
        cls.service.base_url = f"https://127.0.0.1:{server.server_address[1]}"
        # A whitelist host of one's own presents a chain to a built-in root.
        whitelist_pki = PKI / "whitelist"
        whitelist = sample.serve(0, sample.make_handler(cls.service, ["127.0.0.1"]),
                                 whitelist_pki / "host-2848-root2.chain.pem", whitelist_pki / "host-2848-root2.key")
        cls.whitelist_url = f"https://127.0.0.1:{whitelist.server_address[1]}/whitelist/whitelist.json"
        cls.servers = [server, whitelist]
        cls.cafile = str(service_pki / "service-ca.pem")

    @classmethod
    def tearDownClass(cls):
        for server in cls.servers:
            server.shutdown()
            server.server_close()
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        self.service.breaches.clear()
        self.service.kinds.clear()
        self.service.tamper = None

    def new(self, mode):
        answer = get(f"{self.service.base_url}/new?mode={mode}", self.cafile)
        return answer["sessionId"], answer["link"]

    def report(self, session_id):
        return get(f"{self.service.base_url}/report/{session_id}", self.cafile)

    def run_agent(self, link, answers=()):
        home = pathlib.Path(tempfile.mkdtemp(dir=self.work))
        (home / "config/Tavorel").mkdir(parents=True)
        (home / "config/Tavorel/Nerolin.conf").write_text(
            "[General]\nStartSigningImmediately=1\nAutomaticallyCloseApplicationWhenProcessFinished=1\n"
            f"SkipUpdateCheckOnEnd=1\nCertificateDatabase={self.work / 'token' / 'nssdb'}\n")
        (home / "answers").write_text("".join(f"{answer}\n" for answer in answers))
        environment = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
        environment.update({
            "QT_QPA_PLATFORM": "offscreen", "LANGUAGE": "en", "HOME": str(home),
            "XDG_CONFIG_HOME": str(home / "config"), "XDG_DATA_HOME": str(home / "data"),
            "XDG_STATE_HOME": str(home / "state"), "XDG_RUNTIME_DIR": str(home),
            "XDG_DATA_DIRS": str(home / "usr/share"), "XDG_CONFIG_DIRS": str(home / "etc/xdg"),
            "SSL_CERT_FILE": self.cafile, "NEROLIN_TEST_WHITELIST_URL": self.whitelist_url,
            "NEROLIN_TEST_PROMPTS": str(home / "answers"), "NEROLIN_TEST_TRANSCRIPT": str(home / "transcript"),
        })
        run = subprocess.run([str(BINARY / "bin" / "nerolin"), link], env=environment, cwd=home,
                             capture_output=True, text=True, timeout=90)
        transcript = (home / "transcript").read_text() if (home / "transcript").exists() else ""
        subprocess.run([str(BINARY / "bin" / "nerolin-tool"), "export-log", str(home / "eventlog.txt")],
                       env=environment, cwd=home, capture_output=True, timeout=60)
        self.event_log = (home / "eventlog.txt").read_text(errors="replace") if (home / "eventlog.txt").exists() else ""
        return run.returncode, transcript + run.stderr

    def test_sign_and_select_certificate_and_sign_end_with_verified_signatures(self):
        for mode, answers in (("SIGN", []), ("SELECT_CERTIFICATE_AND_SIGN", ["certificate 0"])):
            with self.subTest(mode=mode):
                self.service.breaches.clear()
                session_id, link = self.new(mode)
                status, output = self.run_agent(link, answers)
                self.assertEqual(status, 0, output)
                report = self.report(session_id)
                self.assertEqual(report["state"], "FINISHED", report)
                self.assertEqual(set(report["signatures"].values()), {True}, report)
                self.assertEqual(self.service.breaches, [])
                self.assertIn("signed-hashes", self.service.kinds)

    def test_test_mode_passes_quietly(self):
        session_id, link = self.new("TEST")
        status, output = self.run_agent(link)
        self.assertEqual((status, output), (0, ""))
        self.assertEqual(self.report(session_id)["state"], "FINISHED")
        self.assertEqual(self.service.breaches, [])

    def test_each_service_fault_of_the_catalogue_shows_its_box_and_names_its_cause_in_the_event_log(self):
        der_base64 = "".join((PKI / "signing" / "ec.pem").read_text().splitlines()[1:-1])

        def without(member):
            return lambda status, config: (status, {k: v for k, v in config.items() if k != member})

        def with_value(member, value):
            return lambda status, config: (status, {**config, member: value})

        cases = [
            ("SIGN", with_value("certificate", der_base64), [], 2, "message error Certificate not found!",
             "Certificate not found: the configuration's \"certificate\" is not PEM text"),
            ("SIGN", with_value("hashAlgorithm", "SHA256"), [], 2, "message error Failed to sign hash(es)!",
             "Unsupported hash algorithm \"SHA256\""),
            # A configuration that fails leaves the window open in the other
            # modes; a TEST link reports it by the result message alone and ends.
            ("TEST", with_value("version", 1), [], 1, "message error Unknown error!",
             "Answer refused: member \"version\" is not a string"),
            ("SELECT_CERTIFICATE_AND_SIGN", with_value("filters", [{"qcType": "WEB"}]), ["certificate 0"], 3, None,
             "No certificate to choose from: none of the user's certificates passes the session's filter"),
            ("TEST",
             lambda status, config: (420, {"sessionId": config["sessionId"], "code": "ERROR", "message": "Closed"}),
             [], 1, "Message: Closed",
             "Service refused the request with HTTP status 420: code \"ERROR\", message \"Closed\""),
        ]
        for mode, tamper, answers, expected_status, box, entry in cases:
            with self.subTest(entry=entry):
                self.service.tamper = tamper
                _, link = self.new(mode)
                status, output = self.run_agent(link, answers)
                self.assertEqual(status, expected_status, output)
                if box:
                    self.assertIn(box, output)
                self.assertIn(entry, self.event_log)

    def test_state_answers_follow_the_session_and_an_ended_error_closes_the_dialog(self):
        session_id, link = self.new("SELECT_CERTIFICATE_AND_SIGN")
        launch = json.loads(urllib.parse.unquote(link[len("yendo:"):]))
        poll = json.dumps({"sessionId": session_id, "cancel": False}, separators=(",", ":")).encode()
        state_url = launch["sessionUrl"] + "/state"
        states = []
        for url in (state_url, launch["sessionUrl"], state_url):
            status, _, answer = post(url, poll, self.cafile)
            self.assertEqual(status, 200)
            if url == state_url:
                self.assertEqual(schema_errors("state", answer), [])
                states.append(answer["code"])
        self.assertEqual(states, ["WAITING_FOR_CONFIG_GOT", "WAITING_FOR_CERTIFICATE"])
        cancel = json.dumps({"sessionId": session_id, "cancel": True}, separators=(",", ":")).encode()
        post(launch["sessionUrl"], cancel, self.cafile)
        status, _, answer = post(state_url, poll, self.cafile)
        self.assertEqual((status, schema_errors("result", answer)), (420, []))


if __name__ == "__main__":
    unittest.main()
