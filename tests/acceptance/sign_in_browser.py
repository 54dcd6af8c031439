#!/usr/bin/python3
"""Signs in through the server's sign-in page in headless Chromium, driven by
Selenium as a visitor would use it: the protected folder shows the form, the
form lets the account in, the listing says who is signed in, and signing out
closes the folder again. Prints PASS/FAIL lines for run-acceptance.sh.

    sign_in_browser.py <base-url> <folder> <name> <password> <artifacts-dir>
"""
import os
import sys

from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from headless_chromium import print_results, start_chromium


def main():
    base, folder, name, password, artifacts = sys.argv[1:6]
    driver = start_chromium(width=800)
    wait = WebDriverWait(driver, 10)
    results = []

    def check(label, condition, detail=""):
        results.append(f"PASS {label}" if condition else f"FAIL {label}\t{detail}")
        return condition

    try:
        driver.get(base + folder)
        driver.save_screenshot(os.path.join(artifacts, "sign-in-page.png"))
        if not check("the protected folder shows the sign-in form",
                     driver.title == "Sign in" and driver.find_elements(By.ID, "password"),
                     f"title {driver.title!r}"):
            return results
        driver.find_element(By.ID, "name").send_keys(name)
        driver.find_element(By.ID, "password").send_keys(password)
        driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
        wait.until(lambda d: "Index of " in d.page_source)
        driver.save_screenshot(os.path.join(artifacts, "signed-in-listing.png"))
        check("the form signs in and goes back to the folder",
              driver.current_url.rstrip("/").endswith(folder.rstrip("/")) and
              f"Signed in as {name}." in driver.page_source, driver.current_url)
        cookies = driver.get_cookies()
        check("the session cookie is HttpOnly and SameSite=Lax",
              any(c["name"] == "OrviSession" and c.get("httpOnly") and c.get("sameSite") == "Lax"
                  for c in cookies), repr(cookies))
        driver.find_element(By.LINK_TEXT, "Sign out").click()
        wait.until(lambda d: "Signed in as" not in d.page_source)
        driver.get(base + folder)
        driver.save_screenshot(os.path.join(artifacts, "signed-out.png"))
        check("after signing out the folder asks for the password again",
              driver.title == "Sign in", f"title {driver.title!r}")
    except WebDriverException as error:
        results.append(f"FAIL Chromium through Selenium\t{str(error).splitlines()[0]}")
    finally:
        driver.quit()
    return results


if __name__ == "__main__":
    print_results(main())
