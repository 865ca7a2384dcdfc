"""The real nerolin program against the Python sample service of docs/examples,
with every message both ways checked against docs/schemas/."""

import unittest

from contract import PKI
from sample_agent import SampleServiceCase


class SampleServiceWithTheAgent(SampleServiceCase):
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

        def unpadded_hashes(status, config):
            documents = [{**d, "unsignedHash": d["unsignedHash"].rstrip("=")} for d in config["documents"]]
            return status, {**config, "documents": documents}

        # The last column: the schemas refuse the answer, as the agent does.
        cases = [
            ("SIGN", unpadded_hashes, [], 2, "message error Failed to sign hash(es)!",
             "unsigned hash length expected 32, but was 0 (the text is not standard padded Base64)", True),
            ("SIGN", with_value("certificate", der_base64), [], 2, "message error Certificate not found!",
             "Certificate not found: the configuration's \"certificate\" is not PEM text", True),
            ("SIGN", with_value("hashAlgorithm", "SHA256"), [], 2, "message error Failed to sign hash(es)!",
             "Unsupported hash algorithm \"SHA256\"", True),
            # A configuration that fails leaves the window open in the other
            # modes; a TEST link reports it by the result message alone and ends.
            ("TEST", with_value("version", 1), [], 1, "message error Unknown error!",
             "Answer refused: member \"version\" is not a string", True),
            ("SELECT_CERTIFICATE_AND_SIGN", with_value("filters", [{"qcType": "WEB"}]), ["certificate 0"], 3, None,
             "No certificate to choose from: none of the user's certificates passes the session's filter", False),
            ("TEST",
             lambda status, config: (420, {"sessionId": config["sessionId"], "code": "ERROR", "message": "Closed"}),
             [], 1, "Message: Closed",
             "Service refused the request with HTTP status 420: code \"ERROR\", message \"Closed\"", False),
        ]
        for mode, tamper, answers, expected_status, box, entry, schema_refuses in cases:
            with self.subTest(entry=entry):
                self.service.breaches.clear()
                self.service.tamper = tamper
                _, link = self.new(mode)
                status, output = self.run_agent(link, answers)
                self.assertEqual(status, expected_status, output)
                if box:
                    self.assertIn(box, output)
                self.assertIn(entry, self.event_log)
                self.assertEqual(any(b.startswith("config ") for b in self.service.breaches), schema_refuses,
                                 self.service.breaches)


if __name__ == "__main__":
    unittest.main()
