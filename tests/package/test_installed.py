"""The installed nerolin package as a fresh user meets it: a new home, no
-Register, and the desktop's own tools. Run as that user after
apt-get install ./nerolin_*.deb (scripts/test-package)."""

import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import fixtures  # noqa: E402

SYSTEM_ENTRY = pathlib.Path("/usr/share/applications/nerolin.desktop")


class InstalledPackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.home = pathlib.Path.home()
        cls.folder = pathlib.Path(tempfile.mkdtemp(prefix="nerolin-installed-"))
        cls.addClassCleanup(shutil.rmtree, cls.folder, True)
        cls.service = fixtures.DevService(cls.folder)
        cls.xvfb = fixtures.Xvfb(cls.folder)
        cls.environment = fixtures.user_environment(cls.home, cls.service, cls.xvfb.display)

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.stop()
        cls.service.stop()

    def run_as_user(self, *command, timeout=120):
        return subprocess.run(list(command), env=self.environment, capture_output=True, text=True, timeout=timeout)

    def default_handler(self):
        return self.run_as_user("xdg-mime", "query", "default", "x-scheme-handler/yendo").stdout.strip()

    def test_a_fresh_user_has_the_package_as_handler_and_xdg_open_runs_it(self):
        user_entry = self.home / ".local/share/applications/nerolin.desktop"
        self.assertFalse(user_entry.exists(), "the user never ran -Register")
        self.assertEqual(self.default_handler(), "nerolin.desktop")
        self.assertIn("\nExec=/usr/bin/nerolin %u\n", SYSTEM_ENTRY.read_text())

        session = self.service.new_session(mode="TEST")
        opened = self.run_as_user("xdg-open", session["link"])
        # xdg-open waits for the handler and fails when it fails: a TEST
        # link that passed ends with status 0 and shows nothing.
        self.assertEqual(opened.returncode, 0, opened.stdout + opened.stderr)

        report = self.service.report(session["sessionId"])
        self.assertEqual(report["state"], "FINISHED", report)
        self.assertEqual([(r["exchange"], r["origin"], r["status"]) for r in report["requests"]],
                         [("config", "agent", 200)])
        self.assertEqual(report["violations"], [])
        # The program's own start-up check accepted the system-wide entry:
        # its event log has entries of this run but no registration complaint.
        exported = self.folder / "events.log"
        saved = self.run_as_user("/usr/bin/nerolin-tool", "export-log", str(exported))
        self.assertEqual(saved.returncode, 0, saved.stderr)
        events = exported.read_text(encoding="utf-8")
        self.assertIn("development build", events)
        for complaint in ("can't read yendo key", "bad value for yendo"):
            self.assertNotIn(complaint, events)

    def test_register_still_writes_the_users_own_entry(self):
        registered = self.run_as_user("/usr/bin/nerolin", "-Register")
        self.assertEqual(registered.returncode, 0, registered.stderr)
        user_entry = self.home / ".local/share/applications/nerolin.desktop"
        self.assertIn("\nExec=/usr/bin/nerolin %u\n", user_entry.read_text())
        self.assertIn("x-scheme-handler/yendo=nerolin.desktop;",
                      (self.home / ".config/mimeapps.list").read_text())
        self.assertEqual(self.default_handler(), "nerolin.desktop")

        unregistered = self.run_as_user("/usr/bin/nerolin", "-Unregister")
        self.assertEqual(unregistered.returncode, 0, unregistered.stderr)
        self.assertFalse(user_entry.exists())
        # The package's entry answers again.
        self.assertEqual(self.default_handler(), "nerolin.desktop")

    def test_programs_and_manual_pages_of_the_packages(self):
        version = self.run_as_user("/usr/bin/nerolin", "--version")
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout, r"^nerolin \d+\.\d+\.\d+\n")
        self.assertIn("self-updater: left out\n", version.stdout)
        for program in ("nerolin-tool", "nerolin-devservice"):
            answer = self.run_as_user("/usr/bin/" + program, "--version")
            self.assertEqual(answer.stdout.split()[0:1], [program], answer.stdout + answer.stderr)
        for page in ("nerolin", "nerolin-tool", "nerolin-devservice"):
            found = self.run_as_user("man", "-w", page)
            self.assertEqual(found.stdout.strip(), "/usr/share/man/man1/%s.1.gz" % page, found.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
