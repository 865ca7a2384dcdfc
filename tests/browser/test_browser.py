"""A real browser starts a signing session: Debian's Chromium on a private
Xvfb display opens the reference service's page of a SIGN session, a click on
"Sign with Nerolin" hands the yendo: link to the desktop, the installed
Nerolin signs by itself with the unattended demo's settings and software-token
certificate, and the page shows every signature verified.

Run as a fresh user after the packages are installed, with a managed Chromium
policy that lets https://127.0.0.1:NEROLIN_TEST_SERVICE_PORT open yendo: links
(scripts/test-package does all three)."""

import os
import pathlib
import shutil
import signal
import subprocess
import sys
import unittest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "package"))
import fixtures  # noqa: E402


@unittest.skipUnless(os.environ.get("NEROLIN_TEST_SERVICE_PORT"),
                     "needs the Chromium policy for a service port (scripts/test-package)")
class BrowserTest(unittest.TestCase):
    def setUp(self):
        self.home = pathlib.Path.home()
        self.folder = fixtures.temporary_folder(self, "nerolin-browser-")
        self.service = fixtures.DevService(self.folder, service_port=int(os.environ["NEROLIN_TEST_SERVICE_PORT"]))
        self.addCleanup(self.service.stop)
        self.xvfb = fixtures.Xvfb(self.folder)
        self.addCleanup(self.xvfb.stop)

    def test_a_click_on_the_page_signs_every_document_with_the_installed_agent(self):
        # The demo's settings, except that the update check at the end is not
        # skipped: a package leaves the updater out, so the feed stays unasked.
        fixtures.prepare_signing_home(self.home, {
            "StartSigningImmediately": 1,
            "AutomaticallyCloseApplicationWhenProcessFinished": 1,
            "AppcastURL": self.service.service_url + "/appcast.xml",
        })
        # The browser trusts the service's CA the way a user would: in the
        # NSS database of their home, which Chromium and Nerolin share.
        subprocess.run(["certutil", "-A", "-d", "sql:%s/.pki/nssdb" % self.home, "-n", "Nerolin Test Service CA",
                        "-t", "C,,", "-i", self.service.trust_file], check=True)
        session = self.service.new_session(mode="SIGN", certificate="rsa")
        page = "%s/webapp/sessions/%s" % (self.service.service_url, session["sessionId"])
        screenshot = self.folder / "page.png"

        environment = fixtures.user_environment(self.home, self.service, self.xvfb.display)
        browser = subprocess.Popen(
            ["/usr/bin/python3", str(HERE / "chromium_page.py"), page, "--screenshot", str(screenshot)],
            env=environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, start_new_session=True)
        try:
            out, err = browser.communicate(timeout=240)
        finally:
            fixtures.stop(browser)
        self.keep(screenshot)
        self.assertEqual(browser.returncode, 0, out + err + self.service.log())
        self.assertIn("state: FINISHED\n", out)
        self.assertIn("status: Finished: every signature verified.\n", out)
        self.assertIn("document: contract.pdf: signature verified\n", out)
        self.assertIn("document: annex.pdf: signature verified\n", out)

        report = self.service.report(session["sessionId"])
        self.assertEqual(report["state"], "FINISHED")
        self.assertTrue(all(document["signatureValid"] for document in report["documents"]), report)
        self.assertEqual([(r["exchange"], r["origin"]) for r in report["requests"]],
                         [("config", "agent"), ("signedHashes", "agent")])
        self.assertEqual(report["violations"], [])
        # The window closed by itself after the session, with no update offer
        # holding it open, and the feed was never fetched.
        fixtures.wait_for(lambda: subprocess.run(["pgrep", "-u", str(os.getuid()), "-x", "nerolin"],
                                                 stdout=subprocess.DEVNULL).returncode == 1,
                          60, "Nerolin to close its window")
        self.assertNotIn("/appcast.xml", self.service.log())

    def keep(self, screenshot):
        output = os.environ.get("NEROLIN_TEST_OUTPUT")
        if output and screenshot.exists():
            shutil.copy(screenshot, output)
            print("\nScreenshot: " + str(pathlib.Path(output) / screenshot.name), file=sys.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
