// The support page's size and its time from load to the first drawn sheet
// in headless Chromium, opened from file:// (docs/performance.md).
//
//   node bench/page_load.js [build/web/halcyra-support.html] [REPETITIONS]
//
// Each repetition opens the page in a new tab of one browser and reads the
// page's own marks (milliseconds since its navigation began): the
// WebAssembly module running, the reference machine's sheet built (its
// probes run, its controls made), and the first frame that shows it. The
// first repetition is reported apart: it pays for the browser's own start of
// a renderer.
'use strict';
const fs = require('fs');
const path = require('path');
const { Browser } = require('../tests/web/cdp');

const page = path.resolve(process.argv[2] || 'build/web/halcyra-support.html');
const repetitions = Number(process.argv[3] || 15);

const stats = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
  return `median ${at(0.5).toFixed(1)} ms (min ${sorted[0].toFixed(1)}, p90 ${at(0.9).toFixed(1)}, max ${sorted[sorted.length - 1].toFixed(1)})`;
};

(async () => {
  const bytes = fs.statSync(page).size;
  console.log(`page: ${page}, ${bytes} bytes (${(bytes / 1024).toFixed(0)} KiB), one file`);
  const browser = await Browser.launch();
  const marks = { moduleReady: [], firstSheet: [], firstFrame: [] };
  try {
    for (let i = 0; i <= repetitions; ++i) {
      const tab = await browser.open('file://' + page);
      await tab.waitFor('window.halcyraSupport && window.halcyraSupport.firstFrame !== undefined');
      const m = await tab.eval('({ moduleReady: halcyraSupport.moduleReady, firstSheet: halcyraSupport.firstSheet, firstFrame: halcyraSupport.firstFrame })');
      await browser.send('Target.closeTarget', { targetId: tab.targetId });
      if (i === 0) {
        console.log(`first tab: module ${m.moduleReady.toFixed(1)} ms, sheet ${m.firstSheet.toFixed(1)} ms, frame ${m.firstFrame.toFixed(1)} ms`);
        continue;
      }
      for (const key of Object.keys(marks)) marks[key].push(m[key]);
    }
  } finally {
    await browser.close();
  }
  console.log(`${repetitions} tabs after the first:`);
  console.log(`  module running:      ${stats(marks.moduleReady)}`);
  console.log(`  first sheet built:   ${stats(marks.firstSheet)}`);
  console.log(`  first sheet drawn:   ${stats(marks.firstFrame)}`);
})().catch((error) => {
  console.error(error.stack || String(error));
  process.exit(1);
});
