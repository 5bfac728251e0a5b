#!/usr/bin/env python3
"""Opens a folder run's page in a real browser (headless Chromium through
chromedriver) and checks what a person would see: no console message, every
picture drawn, each filter showing exactly its models, names shown as the
text they are, and every link leading to its file.

    page_browser_test.py --sample-program PROGRAM --svg PREVIEW...

PROGRAM (page_browser_sample) writes the page and its files into a fresh
folder, the previews (of different heights, ideally) as its pictures. Exits 77, which CTest reports as skipped, when Chromium, its driver
or Selenium is missing.
"""

import argparse
import base64
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

SKIP = 77
CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"

# What page_browser_sample writes, entry by entry.
FLEET = ["fleet/ship%02d.cmp" % i for i in range(1, 25)]
ALL = (["ships/hawk.cmp", "<b>x&y'\".3db", "odd names/100% #1?.cmp", "na\u00efve/\u00fc.cmp", "caf\u00e9.cmp",
        "javascript:alert(1).cmp", "broken.cmp", "hollow.cmp", "gone.cmp", "late.cmp"]
       + FLEET[:12] + ["fleet/wreck.cmp"] + FLEET[12:])
FILTERS = {
    "failed": ["broken.cmp", "fleet/wreck.cmp"],
    "nomesh": ["javascript:alert(1).cmp", "hollow.cmp"],
    "unnamed": ["<b>x&y'\".3db", "na\u00efve/\u00fc.cmp", "hollow.cmp"],
    "missing": ["odd names/100% #1?.cmp", "na\u00efve/\u00fc.cmp", "fleet/wreck.cmp"],
}
PICTURES = 2 + 1 + 1 + 2 + 1 + 2 * len(FLEET)

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED: " + what)
    return ok


def check_script_hash(html):
    """The policy allows the one script by its hash: a script edited without
    its hash would be blocked, and the filters with it."""
    script = re.search(r"<script>(.*?)</script>", html, re.S).group(1)
    found = "sha256-" + base64.b64encode(hashlib.sha256(script.encode()).digest()).decode()
    check("default-src 'none'" in html, "the page's policy lets nothing be fetched but what it names")
    policy = re.search(r"script-src '([^']*)'", html).group(1)
    check(policy == found, "the page's policy allows %s, but its script hashes to %s (kScriptHash in "
          "src/output/page_html.cpp)" % (policy, found))


def browser_missing():
    if not (os.access(CHROMIUM, os.X_OK) and os.access(CHROMEDRIVER, os.X_OK)):
        return "no %s or %s (Debian packages chromium and chromium-driver)" % (CHROMIUM, CHROMEDRIVER)
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "no Selenium for %s (Debian package python3-selenium)" % sys.executable
    return None


def visible_paths(driver):
    return driver.execute_script(
        "return [...document.querySelectorAll('.model')]"
        ".filter(m => m.getClientRects().length > 0)"
        ".map(m => m.querySelector('.path').textContent);")


