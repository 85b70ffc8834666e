// The media browser: pages through /media/paged so any card size opens at once, draws the
// tiles as they are scrolled to, and shows one medium's data, picture or video beside them.
"use strict";
const $ = (id) => document.getElementById(id);

// The media list's filter words and the query options each one selects.
const FILTERS = [
  ["", "all media", 0xfffffb00], ["video", "videos", 0x100], ["photos", "photos", 0x200],
  ["highlights", "highlights", 0x301], ["videohighlights", "highlighted videos", 0x101],
  ["photohighlights", "highlighted photos", 0x201], ["clips", "clips", 0x302],
  ["videoclips", "video clips", 0x102], ["photoclips", "photo clips", 0x202],
  ["groups", "groups", 0x304], ["videogroups", "video groups", 0x104],
  ["photogroups", "photo groups", 0x204], ["raw", "raw photos", 0x800],
];
const LIST_VIDEO_GROUPING = 2;   // chapters and looping parts arrive after their first file
const WINDOWS = [100, 10, 1];    // list positions per request; smaller after an overflow (500)
const TILES_PER_DRAW = 60;

// Upload states in words; 0 and 3 are the states the boot check counts as awaiting upload.
const UPLOAD_WORDS = ["awaits upload", "uploading", "uploaded", "awaits upload again", "upload failed"];
const AWAITING = new Set([0, 3]);
const OFFLOAD_TARGETS = [["app", "the phone app"], ["pc", "a computer"], ["other", "elsewhere"]];
const GROUP_KINDS = { b: "burst", t: "time lapse", n: "night lapse", c: "continuous photos" };
const FACT_LABELS = {
  cre: "Created", s: "Size", dur: "Duration", hc: "Highlights", hi: "Highlight times",
  us: "Upload state", mos: "Offload", w: "Width", h: "Height", fps: "Frame rate",
  gumi: "Identifier", pgumi: "Parent identifier", ls: "Low-res stream", cl: "Clip",
  c: "Clip", mahs: "Score", eis: "Stabilised", hdr: "HDR", wdr: "WDR", raw: "Raw",
  tr: "Transcoded", mp: "Mobile", ct: "Type", rot: "Rotation", fov: "Field of view",
  lc: "Lens", prjn: "Projection", pta: "Protune", ao: "Audio", prog: "Progressive",
  subsample: "Subsampled", profile: "Profile", avc_profile: "AVC profile",
  tag_count: "Tags", tags: "Tag times",
};

const view = {
  generation: 0,   // bumped by every reload, so an older loop stops
  items: [],       // media in list order; a grouped video holds its parts
  drawn: 0,
  done: false,
  folder: null,    // the folder section the last tile went into
  current: null,   // the item in the detail pane
};

// ---- formatting ----------------------------------------------------------------------------

function humanSize(bytes) {
  const n = Number(bytes);
  if (n >= 1e9) return (n / 1e9).toFixed(n >= 1e11 ? 0 : 1) + " GB";
  if (n >= 1e6) return (n / 1e6).toFixed(n >= 1e8 ? 0 : 1) + " MB";
  if (n >= 1e3) return (n / 1e3).toFixed(0) + " kB";
  return n + " B";
}

function duration(seconds) {
  const s = Number(seconds), h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60;
  const ss = String(s % 60).padStart(2, "0");
  return h ? `${h}:${String(m).padStart(2, "0")}:${ss}` : `${m}:${ss}`;
}

function when(seconds) {
  return seconds ? new Date(Number(seconds) * 1000).toISOString().replace("T", " ").slice(0, 16) : "";
}

function uploadWords(state) {
  return UPLOAD_WORDS[state] || "upload state " + state;
}

// ---- requests and errors ---------------------------------------------------------------------

const STATUS_WORDS = {
  400: "The service refused the request (400).",
  404: "Not found (404): the card or the file is not known to the media database.",
  500: "The media service failed (500): the media database may have stopped.",
  501: "Not available for this medium (501).",
  503: "The media database is busy or unavailable (503); try again shortly.",
};

