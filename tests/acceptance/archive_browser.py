#!/usr/bin/python3
"""Clicks a listing's "Download all as .zip" link in headless Chromium,
driven by Selenium as a visitor would, and waits for the browser to save the
archive. Prints PASS/FAIL lines for run-acceptance.sh; the shell then checks
the saved archive.

    archive_browser.py <folder-url> <artifacts-dir> <download-dir> <file-name>
"""
import os
import sys
import time

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By

from headless_chromium import print_results, start_chromium


def main():
    url, artifacts, downloads, name = sys.argv[1:5]
    driver = start_chromium(downloads=downloads)
    results = []
    try:
        driver.get(url)
        links = driver.find_elements(By.LINK_TEXT, "Download all as .zip")
        driver.save_screenshot(os.path.join(artifacts, "archive-link.png"))
        if not links:
            return [f"FAIL the listing shows the archive link\tnone on {url}"]
        links[0].click()
        target = os.path.join(downloads, name)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            partial = [entry for entry in os.listdir(downloads) if entry.endswith(".crdownload")]
            if os.path.exists(target) and not partial:
                break
            time.sleep(0.2)
        if os.path.exists(target):
            results.append(f"PASS the link's archive is saved as {name}")
        else:
            results.append(f"FAIL the link's archive is saved as {name}\t"
                           f"the download folder holds {os.listdir(downloads)}")
    except WebDriverException as error:
        results.append(f"FAIL the archive link in Chromium\t{str(error).splitlines()[0]}")
    finally:
        driver.quit()
    return results


if __name__ == "__main__":
    print_results(main())
