"""Debian's Firefox ESR driven over WebDriver BiDi, which Firefox speaks itself.

`start` gives a driver with the part of Selenium's WebDriver that the browser
tests use (scripts, elements, Select, ActionChains, screenshots), so that each
scenario is written once for both engines. Firefox runs headless with a
throw-away profile, in a process group of its own that dies with this process.
"""

import atexit
import base64
import ctypes
import json
import math
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import weakref

import websocket
from selenium.common.exceptions import JavascriptException, NoSuchElementException, WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.remote.command import Command
from selenium.webdriver.remote.webelement import WebElement

LOOPBACK = "127.0.0.1"
ELEMENT_KEY = "element-6066-11e4-a52e-4f735466cecf"

# Every Firefox started here and still running, ended at exit whatever happened.
_running = weakref.WeakSet()


def _die_with_parent():
    # Linux's PR_SET_PDEATHSIG: killed, the test takes its Firefox with it.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)


def _kill(process):
    if process.poll() is None:
        try:
            os.killpg(process.pid, signal.SIGKILL)  # Firefox and its content processes
        except ProcessLookupError:
            pass
    process.wait()


class BiDiError(WebDriverException):
    pass


class Element(WebElement):
    """A node of the page, known to Firefox by its shared id."""

    def __init__(self, driver, shared_id):
        super().__init__(driver, shared_id)

    def _call(self, body, *args):
        return self._parent.execute_script(body, self, *args)

    @property
    def tag_name(self):
        return self._call("return arguments[0].tagName.toLowerCase()")

    @property
    def text(self):
        return self._call("return arguments[0].innerText")

    def get_attribute(self, name):
        return self._call("""const [e, n] = arguments;
            const p = e[n];
            if (p !== undefined && p !== null && typeof p !== 'object' && typeof p !== 'function')
                return String(p);
            return e.getAttribute(n);""", name)

    def get_dom_attribute(self, name):
        return self._call("return arguments[0].getAttribute(arguments[1])", name)

    def get_property(self, name):
        return self._call("return arguments[0][arguments[1]]", name)

    def is_enabled(self):
        return self._call("return !arguments[0].disabled")

    def is_selected(self):
        return self._call("return !!(arguments[0].selected ?? arguments[0].checked)")

    def is_displayed(self):
        return self._call("return arguments[0].checkVisibility()")

    def find_element(self, by=By.ID, value=None):
        return self._parent._find(by, value, self, True)

    def find_elements(self, by=By.ID, value=None):
        return self._parent._find(by, value, self, False)

    def click(self):
        # An option of a drop-down list is chosen as WebDriver's element click
        # chooses it: its list never opens.
        if self._call("""const e = arguments[0];
                const list = e.tagName === 'OPTION' && e.closest('select');
                if (!list || list.multiple || list.size > 1) {
                    e.scrollIntoView({block: 'nearest'});
                    return false;
                }
                list.focus();
                if (!e.selected) {
                    e.selected = true;
                    list.dispatchEvent(new Event('input', {bubbles: true}));
                    list.dispatchEvent(new Event('change', {bubbles: true}));
                }
                return true;"""):
            return
        self._parent.perform_actions([{"type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
                                       "actions": [{"type": "pointerMove", "x": 0, "y": 0, "origin": self._origin()},
                                                   {"type": "pointerDown", "button": 0},
                                                   {"type": "pointerUp", "button": 0}]}])

    def send_keys(self, *value):
        if self._call("return arguments[0].type === 'file'"):
            self._parent.bidi("input.setFiles", {"context": self._parent.context, "element": self._origin()["element"],
                                                 "files": "".join(value).split("\n")})
            return
        self._call("arguments[0].focus()")
        keys = [{"type": kind, "value": c} for c in "".join(value) for kind in ("keyDown", "keyUp")]
        self._parent.perform_actions([{"type": "key", "id": "keyboard", "actions": keys}])

    @property
    def screenshot_as_png(self):
        data = self._parent.bidi("browsingContext.captureScreenshot", {
            "context": self._parent.context, "clip": {"type": "element", "element": self._origin()["element"]}})
        return base64.b64decode(data["data"])

    def _origin(self):
        return {"type": "element", "element": {"sharedId": self._id}}