class ServiceError extends Error {
  constructor(status, url) {
    super(STATUS_WORDS[status] || `The service answered ${status}.`);
    this.status = status;
    this.url = url;
  }
}

async function getJson(url) {
  let r;
  try {
    r = await fetch(url, { cache: "no-store" });
  } catch (e) {
    throw new Error("ztMediaHttpd does not answer; is it running?");
  }
  if (r.status !== 200) throw new ServiceError(r.status, url);
  try {
    return await r.json();
  } catch (e) {
    throw new Error("The service sent an answer that is not JSON.");
  }
}

function showError(box, textBox, error, retry, retryButton) {
  textBox.textContent = error.message;
  box.hidden = false;
  retryButton.onclick = () => { box.hidden = true; retry(); };
}

// ---- the list ----------------------------------------------------------------------------

// The kind of a list entry and what it shows.
function toItem(dir, e) {
  const ext = e.n.slice(9);
  const item = {
    dir, name: e.n, size: Number(e.s), mod: Number(e.mod), us: Number(e.us),
    dur: e.dur !== undefined ? Number(e.dur) : null, hc: Number(e.hc || e.ghc || 0), parts: [],
  };
  if (e.g !== undefined) {
    const missing = (e.m || []).length;
    item.kind = GROUP_KINDS[e.t] || "photo group";
    item.count = Number(e.l) - Number(e.b) + 1 - missing;
    item.photo = true;
  } else if (ext === "JPG") {
    item.kind = e.raw === "1" ? "raw photo" : "photo";
    item.photo = true;
  } else if (e.ls !== undefined) {
    item.kind = ext === "360" ? "360° video" : "video";
    item.video = true;
  } else {
    item.kind = "short video";
    item.video = true;
  }
  return item;
}

// Files of one grouped video share a key: the chapter forms by lead letter and number
// (ZX010123, ZX020123), the looping forms by lead letter and letter pair (ZXAA0001, ZXAA0002).
function groupKey(name) {
  const lead = name[1], a = name[2], b = name[3], ext = name.slice(9);
  if (/[0-9]/.test(a) && /[0-9]/.test(b)) return lead + "#" + name.slice(4, 8) + ext;
  if (/[A-Z]/.test(a) && /[A-Z]/.test(b)) return lead + a + b + ext;
  return null;
}

function addPage(media) {
  for (const d of media) {
    for (const e of d.fs) {
      const item = toItem(d.d, e);
      const last = view.items[view.items.length - 1];
      const key = item.video ? groupKey(item.name) : null;
      if (last && last.video && key && last.dir === item.dir && groupKey(last.name) === key) {
        if (!last.parts.length) last.parts.push({ ...last, parts: [] });
        last.parts.push(item);
        last.size += item.size;
        if (item.dur !== null) last.dur = (last.dur || 0) + item.dur;
        last.kind = /[0-9]/.test(item.name[2]) ? "chaptered video" : "looping video";
      } else {
        view.items.push(item);
      }
    }
  }
}

function pagedUrl(start, positions, qo) {
  const count = Math.min(10, positions), max = Math.ceil(positions / count);
  return `/media/paged?max=${max}&count=${count}&start=${start}&lo=${LIST_VIDEO_GROUPING}` +
         `&qo=0x${qo.toString(16)}`;
}

// Fetches windows from `start` until one comes back without any folder: the end of the list.
async function loadFrom(generation, start) {
  const qo = FILTERS[$("filter").selectedIndex][2];
  let w = 0;
  document.body.dataset.state = "loading";
  while (generation === view.generation) {
    const positions = WINDOWS[w];
    let page;
    try {
      page = await getJson(pagedUrl(start, positions, qo));
    } catch (e) {
      if (generation !== view.generation) return;
      if (e.status === 500 && w + 1 < WINDOWS.length) { w++; continue; }   // too much for one answer
      document.body.dataset.state = "error";
      summarise();
      showError($("error"), $("errorText"), e, () => loadFrom(generation, start), $("retry"));
      return;
    }
    if (generation !== view.generation) return;
    $("card").textContent = page.id;
    if (!page.media.length) break;
    addPage(page.media);
    start += positions;
    w = 0;
    summarise();
    drawWhileVisible();
  }
  view.done = true;
  summarise();
  drawWhileVisible();
  document.body.dataset.state = "done";
}

