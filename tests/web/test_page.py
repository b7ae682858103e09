#!/usr/bin/python3
"""Browser tests of build-web/lodrix.html, opened from disk in Debian's headless Chromium or Firefox ESR.

Selenium drives the page's real controls and keys and compares its state
lines, canvases and downloads with lodrix-replay's; also the commentary box,
the hook's errors, the right-click menu and the about box, what screen readers
get, the layout at several window sizes and the budgets. Without --replay the
comparisons are skipped (exit status 77); --figures prints the budget figures.
Each scenario runs in the engine --engine names; what an engine cannot do is
reported as skipped, with the reason.
"""

import argparse
import base64
import datetime
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common import service as selenium_service
from selenium.webdriver.common import utils as selenium_utils
from selenium.webdriver.common.action_chains import ActionChains
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

sys.dont_write_bytecode = True  # nothing written into the source tree
import firefox  # noqa: E402

ARGS = None
FORM_WIDTH, FORM_HEIGHT = 800, 560

# Selenium reaches chromedriver, and chromedriver the browser it starts, at
# "localhost", a name that a bare system without /etc/hosts (a minimal chroot)
# cannot resolve: the loopback address itself always answers.
LOOPBACK = "127.0.0.1"
_is_connectable = selenium_utils.is_connectable
selenium_utils.is_connectable = lambda port, host=LOOPBACK: _is_connectable(port, host)
selenium_service.Service.service_url = property(lambda self: f"http://{LOOPBACK}:{self.port}")


def loopback_port():
    with socket.socket() as probe:
        probe.bind((LOOPBACK, 0))
        return probe.getsockname()[1]


def only_in(test, engine, why):
    """Skips the test, or its subtest, in the other engine, saying why."""
    if ARGS.engine != engine:
        test.skipTest(f"{ARGS.engine} cannot: {why}")


def start_browser(language="fr-FR", width=1024, height=768, ratio=1, query="", phone=False):
    """The page in the engine under test, its page area width x height CSS pixels,
    ratio screen pixels each; with phone (Chromium only), a touch screen of that size."""
    if ARGS.engine == "firefox":
        driver = firefox.start(ARGS.firefox, language, width, height, ratio)
    else:
        driver = start_chromium(language, width, height, ratio, phone)
    driver.get("file://" + os.path.abspath(ARGS.page) + query)
    WebDriverWait(driver, 10).until(lambda d: d.execute_script("return !!window.lodrix"))
    return driver