def start_browser(profile):
    """Headless Chromium with a fresh profile, its console kept, nothing
    fetched in the background (this machine's network is closed)."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking", "--no-first-run",
                "--disable-component-update", "--disable-sync", "--window-size=1280,900", "--user-data-dir=" + profile]:
        options.add_argument(arg)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(executable_path=CHROMEDRIVER), options=options)


def check_in_browser(page, work):
    from selenium.common.exceptions import NoAlertPresentException, TimeoutException
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    driver = start_browser(os.path.join(work, "profile"))
    try:
        driver.set_page_load_timeout(30)
        page_url = "file://" + urllib.parse.quote(page)
        driver.get(page_url)

        check(driver.execute_script("return document.characterSet;") == "UTF-8", "the page is read as UTF-8")
        check(driver.title == "bodwright: test folder <i>&amp;</i>", "the title is text: %r" % driver.title)
        check(visible_paths(driver) == ALL, "every model shown, in model order, names as text: %r"
              % visible_paths(driver))
        check(driver.execute_script("return document.querySelectorAll('b, i, [onerror]').length;") == 0,
              "no element made from a name")
        markup = driver.execute_script(
            "return [...document.querySelectorAll('.path')].find(p => p.textContent.startsWith('<b>'));")
        check(markup is not None and driver.execute_script("return arguments[0].childElementCount;", markup) == 0,
              "the markup name is a text without elements")
        outcomes = [e.text for e in driver.find_elements(By.CSS_SELECTOR, ".outcome")]
        check(outcomes[:10] == ["converted"] * 5 + ["no mesh data", "failed", "no mesh data", "skipped",
                                                     "not converted, the run was interrupted"],
              "outcomes %r" % outcomes[:10])
        facts = driver.find_element(By.CSS_SELECTOR, ".facts").text
        check(facts == "blocks 2 \u00b7 triangles 216 \u00b7 materials named 3 of 4 \u00b7 images written 2 "
              "\u00b7 warnings 0", "numbers %r" % facts)
        # Pictures and model files only where there are some; numbers for
        # all but the skipped and the interrupted.
        counts = driver.execute_script("return ['.pictures', '.bods', '.facts']"
                                       ".map(s => document.querySelectorAll(s).length);")
        check(counts == [len(ALL) - 6, len(ALL) - 6, len(ALL) - 2], "pictures, BOD lists, numbers: %r" % counts)
        errors = [e.text for e in driver.find_elements(By.CSS_SELECTOR, ".error")]
        check(errors == ["Error : <script>document.title='pwned'</script><img src=x onerror=alert(1)> is damaged.",
                         "it leads to no file", "Error : fleet/wreck.cmp is damaged."],
              "error lines shown as text: %r" % errors)

        # Pictures far down wait until they come near: then scrolling
        # through the page must bring every one of them in.
        images = driver.find_elements(By.TAG_NAME, "img")
        check(len(images) == PICTURES, "%d pictures, expected %d" % (len(images), PICTURES))
        check(all(i.get_attribute("loading") == "lazy" for i in images), "every picture loads lazily")
        check(driver.execute_script("return arguments[0].naturalWidth;", images[-1]) == 0,
              "the last picture waits until it is scrolled near")
        height = driver.execute_script("return document.documentElement.scrollHeight;")
        step = driver.execute_script("return window.innerHeight;")
        for y in range(0, height + step, step):
            driver.execute_script("window.scrollTo(0, arguments[0]);", y)
            time.sleep(0.05)
        unloaded = "return [...document.images].filter(i => !i.complete || i.naturalWidth === 0).map(i => i.src);"
        try:
            WebDriverWait(driver, 20).until(lambda d: not d.execute_script(unloaded))
        except TimeoutException:
            pass
        check(not driver.execute_script(unloaded), "every picture shown: %r" % driver.execute_script(unloaded))
        # Pictures differ in height; none may be stretched to the room it had
        # before it loaded.
        stretched = driver.execute_script(
            "return [...document.images].filter(i => Math.abs(i.clientWidth * i.naturalHeight"
            " - i.clientHeight * i.naturalWidth) > i.naturalWidth).map(i => i.src);")
        check(not stretched, "pictures in their own aspect ratio: %r" % stretched)

        # Each link is relative and leads to a file that is there.
        links = driver.execute_script(
            "return [...document.querySelectorAll('a[href], img[src]')]"
            ".map(e => [e.getAttribute(e.tagName === 'IMG' ? 'src' : 'href'), e.href || e.src]);")
        check(len(links) == 2 * PICTURES + PICTURES, "%d links" % len(links))
        base = page_url.rsplit("/", 1)[0] + "/"
        for written, resolved in links:
            target = urllib.parse.unquote_to_bytes(urllib.parse.urlsplit(resolved).path)
            check(written.startswith("./") and resolved.startswith(base) and os.path.isfile(target),
                  "link %s leads to a file below the page (%s)" % (written, resolved))

        # The filters, alone and together, and none ticked again.
        boxes = {b.get_attribute("value"): b for b in driver.find_elements(By.CSS_SELECTOR, ".filters input")}
        check(sorted(boxes) == sorted(FILTERS), "filters %r" % sorted(boxes))
        driver.execute_script("window.scrollTo(0, 0);")
        for name, expected in FILTERS.items():
            boxes[name].click()
            check(visible_paths(driver) == expected, "filter %s shows %r" % (name, visible_paths(driver)))
            shown = driver.find_element(By.ID, "shown").text
            check(shown == "%d of %d shown" % (len(expected), len(ALL)), "filter %s counts %r" % (name, shown))
            boxes[name].click()
        boxes["failed"].click()
        boxes["nomesh"].click()
        both = [p for p in ALL if p in FILTERS["failed"] + FILTERS["nomesh"]]
        check(visible_paths(driver) == both, "failed and without mesh data together: %r" % visible_paths(driver))
        boxes["failed"].click()
        boxes["nomesh"].click()
        check(visible_paths(driver) == ALL, "no filter ticked shows every model")

        try:
            alert = driver.switch_to.alert
            check(False, "an alert opened: %r" % alert.text)
        except NoAlertPresentException:
            pass
        check(driver.title != "pwned", "no script from a name ran")
        log = driver.get_log("browser")
        check(not log, "no console message: %r" % log)
    finally:
        driver.quit()


def check_real_run(program, ini, sample, materials, work):
    """The page of a real folder run: the program converts a small folder
    (a model, one named like markup, one without mesh data, a damaged one)
    and its page must show them all, pictures drawn, in the browser."""
    from selenium.webdriver.common.by import By

    prog = os.path.join(work, "prog")
    os.mkdir(prog)
    shutil.copy(program, os.path.join(prog, "bodwright"))
    # The installed settings, with the pictures that draw the textures.
    with open(ini, "rb") as f:
        settings = f.read()
    with open(os.path.join(prog, "bodwright.ini"), "wb") as f:
        f.write(re.sub(rb"(?m)^Preview=[^\r\n]*", b"Preview=.png, ON", settings))
    folder = os.path.join(work, "real")
    with open(sample, "rb") as f:
        model = f.read()
    files = {"a/ship.cmp": model, "a/<b>x&y'\".3db": model, "b/cut.cmp": model[:300]}
    with open(materials, "rb") as f:
        files["b/nomesh.cmp"] = f.read()
    for name, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    run = subprocess.run([os.path.join(prog, "bodwright"), folder], capture_output=True)
    check(run.returncode == 1, "the folder run fails for the damaged model: %r" % run.returncode)
    page = os.path.join(folder, "real.html")
    check(os.path.isfile(page), "the folder run wrote its page")
    if not os.path.isfile(page):
        return
    driver = start_browser(os.path.join(work, "profile-real"))
    try:
        driver.get("file://" + urllib.parse.quote(page))
        paths = visible_paths(driver)
        check(paths == ["a/<b>x&y'\".3db", "a/ship.cmp", "b/cut.cmp", "b/nomesh.cmp"], "real run's models %r" % paths)
        height = driver.execute_script("return document.documentElement.scrollHeight;")
        for y in range(0, height + 900, 900):
            driver.execute_script("window.scrollTo(0, arguments[0]);", y)
            time.sleep(0.05)
        time.sleep(0.5)
        images = driver.execute_script("return [...document.images].map(i => i.complete && i.naturalWidth > 0);")
        check(len(images) == 4 and all(images), "the real run's pictures drawn: %r" % images)
        pngs = driver.execute_script("return [...document.images].filter(i => i.src.endsWith('.png')).length;")
        check(pngs == 4, "the real run's pictures are PNG pictures: %r" % pngs)
        boxes = {b.get_attribute("value"): b for b in driver.find_elements(By.CSS_SELECTOR, ".filters input")}
        for name, expected in {"failed": ["b/cut.cmp"], "nomesh": ["b/nomesh.cmp"]}.items():
            boxes[name].click()
            check(visible_paths(driver) == expected, "real run's filter %s: %r" % (name, visible_paths(driver)))
            boxes[name].click()
        log = driver.get_log("browser")
        check(not log, "no console message on the real run's page: %r" % log)
    finally:
        driver.quit()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sample-program", required=True)
    parser.add_argument("--svg", required=True, nargs="+")
    parser.add_argument("--program", required=True)
    parser.add_argument("--ini", required=True)
    parser.add_argument("--model", required=True)
    parser.add_argument("--materials", required=True)
    args = parser.parse_args()
    started = time.monotonic()
    work = tempfile.mkdtemp(prefix="bodwright-page-")
    try:
        folder = os.path.join(work, "run")
        os.mkdir(folder)
        subprocess.run([args.sample_program, folder] + args.svg, check=True)
        page = os.path.join(folder, "bodwright.html")
        with open(page, encoding="utf-8") as f:
            check_script_hash(f.read())
        missing = browser_missing()
        if missing:
            print("SKIPPED: the browser test needs a browser: " + missing)
            return SKIP if not failures else 1
        check_in_browser(page, work)
        check_real_run(args.program, args.ini, args.model, args.materials, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failed checks, %.1f s" % (len(failures), time.monotonic() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
