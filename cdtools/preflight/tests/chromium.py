"""Opens a page in headless Chromium (Debian's package) and tells what a reader would meet:
the images that did not load, the errors in the console, and a screenshot of the whole page.

It speaks the DevTools protocol over a pipe (--remote-debugging-pipe: JSON messages ended by
NUL, Chromium reading fd 3 and writing fd 4), so it needs no package beyond the browser.
"""
import base64
import json
import os
import shutil
import subprocess
import tempfile

FLAGS = ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--remote-debugging-pipe")
BROKEN_IMAGES = ("JSON.stringify([document.images.length, Array.from(document.images)"
                 ".filter(i => !(i.complete && i.naturalWidth > 0))"
                 ".map(i => i.getAttribute('src'))])")


class Chromium:
    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="preflight-chromium-")
        to_browser, self._write = os.pipe()
        self._read, from_browser = os.pipe()

        def pipes_as_3_and_4():
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)

        binary = shutil.which("chromium") or "/usr/bin/chromium"
        self.process = subprocess.Popen(
            [binary, *FLAGS, "--user-data-dir=" + self.profile], preexec_fn=pipes_as_3_and_4,
            pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self._next_id, self._buffer, self.events = 0, b"", []

    def close(self):
        try:
            self.call("Browser.close")
        except (OSError, RuntimeError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._write)
        os.close(self._read)
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _message(self):
        while b"\0" not in self._buffer:
            chunk = os.read(self._read, 1 << 16)
            if not chunk:
                raise RuntimeError("Chromium closed its pipe")
            self._buffer += chunk
        raw, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(raw)

    def call(self, method, session=None, **params):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self._write, json.dumps(message).encode() + b"\0")
        while True:
            reply = self._message()
            if reply.get("id") == self._next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply["result"]
            self.events.append(reply)

    def wait_for(self, method):
        while not any(e.get("method") == method for e in self.events):
            self.events.append(self._message())

    def open(self, path, width=1280):
        """Loads the file; (number of images, the srcs of those that did not load, console
        errors, PNG bytes of the whole page)."""
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable", session)
        self.call("Page.navigate", session, url="file://" + os.path.abspath(path))
        self.wait_for("Page.loadEventFired")
        count, broken = json.loads(self.call("Runtime.evaluate", session, expression=BROKEN_IMAGES,
                                             returnByValue=True)["result"]["value"])
        # The page's height at the screenshot's width.
        self.call("Emulation.setDeviceMetricsOverride", session, width=width, height=800,
                  deviceScaleFactor=1, mobile=False)
        height = self.call("Runtime.evaluate", session, returnByValue=True,
                           expression="document.documentElement.scrollHeight")["result"]["value"]
        self.call("Emulation.setDeviceMetricsOverride", session, width=width, height=height,
                  deviceScaleFactor=1, mobile=False)
        shot = self.call("Page.captureScreenshot", session, format="png")["data"]
        return count, broken, self.console_errors(), base64.b64decode(shot)

    def console_errors(self):
        errors = []
        for event in self.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Log.entryAdded" and params["entry"]["level"] == "error":
                errors.append(params["entry"]["text"])
            elif method == "Runtime.consoleAPICalled" and params["type"] == "error":
                errors.append(" ".join(str(a.get("value")) for a in params["args"]))
            elif method == "Runtime.exceptionThrown":
                errors.append(params["exceptionDetails"]["text"])
        return errors
