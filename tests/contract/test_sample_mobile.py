"""Mobile signing with the real nerolin window against the Python sample: the
window hands the session over ("Sign with mobile") and polls the sample's
stateUrl, while this test plays the mobile application, which runs the session
with the sample by itself.

The window is driven as a screen reader drives it, over a private
accessibility bus: run under dbus-run-session."""

import base64
import json
import os
import subprocess
import time
import unittest
import urllib.parse

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, utils

from contract import PKI, post
from sample_agent import SampleServiceCase


class MobileApp:
    """The mobile application's side of a session: what it posts to the
    sample, one step each time the agent has asked for the state."""

    def __init__(self, link, cafile, sign_wrongly=False):
        launch = json.loads(urllib.parse.unquote(link[len("yendo:"):]))
        self.session_id, self.session_url, self.mode = launch["sessionId"], launch["sessionUrl"], launch["mode"]
        self.cafile = cafile
        self.sign_wrongly = sign_wrongly
        self.certificate = (PKI / "signing" / "ec.pem").read_text()
        self.key = serialization.load_pem_private_key((PKI / "signing" / "ec.key").read_bytes(), None)
        self.hashes, self.signed_hash_url = [], None
        self.steps = [self.take_up] + ([] if self.mode == "SIGN" else [self.fetch_hashes]) + [self.sign]

    def send(self, url, message):
        status, _, answer = post(url, json.dumps({"sessionId": self.session_id, **message}).encode(), self.cafile)
        return status, answer

    def next_step(self):
        if self.steps:
            self.steps.pop(0)()

    def take_up(self):
        _, config = self.send(self.session_url, {"cancel": False})
        if self.mode == "SIGN":
            self.hashes = [(d["documentId"], d["unsignedHash"]) for d in config["documents"]]
            self.signed_hash_url = config["signedHashUrl"]
        else:
            _, answer = self.send(config["certificateUrl"], {"certificate": self.certificate})
            self.unsigned_hash_url = answer["unsignedHashUrl"]

    def fetch_hashes(self):
        status = 202
        while status == 202:
            status, answer = self.send(self.unsigned_hash_url, {"cancel": False})
        self.hashes = [(h["documentId"], h["unsignedHash"]) for h in answer["unsignedHashes"]]
        self.signed_hash_url = answer["signedHashUrl"]

    def sign(self):
        signed = []
        for document_id, unsigned in self.hashes:
            digest = base64.b64decode(unsigned)
            if self.sign_wrongly:
                digest = bytes(reversed(digest))
            r, s = utils.decode_dss_signature(self.key.sign(digest, ec.ECDSA(utils.Prehashed(hashes.SHA256()))))
            signature = r.to_bytes(32, "big") + s.to_bytes(32, "big")
            signed.append({"documentId": document_id, "signedHash": base64.b64encode(signature).decode()})
        self.send(self.signed_hash_url, {"signedHashes": signed})


def start_xvfb(folder):
    read_end, write_end = os.pipe()
    with open(folder / "xvfb.log", "w") as log:
        process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=log)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        process.kill()
        raise AssertionError("Xvfb did not start")
    return process, ":" + number


def wait_for(condition, what, process, seconds=60):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if process.poll() is not None:
            raise AssertionError(f"nerolin ended with status {process.returncode} before {what}")
        found = condition()
        if found:
            return found
        time.sleep(0.1)
    raise AssertionError(f"gave up waiting for {what}")


