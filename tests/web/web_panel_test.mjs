// The web panel in headless Chromium against `borvane serve` on loopback:
// one browser session, one table of cases, each printing PASS or FAIL with
// what it saw. Exits 0 when every case passed, 1 otherwise.
//
//   node web_panel_test.mjs BORVANE_SERVE BORVANE_PROGRAM NODE_MODULES_DIR
//
// Places on the panel are the design data's (twips / 15, pixels from the
// panel's top-left corner).

import {spawn, execFileSync} from "node:child_process";
import {mkdtempSync, readFileSync, rmSync} from "node:fs";
import http from "node:http";
import net from "node:net";
import {tmpdir} from "node:os";
import path from "node:path";
import {pathToFileURL} from "node:url";

const [serveProgram, borvaneProgram, nodeModules] = process.argv.slice(2);
const puppeteer = (await import(pathToFileURL(
    path.join(nodeModules, "puppeteer-core/lib/esm/puppeteer/puppeteer-core.js")).href)).default;

const kQueryButton = {x: 296, y: 32, width: 41, height: 25};   // 查询 (Command1)
const kSetButton = {x: 296, y: 80, width: 41, height: 25};     // 校准 (Command2)
const kMsBox = {x: 200, y: 112, width: 13, height: 13};        // 显示毫秒
const kBeijingTime = {x: 96, y: 32, width: 177, height: 25};   // Label1
const kBeijingMs = {x: 256, y: 32, width: 33, height: 25};     // LabelMsS
// Regions no font touches: the frame's left, right and bottom edges (short
// of the version text in the bottom-right corner), the
// separator line, and the buttons' faces less their captions.
const kFontFree = [
  {x: 0, y: 16, width: 4, height: 145}, {x: 349, y: 16, width: 4, height: 145},
  {x: 0, y: 157, width: 300, height: 4}, {x: 0, y: 127, width: 353, height: 3},
  ...[kQueryButton, kSetButton].flatMap((b) => [
    {x: b.x, y: b.y, width: b.width, height: 3}, {x: b.x, y: b.y + b.height - 3, width: b.width, height: 3},
    {x: b.x, y: b.y, width: 3, height: b.height}, {x: b.x + b.width - 3, y: b.y, width: 3, height: b.height}]),
];
const kRefusal = "[ SetLocalTime()错误0 ]";
const kDeadlineMs = 10000;

const centre = (r) => ({x: r.x + r.width / 2, y: r.y + r.height / 2});

// A program of ours on a loopback port, its output kept.
// Every service this script starts stops when it ends, however it ends: an
// error outside the cases too (it is reported, and the script fails).
const children = [];
process.on("exit", () => { for (const child of children) child.kill("SIGTERM"); });
process.on("unhandledRejection", (error) => {
  console.error("FAIL", error);
  process.exit(1);
});

function startServe(args) {
  const child = spawn(serveProgram, ["serve", "--listen", "127.0.0.1:0", ...args],
                      {stdio: ["ignore", "pipe", "inherit"]});
  children.push(child);
  const served = {child, output: ""};
  return new Promise((resolve, reject) => {
    child.stdout.on("data", (chunk) => {
      served.output += chunk;
      const port = /serving Beijing time on http:\/\/127\.0\.0\.1:(\d+)/.exec(served.output);
      if (port && !served.port) {
        served.port = Number(port[1]);
        served.origin = `http://127.0.0.1:${served.port}`;
        resolve(served);
      }
    });
    child.on("exit", (code) => reject(new Error(`borvane serve exited with ${code}: ${served.output}`)));
  });
}
const queriesSeen = (served) => (served.output.match(/^time query \d+$/gm) || []).length;