function reload() {
  view.generation++;
  Object.assign(view, { items: [], drawn: 0, done: false, folder: null });
  $("list").textContent = "";
  $("error").hidden = true;
  $("summary").textContent = "Loading the card…";
  loadFrom(view.generation, 0);
}

function summarise() {
  const kinds = new Map();
  let bytes = 0, awaiting = 0;
  for (const it of view.items) {
    kinds.set(it.kind, (kinds.get(it.kind) || 0) + 1);
    bytes += it.size;
    if (AWAITING.has(it.us)) awaiting++;
  }
  const parts = [...kinds].sort((a, b) => b[1] - a[1]).map(([k, n]) => `${n} ${k}${n === 1 ? "" : "s"}`);
  const total = view.items.length;
  $("summary").textContent = total === 0 && view.done ? "No media." :
    `${total} media${view.done ? "" : " so far"}: ${parts.join(", ")} · ${humanSize(bytes)} · ` +
    `${awaiting} await upload${view.done ? "" : " · loading…"}`;
}

// ---- tiles -------------------------------------------------------------------------------

function thumbUrl(item) {
  return `/media/thumbnail/${item.dir}/${item.name}`;
}

function tileFor(item, index) {
  const li = document.createElement("li");
  const b = document.createElement("button");
  b.type = "button";
  b.className = "tile";
  b.dataset.index = index;
  const thumb = document.createElement("span");
  thumb.className = "thumb";
  const label = document.createTextNode(item.kind);   // stays when there is no thumbnail
  const img = document.createElement("img");
  img.loading = "lazy";
  img.alt = "";
  img.src = thumbUrl(item);
  img.onerror = () => img.remove();
  img.onload = () => { label.textContent = ""; };
  thumb.append(label, img);
  const cap = document.createElement("span");
  cap.className = "caption";
  const facts = [item.kind, humanSize(item.size)];
  if (item.dur !== null && item.video) facts.push(duration(item.dur));
  if (item.count) facts.push(`${item.count} photos`);
  if (item.parts.length) facts.push(`${item.parts.length} parts`);
  const name = line("name", item.name);
  if (item.hc) name.append(badge(`★ ${item.hc}`, `${item.hc} highlights`));
  cap.append(name, line("meta", facts.join(" · ")), line("meta", when(item.mod)),
             line("state" + (AWAITING.has(item.us) ? " awaits" : ""), uploadWords(item.us)));
  b.append(thumb, cap);
  b.setAttribute("aria-label", `${item.name}, ${facts.join(", ")}, ${uploadWords(item.us)}`);
  li.append(b);
  return li;
}

function line(cls, text) {
  const s = document.createElement("span");
  s.className = cls;
  s.textContent = text;
  return s;
}

function badge(text, label) {
  const s = line("badge", text);
  s.title = label;
  return s;
}

function folderSection(dir) {
  const sec = document.createElement("section");
  sec.className = "folder";
  const h = document.createElement("h2");
  h.textContent = dir;
  const ul = document.createElement("ul");
  ul.className = "grid";
  ul.setAttribute("aria-label", `Media in ${dir}`);
  sec.append(h, ul);
  $("list").append(sec);
  return { dir, ul };
}

function drawSome() {
  const end = Math.min(view.items.length, view.drawn + TILES_PER_DRAW);
  for (; view.drawn < end; view.drawn++) {
    const item = view.items[view.drawn];
    if (!view.folder || view.folder.dir !== item.dir) view.folder = folderSection(item.dir);
    view.folder.ul.append(tileFor(item, view.drawn));
  }
}

function nearBottom() {
  return $("more").getBoundingClientRect().top < window.innerHeight * 2.5;
}