class Firefox:
    """The WebDriver calls the tests make, over one BiDi session."""

    engine = "firefox"

    def __init__(self, binary, language, width, height, ratio):
        self.profile = tempfile.mkdtemp(prefix="lodrix-firefox-")
        prefs = {
            "intl.accept_languages": language,
            "intl.locale.requested": language,
            # The asynchronous clipboard without the paste menu, as Firefox's own tests do.
            "dom.events.testing.asyncClipboard": True,
            "dom.events.asyncClipboard.clipboardItem": True,
            "browser.download.folderList": 2,
            "browser.download.dir": os.path.join(self.profile, "downloads"),
            "browser.download.useDownloadDir": True,
            "browser.download.always_ask_before_handling_new_types": False,
            "browser.download.panel.shown": True,
            "browser.download.alwaysOpenPanel": False,  # which takes the keys from the page
            "browser.shell.checkDefaultBrowser": False,
            # performance.now() to the microsecond, as Chromium gives it here, for the budgets.
            "privacy.reduceTimerPrecision": False,
            "full-screen-api.warning.timeout": 0,
            "full-screen-api.transition-duration.enter": "0 0",
            "full-screen-api.transition-duration.leave": "0 0",
        }
        with open(os.path.join(self.profile, "user.js"), "w", encoding="utf-8") as f:
            for name, value in prefs.items():
                f.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")
        with socket.socket() as probe:
            probe.bind((LOOPBACK, 0))
            port = probe.getsockname()[1]
        self.process = subprocess.Popen(
            [binary, "--headless", "--no-remote", "--profile", self.profile,
             f"--remote-debugging-port={port}", "--remote-allow-hosts", f"localhost,{LOOPBACK}", "about:blank"],
            env={**os.environ, "MOZ_HEADLESS": "1"}, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True, preexec_fn=_die_with_parent)
        _running.add(self)
        try:
            deadline = time.monotonic() + 60
            while True:
                try:
                    socket.create_connection((LOOPBACK, port), timeout=1).close()
                    break
                except OSError:
                    if self.process.poll() is not None or time.monotonic() > deadline:
                        raise RuntimeError(f"{binary} did not start")
                    time.sleep(0.2)
            self.socket = websocket.create_connection(f"ws://{LOOPBACK}:{port}/session",
                                                      suppress_origin=True, timeout=180)
            self.last_id = 0
            self.bidi("session.new", {"capabilities": {"alwaysMatch": {"unhandledPromptBehavior": {"default": "ignore"}}}})
            # The window Firefox opens never has the focus, headless; one opened here has.
            first = self.bidi("browsingContext.getTree", {"maxDepth": 0})["contexts"][0]["context"]
            self.context = self.bidi("browsingContext.create", {"type": "window"})["context"]
            self.bidi("browsingContext.close", {"context": first})
            self.set_viewport(width, height, ratio)
        except BaseException:
            self.quit()
            raise

    # ---- the protocol ----
    def bidi(self, method, params):
        self.last_id += 1
        self.socket.send(json.dumps({"id": self.last_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") != self.last_id:
                continue  # an event, none subscribed, or a late answer
            if message.get("type") == "error":
                raise BiDiError(f"{method}: {message['error']}: {message.get('message', '')}")
            return message["result"]

    def local(self, value):
        """A Python value as BiDi's LocalValue."""
        if value is None:
            return {"type": "null"}
        if isinstance(value, bool):
            return {"type": "boolean", "value": value}
        if isinstance(value, (int, float)):
            if isinstance(value, float) and not math.isfinite(value):
                return {"type": "number", "value": "NaN" if math.isnan(value) else
                        ("Infinity" if value > 0 else "-Infinity")}
            return {"type": "number", "value": value}
        if isinstance(value, str):
            return {"type": "string", "value": value}
        if isinstance(value, Element):
            return {"sharedId": value.id}
        if isinstance(value, (list, tuple)):
            return {"type": "array", "value": [self.local(v) for v in value]}
        if isinstance(value, dict):
            return {"type": "object", "value": [[str(k), self.local(v)] for k, v in value.items()]}
        raise TypeError(f"cannot hand {type(value).__name__} to the page")

    def remote(self, value):
        """BiDi's RemoteValue as the Python value Selenium gives."""
        kind = value["type"]
        if kind in ("undefined", "null"):
            return None
        if kind in ("string", "boolean"):
            return value["value"]
        if kind == "number":
            v = value["value"]
            if isinstance(v, str):
                return {"NaN": math.nan, "-0": -0.0, "Infinity": math.inf, "-Infinity": -math.inf}[v]
            return v
        if kind in ("array", "set", "nodelist", "htmlcollection"):
            return [self.remote(v) for v in value.get("value", [])]
        if kind in ("object", "map"):
            return {k if isinstance(k, str) else self.remote(k): self.remote(v) for k, v in value.get("value", [])}
        if kind == "node":
            return Element(self, value["sharedId"])
        raise BiDiError(f"the page gave a {kind}, which the tests do not read")

    def call(self, declaration, args):
        result = self.bidi("script.callFunction", {
            "functionDeclaration": declaration, "arguments": [self.local(a) for a in args],
            "target": {"context": self.context}, "awaitPromise": True, "userActivation": True,
            "resultOwnership": "none", "serializationOptions": {"maxDomDepth": 0, "maxObjectDepth": None}})
        if result["type"] == "exception":
            details = result["exceptionDetails"]
            raise JavascriptException(f"{details.get('text', '')} (line {details.get('lineNumber')})")
        return self.remote(result["result"])

    # ---- Selenium's WebDriver, the part the tests use ----
    def execute_script(self, script, *args):
        return self.call(f"function() {{\n{script}\n}}", args)

    def execute_async_script(self, script, *args):
        return self.call("function() { const args = [...arguments];"
                         " return new Promise((resolve) => { args.push(resolve);"
                         f" (function() {{\n{script}\n}}).apply(null, args); }}); }}", args)

    def _find(self, by, value, within, one):
        selector = {By.ID: lambda v: "#" + v.replace(":", "\\:"), By.CSS_SELECTOR: lambda v: v,
                    By.TAG_NAME: lambda v: v}[by](value)
        found = self.execute_script("return [...(arguments[0] ?? document).querySelectorAll(arguments[1])]",
                                    within, selector)
        if one:
            if not found:
                raise NoSuchElementException(f"no element {by} {value}")
            return found[0]
        return found

    def find_element(self, by=By.ID, value=None):
        return self._find(by, value, None, True)

    def find_elements(self, by=By.ID, value=None):
        return self._find(by, value, None, False)

    def get(self, url):
        self.bidi("browsingContext.navigate", {"context": self.context, "url": url, "wait": "complete"})

    def refresh(self):
        self.bidi("browsingContext.reload", {"context": self.context, "wait": "complete"})

    def get_screenshot_as_png(self):
        data = self.bidi("browsingContext.captureScreenshot", {"context": self.context})["data"]
        return base64.b64decode(data)

    def save_screenshot(self, path):
        with open(path, "wb") as f:
            f.write(self.get_screenshot_as_png())
        return True

    def perform_actions(self, actions):
        self.bidi("input.performActions", {"context": self.context, "actions": actions})

    def execute(self, command, params=None):
        """What ActionChains asks: Selenium's actions, their element origins as BiDi's."""
        if command == Command.W3C_ACTIONS:
            sources = json.loads(json.dumps(params["actions"]))
            for source in sources:
                for action in source["actions"]:
                    origin = action.get("origin")
                    if isinstance(origin, dict) and ELEMENT_KEY in origin:
                        action["origin"] = {"type": "element", "element": {"sharedId": origin[ELEMENT_KEY]}}
            self.perform_actions(sources)
            return {"value": None}
        if command == Command.W3C_CLEAR_ACTIONS:
            self.bidi("input.releaseActions", {"context": self.context})
            return {"value": None}
        if command == Command.GET_ELEMENT_RECT:
            rect = self.execute_script(
                "const r = arguments[0].getBoundingClientRect();"
                "return {x: r.left + scrollX, y: r.top + scrollY, width: r.width, height: r.height};",
                Element(self, params["id"]))
            return {"value": rect}
        raise BiDiError(f"{command} is not a call the Firefox driver makes")

    # ---- what each engine does its own way ----
    def set_viewport(self, width, height, ratio=1):
        self.bidi("browsingContext.setViewport", {"context": self.context,
                                                  "viewport": {"width": width, "height": height},
                                                  "devicePixelRatio": ratio})

    def allow_downloads(self, folder):
        """The folder where the page's downloads arrive."""
        os.makedirs(folder, exist_ok=True)
        self.bidi("browser.setDownloadBehavior", {"downloadBehavior": {"type": "allowed", "destinationFolder": folder}})
        return folder

    def named(self, name):
        """The ids of the nodes whose accessible name is name, as Firefox computes it."""
        nodes = self.bidi("browsingContext.locateNodes", {"context": self.context, "locator": {
            "type": "accessibility", "value": {"name": name}}})["nodes"]
        return [self.execute_script("return arguments[0].id", self.remote(node)) for node in nodes]

    def allow_clipboard(self):
        """Nothing to grant: the profile lets the page read and write the clipboard."""

    def quit(self):
        try:
            if getattr(self, "socket", None):
                self.socket.close()
        finally:
            _kill(self.process)
            shutil.rmtree(self.profile, ignore_errors=True)
            _running.discard(self)


def start(binary, language, width, height, ratio):
    return Firefox(binary, language, width, height, ratio)


def _end_all():
    for browser in list(_running):
        browser.quit()


atexit.register(_end_all)
