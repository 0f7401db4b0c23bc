// <borvane-client>: the time panel as a custom element. Appended to the
// module's loader (createBorvaneModule above), so one module script brings
// both; the wasm is fetched from beside the script.
//
//   <script type="module" src="https://time.example/borvane-client.js"></script>
//   <borvane-client service="https://time.example"></borvane-client>
//
// Attributes: service (the time service, http(s)://host[:port]; the page's
// own origin when absent), cjk-font (CSS font families tried for Chinese
// after the panel's own fonts). Methods displayTime() and deCrypt(text,
// key) return promises; statusLine is the status line's text; a "checked"
// event follows every check, its detail the texts the panel shows.

const borvaneDefaultCjk = '"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC", ' +
                          '"Microsoft YaHei", "PingFang SC", "SimSun"';

// The panel's font names as CSS families, with metric twins where the
// named font is not installed.
function borvaneFamilies(name, cjk) {
  const twins = {
    "arial": '"Arial", "Liberation Sans", "Arimo", "Helvetica"',
    "ms sans serif": '"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"',
  };
  const own = twins[name.toLowerCase()] || JSON.stringify(name);
  return own + ", " + cjk + ", sans-serif";
}

class BorvaneClientElement extends HTMLElement {
  constructor() {
    super();
    const root = this.attachShadow({mode: "open"});
    root.innerHTML =
        "<style>:host{display:inline-block;line-height:0}" +
        "canvas{display:block;image-rendering:pixelated;outline:none}" +
        "canvas:focus-visible{outline:1px dotted #000}</style>" +
        '<canvas tabindex="0" width="353" height="167" style="width:353px;height:167px"></canvas>';
    this._canvas = root.querySelector("canvas");
    this._context = this._canvas.getContext("2d");
    this._queue = Promise.resolve();
    this._busy = 0;          // calls queued or running
    this._timers = new Map();  // id -> interval handle, while the element is in a page
    this._intervals = new Map();  // id -> milliseconds, of every timer the panel runs
    this._ticking = new Set();  // ids with a tick queued
    this._state = null;
    this._started = false;
    this._checkCount = 0;
    // Calls made before the module has loaded wait for it.
    this._loaded = new Promise((resolve) => { this._loadedResolve = resolve; });
    this.ready = new Promise((resolve, reject) => {
      this._readyResolve = resolve;
      this._readyReject = reject;
    });
  }

  connectedCallback() {
    if (this._started) {
      for (const [id, ms] of this._intervals) this._startTimer(id, ms);
      return;
    }
    this._started = true;
    this._start().catch((error) => {
      console.error("borvane:", error);
      this._readyReject(error);
    });
  }

  disconnectedCallback() {
    // A panel taken out of the page stops checking; put back, it goes on.
    for (const handle of this._timers.values()) clearInterval(handle);
    this._timers.clear();
  }

  get statusLine() { return this._state ? this._state.statusLine : ""; }
  get checks() { return this._checkCount; }

  // One time check; resolves to the empty text, or rejects with the
  // error it raised (what it had shown stays).
  displayTime() {
    return this._call(async () => {
      const result = await this._module.ccall("borvane_display_time", "string", ["number"],
                                              [this._panel], {async: true});
      if (result.startsWith("E")) throw new Error(result.slice(1));
      return result.slice(1);
    });
  }

  // The answer decoder: {text, key}, key being the shift it derived.
  deCrypt(text, key) {
    return this._call(() => {
      let kind = 2;
      let number = 0;
      let keyText = String(key);
      if (typeof key === "number") {
        kind = Number.isInteger(key) && key >= -2147483648 && key <= 2147483647 ? 0 : 1;
        number = key;
        keyText = "";
      }
      const result = this._module.ccall("borvane_decrypt", "string",
                                        ["number", "string", "number", "number", "string"],
                                        [this._panel, String(text), kind, number, keyText]);
      if (result.startsWith("E")) throw new Error(result.slice(1));
      return JSON.parse(result);
    });
  }

