"""Headless Chromium under Selenium for the acceptance run's browser checks,
and the PASS/FAIL lines they print for run-acceptance.sh."""
from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def start_chromium(width=900, downloads=None):
    """A headless Chromium of Debian's packages; with `downloads`, files it
    is sent as attachments are saved there without asking."""
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", f"--window-size={width},600"):
        options.add_argument(argument)
    if downloads:
        options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                                  "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    if downloads:
        # Headless Chromium saves downloads only when told where.
        driver.execute_cdp_cmd("Page.setDownloadBehavior",
                               {"behavior": "allow", "downloadPath": downloads})
    return driver


def print_results(results):
    """One line per check, flushed at once, as run-acceptance.sh reads them."""
    for line in results:
        print(line, flush=True)
