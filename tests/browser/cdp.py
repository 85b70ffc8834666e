"""A small DevTools-protocol client: starts a headless Chromium, opens its page target and runs
commands on it over a WebSocket."""
import base64
import json
import os
import shutil
import subprocess
import tempfile
import time
import urllib.request

import websocket


class Browser:
    """Headless Chromium with one page; every call waits for its own answer."""

    def __init__(self, width=1280, height=900):
        self.profile = tempfile.mkdtemp(prefix="ztbrowser-")
        self.proc = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-extensions", "--mute-audio", "--remote-debugging-port=0",
             f"--user-data-dir={self.profile}", f"--window-size={width},{height}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.time() + 30
        while not (os.path.exists(port_file) and open(port_file).read().count("\n") >= 1):
            if time.time() > deadline or self.proc.poll() is not None:
                raise RuntimeError("chromium did not start")
            time.sleep(0.1)
        port = open(port_file).read().split("\n")[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        page = next(t for t in targets if t["type"] == "page")
        self.ws = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=30,
                                                 suppress_origin=True)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = json.loads(self.ws.recv())
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply["result"]

    def eval(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, awaitPromise=True, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait(self, expression, seconds=15):
        """Polls a page expression (or a function) until it is true; returns its value."""
        deadline = time.time() + seconds
        last = None
        while time.time() < deadline:
            try:
                value = expression() if callable(expression) else self.eval(expression)
            except RuntimeError as e:   # the page is still being replaced
                value, last = None, e
            if value:
                return value
            time.sleep(0.1)
        raise AssertionError(f"timed out waiting for: {expression} ({last})")

    def open(self, url):
        self.call("Page.navigate", url=url)

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def size(self, width, height, mobile=False):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=1, mobile=mobile)

    def close(self):
        self.ws.close()
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        shutil.rmtree(self.profile, ignore_errors=True)
