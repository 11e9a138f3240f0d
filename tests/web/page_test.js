// The support page (build/web/halcyra-support.html) in headless Chromium,
// opened from file:// with every connection refused:
//
// - every stored page case (tests/pages/cases) and Windows scenario
//   (tests/win32/scenarios) played through the page's own controls (clicks,
//   selections, typing, tabs and buttons as DOM events, the message boxes'
//   OK, the dump button), compared with halcyra-sim on the same machine,
//   options.ini and archives: output lines (dump lines read back from the
//   drawn page, boxes, result, exit) and the options.ini bytes, one table;
// - a machine whose names hold terminal escapes, markup and bidi controls
//   shows them as text: nothing injected, no script run, nothing loaded;
// - a report made by halcyra-sim chosen in the page's file input, OK, and
//   the options.ini download saved to disk equal to halcyra-sim's;
// - screenshots of both pages into the output folder.
//
//   node tests/web/page_test.js PAGE HALCYRA_SIM OUTPUT_DIR
//
// Exit status 0 when every check holds.
'use strict';
const { execFileSync, spawnSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const { Browser } = require('./cdp');

const ROOT = path.resolve(__dirname, '../..');
const [pagePath, simPath, outDir] = process.argv.slice(2).map((p) => p && path.resolve(p));
if (!outDir) {
  console.error('usage: node tests/web/page_test.js PAGE HALCYRA_SIM OUTPUT_DIR');
  process.exit(2);
}
const pageUrl = 'file://' + pagePath;
const read = (file) => (fs.existsSync(file) ? fs.readFileSync(file, 'latin1') : null);
const failures = [];
const fail = (what) => { failures.push(what); console.log('FAIL ' + what); };

// ---- Cases

const kArchiveBits = { 'bitmapsh.flx': 1, 'bitmap16.flx': 2, 'bitmapc.flx': 4 };

// The [glide] section for a Windows scenario's "glide KEY=VALUE ..." setup
// line, as the Windows tests' test glide2x.dll answers it (the mapping of
// tests/simulated/scenario_files_test.cpp).
function glideSection(setup) {
  const keys = new Map();
  const ours = { num_sst: 'num_sst', fbRam: 'fb_ram', tmuRam: 'tmu_ram', type: 'board_type', nTexelfx: 'texelfx', sliDetect: 'sli' };
  for (const line of setup.split('\n')) {
    const words = line.trim().split(/\s+/);
    if (words[0] !== 'glide') continue;
    keys.set('library', 'true');
    for (const word of words.slice(1)) {
      const [key, value] = [word.slice(0, word.indexOf('=')), word.slice(word.indexOf('=') + 1)];
      if (ours[key]) keys.set(ours[key], key === 'sliDetect' ? (value === '1' ? 'true' : 'false') : value);
    }
    if (line.includes('fill=count')) keys.set('fb_ram', '0');
    if (line.includes('library=glide2x-noselect')) keys.set('missing_exports', '["_grSstSelect@4"]');
  }
  if (keys.size === 0) return '';
  return '[glide]\n' + [...keys.keys()].sort().map((k) => `${k} = ${keys.get(k)}\n`).join('');
}

function loadCases() {
  const cases = [];
  const wineBase = read(path.join(ROOT, 'tests/simulated/wine-1024x768.toml'));
  for (const [kind, folder] of [['page case', 'tests/pages/cases'], ['scenario', 'tests/win32/scenarios']]) {
    for (const name of fs.readdirSync(path.join(ROOT, folder)).sort()) {
      const dir = path.join(ROOT, folder, name);
      const setup = read(path.join(dir, 'setup')) || '';
      let machine = kind === 'scenario' ? wineBase + glideSection(setup) : null;
      let archives = 0, readOnly = false;
      for (const line of setup.split('\n')) {
        const [word, value] = line.trim().split(/\s+/);
        if (word === 'machine') machine = read(path.join(ROOT, value));
        if (word === 'archive') archives |= kArchiveBits[value] || 0;
        if (word === 'readonly') readOnly = true;
      }
      cases.push({ kind, name, dir, machine, archives, readOnly,
                   options: read(path.join(dir, 'options.ini')), script: read(path.join(dir, 'script.txt')) });
    }
  }
  // What-ifs: the shipped machine of docs/support.md's example with one
  // platform call failed, as --fail-call fails it.
  const rush = read(path.join(ROOT, 'profiles/voodoo_rush_es1868.toml'));
  for (const failCall of [1, 2, 5, 9, 17, 24, 30]) {
    cases.push({ kind: 'what-if', name: `voodoo_rush_es1868 --fail-call ${failCall}`, machine: rush, archives: 7,
                 readOnly: false, failCall, options: '[Game]\r\nGame Rasterizer=2\r\n', script: 'dump\ntab 1\ndump\nok\n' });
  }
  return cases;
}

// The page's game and working folders as the comparison names them.
const pageLine = (l) => l.split('/game').join('@GAME@').split('/player').join('@CWD@');

// ---- halcyra-sim on a case

function playSim(c, scratch) {
  const game = path.join(scratch, 'game');
  fs.rmSync(scratch, { recursive: true, force: true });
  fs.mkdirSync(path.join(game, 'static'), { recursive: true });
  fs.writeFileSync(path.join(scratch, 'machine.toml'), c.machine, 'latin1');
  fs.writeFileSync(path.join(scratch, 'script.txt'), c.script, 'latin1');
  const options = path.join(game, 'options.ini');
  if (c.options !== null) fs.writeFileSync(options, c.options, 'latin1');
  for (const [name, bit] of Object.entries(kArchiveBits)) if (c.archives & bit) fs.writeFileSync(path.join(game, 'static', name), '');
  if (c.readOnly) fs.chmodSync(options, 0o444);
  // An empty working folder, as the page's: a run without the registry's
  // install path reads and writes options.ini there (and box 106 names it).
  const cwd = fs.mkdtempSync(path.join(scratch, 'cwd-'));
  const run = spawnSync(simPath, ['--machine', path.join(scratch, 'machine.toml'), '--install-dir', game,
                                  '--script', path.join(scratch, 'script.txt'),
                                  ...(c.failCall ? ['--fail-call', String(c.failCall)] : [])],
                       { encoding: 'latin1', cwd });
  const failed = /^script line (\d+):/m.exec(run.stderr);
  return {
    lines: run.stdout.split('\n').filter((l) => l !== '').map((l) => l.split(game).join('@GAME@').split(cwd).join('@CWD@')),
    exit: run.status,
    line: failed ? Number(failed[1]) : 0,
    options: read(options),
  };
}

// ---- The same case in the page, through its controls

// The steps of a script as the page's driver reads them; a line that
// halcyra-sim would refuse to read is named by its number.
function parseScript(text) {
  const steps = [];
  const lines = text.split('\n');
  const isInt = (w) => /^-?\d+$/.test(w || '');
  for (let i = 0; i < lines.length; ++i) {
    const line = lines[i].replace(/[ \t\r]+$/, '').replace(/^[ \t]+/, '');
    if (line === '' || line.startsWith('#')) continue;
    const words = line.split(/[ \t]+/);
    const verb = words[0];
    const bad = { error: i + 1 };
    if (verb === 'type') {
      const m = /^type[ \t]+(-?\d+)(?:[ \t](.*))?$/.exec(line);
      if (!m || /[\x00-\x1f\x7f]/.test(m[2] || '')) return bad;
      steps.push({ line: i + 1, verb, args: [Number(m[1]), m[2] || ''] });
      continue;
    }
    const counts = { click: 1, select: 2, tab: 1, ok: 0, cancel: 0, close: 0, dump: 0 };
    if (!(verb in counts) || words.length - 1 !== counts[verb] || !words.slice(1).every(isInt)) return bad;
    steps.push({ line: i + 1, verb, args: words.slice(1).map(Number) });
  }
  return { steps };
}

// Runs in the page: one step on the drawn controls. Returns what happened.
const kPageDriver = `window.__halcyraStep = function (verb, args) {
  const $ = (id) => document.getElementById(id);
  const answerBoxes = () => { for (let i = 0; i < 100 && $('box').open; ++i) $('box-ok').click(); };
  answerBoxes();
  const s = window.halcyraSupport.state();
  if (!s || s.state !== 'sheet') return { ended: true };
  const control = (id) => document.querySelector('#page .control[data-id="' + id + '"]');
  const usable = (id) => {
    const c = control(id);
    if (!c || c.hidden) return { refused: 'no such control' };
    if (c.classList.contains('disabled')) return { refused: 'disabled' };
    return { c };
  };
  let found;
  switch (verb) {
    case 'click': {
      found = usable(args[0]);
      if (found.refused) return found;
      const button = found.c.querySelector('input[type=radio], input[type=checkbox]');
      if (button) button.click();
      break;
    }
    case 'select':
    case 'type': {
      found = usable(args[0]);
      if (found.refused) return found;
      const list = found.c.querySelector('select');
      const edit = found.c.querySelector('input[type=text]');
      if (!list || !edit) return { refused: 'not a combo box' };
      if (verb === 'select') {
        if (args[1] < 0 || args[1] >= list.options.length) return { refused: 'no such entry' };
        list.selectedIndex = args[1];
        list.dispatchEvent(new Event('change', { bubbles: true }));
      } else {
        edit.value = args[1];
        edit.dispatchEvent(new Event('change', { bubbles: true }));
      }
      break;
    }
    case 'tab': {
      const tab = document.querySelectorAll('#tabs button')[args[0]];
      if (!tab || args[0] < 0) return { refused: 'no such page' };
      tab.click();
      break;
    }
    case 'ok': document.querySelector('#buttons button[data-id="1"]').click(); break;
    case 'cancel': document.querySelector('#buttons button[data-id="2"]').click(); break;
    case 'close': $('sheet-close').click(); break;
    case 'dump': $('dump').click(); break;
  }
  answerBoxes();
  return {};
};`;

async function playPage(page, c) {
  const parsed = parseScript(c.script);
  if (parsed.error) return { lines: [], exit: 2, line: parsed.error, options: c.options };
  await page.eval(`document.getElementById('fail-call').value = '${c.failCall || 0}'`);
  await page.eval(`window.halcyraSupport.open(${JSON.stringify(c.machine)}, ${JSON.stringify(c.options)}, ` +
                  `${JSON.stringify(c.name)}, ${c.archives}, ${c.readOnly})`);
  let refusedAt = 0;
  for (const step of parsed.steps) {
    const result = await page.eval(`window.__halcyraStep(${JSON.stringify(step.verb)}, ${JSON.stringify(step.args)})`);
    if (result.ended) break;
    if (result.refused) {
      refusedAt = step.line;
      break;
    }
  }
  // The end of the script presses Cancel on a sheet still open.
  if (!refusedAt) await page.eval(`window.__halcyraStep('cancel', [])`);
  const state = await page.eval('window.halcyraSupport.state()');
  if (!state) throw new Error(c.name + ': the page did not open the machine: ' + await page.eval(`document.getElementById('message').textContent`));
  const lines = (await page.eval('window.halcyraSupport.log()')).map(pageLine);
  if (refusedAt) return { lines, exit: 2, line: refusedAt, options: c.options };
  return { lines, exit: state.state === 'done' ? state.exit & 0xFF : -999, line: 0,
           options: state.state === 'done' ? state.options : '(sheet still open)' };
}

function differences(sim, web) {
  const found = [];
  if (sim.exit !== web.exit) found.push(`exit: halcyra-sim ${sim.exit}, page ${web.exit}`);
  if (sim.line !== web.line) found.push(`refused script line: halcyra-sim ${sim.line}, page ${web.line}`);
  const n = Math.max(sim.lines.length, web.lines.length);
  for (let i = 0; i < n; ++i) {
    if (sim.lines[i] !== web.lines[i]) {
      found.push(`line ${i + 1}:\n    halcyra-sim: ${sim.lines[i]}\n    page:        ${web.lines[i]}`);
      break;
    }
  }
  if (sim.options !== web.options) found.push(`options.ini: halcyra-sim ${JSON.stringify(sim.options)}, page ${JSON.stringify(web.options)}`);
  return found;
}

// ---- The checks

async function compareCases(page) {
  const cases = loadCases();
  const counts = { 'page case': 0, scenario: 0, 'what-if': 0 };
  let same = 0;
  for (const c of cases) {
    const sim = playSim(c, path.join(outDir, 'sim'));
    const web = await playPage(page, c);
    const found = differences(sim, web);
    counts[c.kind]++;
    if (found.length === 0) {
      ++same;
    } else {
      fail(`${c.kind} ${c.name}:\n  ${found.join('\n  ')}`);
    }
  }
  console.log(`support page: ${same} of ${cases.length} cases give the same output lines, boxes, exit and ` +
              `options.ini as halcyra-sim (${counts['page case']} page cases, ${counts.scenario} scenarios, ` +
              `${counts['what-if']} failed-call what-ifs)`);
  if (cases.length < 80) fail(`only ${cases.length} cases found`);
  for (const [kind, count] of Object.entries(counts)) if (count === 0) fail(`no ${kind} was played`);
}

// The mouse and the keyboard on the drawn sheet, as the browser delivers
// them: tabs and buttons clicked where they are drawn, arrows in a radio
// group, Ctrl+PageUp, Esc and Enter. The steps they make are the script the
// page records, and halcyra-sim playing that script prints what the page
// printed.
async function mouseAndKeys(page) {
  await load(page);
  const at = async (selector) => page.eval(`(() => { const r = document.querySelector(${JSON.stringify(selector)}).getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2 }; })()`);
  const click = async (selector) => {
    const { x, y } = await at(selector);
    for (const type of ['mousePressed', 'mouseReleased']) {
      await page.send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
    }
  };
  const key = async (name, code, modifiers = 0) => {
    for (const type of ['rawKeyDown', 'keyUp']) {
      await page.send('Input.dispatchKeyEvent', { type, key: name, code: name, windowsVirtualKeyCode: code, modifiers });
    }
  };
  await click('#tabs button:nth-child(2)');
  await click('#page .control[data-id="1015"] input');
  await key('PageUp', 33, 2);
  await click('#page .control[data-id="1006"] input');
  await key('ArrowDown', 40);
  await key('Escape', 27);
  const recorded = await page.eval(`document.getElementById('script').value`);
  const expected = 'tab 1\nclick 1015\ntab 0\nclick 1006\nclick 1015\ncancel\n';
  if (recorded !== expected) fail(`mouse and keys: the page recorded\n${recorded}instead of\n${expected}`);
  const c = { name: 'mouse-and-keys', machine: HALCYRA_REFERENCE(), options: '[Game]\r\nGame Rasterizer=2\r\n', archives: 7,
              readOnly: false, script: recorded };
  const sim = playSim(c, path.join(outDir, 'sim-keys'));
  const web = { lines: (await page.eval('window.halcyraSupport.log()')).map(pageLine),
                exit: (await page.eval('window.halcyraSupport.state()')).exit, line: 0, options: sim.options };
  const found = differences(sim, web);
  if (found.length) fail('mouse and keys: page and halcyra-sim differ:\n  ' + found.join('\n  '));
  // Tab goes from a radio group to the next tab stop (the device list's
  // edit field), and Enter presses OK.
  await click('#restart');
  await click('#page .control[data-id="1003"] input');
  await key('Tab', 9);
  const focused = await page.eval(`document.activeElement.closest('.control')?.dataset.id ?? document.activeElement.tagName`);
  if (focused !== '1004') fail(`mouse and keys: Tab from the Direct 3D button went to ${focused}, not the device list`);
  await click('#page .control[data-id="1009"] input');
  await key('Enter', 13);
  const state = await page.eval('window.halcyraSupport.state()');
  if (state.state !== 'done' || state.result !== 'ok') fail('mouse and keys: Enter did not press OK: ' + JSON.stringify(state));
  console.log('mouse and keys: clicks, arrows, Ctrl+PageUp, Esc and Enter make the steps halcyra-sim plays alike');
}

// The page's demonstration machine.
function HALCYRA_REFERENCE() { return read(path.join(ROOT, 'profiles/reference.toml')); }

// The names of tests/web/hostile_names.toml.
const kHostile = [
  '\x1b]0;owned\x07Voodoo \x1b[2J\x1b[31mRed',
  '<script>window.__halcyraInjected = 1</script>',
  '<img src=x onerror="window.__halcyraInjected = 2">',
  '\u202eevil\u202c \u2066rtl\u2069 device',
];

async function hostileNames(page) {
  // The profile's bytes as the file holds them, for the page and for
  // halcyra-sim alike.
  const machine = read(path.join(__dirname, 'hostile_names.toml'));
  const asBytes = (text) => Buffer.from(text, 'utf8').toString('latin1');
  const before = await page.eval(`JSON.stringify([...document.querySelectorAll('*')].map((e) => e.tagName)
      .filter((t) => !['OPTION', 'DIV', 'SPAN', 'LABEL', 'INPUT', 'SELECT', 'CANVAS', 'BUTTON'].includes(t)).sort())`);
  const c = { kind: 'hostile', name: 'hostile-names', machine, options: '[Game]\r\nGame Rasterizer=2\r\n',
              archives: 7, readOnly: false, script: 'dump\ntab 1\ndump\nok\n' };
  const sim = playSim(c, path.join(outDir, 'sim-hostile'));
  const web = await playPage(page, c);
  const found = differences(sim, web);
  if (found.length) fail('hostile names: page and halcyra-sim differ:\n  ' + found.join('\n  '));
  // Drawn again, open, to look at what the page holds.
  await page.eval(`window.halcyraSupport.open(${JSON.stringify(machine)}, null, 'hostile', 7, false)`);
  await page.eval(`window.__halcyraStep('tab', [1])`);
  const after = await page.eval(`JSON.stringify([...document.querySelectorAll('*')].map((e) => e.tagName)
      .filter((t) => !['OPTION', 'DIV', 'SPAN', 'LABEL', 'INPUT', 'SELECT', 'CANVAS', 'BUTTON'].includes(t)).sort())`);
  if (before !== after) fail(`hostile names: the page's elements changed:\n  before ${before}\n  after  ${after}`);
  const sounds = await page.eval(`[...document.querySelectorAll('#page option')].map((o) => o.textContent)`);
  await page.eval(`window.__halcyraStep('tab', [0])`);
  const devices = await page.eval(`[...document.querySelectorAll('#page option')].map((o) => o.textContent)`);
  for (const [list, names] of [[sounds, [0, 3]], [devices, [1, 2]]]) {
    for (const n of names) {
      if (!list.some((entry) => entry.includes(asBytes(kHostile[n])))) {
        fail(`hostile names: ${JSON.stringify(kHostile[n])} is not shown as text among ${JSON.stringify(list)}`);
      }
    }
  }
  const counts = await page.eval(`({ scripts: document.scripts.length, images: document.images.length,
      injected: window.__halcyraInjected === undefined ? 0 : window.__halcyraInjected })`);
  if (counts.scripts !== 2 || counts.images !== 0 || counts.injected !== 0) {
    fail('hostile names: something was injected or ran: ' + JSON.stringify(counts));
  }
  // The page's policy: its own two scripts and nothing else. A script
  // element added as markup would be (innerHTML never is) does not run.
  const policy = await page.eval(`document.querySelector('meta[http-equiv="Content-Security-Policy"]').content`);
  if (!/default-src 'none'/.test(policy) || /'unsafe-inline'|'unsafe-eval'|\*/.test(policy)) fail('the page\'s policy is not strict: ' + policy);
  const problemsBefore = page.problems.length;
  const ran = await page.eval(`(() => { const s = document.createElement('script'); s.textContent = 'window.__halcyraInline = 1';
      document.body.append(s); s.remove(); return window.__halcyraInline === 1; })()`);
  if (ran) fail('an inline script added to the page ran');
  await new Promise((r) => setTimeout(r, 100));
  if (!page.problems.slice(problemsBefore).some((p) => /Content Security Policy/.test(p))) fail('the inline script was not refused by the policy');
  page.problems.splice(problemsBefore);
  console.log(`hostile names: shown as text (${sounds.length} sound entries, ${devices.length} device entries), ` +
              `nothing injected, no script ran`);
}

async function reportAndDownload(browser, page) {
  // A report of a shipped machine, with the player's options.ini, made as
  // halcyra-report.exe makes it.
  const dir = path.join(outDir, 'report');
  const game = path.join(dir, 'game');
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(path.join(game, 'static'), { recursive: true });
  const options = '[Game]\r\nGame Rasterizer=2\r\nGameScreenWidth=800\r\nGameScreenHeight=600\r\nGameScreenDepth=16\r\n';
  fs.writeFileSync(path.join(game, 'options.ini'), options);
  fs.writeFileSync(path.join(dir, 'options.ini'), options);
  for (const name of Object.keys(kArchiveBits)) fs.writeFileSync(path.join(game, 'static', name), '');
  const report = path.join(dir, 'halcyra-report.txt');
  execFileSync(simPath, ['--machine', path.join(ROOT, 'profiles/voodoo_rush_es1868.toml'), '--install-dir', game,
                         '--support-file', report, '--date', '2026-12-06']);
  // What OK saves there, by halcyra-sim.
  fs.writeFileSync(path.join(dir, 'script.txt'), 'click 1003\nselect 1004 0\nok\n');
  execFileSync(simPath, ['--machine', report, '--install-dir', game, '--script', path.join(dir, 'script.txt')]);
  const expected = fs.readFileSync(path.join(game, 'options.ini'));

  const downloads = path.join(dir, 'downloads');
  fs.mkdirSync(downloads, { recursive: true });
  await browser.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.send('Network.emulateNetworkConditions', { offline: true, latency: 0, downloadThroughput: 0, uploadThroughput: 0 });
  await load(page);
  // Chosen in the page's own file inputs, as support does.
  // The report alone: the sheet starts from the options.ini its "Current
  // choices" lines describe.
  await page.chooseFiles('#machine-file', [report]);
  await page.waitFor(`document.getElementById('source').textContent.startsWith('halcyra-report.txt, with the options.ini that its')`);
  await page.eval(`window.__halcyraStep('dump', [])`);
  const fromReport = (await page.eval('window.halcyraSupport.log()')).join('\n');
  if (!fromReport.includes('1009 radio enabled=1 checked=1 text="Off"') || !fromReport.includes('current=1 items=')) {
    fail('file://: the report alone does not open as the player saw it:\n' + fromReport);
  }
  if (!(await page.eval(`document.getElementById('download').textContent.includes("not the player's whole")`))) {
    fail('file://: the download of an options.ini rebuilt from a report passes for the whole file');
  }
  // The AT25's unfit device chosen: its warning, modal over the sheet.
  await page.eval(`(() => { const list = document.querySelector('#page .control[data-id="1004"] select');
      list.selectedIndex = 1; list.dispatchEvent(new Event('change')); })()`);
  if (!(await page.eval(`document.getElementById('box').open`))) fail('file://: no message box for the unfit device');
  await page.screenshot(path.join(outDir, 'support-page-report-box.png'));
  await page.chooseFiles('#options-file', [path.join(dir, 'options.ini')]);
  await page.waitFor(`document.getElementById('source').textContent.startsWith('halcyra-report.txt, with its options.ini')`);
  for (const step of [['click', [1003]], ['select', [1004, 0]], ['ok', []]]) {
    await page.eval(`window.__halcyraStep(${JSON.stringify(step[0])}, ${JSON.stringify(step[1])})`);
  }
  await page.eval(`document.getElementById('download').click()`);
  const saved = path.join(downloads, 'options.ini');
  const until = Date.now() + 10000;
  while (!fs.existsSync(saved) && Date.now() < until) await new Promise((r) => setTimeout(r, 50));
  await new Promise((r) => setTimeout(r, 200));
  if (!fs.existsSync(saved)) {
    fail('file://: no options.ini was downloaded');
  } else if (!fs.readFileSync(saved).equals(expected)) {
    fail(`file://: the downloaded options.ini differs from halcyra-sim's:\n${fs.readFileSync(saved, 'latin1')}\n--\n${expected.toString('latin1')}`);
  }
  await page.screenshot(path.join(outDir, 'support-page-report-ok.png'));
  if (await page.eval(`getComputedStyle(document.getElementById('sheet')).display !== 'none'`)) {
    fail('file://: the sheet is still drawn after OK closed it');
  }
  const marked = await page.eval(`document.querySelectorAll('#compare .changed').length`);
  if (marked === 0) fail('file://: no changed line is marked beside the player\'s options.ini');
  const remote = page.requests.filter((url) => !url.startsWith('file:') && !url.startsWith('blob:') && !url.startsWith('data:'));
  if (remote.length) fail('file://: the page asked the network for ' + remote.join(', '));
  await dropFiles(page, [path.join(ROOT, 'profiles/voodoo_rush_es1868.toml'), path.join(dir, 'options.ini')]);
  console.log(`file:// offline: a report opened, OK, options.ini downloaded (${expected.length} bytes, as halcyra-sim saves it, ${marked} changed lines marked); ` +
              'a profile and an options.ini dropped together open the sheet');
}

// Opens the page anew and puts the driver's step function into it.
async function load(page) {
  await page.navigate(pageUrl);
  await page.waitFor('window.halcyraSupport && window.halcyraSupport.ready');
  await page.eval(kPageDriver);
}

// Drops `files` onto the page, as from a file manager: a profile and an
// options.ini together open the sheet.
async function dropFiles(page, files) {
  for (const type of ['dragEnter', 'dragOver', 'drop']) {
    await page.send('Input.dispatchDragEvent', { type, x: 300, y: 300, data: { items: [], files, dragOperationsMask: 1 } });
  }
  await page.waitFor(`document.getElementById('source').textContent.startsWith('voodoo_rush_es1868.toml, with its options.ini')`);
  const state = await page.eval('window.halcyraSupport.state()');
  if (state.state !== 'sheet') fail('drop: the dropped profile and options.ini did not open the sheet');
}

// Files that are no machine: each chosen in the page's file input gets its
// message and nothing else (no sheet, no box, nothing printed).
async function refusedFiles(page) {
  await load(page);
  const dir = path.join(outDir, 'refused');
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(dir, { recursive: true });
  const report = read(path.join(outDir, 'report', 'halcyra-report.txt'));
  const files = [
    ['not-a-profile.txt', 'This is a letter, not a report.\n[[[', /^This file cannot be opened: the file:\d+: /],
    ['truncated-report.txt', report.slice(0, Math.floor(report.length * 0.8)), /^This file cannot be opened: /],
    ['binary.bin', '\x00\x01\x02\xff\xfe'.repeat(1000), /^This file cannot be opened: /],
    ['oversized.toml', null, /larger than 16 MB/],
  ];
  for (const [name, text, expected] of files) {
    const file = path.join(dir, name);
    if (text === null) {
      fs.writeFileSync(file, '');
      fs.truncateSync(file, 16 * 1024 * 1024 + 1);
    } else {
      fs.writeFileSync(file, text, 'latin1');
    }
    await load(page);
    await page.chooseFiles('#machine-file', [file]);
    await page.waitFor(`document.getElementById('message').textContent !== ''`);
    const shown = await page.eval(`({ message: document.getElementById('message').textContent,
        sheet: getComputedStyle(document.getElementById('sheet')).display, box: document.getElementById('box').open,
        log: window.halcyraSupport.log() })`);
    if (!expected.test(shown.message) || shown.sheet !== 'none' || shown.box || shown.log.length) {
      fail(`refused file ${name}: ${JSON.stringify(shown)}`);
    }
  }
  console.log(`refused files: ${files.length} files that are no machine get a message and nothing else`);
}

async function screenshots(page) {
  await load(page);
  await page.screenshot(path.join(outDir, 'support-page-3d-hardware.png'));
  await page.eval(`window.__halcyraStep('tab', [1])`);
  await page.screenshot(path.join(outDir, 'support-page-audio.png'));
  console.log(`screenshots: ${path.join(outDir, 'support-page-3d-hardware.png')}, support-page-audio.png`);
}

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  const browser = await Browser.launch();
  try {
    const page = await browser.open(null);
    await screenshots(page);
    await compareCases(page);
    await mouseAndKeys(page);
    await hostileNames(page);
    await reportAndDownload(browser, page);
    await refusedFiles(page);
    if (page.problems.length) fail('the page reported problems:\n  ' + page.problems.join('\n  '));
  } finally {
    await browser.close();
  }
  if (failures.length) {
    console.log(`${failures.length} support page checks failed`);
    process.exit(1);
  }
  console.log('support page: all checks passed');
}

main().catch((error) => {
  console.error(error.stack || String(error));
  process.exit(1);
});
