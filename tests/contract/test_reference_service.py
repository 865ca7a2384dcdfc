"""The reference service's answers, in every mode, against docs/schemas/."""

import json
import pathlib
import subprocess
import tempfile
import time
import unittest
import urllib.parse

from contract import BINARY, PKI, get, post, schema_errors

RSA_PEM = (PKI / "signing" / "rsa.pem").read_text().replace("\n", "\r\n")


class ReferenceService:
    def __init__(self):
        self.log = tempfile.NamedTemporaryFile(prefix="nerolin-contract-", suffix=".log")
        self.process = subprocess.Popen(
            [str(BINARY / "bin" / "nerolin-devservice"), "--whitelist-port", "0", "--service-port", "0", "--exit-with-stdin"],
            stdin=subprocess.PIPE, stdout=self.log, stderr=subprocess.STDOUT)
        values = {}
        for _ in range(300):
            text = pathlib.Path(self.log.name).read_text()
            if "\nready\n" in text:
                values = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
                break
            time.sleep(0.1)
        self.cafile = values.get("SSL_CERT_FILE")
        self.admin = values.get("SERVICE_URL", "").rstrip("/")

    def stop(self):
        self.process.stdin.close()
        self.process.wait(timeout=30)
        self.log.close()

    def create(self, request):
        status, _, answer = post(self.admin + "/admin/sessions", json.dumps(request).encode(), self.cafile)
        assert status in (200, 201), answer
        launch = json.loads(urllib.parse.unquote(answer["link"][len("yendo:"):]))
        return launch


def compact(message):
    return json.dumps(message, separators=(",", ":")).encode()


class ReferenceServiceAnswers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.service = ReferenceService()
        if not cls.service.cafile:
            cls.service.stop()
            raise unittest.SkipTest("the reference service did not start")

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()

    def exchange(self, url, message, schema_name, session_id, expected_status=200):
        """Posts one of the agent's messages (itself checked) and checks the answer."""
        request_schema = "certificate-message" if "certificate" in message else (
            "signed-hashes-message" if "signedHashes" in message else "poll-message")
        self.assertEqual(schema_errors(request_schema, message), [])
        status, content_type, answer = post(url, compact(message), self.service.cafile)
        self.assertEqual(status, expected_status, answer)
        self.assertTrue(content_type.startswith("application/json"), content_type)
        if schema_name:
            self.assertEqual(schema_errors(schema_name, answer), [], f"{url}: {answer}")
            self.assertEqual(answer["sessionId"], session_id)
        return answer

    def poll(self, session_id):
        return {"sessionId": session_id, "cancel": False}

    def test_each_mode_answers_as_its_schemas_say(self):
        cases = [
            ("TEST", "config-test"),
            ("SELECT_CERTIFICATE", "config-select-certificate"),
            ("SELECT_CERTIFICATE_AND_SIGN", "config-select-certificate-and-sign"),
            ("SIGN", "config-sign"),
        ]
        for mode, config_schema in cases:
            with self.subTest(mode=mode):
                launch = self.service.create({"mode": mode, "pendingPolls": 1, "stateUrl": True,
                                              "filters": [{"keyUsage": {"nonRepudiation": True}}]})
                self.assertEqual(schema_errors("launch-request", launch), [])
                sid = launch["sessionId"]
                config = self.exchange(launch["sessionUrl"], self.poll(sid), config_schema, sid)
                if mode == "TEST":
                    continue
                state = self.exchange(config["stateUrl"], self.poll(sid), "state", sid)
                self.assertNotEqual(state["code"], "WAITING_FOR_CONFIG_GOT")
                if mode == "SELECT_CERTIFICATE":
                    result = self.exchange(config["certificateUrl"], {"sessionId": sid, "certificate": RSA_PEM}, "result", sid)
                    self.assertEqual(result["code"], "OK")
                    continue
                if mode == "SELECT_CERTIFICATE_AND_SIGN":
                    url = self.exchange(config["certificateUrl"], {"sessionId": sid, "certificate": RSA_PEM},
                                        "unsigned-hash-url", sid)["unsignedHashUrl"]
                    # Not ready yet: 202, still declared as JSON.
                    self.exchange(url, self.poll(sid), None, sid, expected_status=202)
                    hashes = self.exchange(url, self.poll(sid), "unsigned-hashes", sid)
                    signed_url = hashes["signedHashUrl"]
                    ids = [entry["documentId"] for entry in hashes["unsignedHashes"]]
                else:
                    signed_url = config["signedHashUrl"]
                    ids = [entry["documentId"] for entry in config["documents"]]
                # Signatures that do not verify: a 420 result message names the document.
                wrong = {"sessionId": sid, "signedHashes": [{"documentId": i, "signedHash": "AAAA"} for i in ids]}
                result = self.exchange(signed_url, wrong, "result", sid, expected_status=420)
                self.assertEqual(result["code"], "ERROR")
                state = self.exchange(config["stateUrl"], self.poll(sid), "state", sid)
                self.assertEqual(state["code"], "ERROR")

    def test_cancel_and_an_ended_session_answer_result_messages(self):
        launch = self.service.create({"mode": "SELECT_CERTIFICATE_AND_SIGN"})
        sid = launch["sessionId"]
        self.exchange(launch["sessionUrl"], self.poll(sid), "config-select-certificate-and-sign", sid)
        self.exchange(launch["sessionUrl"], {"sessionId": sid, "cancel": True}, "result", sid)
        self.exchange(launch["sessionUrl"], self.poll(sid), "result", sid, expected_status=420)

    def test_the_whitelist_is_an_array_of_host_names(self):
        text = pathlib.Path(self.service.log.name).read_text()
        whitelist_url = next(line.split("=", 1)[1] for line in text.splitlines() if line.startswith("WHITELIST_URL="))
        # The whitelist host presents a chain to a built-in root, not the service CA.
        answer = get(whitelist_url + "?server=127.0.0.1", str(PKI / "trusted-roots.pem"))
        self.assertEqual(schema_errors("whitelist", answer), [])
        self.assertIn("127.0.0.1", answer)


if __name__ == "__main__":
    unittest.main()