// Another origin: pages that embed the element from the service.
function startPageServer(pages) {
  const server = http.createServer((request, answer) => {
    const page = pages[request.url];
    answer.writeHead(page ? 200 : 404, {"Content-Type": "text/html; charset=utf-8"});
    answer.end(page || "not found");
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// A service that takes the connection and never answers.
function startSilentServer() {
  const sockets = new Set();
  const server = net.createServer((socket) => {
    sockets.add(socket);
    socket.on("error", () => {});
    socket.on("close", () => sockets.delete(socket));
  });
  server.closeAll = () => { for (const s of sockets) s.destroy(); server.close(); };
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

function rawGet(origin, target, headers = {}) {
  return new Promise((resolve, reject) => {
    http.get(origin + target, {headers}, (answer) => {
      const chunks = [];
      answer.on("data", (c) => chunks.push(c));
      answer.on("end", () => resolve({status: answer.statusCode, headers: answer.headers,
                                       body: Buffer.concat(chunks)}));
    }).on("error", reject);
  });
}

const work = mkdtempSync(path.join(tmpdir(), "borvane-web-"));
const serve = await startServe(["--report-queries"]);
const noWeb = await startServe(["--no-web"]);
// The other origin's page has a service of its own, so the queries counted
// there are that page's alone, not a late one from an element of another case.
const otherService = await startServe(["--report-queries"]);
// A service whose clock is 15 s short of the top of an hour: the panel's
// hourly re-check comes some seconds after its first check, while the
// other cases run. The first check must come before the hour does, or the
// re-check is an hour away: 15 s leaves room for a slow, loaded machine.
const kHour = 3600000;
const kHourLeadMs = 15000;
const nearHour = await startServe([`--offset-ms=${kHour - Date.now() % kHour - kHourLeadMs}`]);
const silent = await startSilentServer();
const silentOrigin = `http://127.0.0.1:${silent.address().port}`;
const embed = (service) => `<!DOCTYPE html><meta charset="utf-8"><body style="margin:0">
<script type="module" src="${serve.origin}/borvane-client.js"></script>
<borvane-client service="${service}"></borvane-client>`;
const pages = await startPageServer({"/embed": embed(otherService.origin), "/silent": embed(silentOrigin),
                                     "/hourly": embed(nearHour.origin)});
const pagesOrigin = `http://127.0.0.1:${pages.address().port}`;

// The GTK host's picture of the same panel against the same service.
const snapshotFile = path.join(work, "snapshot.png");
execFileSync(borvaneProgram, ["panel", "--service", serve.origin, "--snapshot", snapshotFile],
             {stdio: ["ignore", "ignore", "inherit"]});

const browser = await puppeteer.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  userDataDir: path.join(work, "profile"),
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         // Pages not in front keep their timers: the silent service's
         // deadline runs while the other cases do.
         "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
         "--disable-backgrounding-occluded-windows"],
});
const pageErrors = [];
async function openPage(url, scale = 1, before = null) {
  const page = await browser.newPage();
  await page.setViewport({width: 400, height: 220, deviceScaleFactor: scale});
  if (before) await page.evaluateOnNewDocument(before);
  page.on("pageerror", (e) => pageErrors.push(`${url}: ${e.message}`));
  await page.goto(url);
  await page.waitForFunction(() => customElements.get("borvane-client"));
  return page;
}
// Waits for the element's first check; then its state.
const settled = (page) => page.evaluate(async () => {
  const el = document.querySelector("borvane-client");
  await el.ready;
  return {statusLine: el.statusLine, checks: el.checks};
});
// Pixels of a region of the element's canvas, RGBA.
const canvasPixels = (page, r) => page.evaluate((r) => {
  const canvas = document.querySelector("borvane-client").shadowRoot.querySelector("canvas");
  return Array.from(canvas.getContext("2d").getImageData(r.x, r.y, r.width, r.height).data);
}, r);
// Clicks a point of the panel, waiting for the element to have handled it.
async function clickPanel(page, point) {
  const box = await (await page.$("borvane-client")).boundingBox();
  await page.mouse.click(box.x + point.x, box.y + point.y);
  await page.evaluate(() => document.querySelector("borvane-client").deCrypt("", 0).catch(() => {}));
}
const inkCount = (pixels, background) => {
  let ink = 0;
  for (let i = 0; i < pixels.length; i += 4) {
    if (pixels[i] !== background[0] || pixels[i + 1] !== background[1] || pixels[i + 2] !== background[2]) ++ink;
  }
  return ink;
};

// The silent service's page starts first: its deadline runs while the other
// cases do.
// A heartbeat from the page's first moment: the longest gap between its
// 50 ms ticks tells whether anything held the page up.
const silentPage = await openPage(`${pagesOrigin}/silent`, 1, () => {
  window.heartbeat = {last: performance.now(), longestGap: 0};
  setInterval(() => {
    const now = performance.now();
    window.heartbeat.longestGap = Math.max(window.heartbeat.longestGap, now - window.heartbeat.last);
    window.heartbeat.last = now;
  }, 50);
});
// The failure's time is taken in the page, from its navigation, which
// comes before the query starts.
const silentResult = silentPage.evaluate(async () => {
  const el = document.querySelector("borvane-client");
  await el.ready;
  return {status: el.statusLine, at: Math.round(performance.now()),
          longestGap: Math.round(window.heartbeat.longestGap)};
});
// Part way through the wait the check has not ended; from here to its end
// the heartbeat is measured (not while the page loaded).
const silentProbe = silentPage.evaluate(async () => {
  await new Promise((r) => setTimeout(r, 1000));
  window.heartbeat.longestGap = 0;
  return {checksWhileWaiting: document.querySelector("borvane-client").checks,
          at: Math.round(performance.now())};
});

// The hourly re-check's page starts early too.
const hourlyPage = await openPage(`${pagesOrigin}/hourly`);
const hourlyResult = hourlyPage.evaluate((lead) => new Promise((resolve) => {
  const el = document.querySelector("borvane-client");
  const done = () => resolve({checks: el.checks, statusLine: el.statusLine});
  el.addEventListener("checked", () => { if (el.checks >= 2) done(); });
  if (el.checks >= 2) done();
  setTimeout(done, lead + 20000);
}), kHourLeadMs);

const page = await openPage(`${serve.origin}/`);
const first = await settled(page);

const cases = [
  ["picture matches the snapshot where no font draws; Beijing time in its colour", async () => {
    const snapshot = "data:image/png;base64," + readFileSync(snapshotFile).toString("base64");
    const seen = await page.evaluate(async (snapshotUrl, regions, timeRegion) => {
      const image = new Image();
      image.src = snapshotUrl;
      await image.decode();
      const c = document.createElement("canvas");
      c.width = image.width;
      c.height = image.height;
      c.getContext("2d").drawImage(image, 0, 0);
      const reference = c.getContext("2d");
      const own = document.querySelector("borvane-client").shadowRoot.querySelector("canvas").getContext("2d");
      let differing = 0, compared = 0;
      const examples = [];
      for (const r of regions) {
        const a = reference.getImageData(r.x, r.y, r.width, r.height).data;
        const b = own.getImageData(r.x, r.y, r.width, r.height).data;
        for (let i = 0; i < a.length; i += 4) {
          ++compared;
          if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2]) {
            if (++differing <= 5) {
              const p = i / 4;
              examples.push([r.x + p % r.width, r.y + Math.floor(p / r.width), a.slice(i, i + 3).join(), b.slice(i, i + 3).join()]);
            }
          }
        }
      }
      // The time's colour: the commonest colour in the snapshot's time text
      // other than the background (its top-left pixel).
      const t = reference.getImageData(timeRegion.x, timeRegion.y, timeRegion.width, timeRegion.height).data;
      const counts = new Map();
      for (let i = 0; i < t.length; i += 4) {
        const key = (t[i] << 16) | (t[i + 1] << 8) | t[i + 2];
        if (key !== ((t[0] << 16) | (t[1] << 8) | t[2])) counts.set(key, (counts.get(key) || 0) + 1);
      }
      const colour = [...counts].sort((x, y) => y[1] - x[1])[0][0];
      const o = own.getImageData(timeRegion.x, timeRegion.y, timeRegion.width, timeRegion.height).data;
      let inColour = 0;
      for (let i = 0; i < o.length; i += 4) {
        if (((o[i] << 16) | (o[i + 1] << 8) | o[i + 2]) === colour) ++inColour;
      }
      return {size: [image.width, image.height, own.canvas.width, own.canvas.height],
              differing, examples, compared, colour: colour.toString(16), inColour};
    }, snapshot, kFontFree, kBeijingTime);
    const state = await page.evaluate(() => document.querySelector("borvane-client")._state);
    const ok = seen.size.join() === "353,167,353,167" && seen.differing === 0 && seen.compared > 2000 &&
               seen.inColour >= 40 && /^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}$/.test(state.Label1);
    return [ok, {...seen, Label1: state.Label1}];
  }],
  ["a click on 查询 makes exactly one more query reach the service", async () => {
    const before = queriesSeen(serve);
    const checked = page.evaluate(() => new Promise((resolve, reject) => {
      document.querySelector("borvane-client").addEventListener("checked", (e) => resolve(e.detail), {once: true});
      setTimeout(() => reject(new Error("no checked event within 5 s")), 5000);
    }));
    await clickPanel(page, centre(kQueryButton));
    const detail = await checked;
    // The service reports each query on its own line, a moment later; a
    // second query, if any, would have arrived by then too.
    await new Promise((r) => setTimeout(r, 500));
    const after = queriesSeen(serve);
    return [after === before + 1 && typeof detail.Label1 === "string" && "sysTimerInterval" in detail,
            {before, after, detailKeys: Object.keys(detail).length}];
  }],
  ["显示毫秒 shows the milliseconds and hides them again", async () => {
    const background = (await canvasPixels(page, {x: kBeijingMs.x, y: kBeijingMs.y, width: 1, height: 1}));
    const hidden = inkCount(await canvasPixels(page, kBeijingMs), background);
    await clickPanel(page, centre(kMsBox));
    const shown = inkCount(await canvasPixels(page, kBeijingMs), background);
    await clickPanel(page, centre(kMsBox));
    const hiddenAgain = inkCount(await canvasPixels(page, kBeijingMs), background);
    return [hidden === 0 && shown > 20 && hiddenAgain === 0, {hidden, shown, hiddenAgain}];
  }],
  ["Tab moves the focus through 查询, 校准 and 每小时校准 to 显示毫秒, and Space there toggles it", async () => {
    const background = (await canvasPixels(page, {x: kBeijingMs.x, y: kBeijingMs.y, width: 1, height: 1}));
    const press = async (key) => {
      await page.keyboard.press(key);
      await page.evaluate(() => document.querySelector("borvane-client").deCrypt("", 0).catch(() => {}));
    };
    // Focus leaving the page clears the panel's own focus; Tab then starts
    // from its first part.
    await page.evaluate(() => {
      const canvas = document.querySelector("borvane-client").shadowRoot.querySelector("canvas");
      canvas.blur();
      canvas.focus();
    });
    for (let i = 0; i < 4; ++i) await press("Tab");
    await press("Space");
    const shown = inkCount(await canvasPixels(page, kBeijingMs), background);
    await press("Space");
    const hidden = inkCount(await canvasPixels(page, kBeijingMs), background);
    return [shown > 20 && hidden === 0, {shown, hidden}];
  }],
  ["校准 shows the panel's refusal line: a page cannot set the clock", async () => {
    await clickPanel(page, centre(kSetButton));
    const status = await page.evaluate(() => document.querySelector("borvane-client").statusLine);
    return [status === kRefusal, {status}];
  }],
  ["the hourly re-check runs and shows the refusal line too", async () => {
    const seen = await hourlyResult;
    return [seen.checks === 2 && seen.statusLine === kRefusal, seen];
  }],
  ["deCrypt from page script returns the text and the derived shift, even before the module loaded", async () => {
    const result = await page.evaluate(() =>
        document.querySelector("borvane-client").deCrypt("40763,6-98&-4::5@18.>9?", 53190427));
    const early = await page.evaluate(() => {
      const el = document.createElement("borvane-client");
      el.setAttribute("service", location.origin);
      document.body.appendChild(el);
      return el.deCrypt("40763,6-98&-4::5@18.>9?", 53190427).finally(() => el.remove());
    });
    return [result.text === "2005-04-27 12:34:56.789" && result.key === 6 &&
            JSON.stringify(early) === JSON.stringify(result), {result, early}];
  }],
  ["taken out of the page the panel's seconds count stops; put back, it goes on", async () => {
    const seen = await page.evaluate(async () => {
      const el = document.querySelector("borvane-client");
      const wait = (ms) => new Promise((r) => setTimeout(r, ms));
      const tag = async () => {
        await el.deCrypt("", 0).catch(() => {});  // the state as of the last call
        return Number(el._state.sysTimerTag);
      };
      const parent = el.parentNode;
      el.remove();
      const out = await tag();
      await wait(1500);
      const stillOut = await tag();
      parent.appendChild(el);
      await wait(1500);
      return {out, stillOut, back: await tag()};
    });
    return [seen.stillOut === seen.out && seen.back >= seen.out + 1, seen];
  }],
  ["a page on another origin embeds the element pointed at the service", async () => {
    const other = await openPage(`${pagesOrigin}/embed`);
    const state = await settled(other);
    // The service reports each query on its own line, a moment later.
    for (let i = 0; i < 40 && queriesSeen(otherService) < 1; ++i) await new Promise((r) => setTimeout(r, 50));
    const label1 = await other.evaluate(() => document.querySelector("borvane-client")._state.Label1);
    await other.close();
    const queries = queriesSeen(otherService);
    // A verdict on this clock, whichever: on a loaded machine one query's
    // delay can put it past the 100 ms the panel counts as right, and its
    // milliseconds past the second, which asks again (three attempts at most).
    return [state.checks === 1 && /^\d{4}-\d{2}-\d{2} /.test(label1) && queries >= 1 && queries <= 3 &&
            state.statusLine.startsWith("[ 您的系统时间"), {...state, label1, queries}];
  }],
  ["crisp at device-pixel ratio 2: each panel pixel is a 2×2 block of the same colour", async () => {
    const sharp = await openPage(`${serve.origin}/`, 2);
    await settled(sharp);
    const box = await (await sharp.$("borvane-client")).boundingBox();
    const shot = await sharp.screenshot({encoding: "base64",
                                         clip: {x: box.x, y: box.y, width: 353, height: 167}});
    const seen = await sharp.evaluate(async (png) => {
      const image = new Image();
      image.src = "data:image/png;base64," + png;
      await image.decode();
      const c = document.createElement("canvas");
      c.width = image.width;
      c.height = image.height;
      const g = c.getContext("2d");
      g.drawImage(image, 0, 0);
      const shown = g.getImageData(0, 0, c.width, c.height).data;
      const drawn = document.querySelector("borvane-client").shadowRoot.querySelector("canvas")
          .getContext("2d").getImageData(0, 0, 353, 167).data;
      let wrong = 0;
      for (let y = 0; y < c.height; ++y) {
        for (let x = 0; x < c.width; ++x) {
          const s = (y * c.width + x) * 4, d = ((y >> 1) * 353 + (x >> 1)) * 4;
          if (shown[s] !== drawn[d] || shown[s + 1] !== drawn[d + 1] || shown[s + 2] !== drawn[d + 2]) ++wrong;
        }
      }
      return {width: c.width, height: c.height, wrong};
    }, shot);
    await sharp.close();
    return [seen.width === 706 && seen.height === 334 && seen.wrong === 0, seen];
  }],
  ["the module and wasm carry their types, a validator and gzip; --no-web serves neither", async () => {
    const script = await rawGet(serve.origin, "/borvane-client.js", {"Accept-Encoding": "gzip"});
    const wasm = await rawGet(serve.origin, "/borvane-client.wasm");
    const again = await rawGet(serve.origin, "/borvane-client.wasm", {"If-None-Match": wasm.headers.etag});
    const time = await rawGet(serve.origin, "/times/nolvera.aspx?borvane=12345");
    const off = await rawGet(noWeb.origin, "/");
    const offTime = await rawGet(noWeb.origin, "/times/nolvera.aspx?borvane=12345");
    const seen = {
      script: [script.status, script.headers["content-type"], script.headers["content-encoding"]],
      wasm: [wasm.status, wasm.headers["content-type"], wasm.headers["content-encoding"] || "identity",
             wasm.body.subarray(0, 4).toString("hex")],
      revalidated: again.status, timeCors: time.headers["access-control-allow-origin"],
      noWeb: [off.status, offTime.headers["access-control-allow-origin"] || "none"],
    };
    const ok = script.status === 200 && /^text\/javascript/.test(script.headers["content-type"]) &&
               script.headers["content-encoding"] === "gzip" && wasm.status === 200 &&
               wasm.headers["content-type"] === "application/wasm" && !wasm.headers["content-encoding"] &&
               seen.wasm[3] === "0061736d" && /^"[0-9a-f]+-[0-9a-f]{16}"$/.test(wasm.headers.etag) &&
               again.status === 304 && time.headers["access-control-allow-origin"] === "*" &&
               off.status === 404 && seen.noWeb[1] === "none";
    return [ok, seen];
  }],
  ["a service that never answers: the page stays responsive, the failure shows after the deadline", async () => {
    const probe = await silentProbe;
    const {status, at, longestGap} = await silentResult;
    return [longestGap < 1000 && probe.checksWhileWaiting === 0 && probe.at < kDeadlineMs &&
            at >= kDeadlineMs && at < 2 * kDeadlineMs && status.startsWith("[ ") &&
            status.includes("no answer"),
            {longestGapMs: longestGap, probe, failureShownAtMs: at, status}];
  }],
];

let failures = 0;
let passed = 0;
console.log(`first check: ${JSON.stringify(first)}`);
for (const [name, run] of cases) {
  let ok = false, seen;
  try {
    [ok, seen] = await run();
  } catch (error) {
    seen = String(error && error.stack || error);
  }
  if (ok) ++passed; else ++failures;
  console.log(`${ok ? "PASS" : "FAIL"} ${name}\n     ${JSON.stringify(seen)}`);
}
if (pageErrors.length) {
  ++failures;
  console.log(`FAIL script errors in the pages:\n     ${pageErrors.join("\n     ")}`);
}

await browser.close();
silent.closeAll();
pages.close();
rmSync(work, {recursive: true, force: true});
console.log(`${passed} of ${cases.length} cases passed`);
process.exit(failures === 0 ? 0 : 1);
