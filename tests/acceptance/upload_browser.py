#!/usr/bin/python3
"""Uploads files through a listing's upload form in headless Chromium, driven
by Selenium as a visitor would: three files chosen at once, the progress bar
shown while they go, and the listing showing them afterwards; then the last
of them deleted by its button. Prints
PASS/FAIL lines for run-acceptance.sh.

    upload_browser.py <folder-url> <artifacts-dir> <file>...
"""
import os
import sys

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from headless_chromium import print_results, start_chromium


def main():
    url, artifacts, files = sys.argv[1], sys.argv[2], sys.argv[3:]
    driver = start_chromium(width=900)
    results = []

    def check(label, condition, detail=""):
        results.append(f"PASS {label}" if condition else f"FAIL {label}\t{detail}")

    try:
        driver.get(url)
        chooser = driver.find_elements(By.CSS_SELECTOR, "#upload input[type=file]")
        if not chooser:
            check("the listing offers the upload form", False, "no form on " + url)
            return results
        driver.save_screenshot(os.path.join(artifacts, "upload-form.png"))
        chooser[0].send_keys("\n".join(files))
        driver.find_element(By.CSS_SELECTOR, "#upload input[type=submit]").click()
        shown = driver.execute_script(
            "return !document.getElementById('upload-progress').hidden")
        driver.save_screenshot(os.path.join(artifacts, "upload-progress.png"))
        check("the progress bar shows while the files go", shown)
        names = [os.path.basename(f) for f in files]
        WebDriverWait(driver, 30).until(
            lambda d: all(name in d.page_source for name in names) and
            d.execute_script("return document.readyState") == "complete")
        driver.save_screenshot(os.path.join(artifacts, "upload-done.png"))
        check("three files sent through the form are listed", True)
        # The last one goes again by its Delete button, once confirmed.
        gone = names[-1]
        row = driver.find_element(By.XPATH, f"//tr[td/a[text()='{gone}']]")
        row.find_element(By.CSS_SELECTOR, "button.delete").click()
        WebDriverWait(driver, 10).until(lambda d: d.switch_to.alert).accept()
        WebDriverWait(driver, 30).until(
            lambda d: gone not in d.page_source and names[0] in d.page_source and
            d.execute_script("return document.readyState") == "complete")
        driver.save_screenshot(os.path.join(artifacts, "upload-deleted.png"))
        check("a file's Delete button removes it from the listing", True)
    except WebDriverException as error:
        results.append(f"FAIL uploads through Chromium\t{str(error).splitlines()[0]}")
    finally:
        driver.quit()
    return results


if __name__ == "__main__":
    print_results(main())
