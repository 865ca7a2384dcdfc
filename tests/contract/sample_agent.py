"""The Python sample service of docs/examples with every message both ways
checked against docs/schemas/, and the real nerolin program run against it."""

import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

from contract import BINARY, PKI, SOURCE, get, schema_errors

sys.path.insert(0, str(SOURCE / "docs" / "examples" / "python-service"))
import service as sample  # noqa: E402

REQUEST_SCHEMAS = {"certificate": "certificate-message", "signed-hashes": "signed-hashes-message"}


class CheckedService(sample.Service):
    """The sample, recording every message that breaks its schema."""

    def __init__(self, *args):
        super().__init__(*args)
        self.breaches = []
        self.kinds = []
        self.states = []  # (status, code) of every answer to a state request
        self.modes = {}
        self.tamper = None  # (status, configuration) -> (status, configuration)
        self.state_tamper = None  # (status, state answer) -> (status, state answer)
        self.after_state = None  # called after a state request has its answer, before it is sent

    def configuration(self, session):
        status, config = super().configuration(session)
        return self.tamper(status, config) if self.tamper else (status, config)

    def handle(self, session, kind, request):
        status, answer = super().handle(session, kind, request)
        if kind == "state" and self.state_tamper:
            return self.state_tamper(status, answer)
        return status, answer

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
        if kind == "state":
            self.states.append((status, answer.get("code")))
            if self.after_state:
                self.after_state()


class SampleServiceCase(unittest.TestCase):
    """The sample on 127.0.0.1 with a whitelist host of its own, and the two
    signing certificates in an NSS software token, which asks no PIN."""

    @classmethod
    def setUpClass(cls):
        nerolin = BINARY / "bin" / "nerolin"
        if not nerolin.exists():
            raise unittest.SkipTest(f"{nerolin} is not built")
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="nerolin-sample-"))
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
        self.service.states.clear()
        self.service.tamper = None
        self.service.state_tamper = None
        self.service.after_state = None

    def new(self, mode):
        answer = get(f"{self.service.base_url}/new?mode={mode}", self.cafile)
        return answer["sessionId"], answer["link"]

    def report(self, session_id):
        return get(f"{self.service.base_url}/report/{session_id}", self.cafile)

    def run_agent(self, link, answers=(), start_signing=True, display=None, while_running=None):
        """Runs nerolin with the link to its end: offscreen, or on the X display
        given, where while_running(process) may drive its window meanwhile.
        Returns the exit status and the transcript of its prompts with its
        standard error; the event log export is left in self.event_log."""
        home = pathlib.Path(tempfile.mkdtemp(dir=self.work))
        (home / "config/Tavorel").mkdir(parents=True)
        (home / "config/Tavorel/Nerolin.conf").write_text(
            f"[General]\nStartSigningImmediately={int(start_signing)}\n"
            "AutomaticallyCloseApplicationWhenProcessFinished=1\n"
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
        if display:
            environment.update({"QT_QPA_PLATFORM": "xcb", "DISPLAY": display,
                                "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1"})
        process = subprocess.Popen([str(BINARY / "bin" / "nerolin"), link], env=environment, cwd=home,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        # Read standard error all along: a full pipe would stop the program.
        stderr = []
        reader = threading.Thread(target=lambda: stderr.append(process.stderr.read()), daemon=True)
        reader.start()
        try:
            if while_running:
                while_running(process)
            process.wait(timeout=90)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
        reader.join()
        process.stderr.close()
        transcript = (home / "transcript").read_text() if (home / "transcript").exists() else ""
        subprocess.run([str(BINARY / "bin" / "nerolin-tool"), "export-log", str(home / "eventlog.txt")],
                       env=environment, cwd=home, capture_output=True, timeout=60)
        self.event_log = (home / "eventlog.txt").read_text(errors="replace") if (home / "eventlog.txt").exists() else ""
        return process.returncode, transcript + "".join(stderr)