class MobileSigningWithTheAgent(SampleServiceCase):
    @classmethod
    def setUpClass(cls):
        if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
            raise unittest.SkipTest("needs a session bus of its own: run under dbus-run-session")
        super().setUpClass()
        cls.xvfb, cls.display = start_xvfb(cls.work)
        cls.addClassCleanup(lambda: (cls.xvfb.terminate(), cls.xvfb.wait()))

    def press(self, process, window, button):
        """Presses the button of the program's window once it is enabled."""
        import pyatspi

        def node(parent, role, name):
            for child in parent:
                if child is None:
                    continue
                if child.getRoleName() == role and (child.name or "").replace("&", "") == name:
                    return child
                hit = node(child, role, name)
                if hit is not None:
                    return hit
            return None

        def enabled_button():
            app = next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == process.pid),
                       None)
            frame = app and next((w for w in app if w is not None and w.name == window), None)
            found = frame and node(frame, "push button", button)
            return found if found and found.getState().contains(pyatspi.STATE_ENABLED) else None

        found = wait_for(enabled_button, f"{button} in {window}", process)
        actions = found.queryAction()
        actions.doAction(next(i for i in range(actions.nActions) if actions.getName(i) == "Press"))

    def press_sign_with_mobile(self, process):
        # Enabled once the configuration with its stateUrl has arrived.
        self.press(process, "Nerolin", "Sign with mobile")

    def test_the_window_follows_the_mobile_application_to_the_end(self):
        finished = ["WAITING_FOR_CERTIFICATE", "WAITING_FOR_UNSIGNED_HASHES", "WAITING_FOR_SIGNED_HASHES", "FINISHED"]
        cases = [
            # The mobile application signs: FINISHED stays two seconds, then the
            # dialog closes and the window, whose session is over, with it.
            ("SELECT_CERTIFICATE_AND_SIGN", False, [(200, state) for state in finished], 0, None),
            # It takes the configuration up, then its signatures are refused:
            # the sample answers the next state request with 420, which shows
            # the message and closes the dialog.
            ("SIGN", True, [(200, "WAITING_FOR_SIGNED_HASHES")] * 2 + [(420, "ERROR")], 2,
             "message error Error occured during the opertation! | Message: invalid signature for doc-1"),
        ]
        for mode, sign_wrongly, states, expected_status, box in cases:
            with self.subTest(mode=mode):
                self.service.breaches.clear()
                self.service.states.clear()
                session_id, link = self.new(mode)
                mobile = MobileApp(link, self.cafile, sign_wrongly)
                self.service.after_state = mobile.next_step
                status, output = self.run_agent(link, start_signing=False, display=self.display,
                                                 while_running=self.press_sign_with_mobile)
                self.assertEqual(status, expected_status, output)
                # One request per state, none after the last: the agent stopped polling.
                self.assertEqual(self.service.states, states)
                self.assertEqual(self.service.breaches, [])
                report = self.report(session_id)
                if box:
                    self.assertIn(box, output)
                    self.assertEqual(report["state"], "ERROR", report)
                    self.assertIn('HTTP status 420: code "ERROR", message "invalid signature for doc-1"',
                                  self.event_log)
                else:
                    self.assertNotIn("message ", output)
                    self.assertEqual((report["state"], set(report["signatures"].values())), ("FINISHED", {True}))


    def test_a_bare_error_state_keeps_the_dialog_polling_until_the_user_cancels(self):
        # Answered with 200 and "ERROR" (not the sample's 420), the dialog only
        # shows "Error!" and asks again; the user's Cancel ends it, and the
        # window takes the session for over.
        self.service.state_tamper = lambda status, answer: (200, {**answer, "code": "ERROR"})

        def cancel_after_two_answers(process):
            self.press_sign_with_mobile(process)
            wait_for(lambda: len(self.service.states) >= 2, "a second state request", process)
            self.press(process, "Sign with mobile", "Cancel")

        _, link = self.new("SELECT_CERTIFICATE_AND_SIGN")
        status, output = self.run_agent(link, start_signing=False, display=self.display,
                                        while_running=cancel_after_two_answers)
        self.assertEqual(status, 2, output)
        self.assertGreaterEqual(len(self.service.states), 2)
        self.assertEqual(set(self.service.states), {(200, "ERROR")})
        self.assertNotIn("message ", output)


if __name__ == "__main__":
    unittest.main()