function drawWhileVisible() {
  while (view.drawn < view.items.length && nearBottom()) drawSome();
}

// ---- keyboard ----------------------------------------------------------------------------

function moveFocus(from, key) {
  const tiles = [...document.querySelectorAll(".tile")];
  const i = tiles.indexOf(from);
  const grid = from.closest("ul");
  const cols = Math.max(1, Math.round(grid.clientWidth / from.offsetWidth));
  const step = { ArrowRight: 1, ArrowLeft: -1, ArrowDown: cols, ArrowUp: -cols }[key];
  let j = key === "Home" ? 0 : key === "End" ? tiles.length - 1 : i + step;
  j = Math.max(0, Math.min(tiles.length - 1, j));
  tiles[j].focus();
  tiles[j].scrollIntoView({ block: "nearest" });
  drawWhileVisible();
}

$("list").addEventListener("keydown", (ev) => {
  const tile = ev.target.closest(".tile");
  if (!tile || !["ArrowRight", "ArrowLeft", "ArrowDown", "ArrowUp", "Home", "End"].includes(ev.key)) return;
  ev.preventDefault();
  moveFocus(tile, ev.key);
});

$("list").addEventListener("click", (ev) => {
  const tile = ev.target.closest(".tile");
  if (tile) openDetail(view.items[Number(tile.dataset.index)], tile);
});

// ---- the detail pane ---------------------------------------------------------------------

function filePath(item) {
  return `${item.dir}/${item.name}`;
}

function showPreview(item, part) {
  const p = $("preview");
  p.textContent = "";
  const src = `/media/file/${filePath(part || item)}`;
  if (item.photo) {
    const img = document.createElement("img");
    img.alt = `${item.kind} ${item.name}`;
    img.src = src;
    img.onerror = () => { p.textContent = "The picture cannot be shown (no card files are served)."; };
    p.append(img);
  } else {
    const v = document.createElement("video");
    v.controls = true;
    v.preload = "metadata";
    v.src = src;
    v.setAttribute("aria-label", `Video ${(part || item).name}`);
    v.onerror = () => { p.textContent = "The video cannot be played here (no card files are served, or its format is not supported)."; };
    p.append(v);
  }
}

function showParts(item) {
  const ol = $("parts");
  ol.textContent = "";
  for (const part of item.parts) {
    const li = document.createElement("li");
    const b = document.createElement("button");
    b.type = "button";
    b.textContent = `${part.name} · ${humanSize(part.size)}` + (part.dur !== null ? ` · ${duration(part.dur)}` : "");
    b.onclick = () => { showPreview(item, part); loadFacts(item, part); };
    li.append(b);
    ol.append(li);
  }
}

function factValue(key, value, set) {
  if (key === "s") return humanSize(value);
  if (key === "fps") return (Number(value) / Math.max(1, Number(set.fps_denom || 1))).toFixed(2) + " fps";
  if (key === "hi" || key === "tags") return value.length ? value.map((ms) => duration(Math.round(ms / 1000))).join(", ") : "none";
  if (key === "cre" || key === "mod") return when(value);
  if (key === "dur") return duration(value);
  if (key === "us") return uploadWords(Number(value));
  if (Array.isArray(value)) return value.length ? value.join(", ") : "none";
  return String(value);
}

function showFacts(sets) {
  const dl = $("facts");
  dl.textContent = "";
  const seen = new Set(["fps_denom"]);
  for (const set of sets) {
    for (const [key, value] of Object.entries(set)) {
      if (seen.has(key)) continue;
      seen.add(key);
      const dt = document.createElement("dt");
      dt.textContent = FACT_LABELS[key] || key;
      const dd = document.createElement("dd");
      dd.textContent = factValue(key, value, set);
      dl.append(dt, dd);
    }
  }
}

