// Figures of the web panel in headless Chromium against borvane serve on
// loopback (bench/web_panel.sh starts both and prints the sizes beside).
//
//   node web_panel_bench.mjs ORIGIN NODE_MODULES_DIR PROFILE_DIR [RUNS]
import path from "node:path";
import {pathToFileURL} from "node:url";

const [origin, nodeModules, profile, runsText] = process.argv.slice(2);
const runs = Number(runsText || 5);
const puppeteer = (await import(pathToFileURL(
    path.join(nodeModules, "puppeteer-core/lib/esm/puppeteer/puppeteer-core.js")).href)).default;
const browser = await puppeteer.launch({
  executablePath: "/usr/bin/chromium", headless: true, userDataDir: profile,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const firstFrame = [], answered = [], clickToCheck = [], clickToPaint = [], heap = [], wasmMemory = [];
for (let run = 0; run < runs; ++run) {
  // A fresh page each run; the browser's cache keeps the files (revalidated
  // with a 304), as for a returning visitor.
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => {
    window.__firstFrame = new Promise((resolve) => document.addEventListener("firstframe",
        () => resolve(performance.now()), {capture: true, once: true}));
  });
  await page.goto(origin + "/");
  const times = await page.evaluate(async () => {
    const el = document.querySelector("borvane-client") ||
               await new Promise((r) => setTimeout(() => r(document.querySelector("borvane-client")), 0));
    await customElements.whenDefined("borvane-client");
    await el.ready;
    const ready = performance.now();
    await new Promise((r) => requestAnimationFrame(() => r()));
    return {first: await window.__firstFrame, answered: performance.now(), ready,
            wasm: el._module.HEAPU8.length};
  });
  firstFrame.push(times.first);
  answered.push(times.answered);
  wasmMemory.push(times.wasm);
  const box = await (await page.$("borvane-client")).boundingBox();
  // 查询's centre (design data: 296, 32, 41 × 25 pixels).
  const click = page.evaluate(() => new Promise((resolve) => {
    const el = document.querySelector("borvane-client");
    let start = 0;
    el.addEventListener("mousedown", () => { start = performance.now(); }, {capture: true, once: true});
    el.addEventListener("checked", () => {
      const checked = performance.now();
      requestAnimationFrame(() => resolve({check: checked - start, paint: performance.now() - start}));
    }, {once: true});
  }));
  await page.mouse.click(box.x + 316.5, box.y + 44.5);
  const measured = await click;
  clickToCheck.push(measured.check);
  clickToPaint.push(measured.paint);
  heap.push((await page.metrics()).JSHeapUsedSize);
  await page.close();
}
await browser.close();
const ms = (v) => `${median(v).toFixed(1)} ms (min ${Math.min(...v).toFixed(1)}, max ${Math.max(...v).toFixed(1)})`;
console.log(`runs                              ${runs}, medians`);
console.log(`navigation to first frame         ${ms(firstFrame)}`);
console.log(`navigation to the answer painted  ${ms(answered)}`);
console.log(`click on 查询 to the check's end   ${ms(clickToCheck)}`);
console.log(`click on 查询 to the next paint    ${ms(clickToPaint)}`);
console.log(`page JS heap                      ${(median(heap) / 1024).toFixed(0)} kB`);
console.log(`wasm memory                       ${(median(wasmMemory) / 1024).toFixed(0)} kB`);