def start_chromium(language, width, height, ratio, phone):
    """Chromium whose page area is width x height CSS pixels, ratio screen pixels each;
    with phone, a touch screen of that size as Chromium's phone emulation makes one.

    Chromium is started here and chromedriver attaches to it at the loopback
    address: a browser chromedriver starts itself is reached at "localhost".
    """
    profile = tempfile.mkdtemp(prefix="lodrix-chromium-")
    os.makedirs(os.path.join(profile, "Default"))
    with open(os.path.join(profile, "Default", "Preferences"), "w", encoding="utf-8") as f:
        json.dump({"intl": {"accept_languages": language}}, f)
    port = loopback_port()
    # As root, and in containers whose /dev/shm is small.
    browser = subprocess.Popen(
        [ARGS.chromium, "--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
         "--allow-file-access-from-files", f"--lang={language}", f"--window-size={width},{height}",
         f"--force-device-scale-factor={ratio}", f"--remote-debugging-address={LOOPBACK}",
         f"--remote-debugging-port={port}", f"--user-data-dir={profile}", "about:blank"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while True:
        try:
            urllib.request.urlopen(f"http://{LOOPBACK}:{port}/json/version", timeout=1).close()
            break
        except OSError:
            if browser.poll() is not None or time.monotonic() > deadline:
                browser.kill()
                raise RuntimeError(f"{ARGS.chromium} did not start")
            time.sleep(0.1)
    options = Options()
    options.debugger_address = f"{LOOPBACK}:{port}"
    driver = webdriver.Chrome(service=Service(ARGS.chromedriver), options=options)
    quit_driver = driver.quit

    def quit_all():
        try:
            quit_driver()
        finally:
            browser.kill()
            browser.wait()
            shutil.rmtree(profile, ignore_errors=True)

    driver.quit = quit_all
    driver.engine = "chromium"

    def allow_downloads(folder):
        driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": folder})
        return folder

    driver.allow_downloads = allow_downloads
    driver.allow_clipboard = lambda: driver.execute_cdp_cmd(
        "Browser.grantPermissions", {"permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
    if phone:
        # What chromedriver's mobileEmulation does, which it refuses on a
        # browser it attaches to: a mobile viewport and touch.
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": width, "height": height, "deviceScaleFactor": ratio, "mobile": True})
        driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
    else:
        inner = driver.execute_script("return [window.innerWidth, window.innerHeight]")
        outer = driver.get_window_size()
        driver.set_window_size(outer["width"] + width - inner[0], outer["height"] + height - inner[1])
    return driver


def run(driver, text):
    return driver.execute_script("return window.lodrix.run(arguments[0])", text)


def state(driver):
    return json.loads(run(driver, "state"))


def without_rects(line):
    """A state line without its controls' rectangles, which each edition lays out its own way."""
    for control in line["controls"].values():
        control.pop("rect", None)
    return line


def notice(driver):
    """The short message of what an action did, as a screen reader is told it; None when none is shown."""
    return driver.execute_script("""
        const n = document.getElementById('notice');
        return n.getAttribute('aria-live') === 'polite' && n.checkVisibility({visibilityProperty: true})
               ? n.textContent : null;""")


def key_with_control(driver, letter):
    ActionChains(driver).key_down(Keys.CONTROL).send_keys(letter).key_up(Keys.CONTROL).perform()


def downloaded(folder, before):
    """The name and bytes of the file that arrives in folder, not among before."""
    for _ in range(100):
        # Chromium makes the file empty at once and fills it from a .crdownload, Firefox from a .part.
        names = os.listdir(folder) if os.path.isdir(folder) else []
        partial = lambda n: n.endswith((".crdownload", ".part"))  # noqa: E731
        new = [n for n in names if n not in before and not partial(n)]
        if new and not any(partial(n) for n in names) \
                and os.path.getsize(os.path.join(folder, new[0])) > 0:
            with open(os.path.join(folder, new[0]), "rb") as f:
                return new[0], f.read()
        time.sleep(0.05)
    raise AssertionError(f"nothing was downloaded into {folder}")


def picture_difference(driver, which, expected_png, over=None):
    """None when the page's canvas ('window', 'scene'), or a PNG it wrote,
    holds the PNG's pixels with `over` (PNG, x, y) drawn on them; else what differs.

    The pictures are decoded by the browser without colour management."""
    b64 = lambda png: base64.b64encode(png).decode("ascii")  # noqa: E731
    return driver.execute_async_script("""
        const [which, expected, over, done] = arguments;
        (async () => {
        const decode = async (png) => (await fetch('data:image/png;base64,' + png)).blob();
        const pixels = async (source, layer) => {
            const options = {colorSpaceConversion: 'none', premultiplyAlpha: 'none'};
            const image = await createImageBitmap(source, options);
            const canvas = new OffscreenCanvas(image.width, image.height);
            const context = canvas.getContext('2d');
            context.drawImage(image, 0, 0);
            if (layer) {
                const [png, x, y] = layer;
                context.drawImage(await createImageBitmap(await decode(png), options), x, y);
            }
            return context.getImageData(0, 0, image.width, image.height);
        };
        const page = await pixels(which in {window: 0, scene: 0}
                                  ? document.getElementById(which === 'window' ? 'Canvas' : 'FOND')
                                  : await decode(which));
        const want = await pixels(await decode(expected), over);
        if (page.width !== want.width || page.height !== want.height)
            return done(`size ${page.width} x ${page.height}, expected ${want.width} x ${want.height}`);
        let count = 0, first = null;
        for (let i = 0; i < want.data.length; i += 4) {
            if ([0, 1, 2].some((c) => page.data[i + c] !== want.data[i + c])) {
                count++;
                first ??= [(i / 4) % want.width, Math.floor(i / 4 / want.width),
                           [...page.data.slice(i, i + 3)], [...want.data.slice(i, i + 3)]];
            }
        }
        done(count ? `${count} pixels differ, first at ${JSON.stringify(first)} (page, expected)` : null);
        })().catch((e) => done(String(e)));
        """, which if isinstance(which, str) else b64(which), b64(expected_png),
        over and [b64(over[0]), over[1], over[2]])


class Lessons(unittest.TestCase):
    """Whole lessons through the real controls, against lodrix-replay."""

    # The language (the browser's, lodrix-replay's --lang), then the steps:
    # lodrix-replay's commands, or "check" to compare
    # pictures, "csv" and "save" to compare what Ctrl+E and Ctrl+S download.
    scenarios = {
        "continuous, proportional and pole compensation, in English": ("en", [
            "menu 2", "mode 0", "start", "tick 2", "tick 100", "check", "tick 218", "check", "comment",
            "menu 3", "start", "tick 160", "key Pause", "tick 5", "check", "key Pause", "menu 3", "scroll 10",
            "start", "tick 320", "check", "comment"]),
        "step by step, two-step, open loop, free setting, in French": ("fr", [
            "menu 4", "mode 1", "next", "tick 45", "check", "next", "tick 45", "next", "tick 30", "check",
            "mode 0", "start", "tick 320", "check", "comment", "menu 1", "start", "tick 150", "check",
            "menu 5", "set corrector PC", "set gain 4", "set period 0.05", "set step 500", "tick", "check",
            "set input ramp", "set load 300", "set loadfrom 2", "tick", "check",
            "start", "tick 100", "key P", "tick 10", "key N", "check", "key P", "tick 219", "csv", "save",
            "comment", "key K", "set corrector DB", "check", "keep", "set corrector P", "set gain 12", "check",
            "key Shift+K", "check", "keep", "menu 2", "menu 5", "tick", "check"]),
        "the frame on screen drawn again, on every lesson": ("fr", [
            "menu 0", "start", "tick 50", "redraw", "check", "menu 1", "start", "tick 299", "redraw", "check",
            "menu 3", "mode 1", "next", "tick 20", "redraw", "check", "menu 4", "mode 0", "start", "tick 160",
            "redraw", "check", "menu 5", "start", "tick 330", "redraw", "check", "csv"]),
        "the views area, each view in its place and enlarged, in French": ("fr", [
            "menu 5", "tick", "view bode", "check", "view nyquist large", "check", "view black", "set gain 30",
            "check", "view period large", "check", "start", "tick 320", "view bode large", "check",
            "view locus large", "check", "view locus", "check"]),
        "the views area in English": ("en", [
            "menu 5", "tick", "view bode large", "check", "view nyquist", "check", "view black large",
            "set corrector DB", "check", "view locus", "check"]),
        "presentation and the idle picture, in English": ("en", [
            "check", "tick 3", "check", "menu 0", "start", "tick 60", "check", "menu 2", "tick 5", "check"]),
    }

    def test_scenarios(self):
        if not ARGS.replay:
            self.skipTest("no lodrix-replay given (-DLODRIX_REPLAY=...)")
        for title, (language, steps) in self.scenarios.items():
            with self.subTest(title):
                self.play(language, steps)

    def play(self, language, steps):
        with tempfile.TemporaryDirectory() as folder:
            # The page's timer may tick the idle picture before the test stops
            # it: both sides start from one idle tick, which changes nothing more.
            commands, pictures, exports = ["tick"], [], []
            for step in steps:
                if step in ("check", "save"):
                    pictures.append(os.path.join(folder, str(len(pictures))))
                    commands += [f"canvas {pictures[-1]}-window.png", f"scene {pictures[-1]}-scene.png"]
                elif step == "csv":
                    exports.append(os.path.join(folder, f"{len(exports)}.csv"))
                    commands.append(f"csv {exports[-1]}")
                else:
                    commands += [step, "state"]
            result = subprocess.run([ARGS.replay, "--lang", language, "-"], input="\n".join(commands),
                                    capture_output=True, text=True, timeout=300)
            self.assertEqual(result.returncode, 0, result.stderr)
            expected_states = iter(line for line in result.stdout.splitlines() if line.startswith("{"))
            driver = start_browser({"en": "en-US", "fr": "fr-FR"}[language])
            downloads = driver.allow_downloads(os.path.join(folder, "downloads"))
            try:
                run(driver, "tick")  # from here on the ticks are the steps'
                checked, exported = iter(pictures), iter(exports)
                last_tick = None
                for done, step in enumerate(steps):
                    if step in ("check", "save"):
                        base = next(checked)
                        pngs = {}
                        for which in ("window", "scene"):
                            with open(f"{base}-{which}.png", "rb") as f:
                                pngs[which] = f.read()
                            if step == "check":
                                self.assertIsNone(picture_difference(driver, which, pngs[which]),
                                                  f"{which} after {steps[:done]}")
                        if step == "save":
                            # The window's drawing with the scene over it, where the form shows it.
                            name, png = self.download(driver, downloads, "s")
                            self.assertEqual(name, f"lodrix-reglage-libre-{last_tick}.png")
                            self.assertIsNone(picture_difference(driver, png, pngs["window"],
                                                                 (pngs["scene"], 8, 16)))
                        continue
                    if step == "csv":
                        with open(next(exported), encoding="utf-8") as f:
                            expected_csv = f.read()
                        name, text = self.download(driver, downloads, "e")
                        self.assertEqual(name, f"lodrix-reglage-libre-{datetime.date.today()}.csv")
                        self.assertEqual(text.decode("utf-8"), expected_csv, "the run as CSV")
                        last_tick = int(expected_csv.splitlines()[-1].split(",")[0])
                        continue
                    self.act(driver, step)
                    expected = json.loads(next(expected_states))
                    self.assertEqual(without_rects(state(driver)), without_rects(expected), f"state after '{step}'")
                    controls = expected["controls"]
                    self.assertEqual(self.shown(driver, controls),
                                     {name: [c["visible"], c["enabled"]] for name, c in controls.items()},
                                     f"controls after '{step}'")
                    if step == "comment":
                        self.check_commentary(driver)
                    if step.startswith("set "):
                        self.check_settings(driver, expected["explore"])
            finally:
                driver.quit()

    def download(self, driver, folder, letter):
        before = os.listdir(folder) if os.path.isdir(folder) else []
        key_with_control(driver, letter)
        return downloaded(folder, before)

    settings = {"corrector": "SettingCorrector", "gain": "SettingGain", "period": "SettingPeriod",
                "step": "SettingStep", "input": "SettingInput", "load": "SettingLoad", "loadfrom": "SettingLoadFrom"}
    correctors = ["P", "PC", "DB"]
    inputs = ["step", "ramp"]

    def set_control(self, driver, setting, value):
        """A setting chosen in its list, or typed into its field and left with Tab."""
        element = driver.find_element(By.ID, self.settings[setting])
        if setting == "corrector":
            Select(element).select_by_index(self.correctors.index(value))
        elif setting == "input":
            Select(element).select_by_index(self.inputs.index(value))
        elif setting == "period":
            choices = [float(o.get_attribute("value")) for o in Select(element).options]
            Select(element).select_by_index(choices.index(float(value)))
        else:
            ActionChains(driver).click(element).key_down(Keys.CONTROL).send_keys("a").key_up(Keys.CONTROL) \
                .send_keys(value, Keys.TAB).perform()

    def check_settings(self, driver, explore):
        """The settings' controls show the controller's settings; « Deux coups » has no gain."""
        shown = driver.execute_script("""
            const $ = (id) => document.getElementById(id);
            return [$('SettingCorrector').selectedIndex, Number($('SettingGain').value.replace(',', '.')),
                    Number($('SettingPeriod').value), Number($('SettingStep').value),
                    $('SettingGain').disabled, $('SettingInput').selectedIndex, Number($('SettingLoad').value),
                    Number($('SettingLoadFrom').value)];""")
        self.assertEqual(shown, [self.correctors.index(explore["corrector"]), explore["gain"],
                                 explore["period"], explore["step"], explore["corrector"] == "DB",
                                 self.inputs.index(explore["input"]), explore["load"], explore["loadFrom"]])

    def act(self, driver, command):
        """A command done with the page's controls or keys where it names them, else through the hook."""
        name, _, argument = command.partition(" ")
        if name == "set":
            self.set_control(driver, *argument.split())
            return
        if name == "key":
            if argument == "Shift+K":
                ActionChains(driver).key_down(Keys.SHIFT).send_keys("K").key_up(Keys.SHIFT).perform()
            else:
                ActionChains(driver).send_keys({"P": "p", "N": "n", "K": "k", "Pause": Keys.PAUSE}[argument]).perform()
            return
        if name in ("menu", "mode"):
            rows = driver.find_elements(By.CSS_SELECTOR, f"#ListBox{1 if name == 'menu' else 2} option")
            element = rows[int(argument)]
            driver.execute_script("arguments[0].scrollIntoView({block: 'nearest'})", element)
        elif name in ("start", "next", "comment"):
            button = {"start": "Button1", "next": "Button2", "comment": "B1"}[name]
            element = driver.find_element(By.ID, button)
        else:
            run(driver, command)
            return
        ActionChains(driver).move_to_element(element).click().perform()

    def shown(self, driver, controls):
        """[visible, enabled] as the page shows each control it has of those listed."""
        return driver.execute_script("""
            const shown = {};
            for (const name of arguments[0]) {
                const e = document.getElementById(name);
                const disabled = e.disabled ?? e.getAttribute('aria-disabled') === 'true';
                shown[name] = [e.checkVisibility(), !disabled];
            }
            return shown;""", list(controls))

    def check_commentary(self, driver):
        facts = driver.execute_script("""
            const box = document.getElementById('RichEdit2');
            const spans = [...box.querySelectorAll('span')].map((s) => getComputedStyle(s));
            return {shown: box.checkVisibility(), tables: box.querySelectorAll('table').length,
                    bold: spans.some((s) => s.fontWeight >= 700),
                    coloured: spans.some((s) => s.color !== 'rgb(0, 0, 0)'),
                    scrolls: box.scrollHeight > box.clientHeight
                             && getComputedStyle(box).overflowY === 'auto',
                    editable: box.isContentEditable, text: box.innerText,
                    families: [...new Set(spans.map((s) => s.fontFamily))]};""")
        self.assertTrue(facts["shown"] and facts["bold"] and facts["coloured"], facts)
        self.assertGreaterEqual(facts["tables"], 1, "the commentary keeps its table")
        self.assertTrue(facts["scrolls"], "the commentary box scrolls")
        self.assertFalse(facts["editable"], "the commentary box is read-only")
        self.assertNotIn("RichEdit2", facts["text"], "the commentary replaced the box's first text")
        # Arial where the machine has it, else its metric twin, as on the desktop
        # (Firefox quotes every family name, Chromium those with a space).
        self.assertEqual([f.replace('"', "") for f in facts["families"]], ["Arial, Liberation Sans, sans-serif"])


class Keyboard(unittest.TestCase):
    """Tab order, arrows in the lists, Space and Enter on the buttons."""

    def test_a_lesson_from_the_keyboard(self):
        driver = start_browser()
        try:
            run(driver, "")
            focused = lambda: driver.execute_script("return document.activeElement.id")  # noqa: E731
            keys = lambda *pressed: ActionChains(driver).send_keys(*pressed).perform()  # noqa: E731
            back = lambda n: ActionChains(driver).key_down(Keys.SHIFT).send_keys(*[Keys.TAB] * n) \
                .key_up(Keys.SHIFT).perform()  # noqa: E731
            order = []
            for _ in range(4):
                keys(Keys.TAB)
                order.append(focused())
            self.assertEqual(order, ["ListBox1", "Button1", "ScrollBar1", "fullscreen"])
            back(3)
            self.assertEqual((focused(), state(driver)["rubrique"]), ("ListBox1", -1),
                             "focus alone chooses nothing")
            keys(Keys.DOWN, Keys.DOWN, Keys.DOWN)  # the first row, then two further
            self.assertEqual(state(driver)["rubrique"], 2)
            keys(Keys.TAB, Keys.TAB, Keys.TAB)
            self.assertEqual(focused(), "ListBox2")
            keys(Keys.DOWN, Keys.DOWN)
            self.assertEqual(state(driver)["modeAnimation"], 1, "« Pas à pas »")
            keys(Keys.TAB)
            self.assertEqual(focused(), "Button2")
            keys(Keys.SPACE)
            run(driver, "tick 45")
            keys(Keys.ENTER)
            run(driver, "tick")
            self.assertEqual(state(driver)["periode"], 2, "Space, then Enter, pressed the button")
            back(2)
            self.assertEqual(focused(), "ScrollBar1")
            keys(Keys.LEFT, Keys.LEFT, Keys.LEFT)
            run(driver, "tick")
            self.assertEqual(state(driver)["interval"], 47)

            # The free-setting entry's settings come after the buttons.
            back(1)
            keys(Keys.DOWN, Keys.DOWN, Keys.DOWN)
            self.assertEqual(state(driver)["rubrique"], 5)
            gain_of = lambda: state(driver)["explore"]["gain"]  # noqa: E731
            order = []
            for _ in range(8):
                keys(Keys.TAB)
                order.append(focused())
            self.assertEqual(order, ["ScrollBar1", "ListBox2", "Button2", "SettingCorrector", "SettingGain",
                                     "SettingGainSlider", "SettingPeriod", "SettingStep"])
            keys(Keys.BACKSPACE * 4, "3000", Keys.TAB)
            message = driver.execute_script("return document.getElementById('message').innerText")
            self.assertIn("E=3000", message, "the controller's refusal is shown")
            keys(Keys.ESCAPE)
            self.assertEqual((focused(), state(driver)["explore"]["step"]), ("SettingStep", 200),
                             "refused, the step is as it was, to be typed again")
            # The gain slider, a hundred steps a decade: arrows, pages of 30 steps, the ends.
            back(2)
            self.assertEqual(focused(), "SettingGainSlider")
            gain = lambda: state(driver)["explore"]["gain"]  # noqa: E731
            keys(Keys.HOME)
            self.assertEqual(gain(), 0.1)
            keys(Keys.END)
            self.assertEqual(gain(), 1000)
            keys(Keys.HOME, Keys.RIGHT)
            self.assertEqual(gain(), 0.1023, "four significant digits")
            keys(Keys.RIGHT, Keys.RIGHT)
            self.assertEqual(gain(), 0.1072)
            keys(Keys.HOME, Keys.PAGE_UP)
            self.assertEqual(gain(), 0.1995)
            back(2)
            keys(Keys.DOWN)
            self.assertEqual(state(driver)["explore"]["corrector"], "PC")
            # P holds the page, not the list's first item starting with P.
            sign = lambda: driver.execute_script(  # noqa: E731
                "return [document.getElementById('pauseSign').checkVisibility(), document.title]")
            keys("p")
            self.assertEqual(state(driver)["explore"]["corrector"], "PC")
            self.assertEqual(sign(), [True, "Lodrix (en pause) — Asservissement de position"])
            keys("p")
            self.assertEqual(sign(), [False, "Lodrix — Asservissement de position"])
            # The set-point's shape and the load come after the step, and answer the keyboard.
            driver.execute_script("document.getElementById('SettingStep').focus()")
            order = []
            for _ in range(3):
                keys(Keys.TAB)
                order.append(focused())
            self.assertEqual(order, ["SettingInput", "SettingLoad", "SettingLoadFrom"])
            back(2)
            keys(Keys.DOWN)
            self.assertEqual(state(driver)["explore"]["input"], "ramp")
            keys(Keys.TAB, Keys.BACKSPACE, "-250", Keys.TAB, Keys.UP)
            explore = state(driver)["explore"]
            self.assertEqual((explore["load"], explore["loadFrom"]), (-250, 5))
        finally:
            driver.quit()


class Hook(unittest.TestCase):
    """window.lodrix.run's errors, what screen readers get, the actions' menu and the about box."""

    @classmethod
    def setUpClass(cls):
        cls.driver = start_browser()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()

    def thrown(self, text):
        """[is an Error, its message] of what run(text) throws; None if nothing."""
        return self.driver.execute_script("""
            try { window.lodrix.run(arguments[0]); return null; }
            catch (e) { return [e instanceof Error, String(e.message)]; }""", text)

    def test_bad_commands(self):
        before = run(self.driver, "state")
        self.assertFalse(self.driver.execute_script("return window.lodrix.timerRuns"),
                         "run() stops the timer")
        for text, named in (("menu 2\nfly", "fly"), ("menu 2\nmenu 6", "menu"),
                            ("menu 2\nscroll 9", "scroll"), ("menu 2\ntick -1", "tick"),
                            ("menu 2\nmode", "mode"), ("menu 2\nstart now", "start"),
                            ("menu 2\nkey Q", "Q"), ("menu 2\nset colour 3", "colour"),
                            ("menu 2\nset corrector PIX", "PIX"), ("menu 2\nset step 1.5", "1.5"),
                            ("menu 2\nset gain 0", "set gain"), ("menu 2\nset period 0.07", "set period"),
                            ("menu 2\nset load 2048", "set load"), ("menu 2\nset load 10.5", "10.5"),
                            ("menu 2\nset loadfrom 8", "set loadfrom"), ("menu 2\nset input sine", "sine"),
                            ("menu 2\nlang de", "de")):
            with self.subTest(text=text):
                thrown = self.thrown(text)
                self.assertTrue(thrown and thrown[0], f"an Error: {thrown}")
                self.assertIn(f"'{named}'", thrown[1])
                self.assertEqual(run(self.driver, "state"), before, "nothing of the text ran")

    def test_redraw_changes_nothing(self):
        """`redraw` draws the frame on screen again: the state, the run and the pixels stay."""
        shown = """return [window.lodrix.run('state'), window.lodrix.csv(),
                           window.lodrix.picture('window'), window.lodrix.picture('scene')]"""
        for setup in ("menu 0\nstart\ntick 50", "menu 1\nstart\ntick 2", "menu 2\nmode 1\nnext\ntick 30",
                      "menu 2\nmode 0\nstart\ntick 330", "menu 5\nstart\ntick 160"):
            with self.subTest(setup=setup):
                run(self.driver, setup)
                before = self.driver.execute_script(shown)
                run(self.driver, "redraw")
                self.assertEqual(self.driver.execute_script(shown), before)

    def test_language(self):
        """?lang= wins over the browser's language; `lang` changes it, and back."""
        driver = start_browser("fr-FR", query="?lang=en")
        try:
            run(driver, "")
            text = lambda: driver.execute_script(
                "return [document.documentElement.lang, document.getElementById('Button1').textContent,"
                " document.getElementById('ListBox1').getAttribute('aria-label')]")
            self.assertEqual(text(), ["en", "Start animation", "Menu"])
            run(driver, "lang fr")
            self.assertEqual(text(), ["fr", "Démarrer Animation", "Menu"])
        finally:
            driver.quit()

    def test_hidden_controls_cannot_be_clicked(self):
        lines = run(self.driver, "menu 1\nstart\nstate\ntick 3\nstate").split("\n")
        self.assertEqual([json.loads(line)["compteur"] for line in lines], [1, 4])
        for command, control in (("next", "Button2"), ("comment", "B1"), ("mode 0", "ListBox2")):
            with self.subTest(command):
                thrown = self.thrown(command)
                self.assertTrue(thrown and control in thrown[1], f"{command}: {thrown}")


    def accessible(self, selector):
        """Chromium's accessibility node of the element: what screen readers get."""
        self.driver.execute_cdp_cmd("DOM.enable", {})
        root = self.driver.execute_cdp_cmd("DOM.getDocument", {})["root"]["nodeId"]
        node = self.driver.execute_cdp_cmd("DOM.querySelector", {"nodeId": root, "selector": selector})
        return self.driver.execute_cdp_cmd("Accessibility.getPartialAXTree",
                                           {"nodeId": node["nodeId"], "fetchRelatives": False})["nodes"][0]

    def test_accessible_names(self):
        # The names in the state line are the ones the browser gives screen readers
        # (the labels are read as their text, without a name of their own).
        controls = json.loads(run(self.driver, "menu 3\nstate"))["controls"]
        for name, control in controls.items():
            if not control["visible"] or name.startswith("Label"):
                continue
            if ARGS.engine == "firefox":
                # Firefox finds nodes by their accessible name, and tells no node's name.
                self.assertIn(name, self.driver.named(control["accessibleName"]), name)
                continue
            self.assertEqual(self.accessible(f"#{name}").get("name", {}).get("value"),
                             control["accessibleName"], name)
        # Both canvases are described by the lesson and its value row, as it runs.
        only_in(self, "chromium", "WebDriver BiDi reads no accessible description")
        values = json.loads(run(self.driver, "start\ntick 30\nstate"))
        lesson = self.driver.execute_script("return document.getElementById('ListBox1').options[3].text")
        for canvas in ("#Canvas", "#FOND"):
            said = self.accessible(canvas).get("description", {}).get("value", "")
            self.assertTrue(said.startswith(lesson + " : E = 200,") and said.endswith(f", X = {values['X']}"),
                            f"{canvas}: {said}")

    def test_menu_and_about(self):
        driver = self.driver
        run(driver, "menu 2")
        ActionChains(driver).context_click(driver.find_element(By.ID, "FOND")).perform()
        with self.subTest("the menu's items as screen readers get them"):
            only_in(self, "chromium", "WebDriver BiDi reads no accessibility tree (names, roles)")
            listed = [(node.get("name", {}).get("value"), node["role"]["value"])
                      for node in (self.accessible(f"#menu > :nth-child({i})") for i in range(1, 12))]
            self.assertEqual(listed, [("Pause / reprise", "menuitem"), ("Image suivante", "menuitem"),
                                      ("", "separator"),
                                      ("Exporter la course (CSV)", "menuitem"),
                                      ("Enregistrer l'image (PNG)", "menuitem"),
                                      ("Copier l'image", "menuitem"), ("", "separator"),
                                      ("Copier le lien de cette expérience", "menuitem"),
                                      ("Ouvrir un commentaire…", "menuitem"), ("", "separator"),
                                      ("À propos de Lodrix", "menuitem")])
        shown = driver.execute_script("""
            return [...document.querySelectorAll('#menu > [role=menuitem]')].map(
                (e) => [e.checkVisibility(), e.innerText.replace(/\\s+/g, ' ')]);""")
        self.assertEqual([text for visible, text in shown if visible],
                         ["Pause / reprise P", "Image suivante N", "Exporter la course (CSV) Ctrl+E",
                          "Enregistrer l'image (PNG) Ctrl+S", "Copier l'image Ctrl+C",
                          "Copier le lien de cette expérience", "Ouvrir un commentaire…", "À propos de Lodrix"])
        # From the keyboard: up from the first item is the last, Enter opens the about box.
        ActionChains(driver).send_keys(Keys.UP, Keys.ENTER).perform()
        about = driver.execute_script("""
            const about = document.getElementById('about');
            return [about.checkVisibility(), about.innerText, about.querySelector('pre').textContent,
                    document.getElementById('Label3').textContent, document.activeElement.id,
                    document.getElementById('menu').checkVisibility()];""")
        self.assertTrue(about[0] and not about[5], "the menu gave way to the about box")
        for said in (about[3].split()[-1], "GNU GPL version 3 ou ultérieure", "LGPL", "Ctrl+E", "Pause"):
            self.assertIn(said, about[1])
        self.assertIn("License: LGPL-2.1+", about[2], "the fonts' notice")
        self.assertEqual(about[4], "aboutOk")
        ActionChains(driver).send_keys(Keys.ESCAPE).perform()
        self.assertFalse(driver.execute_script("return document.getElementById('about').checkVisibility()"))

        # A refused copy says so and offers the picture to save; allowed, the clipboard holds it.
        with self.subTest("a refused copy"):
            only_in(self, "chromium", "WebDriver BiDi has no clipboard permission to refuse")
            driver.execute_cdp_cmd("Browser.setPermission", {"permission": {"name": "clipboard-write"},
                                                              "setting": "denied"})
            key_with_control(driver, "c")
            message = WebDriverWait(driver, 5).until(lambda d: d.execute_script(
                "const m = document.getElementById('message'); return m.checkVisibility() && m.innerText"))
            self.assertIn("Enregistrer l'image", message)
            ActionChains(driver).send_keys(Keys.ESCAPE).perform()
        only_in(self, "chromium", "headless Firefox's clipboard holds text only, no picture")
        driver.allow_clipboard()
        key_with_control(driver, "c")
        copied = driver.execute_async_script("""
            const done = arguments[0];
            setTimeout(async () => {
                try {
                    const [item] = await navigator.clipboard.read();
                    const image = await createImageBitmap(await item.getType('image/png'));
                    done([image.width, image.height]);
                } catch (e) { done(String(e)); }
            }, 200);""")
        self.assertEqual(copied, [800, 560])


class Accessibility(unittest.TestCase):
    """axe-core finds nothing in the page at start-up, with a lesson playing and with the commentary open."""

    # Findings kept on purpose, by rule and element, each with its reason.
    kept = {
        # « Démarrer Animation » is olive (#808000) on the button face: the
        # form's own design colour, which the desktop draws too.
        ("color-contrast", "#Button1"),
    }

    def findings(self, driver):
        """[rule, element, summary] of every violation axe-core reports, those kept left out."""
        result = driver.execute_async_script("""
            const done = arguments[0];
            axe.run(document, {resultTypes: ['violations']}).then(
                (r) => done(r.violations.flatMap((v) => v.nodes.map(
                    (n) => [v.id, n.target.join(' '), n.failureSummary]))),
                (e) => done(String(e)));""")
        self.assertIsInstance(result, list, result)
        return [f for f in result if (f[0], f[1]) not in self.kept]

    def test_axe(self):
        if not ARGS.axe:
            self.skipTest("no axe-core given (--axe .../axe.min.js)")
        if not os.path.isfile(ARGS.axe):
            self.fail(f"{ARGS.axe} is missing: ctest installs it with Debian's npm (test web_axe_core)")
        with open(ARGS.axe, encoding="utf-8") as f:
            engine = f.read()
        driver = start_browser()
        try:
            # Injected as a test's script, which the page's own rules let in.
            driver.execute_script(engine)
            for moment, commands in (("at start-up", ""), ("with a lesson playing", "menu 2\nmode 0\nstart\ntick 100"),
                                     ("with the commentary open", "tick 230\ncomment")):
                with self.subTest(moment):
                    run(driver, commands)
                    self.assertEqual(self.findings(driver), [])
            self.assertTrue(driver.execute_script(
                "return document.getElementById('RichEdit2').checkVisibility()"), "the commentary was checked")
        finally:
            driver.quit()


class Links(unittest.TestCase):
    """A link opens an experiment, in the page as in lodrix-replay, both ways."""

    # Each set by commands on one side; its link then opens it on the other.
    experiments = {
        "free setting in English":
            "lesson=5&corrector=PC&gain=6.8&period=0.05&step=300&input=ramp&load=300&loadfrom=2&speed=20&lang=en",
        "step by step, then the open loop": "lesson=1&mode=1&speed=100&lang=fr",
        "two-step continuous, the settings waiting": "lesson=4&mode=0&corrector=DB&gain=12.5&period=0.2&step=200&lang=en",
        "nothing chosen": "lang=fr",
    }
    set_by_commands = ["menu 3", "mode 1", "scroll 35", "set corrector DB", "set period 0.025", "set step 900"]

    def replay(self, *commands):
        result = subprocess.run([ARGS.replay, *commands], capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.splitlines()

    def page_link(self, driver):
        address = driver.execute_script("return window.lodrix.link()")
        self.assertTrue(address.startswith("file://") and "lodrix.html?" in address, address)
        return address.split("?", 1)[1]

    def test_both_ways(self):
        if not ARGS.replay:
            self.skipTest("no lodrix-replay given (-DLODRIX_REPLAY=...)")
        for title, query in self.experiments.items():
            with self.subTest(title):
                # The page opened on the link, then its link opened by lodrix-replay.
                driver = start_browser("fr-FR", query="?" + query)
                try:
                    run(driver, "tick")  # the idle ticks the timer drew change nothing more
                    page_state = state(driver)
                    page_query = self.page_link(driver)
                finally:
                    driver.quit()
                self.assertEqual(page_query, query, "the page writes the link it was opened with")
                replay_state, replay_link = self.replay("open", page_query, "tick", "state", "link")
                self.assertEqual(without_rects(json.loads(replay_state)), without_rects(page_state))
                self.assertEqual(replay_link.split("?", 1)[1], query)
        # Set by a person's commands in lodrix-replay; its link opens the same state in the page.
        replay_query = self.replay(*" ".join(self.set_by_commands).split(), "link")[-1].split("?", 1)[1]
        replay_state = self.replay("open", replay_query, "tick", "state")[-1]
        driver = start_browser("en-US", query="?" + replay_query)
        try:
            run(driver, "tick")
            self.assertEqual(without_rects(state(driver)), without_rects(json.loads(replay_state)))
            # And the same commands in the page give the same link.
            driver.get("file://" + os.path.abspath(ARGS.page) + "?lang=fr")
            WebDriverWait(driver, 10).until(lambda d: d.execute_script("return !!window.lodrix"))
            run(driver, "\n".join(self.set_by_commands))
            self.assertEqual(self.page_link(driver), replay_query)
        finally:
            driver.quit()

    def test_bad_link_changes_nothing(self):
        plain = start_browser("fr-FR")
        try:
            run(plain, "tick")
            expected = state(plain)
        finally:
            plain.quit()
        driver = start_browser("fr-FR", query="?lang=en&lesson=2&gain=1e400")
        try:
            message = driver.execute_script(
                "const m = document.getElementById('message'); return m.checkVisibility() && m.innerText")
            self.assertIn("Link refused: gain=1e400", message, "in the language the link names")
            run(driver, "tick")
            self.assertEqual(state(driver), expected, "the page as on a plain open")
            self.assertEqual(driver.execute_script("return document.documentElement.lang"), "fr")
        finally:
            driver.quit()

    def test_menu_copies_the_link(self):
        driver = start_browser("fr-FR", query="?lesson=2&mode=1")
        try:
            driver.allow_clipboard()
            ActionChains(driver).context_click(driver.find_element(By.ID, "FOND")).perform()
            driver.find_element(By.CSS_SELECTOR, '#menu [data-action="link"]').click()
            copied = driver.execute_async_script("""
                const done = arguments[0];
                setTimeout(async () => {
                    try { done(await navigator.clipboard.readText()); } catch (e) { done(String(e)); }
                }, 200);""")
            self.assertEqual(copied, driver.execute_script("return window.lodrix.link()"))
            self.assertTrue(copied.endswith("lodrix.html?lesson=2&mode=1&lang=fr"), copied)
            # It says so, for a moment.
            self.assertEqual(notice(driver), "Lien copié dans le presse-papiers.")
            WebDriverWait(driver, 6).until(lambda d: notice(d) is None, "the message stays")
        finally:
            driver.quit()

    def test_refusal_speaks_the_links_language(self):
        for browser, query, refusal in (("en-US", "?lang=fr&lesson=9", "Lien refusé : lesson=9"),
                                        ("fr-FR", "?lesson=9&lang=en", "Link refused: lesson=9")):
            with self.subTest(query):
                driver = start_browser(browser, query=query)
                try:
                    message = driver.execute_script(
                        "const m = document.getElementById('message'); return m.checkVisibility() && m.innerText")
                    self.assertIn(refusal, message)
                finally:
                    driver.quit()

    def test_start_by_link_as_by_press(self):
        """A link's start=1 shows the very frames a press of « Démarrer Animation » shows,
        the speed bar's « + » and « − » with them."""
        pictures = []
        for query, commands in (("?lesson=2&mode=0&start=1", "tick 330"),
                                ("?lang=fr", "menu 2\nmode 0\ntick\nstart\ntick 330")):
            driver = start_browser("fr-FR", query=query)
            try:
                run(driver, commands)
                pictures.append([driver.execute_script("return window.lodrix.picture(arguments[0])", which)
                                 for which in ("window", "scene")])
            finally:
                driver.quit()
        self.assertEqual(pictures[0], pictures[1])


class Actions(unittest.TestCase):
    """The commentary closes; K and the other actions say what they did; the hook's state."""

    def setUp(self):
        self.driver = start_browser("fr-FR")

    def tearDown(self):
        self.driver.quit()

    def test_commentary_closes(self):
        driver = self.driver
        shown = lambda: driver.execute_script(  # noqa: E731
            "return ['RichEdit2', 'RichEdit2Close'].map((id) => document.getElementById(id).checkVisibility())")
        run(driver, "menu 2\nmode 0\nstart\ntick 330\ncomment")
        self.assertEqual(shown(), [True, True])
        driver.find_element(By.ID, "B1").click()
        self.assertEqual(shown(), [False, False], "« Commentaires » again")
        run(driver, "comment")
        ActionChains(driver).send_keys(Keys.ESCAPE).perform()
        self.assertEqual(shown(), [False, False], "Esc")
        run(driver, "comment")
        driver.find_element(By.ID, "RichEdit2Close").click()
        self.assertEqual(shown(), [False, False], "the close control")
        self.assertFalse(state(driver)["controls"]["RichEdit2"]["visible"])

    def test_keep_says_what_it_did(self):
        driver = self.driver
        run(driver, "menu 2")
        ActionChains(driver).send_keys("k").perform()
        self.assertEqual(notice(driver),
                         "Rien à garder : K garde les courbes de « Boucle fermée : réglage libre ».")
        run(driver, "menu 5\ntick")
        # Wherever the focus is, but not in a field that takes typed text.
        driver.find_element(By.ID, "SettingStep").click()
        ActionChains(driver).send_keys("k").perform()
        self.assertEqual(state(driver)["explore"]["kept"], [], "typed in the step's field")
        # Firefox's number field takes the letter as typed text: put the step
        # back, so that leaving the field refuses nothing.
        driver.execute_script("document.getElementById('SettingStep').value = '200'")
        for focus, said in (("SettingGainSlider", "Courbe gardée (1 sur 3)."),
                            ("ListBox1", "Rien à garder : cette courbe est déjà gardée.")):
            driver.execute_script("document.getElementById(arguments[0]).focus()", focus)
            ActionChains(driver).send_keys("k").perform()
            self.assertEqual(notice(driver), said, focus)
            self.assertEqual(len(state(driver)["explore"]["kept"]), 1)
        WebDriverWait(driver, 6).until(lambda d: notice(d) is None, "the message goes away by itself")

    def test_state_and_rects(self):
        driver = self.driver
        line = driver.execute_script("return window.lodrix.state()")
        self.assertEqual(json.loads(line), state(driver))
        controls = json.loads(line)["controls"]
        self.assertEqual(controls["Button1"]["rect"], [488, 512, 105, 25])
        self.assertEqual(controls["FOND"]["rect"], [8, 16, 785, 225])


class PageOfTheLinks(unittest.TestCase):
    """The link lodrix-replay writes, as the desktop copies it, opens this page on the same experiment."""

    query = "lesson=5&corrector=PC&gain=6.8&period=0.05&step=300&input=ramp&load=300&loadfrom=2&speed=20&lang=en"

    def test_copied_link_opens_the_page(self):
        if not ARGS.replay:
            self.skipTest("no lodrix-replay given (-DLODRIX_REPLAY=...)")
        page = "file://" + urllib.request.pathname2url(os.path.abspath(ARGS.page))
        environment = dict(os.environ)
        # A packaged lodrix-replay finds the page installed beside it; any
        # other is given this page's address as a teacher names the class's.
        environment["LODRIX_PAGE_URL"] = "" if ARGS.packaged else page
        result = subprocess.run([ARGS.replay, "open", self.query, "tick", "state", "link"], env=environment,
                                capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        replay_state, link = result.stdout.splitlines()
        self.assertEqual(link, page + "?" + self.query)
        driver = start_browser("fr-FR")
        try:
            driver.get(link)
            WebDriverWait(driver, 10).until(lambda d: d.execute_script("return !!window.lodrix"))
            run(driver, "tick")
            self.assertEqual(without_rects(state(driver)), without_rects(json.loads(replay_state)))
            self.assertEqual(driver.execute_script("return window.lodrix.link()"), link)
        finally:
            driver.quit()


class TeacherCommentary(unittest.TestCase):
    """A teacher's own RTF file, read in the browser, shown for its lesson; hostile files refused."""

    TEACHER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "teacher", "lodrix1.rtf")

    @classmethod
    def setUpClass(cls):
        cls.driver = start_browser("fr-FR")
        cls.folder = tempfile.mkdtemp(prefix="lodrix-commentaries-")

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def choose(self, path):
        """The file given to the page's file control, then what the box and the message show."""
        self.driver.find_element(By.ID, "CommentaryFile").send_keys(os.path.abspath(path))
        return WebDriverWait(self.driver, 10).until(lambda d: d.execute_script("""
            const m = document.getElementById('message');
            const text = window.lodrix.commentaryText();
            if (!m.hidden) return {message: m.innerText, text};
            return text.includes('Mme Martin') || text.includes('<script>') ? {message: null, text} : null;"""))

    def close_message(self):
        self.driver.execute_script("document.querySelector('#message button').click()")

    def test_a_teachers_file_shown(self):
        driver = self.driver
        run(driver, "menu 2")
        shown = self.choose(self.TEACHER)
        self.assertIsNone(shown["message"])
        self.assertTrue(shown["text"].startswith("Commentaire de Mme Martin\n"), shown["text"])
        self.assertIn("Pour la séance du jeudi", shown["text"])
        self.assertTrue(state(driver)["controls"]["RichEdit2"]["visible"])
        # Still the teacher's at the end of the lesson; another lesson keeps its own.
        run(driver, "mode 0\nstart\ntick 330\ncomment")
        self.assertIn("Mme Martin", driver.execute_script("return window.lodrix.commentaryText()"))
        run(driver, "menu 3\nstart\ntick 330\ncomment")
        other = driver.execute_script("return window.lodrix.commentaryText()")
        self.assertNotIn("Mme Martin", other)
        self.assertIn("Compensation du pôle", other)
        # A file dropped on the page reads the same way.
        run(driver, "menu 4")
        with open(self.TEACHER, "rb") as f:
            data = base64.b64encode(f.read()).decode("ascii")
        driver.execute_script("""
            const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
            const files = new DataTransfer();
            files.items.add(new File([bytes], 'deux-coups.rtf'));
            document.getElementById('FOND').dispatchEvent(
                new DragEvent('drop', {dataTransfer: files, bubbles: true, cancelable: true}));""", data)
        WebDriverWait(driver, 10).until(
            lambda d: "Mme Martin" in d.execute_script("return window.lodrix.commentaryText()"))

    def test_hostile_files_refused(self):
        driver = self.driver
        run(driver, "menu 5\nmode 0\nstart\ntick 330\ncomment")  # a lesson no other test gave a file
        before = (state(driver), driver.execute_script("return window.lodrix.commentaryText()"))
        files = {
            "huge.rtf": b"{\\rtf1 " + b"x" * (4 * 1024 * 1024) + b"}",
            "page.rtf": b"<html><body><script>window.pwned = 1</script></body></html>",
            "empty.rtf": b"",
            "many-paragraphs.rtf": b"{\\rtf1 " + b"\\par " * 200000 + b"}",
        }
        for name, data in files.items():
            with self.subTest(name):
                path = os.path.join(self.folder, name)
                with open(path, "wb") as f:
                    f.write(data)
                shown = self.choose(path)
                self.assertIsNotNone(shown["message"], "a message")
                self.assertIn(f"Impossible d'ouvrir le commentaire « {name} »", shown["message"])
                self.close_message()
                self.assertEqual((state(driver), driver.execute_script("return window.lodrix.commentaryText()")),
                                 before, "nothing else changed")
        # Markup in an RTF's text is text: shown as written, nothing runs, no element appears.
        path = os.path.join(self.folder, "markup.rtf")
        with open(path, "wb") as f:
            f.write(b"{\\rtf1{\\fonttbl{\\f0 x\"><img src=x onerror=window.pwned=2>;}}\\f0 "
                    b"<script>window.pwned = 3</script> \\'3cimg src=x onerror=window.pwned=4>}")
        shown = self.choose(path)
        self.assertIsNone(shown["message"])
        self.assertIn("<script>window.pwned = 3</script>", shown["text"])
        facts = driver.execute_script("""
            const box = document.getElementById('RichEdit2');
            return [window.pwned ?? null, box.querySelectorAll('script, img').length,
                    [...box.querySelectorAll('*')].some((e) => [...e.attributes].some((a) => a.name.startsWith('on')))];""")
        self.assertEqual(facts, [None, 0, False])


class Layout(unittest.TestCase):
    """The form fills the browser's window, keeps its proportions, and every text fits."""

    # CSS pixels and device ratio; screen pixels per canvas pixel when it must
    # be a whole number (None: as large as fits); how the canvases are scaled.
    sizes = {
        "phone held sideways": (740, 360, 3, None, "pixelated"),
        "small window": (640, 400, 1, None, "auto"),
        "laptop": (1366, 768, 1, None, "pixelated"),
        "projector": (1920, 1080, 1, None, "pixelated"),
        "just over twice the form": (1700, 1190, 1, 2, "pixelated"),
        "twice the form on a double-density screen": (800, 600, 2, 2, "pixelated"),
        "a tall window on a desktop": (600, 1000, 1, None, "auto"),
    }

    def measure(self, width, height, ratio):
        driver = start_browser("en-US", width, height, ratio)
        try:
            return driver.execute_script("""
                const rect = (id) => document.getElementById(id).getBoundingClientRect();
                // Each text's advance in its own font against the room inside its
                // control (a list row: the list's room less the row's padding).
                const measure = document.createElement('canvas').getContext('2d');
                const px = (style, side) => parseFloat(style['padding' + side]);
                const wide = [...document.querySelectorAll('#form .label, #form button, #form option')].filter((e) => {
                    const box = e.tagName === 'OPTION' ? e.parentElement : e;
                    // Shown for the measure, with whatever hides it (a menu, a group).
                    const hidden = [];
                    for (let a = box; a; a = a.parentElement) {
                        if (a.hidden)
                            hidden.push(a);
                    }
                    hidden.forEach((a) => { a.hidden = false; });
                    const style = getComputedStyle(e), boxStyle = getComputedStyle(box);
                    measure.font = `${style.fontWeight} ${style.fontSize} ${style.fontFamily}`;
                    let room = box.clientWidth - px(boxStyle, 'Left') - px(boxStyle, 'Right');
                    if (box !== e)
                        room -= px(style, 'Left') + px(style, 'Right');
                    hidden.forEach((a) => { a.hidden = true; });
                    return measure.measureText(e.textContent).width > room;
                }).map((e) => e.id || e.textContent);
                return {canvas: rect('Canvas').toJSON(), scene: rect('FOND').toJSON(), wide,
                        hand: document.body.classList.contains('hand'),
                        viewport: [innerWidth, innerHeight, devicePixelRatio],
                        rendering: getComputedStyle(document.getElementById('Canvas')).imageRendering};""")
        finally:
            driver.quit()

    def test_window_sizes(self):
        for title, (width, height, ratio, blocks, rendering) in self.sizes.items():
            with self.subTest(title):
                m = self.measure(width, height, ratio)
                canvas = m["canvas"]
                self.assertEqual(m["viewport"], [width, height, ratio])
                scale = canvas["width"] / FORM_WIDTH
                # To a layout unit: Firefox places boxes in 60ths of a pixel.
                self.assertAlmostEqual(canvas["height"] / FORM_HEIGHT, scale, delta=1 / 60 / FORM_HEIGHT,
                                       msg="proportions kept")
                self.assertTrue(canvas["width"] <= width + 0.5 and canvas["height"] <= height + 0.5, canvas)
                self.assertGreaterEqual(max(canvas["width"] / width, canvas["height"] / height), 0.9, "fills")
                if blocks:
                    self.assertAlmostEqual(scale * ratio, blocks, delta=1e-9)
                    self.assertAlmostEqual(canvas["left"] * ratio, round(canvas["left"] * ratio), delta=1e-6)
                self.assertAlmostEqual(m["scene"]["left"] - canvas["left"], 8 * scale, delta=0.01)
                self.assertEqual(m["rendering"], rendering)
                self.assertEqual(m["wide"], [], "texts wider than their controls")
                self.assertFalse(m["hand"], "a mouse's screen keeps the form")

    def test_strip_shows_whole_values(self):
        """Every field of the free-setting strip shows its whole value, its widest,
        beside its spin buttons or its list's arrow: at 1024 x 768 and in full screen."""
        driver = start_browser("fr-FR", 1024, 768)
        try:
            run(driver, "menu 5\nset gain 23.92\nset step 2047\nset load -2047\nset loadfrom 7")
            self.check_strip(driver, "1024 x 768")
            ActionChains(driver).move_to_element(driver.find_element(By.ID, "fullscreen")).click().perform()
            WebDriverWait(driver, 5).until(lambda d: d.execute_script("""
                const r = document.getElementById('Canvas').getBoundingClientRect();
                return !!document.fullscreenElement && innerWidth === screen.width
                    && Math.max(r.width / innerWidth, r.height / innerHeight) >= 0.9;"""))
            self.check_strip(driver, "full screen")
        finally:
            driver.quit()

    def check_strip(self, driver, where):
        """Each field drawn as it is, then without its spin buttons or arrow: the
        value's ink must be the same in both, and its text fit the room."""
        plain = ("#FreeSettings select { appearance: none; } #FreeSettings input { appearance: textfield; }"
                 " #FreeSettings input::-webkit-inner-spin-button { display: none; }")
        fields = driver.execute_script("""
            return [...document.querySelectorAll('#FreeSettings select, #FreeSettings input:not([type=range])')]
                .filter((e) => e.getClientRects().length)
                .map((e) => [e.id, e.options ? e.options.length : 0]);""")
        self.assertGreaterEqual(len(fields), 8, "the strip's fields are shown")
        for field, options in fields:
            element = driver.find_element(By.ID, field)
            for option in range(options) if options else [None]:
                with self.subTest(where=where, field=field, option=option):
                    text = driver.execute_script("""
                        const [e, option] = arguments;
                        document.activeElement.blur();
                        if (option !== null)
                            e.selectedIndex = option;
                        return option === null ? e.value : e.options[option].text;""", element, option)
                    ActionChains(driver).move_to_element(element).perform()  # Chromium shows its spin buttons
                    drawn = driver.get_screenshot_as_png()
                    # The room inside, less the spin buttons where the engine counts them out.
                    room = driver.execute_script("""
                        const e = arguments[0], style = getComputedStyle(e);
                        const measure = document.createElement('canvas').getContext('2d');
                        measure.font = `${style.fontWeight} ${style.fontSize} ${style.fontFamily}`;
                        return [measure.measureText(arguments[1]).width,
                                e.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight),
                                e.scrollWidth, e.clientWidth];""", element, text)
                    driver.execute_script("""
                        const style = document.createElement('style');
                        style.id = 'plainFields';
                        style.textContent = arguments[0];
                        document.head.append(style);""", plain)
                    try:
                        bare = driver.get_screenshot_as_png()
                    finally:
                        driver.execute_script("document.getElementById('plainFields').remove()")
                    self.assertLessEqual(room[0], room[1], f"« {text} » is wider than its field")
                    self.assertLessEqual(room[2], room[3], "the field scrolls")
                    ink, covered = driver.execute_async_script("""
                        const [field, drawn, bare, done] = arguments;
                        (async () => {
                        const pixels = async (png) => {
                            const image = await createImageBitmap(
                                await (await fetch('data:image/png;base64,' + png)).blob());
                            const canvas = new OffscreenCanvas(image.width, image.height);
                            const context = canvas.getContext('2d');
                            context.drawImage(image, 0, 0);
                            return context.getImageData(0, 0, image.width, image.height);
                        };
                        const [a, b] = [await pixels(drawn), await pixels(bare)];
                        if (a.width !== b.width || a.height !== b.height)
                            return done([0, 'sizes differ']);
                        // Inside the field's sunken border, the value's dark pixels.
                        const r = field.getBoundingClientRect(), ratio = devicePixelRatio;
                        const edge = Math.ceil(3 * r.height / 19 * ratio);
                        let ink = 0, covered = 0;
                        for (let y = Math.round(r.top * ratio) + edge; y < Math.round(r.bottom * ratio) - edge; ++y) {
                            for (let x = Math.round(r.left * ratio) + edge; x < Math.round(r.right * ratio) - edge; ++x) {
                                const i = 4 * (y * b.width + x);
                                if (Math.max(b.data[i], b.data[i + 1], b.data[i + 2]) >= 128)
                                    continue;
                                ++ink;
                                if ([0, 1, 2].some((c) => a.data[i + c] !== b.data[i + c]))
                                    ++covered;
                            }
                        }
                        done([ink, covered]);
                        })().catch((e) => done([0, String(e)]));""",
                        element, base64.b64encode(drawn).decode("ascii"), base64.b64encode(bare).decode("ascii"))
                    self.assertGreater(ink, 0, "the value is drawn")
                    self.assertEqual(covered, 0, f"of « {text} »'s {ink} dark pixels, so many are covered")

    def test_fullscreen_button(self):
        driver = start_browser("en-US", width=400, height=300)
        try:
            button = driver.find_element(By.ID, "fullscreen")
            self.assertEqual(button.text, "Full screen")
            ActionChains(driver).move_to_element(button).click().perform()
            WebDriverWait(driver, 5).until(lambda d: d.execute_script(
                "return !!document.fullscreenElement && innerWidth === screen.width"))
            # In the page's language once in full screen too.
            WebDriverWait(driver, 5).until(lambda d: button.text == "Window", f"the button reads {button.text}")
            # The page lays the form out again when the resize reaches it.
            def fills(d):
                return d.execute_script("""const r = document.getElementById('Canvas').getBoundingClientRect();
                                           return Math.max(r.width / innerWidth, r.height / innerHeight);""")
            try:
                WebDriverWait(driver, 5).until(lambda d: fills(d) >= 0.9)
            except TimeoutException:
                self.fail(f"the form fills {fills(driver):.2f} of the screen, not 0.9")
        finally:
            driver.quit()


def slider_moves(driver, moves=60, view="locus"):
    """Moves the gain slider as a drag does, one input event a position, and
    gives for each move the milliseconds from the event to the new frame in
    the canvas, and whether the root locus's picture changed; `view` is the
    views area's (lodrix-replay's view NAME [large])."""
    return driver.execute_script("""
        const moves = arguments[0];
        window.lodrix.run('menu 5\\ntick\\nview ' + arguments[1]);
        const slider = document.getElementById('SettingGainSlider');
        const canvas = document.getElementById('Canvas').getContext('2d');
        const plots = () => canvas.getImageData(0, 250, 800, 150).data.join();
        const results = [];
        for (let i = 0; i < moves; ++i) {
            const before = plots();
            const t0 = performance.now();
            slider.value = String(100 + 3 * i);
            slider.dispatchEvent(new Event('input', {bubbles: true}));
            const ms = performance.now() - t0;
            results.push([ms, plots() !== before]);
        }
        return results;""", moves, view)


def figures():
    """The budget figures of the page in this Chromium."""
    driver = start_browser(width=1280, height=800)
    try:
        mark = "return performance.getEntriesByName('lodrix-first-picture')[0]?.startTime"
        first = WebDriverWait(driver, 10).until(lambda d: d.execute_script(mark))
        # Every tick of every lesson, the closed loops straight through.
        ticks = driver.execute_script("""
            const times = [];
            const lessons = document.getElementById('ListBox1').options.length;
            for (let lesson = 0; lesson < lessons; ++lesson) {
                window.lodrix.run(`menu ${lesson}` + (lesson >= 2 ? '\\nmode 0' : '') + '\\nstart');
                for (let i = 0; i < 320; ++i) {
                    const t0 = performance.now();
                    window.lodrix.run('tick');
                    times.push(performance.now() - t0);
                }
            }
            return times;""")
        moves = [ms for ms, _ in slider_moves(driver)]
        # The same with each view of the views area shown, in its place and enlarged.
        view_moves = {f"{view}{size}": statistics.median(ms for ms, _ in slider_moves(driver, 30, view + size))
                      for view in ("locus", "bode", "nyquist", "black", "period") for size in ("", " large")}
        driver.execute_script("window.lodrix.run('view locus')")
        # The real timer at 10 ms: from the start press to the end tick's "Commentaires".
        driver.refresh()
        WebDriverWait(driver, 10).until(lambda d: d.execute_script("return !!window.lodrix"))
        pacing = driver.execute_async_script("""
            const done = arguments[0];
            const list = document.getElementById('ListBox1'), bar = document.getElementById('ScrollBar1');
            list.selectedIndex = 2;
            list.dispatchEvent(new Event('change'));
            bar.value = '10';
            bar.dispatchEvent(new Event('input'));
            setTimeout(() => {
                const t0 = performance.now();
                const seen = new MutationObserver(() => {
                    const b1 = document.getElementById('B1');
                    if (b1 && !b1.hidden) { seen.disconnect(); done(performance.now() - t0); }
                });
                seen.observe(document.getElementById('form'),
                             {subtree: true, childList: true, attributes: true});
                document.getElementById('Button1').click();
            }, 100);""")
    finally:
        driver.quit()
    return {"bytes": os.path.getsize(ARGS.page), "first_picture_ms": round(first, 1),
            "tick_median_ms": round(statistics.median(ticks), 2), "ticks": len(ticks),
            "setting_median_ms": round(statistics.median(moves), 2),
            "setting_view_median_ms": {view: round(ms, 2) for view, ms in view_moves.items()},
            "pacing_319_ticks_at_10_ms": round(pacing, 1)}


def touch(driver, kind, *points):
    """A touch of the screen by Chromium's input pipeline, as a finger's: its taps make clicks."""
    driver.execute_cdp_cmd("Input.dispatchTouchEvent",
                           {"type": kind, "touchPoints": [{"x": x, "y": y} for x, y in points]})


def tap(driver, selector, across=0.5):
    """A finger's tap on the element, in its middle or that far across it, scrolled into view first."""
    x, y = driver.execute_script("""
        const e = document.querySelector(arguments[0]);
        e.scrollIntoView({block: 'center', inline: 'center'});
        const r = e.getBoundingClientRect();
        return [r.left + r.width * arguments[1], r.top + r.height / 2];""", selector, across)
    touch(driver, "touchStart", (x, y))
    touch(driver, "touchEnd")
    time.sleep(0.05)


class Hand(unittest.TestCase):
    """On a touch screen too small for the form's texts, the page's layout in the hand:
    measured under Chromium's phone emulation, used by touch alone."""

    SMALLEST_CELL = 13  # the form's smallest text cell, its 6 and 8 pt texts, in form pixels

    # CSS pixels, device ratio, language; whether the hand layout is chosen, and on its side.
    sizes = {
        "phone upright": (390, 844, 3, "fr-FR", True, False),
        "phone on its side": (844, 390, 3, "en-US", True, True),
        "small phone on its side": (667, 375, 2, "fr-FR", True, True),
        "tablet upright": (820, 1180, 2, "en-US", True, False),
        "tablet on its side": (1180, 820, 2, "fr-FR", False, False),
    }

    def setUp(self):
        only_in(self, "chromium", "WebDriver BiDi emulates no phone nor touch input")

    def measure(self, driver):
        """What is too small or too wide on the page as shown: every visible control under
        44 x 44 CSS pixels, every text under 12, the picture's texts as their cells times their part's scale."""
        return driver.execute_script("""
            const visible = (e) => e.checkVisibility({opacityProperty: true, visibilityProperty: true});
            const small = [];
            for (const e of document.querySelectorAll('button, select, input, [role=tab], option')) {
                const box = e.tagName === 'OPTION' ? e.parentElement : e;
                if (!visible(box) || (e.tagName === 'OPTION' && box.size <= 1))
                    continue;
                const r = e.getBoundingClientRect();
                if (r.width < 44 - 0.01 || r.height < 44 - 0.01)
                    small.push(`${e.id || e.textContent.trim()} ${Math.round(r.width)} x ${Math.round(r.height)}`);
            }
            const texts = [];
            const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
            for (let n = walker.nextNode(); n; n = walker.nextNode()) {
                const e = n.parentElement;
                if (!n.nodeValue.trim() || e.closest('template, script, style') || !visible(e))
                    continue;
                const px = parseFloat(getComputedStyle(e).fontSize);
                if (px < 12)
                    texts.push(`${e.id || e.tagName} « ${n.nodeValue.trim().slice(0, 20)} » ${px} px`);
            }
            for (const [i, part] of window.lodrix.parts().entries()) {
                if (part.shown && arguments[0] * part.scale < 12)
                    texts.push(`part ${i}: ${arguments[0]} x ${part.scale}`);
            }
            return {small, texts, hand: document.body.className,
                    width: [document.documentElement.scrollWidth, innerWidth]};""", self.SMALLEST_CELL)

    def parts_unlike_the_form(self, driver):
        """The parts drawn at a whole number of screen pixels a form pixel that differ from the form's
        window with the scene over it: each form pixel must be a block of that many screen pixels.
        A part follows the frames while it is in view: each is brought into view first."""
        return driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const load = (url) => new Promise((resolve) => {
                const image = new Image();
                image.onload = () => resolve(image);
                image.src = url;
            });
            const shown = async () => {
                for (const page of document.querySelectorAll('.part:not([hidden])')) {
                    page.scrollIntoView({block: 'start', inline: 'start'});
                    await new Promise((resolve) => setTimeout(resolve, 100));
                }
            };
            const pictures = () => Promise.all(['window', 'scene'].map((w) => load(window.lodrix.picture(w))));
            shown().then(pictures).then(([win, scene]) => {
                const form = document.createElement('canvas');
                form.width = 800;
                form.height = 560;
                const c = form.getContext('2d');
                c.drawImage(win, 0, 0);
                c.drawImage(scene, 8, 16);
                const want = c.getImageData(0, 0, 800, 560).data;
                const unlike = [];
                for (const [i, part] of window.lodrix.parts().entries()) {
                    const f = part.scale * devicePixelRatio;
                    if (!part.shown || Math.abs(f - Math.round(f)) > 1e-9)
                        continue;
                    const canvas = document.querySelectorAll('.part canvas')[i];
                    const got = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
                    const [x0, y0, w, h] = part.rect;
                    let differ = 0;
                    for (let y = 0; y < h * f; ++y) {
                        for (let x = 0; x < w * f; ++x) {
                            const a = 4 * (y * canvas.width + x);
                            const b = 4 * ((y0 + Math.floor(y / f)) * 800 + x0 + Math.floor(x / f));
                            if (got[a] !== want[b] || got[a + 1] !== want[b + 1] || got[a + 2] !== want[b + 2])
                                ++differ;
                        }
                    }
                    if (differ || canvas.width !== w * f || canvas.height !== h * f)
                        unlike.push(`part ${i} at ${f}: ${differ} pixels, ${canvas.width} x ${canvas.height}`);
                }
                done(unlike);
            });""")

    def test_sizes(self):
        """At each size, with the free-setting strip, the actions' menu, the about box and a message shown."""
        for title, (width, height, ratio, language, hand, side) in self.sizes.items():
            with self.subTest(title):
                driver = start_browser(language, width, height, ratio, phone=True)
                try:
                    run(driver, "menu 5\nset gain 8\nstart\ntick 320")
                    m = self.measure(driver)
                    self.assertEqual(m["hand"], "hand side" if side else "hand" if hand else "")
                    self.assertEqual(m["width"], [width, width], "no horizontal scroll")
                    if not hand:
                        # The form as on a desktop: the picture whole, at 1.15 or more of its size.
                        canvas = driver.execute_script(
                            "return document.getElementById('Canvas').getBoundingClientRect().width")
                        self.assertGreaterEqual(canvas / FORM_WIDTH, 1.15)
                        continue
                    self.assertEqual(m["small"], [], "targets under 44 x 44")
                    self.assertEqual(m["texts"], [], "texts under 12 px")
                    self.assertEqual(self.parts_unlike_the_form(driver), [], "the parts as the form draws them")
                    tab = driver.execute_script(
                        "return document.querySelector('#handTabs [data-page=\"2\"]').textContent")
                    self.assertEqual(tab, "Plots" if language == "en-US" else "Courbes")
                    # The actions' menu, the about box and a message: targets and texts in the hand too.
                    tap(driver, "#handActions")
                    m = self.measure(driver)
                    self.assertEqual([m["small"], m["texts"]], [[], []], "the menu of actions")
                    tap(driver, "#menu [data-action=about]")
                    m = self.measure(driver)
                    self.assertEqual([m["small"], m["texts"]], [[], []], "the about box")
                    tap(driver, "#aboutOk")
                    driver.execute_script("""
                        const g = document.getElementById('SettingGain');
                        g.value = 'abc';
                        g.dispatchEvent(new Event('change'));""")
                    m = self.measure(driver)
                    self.assertEqual([m["small"], m["texts"]], [[], []], "a message")
                    self.assertEqual(m["width"], [width, width], "no horizontal scroll")
                finally:
                    driver.quit()

    def test_by_touch_alone(self):
        """On a phone held upright: the free-setting lesson chosen, G dragged to 8, the run started, kept
        and paused, the commentary opened and closed, all by touch; a pinch zooms a part, a double tap
        brings it back; turned, the page lays out a part a screen."""
        driver = start_browser("fr-FR", 390, 844, 3, phone=True)
        try:
            # The hook's own commands hold the timer: the page is read, never driven, by it here.
            now = lambda: json.loads(driver.execute_script("return window.lodrix.state()"))  # noqa: E731
            tap(driver, "#ScrollBar1", 0.02)
            self.assertEqual(now()["interval"], 10, "the fastest")
            tap(driver, "#ListBox1 option:nth-child(6)")
            self.assertEqual(now()["rubrique"], 5)
            gain_of = lambda: now()["explore"]["gain"]  # noqa: E731
            # The slider's handle dragged from its middle to the place of G = 8: a
            # hundred positions a decade from G = 0.1.
            wanted = 8
            x0, y, x1 = driver.execute_script("""
                const s = document.getElementById('SettingGainSlider');
                s.scrollIntoView({block: 'center'});
                const r = s.getBoundingClientRect();
                const thumb = parseFloat(getComputedStyle(s).getPropertyValue('--gain-thumb'));
                const at = (p) => r.left + thumb / 2 + (r.width - thumb) * p / Number(s.max);
                return [at(Number(s.value)), r.top + r.height / 2,
                        at(100 * Math.log10(arguments[0] / 0.1))];""", wanted)
            self.assertGreaterEqual(driver.find_element(By.ID, "SettingGainSlider").rect["width"], 200)
            touch(driver, "touchStart", (x0, y))
            for k in range(1, 11):
                touch(driver, "touchMove", (x0 + (x1 - x0) * k / 10, y))
            touch(driver, "touchEnd")
            gain = float(driver.find_element(By.ID, "SettingGain").get_attribute("value").replace(",", "."))
            self.assertLessEqual(abs(gain - wanted), 0.05 * wanted, f"G = {gain}")
            self.assertEqual(gain_of(), gain)
            tap(driver, "#SettingGainUp")
            self.assertGreater(gain_of(), gain, "+")
            tap(driver, "#SettingGainDown")
            self.assertEqual(gain_of(), gain, "− back")
            tap(driver, "#Button1")
            WebDriverWait(driver, 5).until(lambda d: now()["compteur"] > 50, "the run goes on")
            tap(driver, "#handActions")
            tap(driver, "#menu [data-action=keep]")
            self.assertEqual(notice(driver), "Courbe gardée (1 sur 3).")
            tap(driver, "#handActions")
            tap(driver, "#menu [data-action=pause]")
            self.assertTrue(driver.execute_script("return document.getElementById('pauseSign').checkVisibility()"))
            held = now()["compteur"]
            time.sleep(0.3)
            self.assertEqual(now()["compteur"], held, "held")
            tap(driver, "#handActions")
            tap(driver, "#menu [data-action=pause]")
            self.assertFalse(driver.execute_script("return document.getElementById('pauseSign').checkVisibility()"))
            WebDriverWait(driver, 10).until(
                lambda d: d.execute_script("return !!document.getElementById('B1')?.checkVisibility()"), "the end")
            tap(driver, "#B1")
            sheet = driver.execute_script("""
                const box = document.getElementById('RichEdit2').getBoundingClientRect();
                const sizes = [...document.querySelectorAll('#RichEdit2, #RichEdit2 *')].map(
                    (e) => parseFloat(getComputedStyle(e).fontSize));
                return [box.width, box.height, Math.min(...sizes),
                        document.getElementById('RichEdit2Close').getBoundingClientRect().width];""")
            self.assertEqual(sheet[:2], [390, 844], "over the whole screen")
            self.assertGreaterEqual(sheet[2], 16)
            self.assertGreaterEqual(sheet[3], 44)
            tap(driver, "#RichEdit2Close")
            self.assertFalse(driver.execute_script("return document.getElementById('RichEdit2').checkVisibility()"))

            # Two fingers spread over the plots: the part grows; a double tap fits it again.
            scale = lambda: driver.execute_script(  # noqa: E731
                "return document.querySelectorAll('.part canvas')[1].getBoundingClientRect().width")
            fitted = scale()
            cx, cy = driver.execute_script("""
                const p = document.querySelectorAll('.part')[1];
                p.scrollIntoView({block: 'center'});
                const r = p.getBoundingClientRect();
                return [r.left + r.width / 2, r.top + r.height / 2];""")
            touch(driver, "touchStart", (cx - 20, cy), (cx + 20, cy))
            for k in range(1, 6):
                touch(driver, "touchMove", (cx - 20 - 10 * k, cy), (cx + 20 + 10 * k, cy))
            touch(driver, "touchEnd")
            self.assertAlmostEqual(scale() / fitted, 140 / 40, delta=0.05, msg="pinched")
            self.assertEqual(driver.execute_script("return document.documentElement.scrollWidth"), 390)
            for _ in range(2):
                touch(driver, "touchStart", (cx, cy))
                touch(driver, "touchEnd")
            self.assertEqual(scale(), fitted, "a double tap")

            # Turned: a part a screen, the tabs move between them.
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                   {"width": 844, "height": 390, "deviceScaleFactor": 3, "mobile": True})
            WebDriverWait(driver, 5).until(lambda d: d.execute_script("return document.body.className") == "hand side")
            tap(driver, "#handTabs [data-page='3']")
            WebDriverWait(driver, 5).until(lambda d: d.execute_script("""
                const r = document.querySelectorAll('.part')[2].getBoundingClientRect();
                return Math.abs(r.left) < 1 && r.width === innerWidth
                       && document.querySelector('#handTabs [data-page="3"]').ariaSelected === 'true';"""),
                "the root locus's tab shows it")
        finally:
            driver.quit()



class Laboratory(unittest.TestCase):
    """The free-setting entry answers while the gain slider moves."""

    def test_every_move_redraws_at_once(self):
        driver = start_browser()
        try:
            run(driver, "")
            moves = slider_moves(driver, 20)
            self.assertTrue(all(changed for _, changed in moves), "every move redrew the plots and the locus")
            explore = state(driver)["explore"]
            self.assertEqual(explore["gain"], 3.715, "position 157 gives G = 3.715")
            gain_field = driver.execute_script("return document.getElementById('SettingGain').value")
            self.assertEqual(gain_field, "3,715", "the number field follows the slider, in French")
            run(driver, "set gain 23.92")
            position = driver.execute_script("return document.getElementById('SettingGainSlider').value")
            self.assertEqual(position, "238", "the slider follows the number field")

            # Here, and only here, the menu offers to keep and clear runs.
            def visible_items():
                return driver.execute_script("""
                    return [...document.querySelectorAll('#menu > [role=menuitem]')]
                        .filter((e) => e.checkVisibility()).map((e) => e.dataset.action);""")
            ActionChains(driver).context_click(driver.find_element(By.ID, "FOND")).perform()
            self.assertEqual(visible_items()[-2:], ["keep", "clearKept"])
            ActionChains(driver).send_keys(Keys.UP, Keys.UP, Keys.ENTER).perform()
            self.assertEqual(state(driver)["explore"]["kept"][0]["gain"], 23.92, "the item before the last kept")
            ActionChains(driver).key_down(Keys.SHIFT).send_keys("K").key_up(Keys.SHIFT).perform()
            self.assertEqual(state(driver)["explore"]["kept"], [], "Shift+K cleared")
            ActionChains(driver).send_keys("k").perform()
            self.assertEqual(len(state(driver)["explore"]["kept"]), 1, "K kept")
            run(driver, "menu 2")
            self.assertEqual(state(driver)["explore"]["kept"], [], "another lesson clears the kept runs")
            ActionChains(driver).context_click(driver.find_element(By.ID, "FOND")).perform()
            self.assertNotIn("keep", visible_items())
        finally:
            driver.quit()


class Strip(unittest.TestCase):
    """The free-setting strip: a gain slider fine enough to sweep, the critical gain
    marked on it, fields in the page's language whose texts fit, the menu's rows whole."""

    def gain(self, driver):
        return state(driver)["explore"]["gain"]

    def test_gain_slider_sweeps_slowly(self):
        # At 840 x 600 the form is drawn at 1x: a CSS pixel is a form pixel.
        driver = start_browser("fr-FR", 840, 600)
        try:
            run(driver, "menu 5\nset gain 0.1")
            slider = driver.find_element(By.ID, "SettingGainSlider")
            width = driver.execute_script("return arguments[0].getBoundingClientRect().width", slider)
            self.assertGreaterEqual(width, 145)
            # Held on the thumb's centre at the left end, then moved a pixel at a time.
            actions = ActionChains(driver).move_to_element_with_offset(slider, -width / 2 + 7.5, 0).click_and_hold()
            actions.perform()
            gains = [self.gain(driver)]
            for _ in range(round(width) + 3):
                ActionChains(driver).move_by_offset(1, 0).perform()
                gains.append(self.gain(driver))
            ActionChains(driver).release().perform()
            self.assertEqual((gains[0], gains[-1]), (0.1, 1000))
            steepest = max(b / a for a, b in zip(gains, gains[1:]))
            self.assertLessEqual(steepest, 1.075, f"one pixel multiplies G by {steepest:.3f}")
        finally:
            driver.quit()

    def test_critical_gain_marked(self):
        """A click on the mark gives the critical gain, within a pixel's ×1.05;
        the mark moves with the period and the corrector, and is gone without one."""
        driver = start_browser("fr-FR", 840, 600)
        try:
            places = []
            for setting in ("set corrector P\nset period 0.1", "set period 0.025", "set corrector PC\nset period 0.2",
                            "set corrector DB"):
                run(driver, "menu 5\n" + setting)
                mark = driver.find_element(By.ID, "SettingGainMark")
                critical = state(driver)["explore"]["criticalGain"]
                if critical is None:
                    self.assertFalse(mark.is_displayed())
                    continue
                places.append(mark.rect["x"])
                ActionChains(driver).move_to_element(mark).click().perform()
                gain = self.gain(driver)
                self.assertLessEqual(max(gain / critical, critical / gain), 1.05, (setting, gain, critical))
            self.assertEqual(len(set(places)), 3, "the mark moved with the period and the corrector")
        finally:
            driver.quit()

    def test_fields_speak_the_language(self):
        for language, shown in (("fr-FR", "2,5"), ("en-US", "2.5")):
            driver = start_browser(language)
            try:
                run(driver, "menu 5")
                field = driver.find_element(By.ID, "SettingGain")
                self.assertEqual(field.get_attribute("value"), shown)
                for typed, gain in (("3.5", 3.5), ("4,25", 4.25)):
                    ActionChains(driver).click(field).key_down(Keys.CONTROL).send_keys("a").key_up(Keys.CONTROL) \
                        .send_keys(typed, Keys.TAB).perform()
                    self.assertEqual(self.gain(driver), gain, typed)
                self.assertEqual(field.get_attribute("value"), shown.replace("2", "4").replace("5", "25"))
            finally:
                driver.quit()

    def test_strip_texts_fit_and_rows_whole(self):
        for language in ("fr-FR", "en-US"):
            driver = start_browser(language, 840, 600)
            try:
                ActionChains(driver).move_to_element(driver.find_elements(By.CSS_SELECTOR, "#ListBox1 option")[2]) \
                    .click().perform()
                rows = driver.find_elements(By.CSS_SELECTOR, "#ListBox1 option")
                driver.execute_script("arguments[0].scrollIntoView({block: 'nearest'})", rows[5])
                ActionChains(driver).move_to_element(rows[5]).click().perform()
                time.sleep(0.3)
                facts = driver.execute_script("""
                    const $ = (id) => document.getElementById(id);
                    const engine = arguments[0];
                    const list = $('ListBox1'), row = list.options[0].offsetHeight;
                    const chosen = list.options[list.selectedIndex];
                    const measure = document.createElement('canvas').getContext('2d');
                    const room = (e, arrow) => { const s = getComputedStyle(e);
                        return e.clientWidth - parseFloat(s.paddingLeft) - parseFloat(s.paddingRight) - arrow; };
                    const width = (e, text) => { const s = getComputedStyle(e);
                        measure.font = `${s.fontWeight} ${s.fontSize} ${s.fontFamily}`;
                        return measure.measureText(text).width; };
                    const wide = [];
                    for (const select of $('FreeSettings').querySelectorAll('select'))
                        for (const o of select.options)  // the arrow takes 16 pixels
                            if (width(select, o.text) > room(select, 16)) wide.push(o.text);
                    const extremes = {SettingGain: ['23,92', '1000'], SettingStep: ['2047'],
                                      SettingLoad: ['-2047'], SettingLoadFrom: ['7']};
                    for (const [id, texts] of Object.entries(extremes)) {
                        // A number field's spin buttons: Firefox leaves them out of clientWidth.
                        const spin = $(id).type === 'number' && engine !== 'firefox' ? 14 : 0;
                        for (const text of texts)
                            if (width($(id), text) > room($(id), spin)) wide.push(`${id} ${text}`);
                    }
                    for (const label of $('FreeSettings').querySelectorAll('label:not([hidden])'))
                        if (width(label, label.textContent) > label.clientWidth) wide.push(label.textContent);
                    const covered = [];
                    const others = [...document.querySelectorAll('#form > *')].filter((e) =>
                        e.checkVisibility() && !['Canvas', 'FOND', 'FreeSettings'].includes(e.id));
                    for (const control of $('FreeSettings').children) {
                        const a = control.getBoundingClientRect();
                        for (const other of others) {
                            const b = other.getBoundingClientRect();
                            if (a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
                                covered.push(`${control.id || control.textContent} ${other.id}`);
                        }
                    }
                    return {wide, covered, whole: list.scrollTop % row === 0,
                            chosenShown: chosen.offsetTop >= list.scrollTop
                                         && chosen.offsetTop + row <= list.scrollTop + list.clientHeight};""",
                    driver.engine)
                self.assertEqual(facts["wide"], [], "texts wider than their fields")
                self.assertEqual(facts["covered"], [], "strip controls over the form's")
                self.assertTrue(facts["whole"], "the menu's first row shown is whole")
                self.assertTrue(facts["chosenShown"], "the chosen row is whole")
            finally:
                driver.quit()


class Budgets(unittest.TestCase):
    def test_budgets(self):
        f = figures()
        print(json.dumps(f), file=sys.stderr)
        self.assertLessEqual(f["bytes"], 3_000_000)
        self.assertLessEqual(f["first_picture_ms"], 1000)
        self.assertLessEqual(f["tick_median_ms"], 1.0)
        self.assertLessEqual(f["setting_median_ms"], 16)
        for view, ms in f["setting_view_median_ms"].items():
            self.assertLessEqual(ms, 16, view)
        self.assertLessEqual(abs(f["pacing_319_ticks_at_10_ms"] - 3190), 0.02 * 3190)


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--page", required=True)
    parser.add_argument("--replay", default="")
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    parser.add_argument("--firefox", default="/usr/bin/firefox-esr")
    parser.add_argument("--engine", choices=["chromium", "firefox"], default="chromium",
                        help="the browser the page is tested in")
    parser.add_argument("--axe", default="", help="axe-core's axe.min.js, for the accessibility checks")
    parser.add_argument("--figures", action="store_true", help="print the budget figures and stop")
    parser.add_argument("--packaged", action="store_true",
                        help="the page and lodrix-replay of a package's staged install, the page found by itself")
    ARGS, rest = parser.parse_known_args()
    if ARGS.figures:
        print(json.dumps(figures()))
        return 0
    if ARGS.replay and not os.access(ARGS.replay, os.X_OK):
        sys.exit(f"test_page.py: {ARGS.replay} is not a program: build the desktop's lodrix-replay first")
    if not unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2).result.wasSuccessful():
        return 1
    if not ARGS.replay:
        print("SKIPPED the comparisons with the desktop: no lodrix-replay given "
              "(configure with -DLODRIX_REPLAY=$PWD/build/bin/lodrix-replay)")
        return 77
    return 0


if __name__ == "__main__":
    sys.exit(main())
