"""Real parts for the tests of the installed packages: the installed reference
service on 127.0.0.1, a private Xvfb display, a user's Nerolin settings and NSS
database, and the environment in which the desktop starts a handler.

Every process started here is its own process group and is ended by its id."""

import json
import os
import pathlib
import re
import shutil
import signal
import socket
import ssl
import subprocess
import tempfile
import time
import urllib.request

SOURCE = pathlib.Path(__file__).resolve().parents[2]
INSTALLED_PKI = pathlib.Path("/usr/share/nerolin-devservice/pki")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(condition, seconds, what):
    """Polls condition until it returns a true value, which it returns."""
    end = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("gave up waiting for " + what)
        time.sleep(0.1)


def temporary_folder(test_case, prefix):
    """A folder of the test that goes when the test ends."""
    folder = pathlib.Path(tempfile.mkdtemp(prefix=prefix))
    test_case.addCleanup(shutil.rmtree, folder, True)
    return folder


def stop(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


class DevService:
    """nerolin-devservice on free ports (or the given service port), with its
    log in a file; admin calls over its HTTPS."""

    def __init__(self, folder, program="/usr/bin/nerolin-devservice", service_port=0):
        self.log_path = pathlib.Path(folder) / "devservice.log"
        with open(self.log_path, "w") as log:
            self.process = subprocess.Popen(
                [program, "--whitelist-port", "0", "--service-port", str(service_port), "--exit-with-stdin"],
                stdin=subprocess.PIPE, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        log = wait_for(lambda: self._ready(), 30, "the service's ready line")
        self.trust_file = re.search(r"^SSL_CERT_FILE=(.*)$", log, re.M).group(1)
        self.whitelist_url = re.search(r"^WHITELIST_URL=(.*)$", log, re.M).group(1)
        self.service_url = re.search(r"^SERVICE_URL=(.*)$", log, re.M).group(1)
        self.context = ssl.create_default_context(cafile=self.trust_file)

    def _ready(self):
        log = self.log()
        if "\nready\n" in log:
            return log
        if self.process.poll() is not None:
            raise AssertionError("the service ended at start:\n" + log)
        return None

    def log(self):
        return self.log_path.read_text()

    def admin(self, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.service_url + path, data=data)
        with urllib.request.urlopen(request, context=self.context, timeout=30) as answer:
            return json.load(answer)

    def new_session(self, **request):
        return self.admin("/admin/sessions", request)

    def report(self, session_id):
        return self.admin("/admin/sessions/" + session_id)

    def stop(self):
        self.process.stdin.close()
        stop(self.process)


class Xvfb:
    """A private X display; Xvfb names its number once it listens."""

    def __init__(self, folder):
        read_end, write_end = os.pipe()
        with open(pathlib.Path(folder) / "xvfb.log", "w") as log:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=log, start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        stop(self.process)


def user_environment(home, service, display):
    """What the desktop hands a handler: the user's own folders, the display,
    and what the development build needs to reach the reference service. No
    desktop is named, so xdg-open uses its own lookup; BROWSER=false stops it
    from handing an unknown link back to a browser."""
    home = pathlib.Path(home)
    environment = {
        "HOME": str(home),
        "USER": os.environ.get("USER", "nerolin"),
        "PATH": "/usr/local/bin:/usr/bin:/bin",
        "LANG": "C.UTF-8",
        "LANGUAGE": "en",
        "DISPLAY": display,
        "XDG_RUNTIME_DIR": str(home / ".run"),
        "BROWSER": "false",
        "SSL_CERT_FILE": service.trust_file,
        "NEROLIN_TEST_WHITELIST_URL": service.whitelist_url,
    }
    (home / ".run").mkdir(mode=0o700, exist_ok=True)
    return environment


def prepare_signing_home(home, settings, pki=INSTALLED_PKI):
    """The unattended demo's certificate: the development PKI's "rsa" in the NSS
    software token of ~/.pki/nssdb, which has no PIN; and the given settings."""
    home = pathlib.Path(home)
    token = pathlib.Path(tempfile.mkdtemp(dir=home, prefix="token-"))
    subprocess.run([str(SOURCE / "scripts/make-test-token"), str(token), "--no-softhsm", "--nss-certs", "rsa",
                    "--pki", str(pki)], check=True, stdout=subprocess.DEVNULL)
    (home / ".pki").mkdir(exist_ok=True)
    (token / "nssdb").rename(home / ".pki/nssdb")
    config = home / ".config/Tavorel"
    config.mkdir(parents=True, exist_ok=True)
    lines = ["[General]"] + ["%s=%s" % item for item in settings.items()]
    (config / "Nerolin.conf").write_text("\n".join(lines) + "\n")