  async _start() {
    const service = (this.getAttribute("service") || location.origin).replace(/\/+$/, "");
    const element = this;
    const scratch = document.createElement("canvas");
    const pen = scratch.getContext("2d", {willReadFrequently: true});
    const font = (family, px, bold, italic) =>
        (italic ? "italic " : "") + (bold ? "bold " : "") + px + "px " +
        borvaneFamilies(family, element.getAttribute("cjk-font") || borvaneDefaultCjk);
    const module = await createBorvaneModule({
      borvaneHost: {
        present: (pixels, width, height) => this._present(pixels, width, height),
        showPointer: (pointer) => { this._canvas.style.cursor = pointer === 11 ? "wait" : ""; },
        startTimer: (id, ms) => this._startTimer(id, ms),
        stopTimer: (id) => {
          clearInterval(this._timers.get(id));
          this._timers.delete(id);
          this._intervals.delete(id);
        },
      },
      borvaneText: {
        measure(text, family, px, bold, italic) {
          pen.font = font(family, px, bold, italic);
          const m = pen.measureText(text);
          const width = Math.min(0x7fff, Math.ceil(m.width));
          const height = Math.min(0xffff, Math.ceil(m.fontBoundingBoxAscent + m.fontBoundingBoxDescent));
          return (width << 16) | height;
        },
        draw(text, family, px, bold, italic, underline, strike, width, height, mask) {
          if (scratch.width < width) scratch.width = width;
          if (scratch.height < height) scratch.height = height;
          pen.clearRect(0, 0, width, height);
          pen.font = font(family, px, bold, italic);
          pen.fillStyle = "#000";
          pen.textBaseline = "alphabetic";
          const m = pen.measureText(text);
          const base = Math.round(m.fontBoundingBoxAscent);
          pen.fillText(text, 0, base);
          const line = Math.max(1, Math.round(px / 14));
          if (underline) pen.fillRect(0, base + line, width, line);
          if (strike) pen.fillRect(0, Math.round(base - m.fontBoundingBoxAscent * 0.3), width, line);
          const rgba = pen.getImageData(0, 0, width, height).data;
          const heap = module.HEAPU8;
          for (let i = 0, n = width * height; i < n; ++i) heap[mask + i] = rgba[i * 4 + 3];
        },
      },
    });
    this._module = module;
    this._panel = module.ccall("borvane_create", "number", ["string"], [service]);
    if (!this._panel) throw new Error("the panel could not be created");
    this._loadedResolve();
    this._listen();
    await this._call(() => module.ccall("borvane_initialize", null, ["number"], [this._panel],
                                        {async: true}));
    this._readyResolve(this);
  }

  // Runs `body` once every call queued before it has finished: the module
  // is never entered while another call is suspended in a fetch. After the
  // call the state is read again, and a check that fetched is announced.
  _call(body) {
    ++this._busy;
    const run = this._queue.then(() => this._loaded).then(async () => {
      const fetchesBefore = this._module.ccall("borvane_fetches", "number", ["number"], [this._panel]);
      try {
        return await body();
      } finally {
        --this._busy;
        this._state = JSON.parse(this._module.ccall("borvane_state", "string", ["number"], [this._panel]));
        const fetches = this._module.ccall("borvane_fetches", "number", ["number"], [this._panel]);
        if (fetches !== fetchesBefore) {
          ++this._checkCount;
          const detail = Object.assign({}, this._state);
          delete detail.statusLine;
          this.dispatchEvent(new CustomEvent("checked", {detail}));
        }
      }
    });
    this._queue = run.catch(() => {});
    return run;
  }

  _present(pixels, width, height) {
    if (this._canvas.width !== width || this._canvas.height !== height) {
      this._canvas.width = width;
      this._canvas.height = height;
      this._canvas.style.width = width + "px";
      this._canvas.style.height = height + "px";
    }
    const bytes = new Uint8ClampedArray(this._module.HEAPU8.buffer, pixels, width * height * 4);
    this._context.putImageData(new ImageData(new Uint8ClampedArray(bytes), width, height), 0, 0);
    this._presented = (this._presented || 0) + 1;
    if (this._presented === 1) this.dispatchEvent(new Event("firstframe"));
  }

