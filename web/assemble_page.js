// Assembles the support page into one self-contained file: the page, its
// style and script, the WebAssembly module's script and its bytes, and the
// reference machine (the page's demonstration), with a Content-Security-
// Policy that allows exactly these inline blocks and nothing else.
//
//   node assemble_page.js page.html page.css page.js core.js core.wasm reference.toml VERSION OUT
'use strict';
const fs = require('fs');
const crypto = require('crypto');

const [templatePath, cssPath, pagePath, corePath, wasmPath, referencePath, version, outPath] =
    process.argv.slice(2);
if (!outPath) {
  console.error('usage: assemble_page.js page.html page.css page.js core.js core.wasm reference.toml VERSION OUT');
  process.exit(2);
}
const hash = (text) => "'sha256-" + crypto.createHash('sha256').update(text, 'utf8').digest('base64') + "'";
const read = (path) => fs.readFileSync(path, 'utf8');

const core = read(corePath) +
    '\nvar HALCYRA_WASM = "' + fs.readFileSync(wasmPath).toString('base64') + '";\n' +
    'var HALCYRA_REFERENCE = ' + JSON.stringify(read(referencePath)) + ';\n' +
    'var HALCYRA_VERSION = ' + JSON.stringify(version) + ';\n';
const page = read(pagePath);
const css = read(cssPath);
for (const [name, text] of [['core', core], ['page', page], ['style', css]]) {
  if (/<\/(script|style)/i.test(text)) {
    console.error(`assemble_page.js: the ${name} block would end its element early`);
    process.exit(1);
  }
}
const csp = [
  "default-src 'none'",
  `script-src ${hash(core)} ${hash(page)} 'wasm-unsafe-eval'`,
  `style-src ${hash(css)}`,
  "img-src 'none'",
  "connect-src 'none'",
  "base-uri 'none'",
  "form-action 'none'",
].join('; ');
// Plain replacement: none of the blocks is a pattern.
const fill = (text, key, value) => text.split(key).join(value);
let html = read(templatePath);
html = fill(html, '{{CSP}}', csp);
html = fill(html, '{{VERSION}}', version);
html = fill(html, '{{STYLE}}', css);
html = fill(html, '{{CORE}}', core);
html = fill(html, '{{PAGE}}', page);
fs.writeFileSync(outPath, html);
