#!/usr/bin/python3
"""Opens a web application's page in Debian's Chromium (through chromedriver),
clicks its "Sign with Nerolin" link and follows the page until the session
ends; then saves a screenshot and prints what the page says.

    chromium_page.py URL --screenshot FILE [--timeout SECONDS]

Chromium hands the yendo: link to the desktop (xdg-open) with its own
environment, which is this program's: DISPLAY, HOME, SSL_CERT_FILE and what
else the agent needs must be set by the caller, and a managed policy must let
the page's origin open yendo: links without asking. Chromium runs without its
sandbox (it refuses to start as root with it, and containers lack the user
namespaces it needs). Start this in a process group of its own and end the
group afterwards: an agent waiting on a message box outlives the browser.

Exit status 0 when the page reached FINISHED, 1 when it ended otherwise or
did not end in time."""

import argparse
import shutil
import sys
import tempfile

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

CHROMIUM = "/usr/lib/chromium/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("url")
    parser.add_argument("--screenshot", required=True)
    parser.add_argument("--timeout", type=float, default=120)
    arguments = parser.parse_args()

    profile = tempfile.mkdtemp(prefix="chromium-profile-")
    try:
        return sign_on_page(arguments, profile)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def sign_on_page(arguments, profile):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    # /usr/bin/chromium's wrapper fails its /dev/shm check on small machines:
    # the real binary, told not to rely on /dev/shm.
    for flag in ("--no-sandbox", "--disable-dev-shm-usage", "--no-first-run", "--no-default-browser-check",
                 "--window-size=1100,760", "--user-data-dir=" + profile):
        options.add_argument(flag)
    browser = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    try:
        browser.get(arguments.url)
        sign = browser.find_element(By.ID, "sign")
        print("link: " + sign.get_attribute("href")[:72] + "...", flush=True)
        sign.click()
        status = browser.find_element(By.ID, "status")
        ended = True
        try:
            WebDriverWait(browser, arguments.timeout, poll_frequency=0.2).until(
                lambda _: status.get_attribute("data-state") in ("FINISHED", "ERROR"))
        except TimeoutException:
            ended = False
        browser.save_screenshot(arguments.screenshot)
        state = status.get_attribute("data-state")
        print("state: " + state)
        print("status: " + status.text)
        for row in browser.find_elements(By.CSS_SELECTOR, "#documents tr"):
            cells = row.find_elements(By.TAG_NAME, "td")
            print("document: %s: %s" % (cells[0].text, cells[1].text))
        if not ended:
            print("the page did not reach the session's end in %g s" % arguments.timeout, file=sys.stderr)
        return 0 if state == "FINISHED" else 1
    finally:
        browser.quit()


if __name__ == "__main__":
    sys.exit(main())