async function loadFacts(item, part) {
  const file = part || item;
  const p = encodeURIComponent(filePath(file));
  $("detailError").hidden = true;
  $("facts").textContent = "";
  try {
    const sets = [await getJson(`/media/metadata?t=v5info&p=${p}`)];
    if (item.video && item.kind !== "short video") sets.push(await getJson(`/media/metadata?t=videoinfo&p=${p}`));
    if (view.current !== item) return;
    showFacts(sets);
    showUpload(await getJson(`/media/metadata?t=upload&p=${p}`), await getJson(`/media/metadata?t=offload&p=${p}`));
  } catch (e) {
    if (view.current !== item) return;
    showError($("detailError"), $("detailErrorText"), e, () => loadFacts(item, part), $("detailRetry"));
  }
}

function openDetail(item, tile) {
  view.current = item;
  document.querySelectorAll('.tile[aria-current="true"]').forEach((t) => t.removeAttribute("aria-current"));
  if (tile) tile.setAttribute("aria-current", "true");
  $("detail").hidden = false;
  $("detailTitle").textContent = filePath(item);
  $("detailKind").textContent = [item.kind, humanSize(item.size),
    item.count ? `${item.count} photos` : "", item.parts.length ? `${item.parts.length} parts` : "",
    item.dur !== null && item.video ? duration(item.dur) : ""].filter(Boolean).join(" · ");
  showPreview(item, null);
  showParts(item);
  $("detailTitle").focus();
  loadFacts(item, null);
}

function closeDetail() {
  const item = view.current;
  view.current = null;
  $("detail").hidden = true;
  $("preview").textContent = "";   // stops a playing video
  const tile = document.querySelector('.tile[aria-current="true"]');
  if (tile) tile.focus();
  return item;
}

$("closeDetail").onclick = closeDetail;
document.addEventListener("keydown", (ev) => { if (ev.key === "Escape" && view.current) closeDetail(); });

// ---- upload state and offload flags ------------------------------------------------------

function showUpload(upload, offload) {
  const us = Number(upload.us);
  $("uploadNow").textContent = uploadWords(us);
  $("uploadState").value = String(us);
  const flags = new Set(offload.mos || []);
  for (const [word] of OFFLOAD_TARGETS) $("offload-" + word).checked = flags.has(word);
  if (view.current && !view.current.parts.length) {
    view.current.us = us;
    redrawTile(view.current);
  }
}

function redrawTile(item) {
  const i = view.items.indexOf(item);
  const old = document.querySelector(`.tile[data-index="${i}"]`);
  if (!old) return;
  const li = tileFor(item, i);
  li.firstChild.setAttribute("aria-current", old.getAttribute("aria-current") || "false");
  old.parentNode.replaceWith(li);
  summarise();
}

async function write(query) {
  const item = view.current;
  if (!item) return;
  const p = encodeURIComponent(filePath(item));
  $("detailError").hidden = true;
  try {
    await getJson(`/media/metadata?${query}&p=${p}`);
    showUpload(await getJson(`/media/metadata?t=upload&p=${p}`), await getJson(`/media/metadata?t=offload&p=${p}`));
  } catch (e) {
    showError($("detailError"), $("detailErrorText"), e, () => write(query), $("detailRetry"));
  }
}

function setupControls() {
  for (const [word, label] of FILTERS) $("filter").add(new Option(label, word));
  for (let s = 0; s < UPLOAD_WORDS.length; s++) $("uploadState").add(new Option(uploadWords(s), String(s)));
  for (const [word, label] of OFFLOAD_TARGETS) {
    const box = document.createElement("input");
    box.type = "checkbox";
    box.id = "offload-" + word;
    box.onchange = () => write(`t=offload&status=${word}&value=${box.checked}`);
    const lab = document.createElement("label");
    lab.htmlFor = box.id;
    lab.textContent = label;
    $("offload").append(box, lab);
  }
  $("uploadForm").onsubmit = (ev) => {
    ev.preventDefault();
    write(`t=upload&status=${$("uploadState").value}`);
  };
  $("filter").onchange = reload;
  $("reload").onclick = reload;
  window.addEventListener("scroll", drawWhileVisible, { passive: true });
  window.addEventListener("resize", drawWhileVisible);
}

setupControls();
reload();
