// The support page's renderer: draws the sheet that the WebAssembly session
// (web/support_session.h) describes, from the dialog templates' controls in
// pixels, and turns the user's clicks, selections and keys into the
// session's actions. Every text from a report or profile reaches the page
// through textContent, value or option text, never as markup.
'use strict';
(function () {
  const $ = (id) => document.getElementById(id);
  const kMaxFile = 16 * 1024 * 1024;  // as halcyra-sim reads a profile
  const kActions = { click: 0, select: 1, type: 2, tab: 3, ok: 4, cancel: 5, close: 6 };
  const kArchiveBits = [1, 2, 4];

  let core = null;
  let input = null;         // { machine, options, name }
  let state = null;         // the session's state
  let runLines = [];        // what the last run printed before its frontier
  let pastFrontier = false;
  let seenLines = 0;        // of those, how many the log holds already
  let log = [];             // the output as halcyra-sim prints it
  let dumpsAt = [];         // after how many actions a dump was asked for
  let drawnPage = 0;        // the template id of the page drawn now
  let elements = new Map(); // control index -> { kind, root, input, select }
  let savedText = null;
  let rebuiltOptions = false; // the options.ini was made from a report's choice lines

  // ---- Texts: the system's texts are bytes; in the page each byte is the
  // character of the same number.
  const toText = (bytes) => {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    }
    return text;
  };
  const toBytes = (text) => {
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) {
      const c = text.charCodeAt(i);
      bytes[i] = c <= 0xFF ? c : 0x3F;
    }
    return bytes;
  };

  // Calls an export with byte arguments: each text becomes (pointer, length).
  function call(name, ...args) {
    const blocks = [];
    const flat = [];
    for (const arg of args) {
      if (typeof arg === 'string' || arg instanceof Uint8Array) {
        const bytes = typeof arg === 'string' ? toBytes(arg) : arg;
        const at = core._malloc(bytes.length + 1);
        core.HEAPU8.set(bytes, at);
        core.HEAPU8[at + bytes.length] = 0;
        blocks.push(at);
        flat.push(at, bytes.length);
      } else {
        flat.push(arg);
      }
    }
    try {
      // The result's bytes, each as the character of its number, as every
      // text of the system is held here.
      const result = core['_' + name](...flat);
      let end = result;
      while (core.HEAPU8[end] !== 0) ++end;
      return toText(core.HEAPU8.subarray(result, end));
    } finally {
      for (const at of blocks) core._free(at);
    }
  }

  function onPrint(line) {
    if (line === '\x1ffrontier') pastFrontier = true;
    else if (!pastFrontier) runLines.push(line);
  }

  // ---- The session

  function run(name, ...args) {
    runLines = [];
    pastFrontier = false;
    const text = call(name, ...args);
    const next = JSON.parse(text);
    log.push(...runLines.slice(seenLines));
    seenLines = Math.max(seenLines, runLines.length);
    show(next);
  }

  function message(text) { $('message').textContent = text; }

  function start(machine, options, name, readOnly = false) {
    input = { machine, options, name, readOnly };
    // A box of the session before belongs to it.
    if ($('box').open) $('box').close();
    let archives = 0;
    for (const bit of kArchiveBits) if ($('archive-' + bit).checked) archives |= bit;
    const failCall = Math.max(0, Math.floor(Number($('fail-call').value) || 0));
    const error = call('hs_start', machine, options === null ? '' : options, options === null ? 0 : 1, archives,
                       readOnly ? 1 : 0, failCall);
    log = [];
    seenLines = 0;
    dumpsAt = [];
    drawnPage = 0;
    savedText = null;
    $('result').hidden = true;
    if (error !== '') {
      refuse('This file cannot be opened: ' + error);
      return;
    }
    message('');
    const used = JSON.parse(call('hs_options'));
    // Made from a report alone, the file holds Setup's keys only: its
    // download must not pass for the player's whole options.ini.
    rebuiltOptions = used.fromReport;
    $('download').textContent = rebuiltOptions ? "Download Setup's keys (not the player's whole options.ini)"
                                               : 'Download options.ini';
    $('source').textContent = name + (used.fromReport ? ", with the options.ini that its \u201cCurrent choices\u201d lines describe" : '');
    run('hs_state');
  }

  // A file that is no machine: its message, and no sheet of another.
  function refuse(text) {
    if ($('box').open) $('box').close();
    input = null;
    state = null;
    log = [];
    dumpsAt = [];
    $('sheet').hidden = true;
    $('closed').hidden = true;
    $('result').hidden = true;
    $('source').textContent = '';
    message(text);
    $('log').textContent = '';
    $('script').value = '';
  }

  function act(kind, id = 0, index = 0, text = '') {
    if (!state || state.state !== 'sheet' || state.box) return;
    run('hs_act', kActions[kind], id, index, text);
  }

  // ---- Drawing

  function show(next) {
    state = next;
    if (next.state === 'error') {
      message(next.message);
    } else if (next.state === 'sheet') {
      if (next.refused) message('Not possible on this sheet: ' + next.refused);
      drawSheet(next);
      if (next.box) openBox(next.box);
    } else if (next.state === 'done') {
      if (next.result !== 'none') log.push('result ' + next.result);
      log.push('exit ' + next.exit);
      closeSheet(next);
    }
    showLog();
  }

  function showLog() {
    $('log').textContent = log.join('\n') + (log.length ? '\n' : '');
    const actions = call('hs_script').split('\n').filter((line) => line !== '');
    const lines = [];
    for (let i = 0; i <= actions.length; ++i) {
      for (const at of dumpsAt) if (at === i) lines.push('dump');
      if (i < actions.length) lines.push(actions[i]);
    }
    $('script').value = lines.join('\n') + (lines.length ? '\n' : '');
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function place(node, c) {
    node.style.left = c.x + 'px';
    node.style.top = c.y + 'px';
    node.style.width = c.w + 'px';
    if (c.kind !== 'combo') node.style.height = c.h + 'px';
  }

  // The controls of the page with template `page`, built once a page.
  function buildPage(page) {
    const host = $('page');
    host.replaceChildren();
    host.style.width = page.width + 'px';
    host.style.height = page.height + 'px';
    elements = new Map();
    let group = 0;
    for (const c of page.controls) {
      if (c.group) group = c.index;
      const root = element('div', 'control ' + c.kind);
      root.dataset.id = String(c.id);
      root.dataset.index = String(c.index);
      root.dataset.group = String(group);
      place(root, c);
      const entry = { kind: c.kind, root, group };
      if (c.kind === 'group' || c.kind === 'static') {
        entry.label = element('span', '', c.text);
        root.append(entry.label);
      } else if (c.kind === 'radio' || c.kind === 'check') {
        const label = element('label');
        entry.input = element('input');
        entry.input.type = c.kind === 'radio' ? 'radio' : 'checkbox';
        entry.label = element('span', '', c.text);
        label.append(entry.input, entry.label);
        root.append(label);
        // The browser has checked or toggled the button before this runs;
        // the session's state then sets it as the page's handlers left it.
        // (Cancelling the click would put the old state back afterwards.)
        entry.input.addEventListener('click', () => act('click', c.id));
        entry.input.addEventListener('keydown', (event) => arrowKey(event, c.index));
      } else if (c.kind === 'combo') {
        entry.input = element('input');
        entry.input.type = 'text';
        entry.input.setAttribute('aria-label', 'entry');
        entry.select = element('select');
        entry.select.setAttribute('aria-label', 'list');
        root.append(entry.input, entry.select);
        entry.select.addEventListener('change', () => act('select', c.id, entry.select.selectedIndex));
        // What is typed is text: a control character (pasted) is no
        // keystroke the edit field takes, nor one a script line can hold.
        const typed = () => entry.input.value.replace(/[\x00-\x1f\x7f]/g, '');
        entry.input.addEventListener('change', () => act('type', c.id, 0, typed()));
        entry.input.addEventListener('keydown', (event) => {
          if (event.key === 'Enter' && entry.input.value !== entry.shown) {
            event.stopPropagation();
            event.preventDefault();
            act('type', c.id, 0, typed());
          }
        });
      } else if (c.kind === 'edit') {
        entry.input = element('input');
        entry.input.type = 'text';
        entry.input.readOnly = true;
        root.append(entry.input);
      } else if (c.kind === 'picture') {
        const canvas = element('canvas');
        canvas.width = Math.max(c.w - 2, 1);
        canvas.height = Math.max(c.h - 2, 1);
        root.append(canvas);
        drawPicture(canvas, c.bitmap);
      }
      elements.set(c.index, entry);
      host.append(root);
    }
    drawnPage = page.id;
  }

  // The page's picture at its design size, centred in its frame.
  function drawPicture(canvas, bitmap) {
    const width = 116, height = 270;
    const at = core._hs_bitmap(bitmap, width, height);
    if (!at) return;
    const pixels = new ImageData(new Uint8ClampedArray(core.HEAPU8.subarray(at, at + width * height * 4)), width, height);
    canvas.getContext('2d').putImageData(pixels, Math.round((canvas.width - width) / 2),
                                         Math.round((canvas.height - height) / 2));
  }

  function update(page) {
    // The tab stop of a radio group: its first checked button, else its
    // first enabled one.
    const groupStop = new Map();
    const checkedStop = new Set();
    for (const c of page.controls) {
      if (c.kind !== 'radio' || !c.enabled) continue;
      const group = elements.get(c.index).group;
      if (!groupStop.has(group) || (c.check === 1 && !checkedStop.has(group))) groupStop.set(group, c.index);
      if (c.check === 1) checkedStop.add(group);
    }
    for (const c of page.controls) {
      const entry = elements.get(c.index);
      entry.root.hidden = !c.visible;
      entry.root.classList.toggle('disabled', !c.enabled);
      if (entry.label && entry.label.textContent !== c.text && (c.kind === 'group' || c.kind === 'static' ||
                                                                 c.kind === 'radio' || c.kind === 'check')) {
        entry.label.textContent = c.text;
      }
      if (c.kind === 'radio' || c.kind === 'check') {
        entry.input.disabled = !c.enabled;
        entry.input.checked = c.check === 1;
        entry.input.indeterminate = c.check === 2;
        entry.input.tabIndex = c.kind === 'check' ? (c.tabstop ? 0 : -1) : (groupStop.get(entry.group) === c.index ? 0 : -1);
      } else if (c.kind === 'combo') {
        entry.input.disabled = !c.enabled;
        entry.select.disabled = !c.enabled;
        const options = Array.from(entry.select.options, (o) => o.textContent);
        if (options.length !== c.items.length || options.some((text, i) => text !== c.items[i])) {
          entry.select.replaceChildren(...c.items.map((item) => element('option', '', item)));
        }
        entry.select.selectedIndex = c.curSel;
        if (entry.input.value !== c.text) entry.input.value = c.text;
        entry.shown = c.text;
        entry.input.tabIndex = c.tabstop ? 0 : -1;
        entry.select.tabIndex = -1;
      } else if (c.kind === 'edit') {
        entry.input.disabled = !c.enabled;
        entry.input.value = c.text;
        entry.input.tabIndex = c.tabstop ? 0 : -1;
      }
    }
  }

  // Arrow keys in a radio group move to the next button of the group and
  // click it, as the dialog manager does.
  function arrowKey(event, index) {
    const step = { ArrowDown: 1, ArrowRight: 1, ArrowUp: -1, ArrowLeft: -1 }[event.key];
    if (!step || !state || !state.page) return;
    event.preventDefault();
    const group = elements.get(index).group;
    const radios = state.page.controls.filter((c) => c.kind === 'radio' && c.enabled && elements.get(c.index).group === group);
    const at = radios.findIndex((c) => c.index === index);
    if (at < 0 || radios.length < 2) return;
    const next = radios[(at + step + radios.length) % radios.length];
    act('click', next.id);
    const entry = elements.get(next.index);
    if (entry) entry.input.focus();
  }

  function drawSheet(s) {
    $('closed').hidden = true;
    const sheet = $('sheet');
    sheet.hidden = false;
    sheet.classList.toggle('wait', s.cursor === 'wait');
    $('sheet-caption').textContent = s.caption;
    const tabs = $('tabs');
    if (tabs.children.length !== s.tabs.length) {
      tabs.replaceChildren(...s.tabs.map((caption, index) => {
        const tab = element('button', '', caption);
        tab.type = 'button';
        tab.setAttribute('role', 'tab');
        tab.addEventListener('click', () => act('tab', 0, index));
        return tab;
      }));
    }
    Array.from(tabs.children).forEach((tab, index) => {
      tab.setAttribute('aria-selected', index === s.active ? 'true' : 'false');
      tab.tabIndex = index === s.active ? 0 : -1;
    });
    if (s.page) {
      if (s.page.id !== drawnPage) buildPage(s.page);
      update(s.page);
    }
    const buttons = $('buttons');
    if (buttons.children.length !== s.buttons.length) {
      buttons.replaceChildren(...s.buttons.map((b) => {
        const button = element('button', b.id === 1 ? 'default' : '', b.text);
        button.type = 'button';
        button.dataset.id = String(b.id);
        button.addEventListener('click', () => act(b.id === 1 ? 'ok' : 'cancel'));
        return button;
      }));
    }
    s.buttons.forEach((b, i) => {
      const button = buttons.children[i];
      button.hidden = !b.visible;
      button.disabled = !b.enabled;
    });
  }

  function closeSheet(s) {
    $('sheet').hidden = true;
    drawnPage = 0;
    const closed = $('closed');
    closed.hidden = false;
    const how = s.result === 'ok' ? 'with OK' : s.result === 'cancel' ? 'with Cancel' : 'by the program itself';
    closed.textContent = 'The sheet closed ' + how + ' (exit code ' + s.exit + '). "Start again" opens it anew.';
    savedText = null;
    if (s.result === 'ok') showSaved(s.before, s.options);
  }

  // The options.ini the game would get beside the player's, changed lines
  // marked, and a download of it.
  function showSaved(before, after) {
    const compare = $('compare');
    const column = (title, text, others) => {
      const pre = element('pre');
      pre.append(element('strong', '', title + '\n'));
      if (text === null) {
        pre.append(element('span', '', '(none: Halcyra Setup saves nothing without it)\n'));
        return pre;
      }
      const known = new Set(others === null ? [] : others.split(/\r?\n/));
      for (const line of text.split(/\r?\n/)) {
        const changed = others !== null && !known.has(line) && line !== '';
        pre.append(element('span', changed ? 'changed' : '', line + '\n'));
      }
      return pre;
    };
    compare.replaceChildren(column("The player's options.ini", before, null), column('What the game gets', after, before));
    savedText = after;
    $('download').disabled = after === null;
    $('result').hidden = false;
  }

  function download() {
    if (savedText === null) return;
    const url = URL.createObjectURL(new Blob([toBytes(savedText)], { type: 'application/octet-stream' }));
    const link = element('a');
    link.href = url;
    link.download = rebuiltOptions ? 'options-setup-keys-only.ini' : 'options.ini';
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  // ---- Message boxes: modal, OK only; Esc and Enter answer OK.

  function openBox(box) {
    const dialog = $('box');
    $('box-caption').textContent = box.caption;
    $('box-text').textContent = box.text;
    const icon = $('box-icon');
    icon.className = box.icon;
    icon.textContent = box.icon === 'stop' ? '\u26D4' : box.icon === 'warning' ? '\u26A0' : '\u2139';
    dialog.dataset.id = String(box.id);
    dialog.dataset.icon = box.icon;
    if (!dialog.open) dialog.showModal();
    $('box-ok').focus();
    // The line is read back from what the box shows.
    const iconCode = { stop: 0, warning: 1, information: 2 }[dialog.dataset.icon];
    log.push(call('hs_box_line', Number(dialog.dataset.id), iconCode, $('box-text').textContent));
  }

  function answerBox() {
    const dialog = $('box');
    if (!dialog.open) return;
    dialog.close();
    run('hs_answer_box');
  }

  // ---- Dump: the page's controls as the page shows them.

  function dumpLines() {
    if (!state || state.state !== 'sheet' || !state.page) return [];
    const lines = [];
    for (const c of state.page.controls) {
      const entry = elements.get(c.index);
      let enabled = !entry.root.classList.contains('disabled');
      let check = 0, curSel = -1, items = [], text = '';
      if (entry.kind === 'radio' || entry.kind === 'check') {
        enabled = !entry.input.disabled;
        check = entry.input.indeterminate ? 2 : entry.input.checked ? 1 : 0;
        text = entry.label.textContent;
      } else if (entry.kind === 'combo') {
        enabled = !entry.input.disabled;
        curSel = entry.select.selectedIndex;
        items = Array.from(entry.select.options, (o) => o.textContent);
        text = entry.input.value;
      } else if (entry.kind === 'edit') {
        enabled = !entry.input.disabled;
        text = entry.input.value;
      } else if (entry.label) {
        text = entry.label.textContent;
      }
      const joined = items.map((item) => item + '\0').join('');
      lines.push(call('hs_dump_line', drawnPage, c.index, enabled ? 1 : 0, check, curSel, joined, text));
    }
    return lines;
  }

  function dump() {
    if (!state || state.state !== 'sheet') return;
    log.push(...dumpLines());
    dumpsAt.push(call('hs_script').split('\n').filter((line) => line !== '').length);
    showLog();
  }

  // ---- Files

  function readFile(file) {
    return new Promise((resolve, reject) => {
      if (file.size > kMaxFile) {
        reject(new Error(file.name + ' is larger than 16 MB: not a report, profile or options.ini.'));
        return;
      }
      const reader = new FileReader();
      reader.onload = () => resolve(toText(new Uint8Array(reader.result)));
      reader.onerror = () => reject(new Error(file.name + ' cannot be read.'));
      reader.readAsArrayBuffer(file);
    });
  }

  async function openFiles(machineFile, optionsFile) {
    try {
      const machine = machineFile ? await readFile(machineFile) : (input ? input.machine : HALCYRA_REFERENCE);
      const options = optionsFile ? await readFile(optionsFile) : (machineFile ? null : (input ? input.options : null));
      const name = machineFile ? machineFile.name : input ? input.name : 'the reference machine (a demonstration)';
      start(machine, options, name + (options !== null ? ', with its options.ini' : ''));
    } catch (error) {
      refuse(error.message);
    }
  }

  // ---- Keyboard of the sheet: Enter presses OK, Esc Cancel, Ctrl+Tab and
  // Ctrl+PageDown/PageUp change the page.
  function sheetKey(event) {
    if (!state || state.state !== 'sheet' || state.box || $('box').open) return;
    const target = event.target;
    const isButton = target instanceof HTMLButtonElement;
    if (event.key === 'Enter' && !isButton && !(target instanceof HTMLSelectElement)) {
      event.preventDefault();
      act('ok');
    } else if (event.key === 'Escape') {
      event.preventDefault();
      act('cancel');
    } else if ((event.ctrlKey && event.key === 'Tab') || (event.ctrlKey && (event.key === 'PageDown' || event.key === 'PageUp'))) {
      event.preventDefault();
      const back = event.shiftKey || event.key === 'PageUp';
      const count = state.tabs.length;
      act('tab', 0, (state.active + (back ? count - 1 : 1)) % count);
      const tab = $('tabs').children[state.active];
      if (tab) tab.focus();
    }
  }

  // ---- Wiring

  function wire() {
    $('machine-file').addEventListener('change', () => openFiles($('machine-file').files[0] || null, $('options-file').files[0] || null));
    $('options-file').addEventListener('change', () => {
      if (input) openFiles($('machine-file').files[0] || null, $('options-file').files[0] || null);
    });
    $('fail-call').addEventListener('change', () => { if (input) start(input.machine, input.options, input.name, input.readOnly); });
    $('restart').addEventListener('click', () => { if (input) start(input.machine, input.options, input.name, input.readOnly); });
    for (const bit of kArchiveBits) {
      $('archive-' + bit).addEventListener('change', () => { if (input) start(input.machine, input.options, input.name, input.readOnly); });
    }
    $('sheet').addEventListener('keydown', sheetKey);
    $('sheet-close').addEventListener('click', () => act('close'));
    $('box-ok').addEventListener('click', answerBox);
    $('box').addEventListener('cancel', (event) => { event.preventDefault(); answerBox(); });
    $('download').addEventListener('click', download);
    $('dump').addEventListener('click', dump);
    $('copy-script').addEventListener('click', () => {
      $('script').select();
      document.execCommand('copy');
    });
    document.addEventListener('dragover', (event) => event.preventDefault());
    document.addEventListener('drop', (event) => {
      event.preventDefault();
      const files = Array.from(event.dataTransfer.files);
      const options = files.find((f) => /\.ini$/i.test(f.name)) || null;
      const machine = files.find((f) => f !== options) || null;
      openFiles(machine, options);
    });
  }

  // For the tests and for support's own tools: start from texts, as a
  // chosen file does.
  window.halcyraSupport = {
    open(machine, options, name, archives, readOnly) {
      if (archives !== undefined) for (const bit of kArchiveBits) $('archive-' + bit).checked = (archives & bit) !== 0;
      start(machine, options, name || 'the given machine', readOnly === true);
    },
    log: () => log.slice(),
    state: () => state,
    ready: false,
  };

  wire();
  const text = atob(HALCYRA_WASM);
  const wasm = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) wasm[i] = text.charCodeAt(i);
  HalcyraCore({ wasmBinary: wasm, print: onPrint, printErr: (line) => console.warn(line) }).then((module) => {
    core = module;
    // Milliseconds since the page began to load: the module running, the
    // first sheet built, and the first frame that shows it.
    window.halcyraSupport.moduleReady = performance.now();
    start(HALCYRA_REFERENCE, '[Game]\r\nGame Rasterizer=2\r\n', 'the reference machine (a demonstration)');
    window.halcyraSupport.firstSheet = performance.now();
    requestAnimationFrame(() => { window.halcyraSupport.firstFrame = performance.now(); });
    window.halcyraSupport.ready = true;
  }, (error) => message('The page cannot start: ' + error));
})();
