#!/usr/bin/env python3
"""The media browser page in headless Chromium against real servers: the sample card (listing,
grouping, detail pane, upload state read back, a readable error when the database stops, phone
width), a generated large card (opens before it has all loaded, reaches the end), and a real
card folder (thumbnails load, a video seeks). Screenshots go to OUT.
    page_test.py BIN_DIR SOURCE_DIR OUT_DIR      (exit 77: chromium or ffmpeg missing)"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cdp  # noqa: E402
import make_card  # noqa: E402

BIN, SRC, OUT = sys.argv[1:4]
LARGE_CARD_MEDIA = 20000


class Service:
    """ztMediaDBd and ztMediaHttpd in a private IPC folder, on a free port."""

    def __init__(self, db_args, httpd_args=()):
        self.dir = tempfile.mkdtemp(prefix="ztpage-")
        self.env = dict(os.environ, ZT_IPC_DIR=self.dir)
        self.db_args = db_args
        self.start_db()
        self.log = open(os.path.join(self.dir, "httpd.log"), "w+")
        self.httpd = subprocess.Popen([f"{BIN}/ztMediaHttpd", "--port", "0", *httpd_args], env=self.env,
                                      stdout=subprocess.PIPE, stderr=self.log, text=True)
        self.url = self.httpd.stdout.readline().split()[-1]

    def start_db(self):
        self.db = subprocess.Popen([f"{BIN}/ztMediaDBd", *self.db_args], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 30
        # Ready once it answers: a card folder is indexed while the server answers busy.
        while subprocess.run([f"{BIN}/ztMediaDBd", "ctl", "ready"], env=self.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).returncode != 0:
            assert time.time() < deadline and self.db.poll() is None, "ztMediaDBd did not start"
            time.sleep(0.05)

    def stop_db(self):
        self.db.terminate()
        self.db.wait()

    def get(self, path):
        return json.load(urllib.request.urlopen(self.url + path.lstrip("/")))

    def close(self):
        for p in (self.httpd, self.db):
            if p.poll() is None:
                p.terminate()
                p.wait()
        self.log.seek(0)
        log = self.log.read()
        shutil.rmtree(self.dir, ignore_errors=True)
        assert "Sanitizer" not in log and "runtime error" not in log, log


def tile(name):
    return f'[...document.querySelectorAll(".tile")].find(t => t.querySelector(".name").textContent.startsWith("{name}"))'


def check(cond, what):
    if not cond:
        raise AssertionError(what)
    print(f"ok: {what}")


def sample_card(b):
    state = tempfile.mktemp(prefix="ztpage-", suffix=".sqlite")
    s = Service(["--manifest", f"{SRC}/examples/sample-card.json", "--state", state])
    try:
        b.open(s.url)
        b.wait('document.body.dataset.state === "done"')
        folders = b.eval('[...document.querySelectorAll("section.folder h2")].map(h => h.textContent)')
        check(folders == ["100ZTCAM", "101ZTCAM", "102ZTCAM"], "media grouped by folder")
        text = lambda n: b.eval(f'{tile(n)}.textContent')
        cases = [("ZX010123.MP4", "chaptered video"), ("ZX010123.MP4", "3 parts"), ("ZX010123.MP4", "24:00"),
                 ("ZXAA0001.MP4", "looping video"), ("ZXAA0001.MP4", "4 parts"),
                 ("Z0070001.JPG", "burst"), ("Z0070001.JPG", "10 photos"), ("ZSAB0061.JPG", "29 photos"),
                 ("ZX010005.MP4", "1.2 GB"), ("ZX010005.MP4", "1:35"), ("ZX010005.MP4", "★ 3"),
                 ("ZCAM0004.JPG", "raw photo"), ("ZCAM0003.JPG", "uploaded")]
        for name, words in cases:
            check(words in text(name), f"{name} shows {words!r}")
        check(b.eval('!!' + tile("ZX020123.MP4")) is False, "a chapter is no tile of its own")
        check("await upload" in b.eval('$("summary").textContent'), "the summary counts what awaits upload")
        b.screenshot(f"{OUT}/sample-list.png")

        b.eval(f'{tile("ZX010005.MP4")}.click()')
        b.wait('$("facts").textContent.includes("Duration")')
        facts = b.eval('$("facts").textContent')
        check("1:35" in facts and "3840" in facts, "the detail pane shows v5info and videoinfo")
        b.eval('$("uploadState").value = "2"; $("uploadForm").requestSubmit()')
        b.wait('$("uploadNow").textContent === "uploaded"')
        check(s.get("/media/metadata?t=upload&p=100ZTCAM/ZX010005.MP4")["us"] == "2",
              "the upload state set from the page is read back")
        b.eval('$("offload-pc").click()')
        b.wait('$("offload-pc").checked')
        check(b.wait(lambda: "pc" in s.get("/media/metadata?t=offload&p=100ZTCAM/ZX010005.MP4")["mos"], 5),
              "an offload flag set from the page is written")
        b.screenshot(f"{OUT}/sample-detail.png")

        b.eval('document.activeElement.blur(); document.querySelector(".tile").focus()')
        b.call("Input.dispatchKeyEvent", type="keyDown", key="ArrowRight", code="ArrowRight",
               windowsVirtualKeyCode=39)
        check(b.eval('document.activeElement.dataset.index') == "1", "arrow keys move along the tiles")

        b.size(390, 844, mobile=True)
        b.eval('$("closeDetail").click(); window.scrollTo(0, 0)')
        wide = b.eval('document.documentElement.scrollWidth <= window.innerWidth')
        check(wide, "no sideways scrolling at phone width")
        b.screenshot(f"{OUT}/sample-phone.png")
        b.size(1280, 900)

        s.stop_db()
        b.eval('$("reload").click()')
        b.wait('document.body.dataset.state === "error"', 30)
        check(not b.eval('$("error").hidden') and "database" in b.eval('$("errorText").textContent'),
              "a stopped database is a readable error with a retry")
        b.screenshot(f"{OUT}/sample-error.png")
        s.start_db()
        b.eval('$("retry").click()')
        b.wait('document.body.dataset.state === "done"')
        check(b.eval('document.querySelectorAll(".tile").length') > 30, "retry loads the card again")
    finally:
        s.close()
        if os.path.exists(state):
            os.remove(state)


def large_card(b):
    work = tempfile.mkdtemp(prefix="ztlarge-")
    media = []
    for i in range(LARGE_CARD_MEDIA):
        folder = f"{100 + i // 2000}ZTCAM"
        video = i % 10 == 0
        name = f"ZX01{i % 10000:04d}.MP4" if video else f"ZCAM{i % 10000:04d}.JPG"
        entry = {"dir": folder, "file": name, "type": 0 if video else 4, "cre": 1770000000 + i,
                 "mod": 1770000000 + i, "size": 5000000 + i, "upload_status": i % 5,
                 "gumi": f"{i + 1:032X}"}
        if video:
            entry["video"] = {"ls": 1, "duration_ms": 30000 + i, "profile": 4, "avc_profile": 100, "cl": 0}
        media.append(entry)
    manifest = os.path.join(work, "large.json")
    with open(manifest, "w") as f:
        json.dump({"card_id": "ZT-LARGE", "version": 1, "session_id": 1, "media": media}, f)
    s = Service(["--manifest", manifest])
    try:
        started = time.time()
        b.open(s.url)
        b.wait('document.querySelectorAll(".tile").length > 0')
        opened = time.time() - started
        check(b.eval('document.body.dataset.state') == "loading" or opened < 5,
              f"the large card shows tiles after {opened:.1f} s, before the whole list is in")
        b.wait('document.body.dataset.state === "done"', 60)
        summary = b.eval('$("summary").textContent')
        check(summary.startswith(f"{LARGE_CARD_MEDIA} media"), f"all {LARGE_CARD_MEDIA} media listed ({time.time() - started:.1f} s)")
        drawn = b.eval('document.querySelectorAll(".tile").length')
        check(drawn < LARGE_CARD_MEDIA, f"only the tiles near the view are drawn ({drawn})")
        b.eval('window.scrollTo(0, document.body.scrollHeight)')
        check(b.wait(f'document.querySelectorAll(".tile").length > {drawn}'), "scrolling draws more tiles")
        b.screenshot(f"{OUT}/large.png")
    finally:
        s.close()
        shutil.rmtree(work, ignore_errors=True)


def real_card(b):
    card = tempfile.mkdtemp(prefix="ztcard-")
    make_card.main(card)
    s = Service(["--card", card, "--state", os.path.join(card, "state.sqlite")], ["--card", card])
    try:
        b.open(s.url)
        b.wait('document.body.dataset.state === "done"')
        for name in ["ZCAM0001.JPG", "ZCAM0002.JPG", "ZX010003.MP4"]:
            check(b.wait(f'(() => {{ const t = {tile(name)}; const i = t && t.querySelector("img"); '
                         'return i && i.complete && i.naturalWidth > 0; })()'), f"{name} shows its thumbnail")
        check("2 parts" in b.eval(f'{tile("ZX010004.MP4")}.textContent'), "two chapters are one video")
        b.screenshot(f"{OUT}/card-list.png")
        b.eval(f'{tile("ZX010003.MP4")}.click()')
        b.wait('(() => { const v = document.querySelector("#preview video"); return v && v.readyState >= 1; })()')
        seeked = b.eval('new Promise(r => { const v = document.querySelector("#preview video"); '
                        'v.onseeked = () => r(v.currentTime); v.onerror = () => r(-1); v.currentTime = 4; '
                        'setTimeout(() => r(-2), 10000); })')
        check(abs(seeked - 4) < 0.5, f"the video seeks to 4 s (at {seeked})")
        b.eval(f'{tile("ZCAM0002.JPG")}.click()')
        check(b.wait('(() => { const i = document.querySelector("#preview img"); '
                     'return i && i.complete && i.naturalWidth === 2000; })()'), "a photo opens in full")
        b.screenshot(f"{OUT}/card-detail.png")
    finally:
        s.close()
        shutil.rmtree(card, ignore_errors=True)


def main():
    if not shutil.which("chromium") or not shutil.which("ffmpeg"):
        print("skipped: chromium or ffmpeg is missing (scripts/setup installs them)")
        return 77
    os.makedirs(OUT, exist_ok=True)
    b = cdp.Browser()
    try:
        b.eval('1')
        for step in (sample_card, large_card, real_card):
            b.call("Page.enable")
            step(b)
    finally:
        b.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