  _startTimer(id, ms) {
    this._intervals.set(id, ms);
    if (!this.isConnected) return;  // started when the element is put back
    const handle = setInterval(() => {
      // One tick per timer waits at most: ticks held up behind a slow
      // fetch do not pile up.
      if (this._ticking.has(id)) return;
      this._ticking.add(id);
      this._call(() => {
        this._ticking.delete(id);
        return this._module.ccall("borvane_tick", null, ["number", "number"], [this._panel, id],
                                  {async: true});
      });
    }, Math.max(1, ms));
    this._timers.set(id, handle);
  }

  _listen() {
    const canvas = this._canvas;
    const buttons = (held) => (held & 1 ? 1 : 0) | (held & 2 ? 2 : 0) | (held & 4 ? 4 : 0);
    const button = (which) => which === 0 ? 1 : which === 2 ? 2 : which === 1 ? 4 : 0;
    const shift = (e) => (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);
    const mouse = (kind, b, e) => this._call(() =>
        this._module.ccall("borvane_mouse", null,
                           ["number", "number", "number", "number", "number", "number"],
                           [this._panel, kind, b, shift(e), e.offsetX, e.offsetY], {async: true}));
    let movePending = null;
    canvas.addEventListener("mousemove", (e) => {
      if (movePending) {  // the queued move takes the newest position
        movePending.e = e;
        return;
      }
      movePending = {e};
      this._call(async () => {
        const latest = movePending.e;
        movePending = null;
        await this._module.ccall("borvane_mouse", null,
            ["number", "number", "number", "number", "number", "number"],
            [this._panel, 0, buttons(latest.buttons), shift(latest), latest.offsetX, latest.offsetY],
            {async: true});
        canvas.title = this._module.ccall("borvane_tooltip", "string", ["number", "number", "number"],
                                          [this._panel, latest.offsetX, latest.offsetY]);
      });
    });
    canvas.addEventListener("mouseleave", (e) => mouse(4, 0, e));
    canvas.addEventListener("mousedown", (e) => {
      canvas.focus();
      e.preventDefault();
      mouse(e.detail === 2 ? 3 : 1, button(e.button), e);
    });
    canvas.addEventListener("mouseup", (e) => mouse(2, button(e.button), e));
    canvas.addEventListener("contextmenu", (e) => e.preventDefault());
    // Key codes as the container numbers them: the browser's own keyCode
    // for letters, digits and the usual control keys.
    const code = (e) => {
      const k = e.keyCode;
      if ((k >= 65 && k <= 90) || (k >= 48 && k <= 57)) return k;
      return [8, 9, 13, 16, 17, 18, 27, 32, 37, 38, 39, 40, 46].includes(k) ? k : 0;
    };
    const ascii = (e) => {
      if (e.key.length === 1 && e.key.charCodeAt(0) < 128) return e.key.charCodeAt(0);
      return {Enter: 13, Backspace: 8, Escape: 27}[e.key] || 0;
    };
    canvas.addEventListener("keydown", (e) => {
      if (e.key === "Tab") {
        // Whether the focus stays must be known now; while the module is
        // busy it stays.
        if (this._busy === 0) {
          const kept = this._module.ccall("borvane_move_focus", "number", ["number", "number"],
                                          [this._panel, e.shiftKey ? 1 : 0]);
          if (kept) e.preventDefault();
          return;
        }
        e.preventDefault();
        return;
      }
      if (e.key === " " || e.key.startsWith("Arrow")) e.preventDefault();
      const c = code(e);
      const a = ascii(e);
      const s = shift(e);
      this._call(() => this._module.ccall("borvane_key", null,
          ["number", "number", "number", "number", "number"], [this._panel, 1, c, s, a], {async: true}));
    });
    canvas.addEventListener("keyup", (e) => {
      const c = code(e);
      const s = shift(e);
      this._call(() => this._module.ccall("borvane_key", null,
          ["number", "number", "number", "number", "number"], [this._panel, 0, c, s, 0], {async: true}));
    });
    canvas.addEventListener("blur", () =>
        this._call(() => this._module.ccall("borvane_focus_out", null, ["number"], [this._panel])));
  }
}

if (!customElements.get("borvane-client")) {
  customElements.define("borvane-client", BorvaneClientElement);
}
