// A small driver of headless Chromium through its DevTools protocol over a
// pipe (--remote-debugging-pipe: commands on the browser's fd 3, answers and
// events on its fd 4, each message JSON ended by a NUL). No package, no
// port, no network.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

class Browser {
  // Starts Chromium with a new empty profile. Its own connections (updates,
  // sync, field trials) are switched off: the machine may have no network,
  // and a test page must reach nothing.
  static async launch(options = {}) {
    const binary = process.env.HALCYRA_CHROMIUM || 'chromium';
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'halcyra-chromium-'));
    const args = [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-default-apps', '--disable-extensions', '--mute-audio', '--hide-scrollbars',
      '--remote-debugging-pipe', `--user-data-dir=${profile}`,
      // Every host name unresolvable and every connection to a dead proxy:
      // nothing the page asks for could arrive.
      '--host-resolver-rules=MAP * ~NOTFOUND', '--proxy-server=127.0.0.1:9',
      '--window-size=1280,900', 'about:blank',
    ];
    const child = spawn(binary, args, { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
    const browser = new Browser(child, profile, options);
    await browser.send('Target.setDiscoverTargets', { discover: false });
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.waiting = new Map();
    this.listeners = [];
    this.stderr = '';
    let buffer = Buffer.alloc(0);
    child.stderr.on('data', (chunk) => { this.stderr = (this.stderr + chunk).slice(-20000); });
    child.stdio[4].on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      for (let end = buffer.indexOf(0); end >= 0; end = buffer.indexOf(0)) {
        const message = JSON.parse(buffer.subarray(0, end).toString('utf8'));
        buffer = buffer.subarray(end + 1);
        this.dispatch(message);
      }
    });
    this.exited = new Promise((resolve) => child.on('exit', resolve));
    this.exited.then(() => {
      for (const [, { reject }] of this.waiting) reject(new Error('Chromium ended: ' + this.stderr.slice(-2000)));
      this.waiting.clear();
    });
  }

  dispatch(message) {
    if (message.id !== undefined) {
      const waiter = this.waiting.get(message.id);
      this.waiting.delete(message.id);
      if (!waiter) return;
      if (message.error) waiter.reject(new Error(`${waiter.method}: ${message.error.message}`));
      else waiter.resolve(message.result);
      return;
    }
    for (const listener of this.listeners) listener(message);
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.waiting.set(id, { resolve, reject, method });
      this.child.stdio[3].write(JSON.stringify(message) + '\0');
    });
  }

  on(listener) { this.listeners.push(listener); }

  // A new tab on `url`, attached.
  async open(url) {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    const page = new Page(this, sessionId, targetId);
    await page.start();
    if (url) await page.navigate(url);
    return page;
  }

  async close() {
    try {
      await Promise.race([this.send('Browser.close'), new Promise((r) => setTimeout(r, 3000))]);
    } catch (error) {
      // Ending anyway.
    }
    if (this.child.exitCode === null) this.child.kill('SIGKILL');
    await this.exited;
    // The browser's helpers may still be writing into the profile a moment;
    // what they leave in the temporary folder is no failure of a test.
    try {
      fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
    } catch (error) {
      console.log(`note: ${this.profile} not removed: ${error.message}`);
    }
  }
}

class Page {
  constructor(browser, sessionId, targetId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.targetId = targetId;
    // What the page said on its console, its uncaught exceptions and the
    // browser's own log (CSP refusals, failed loads).
    this.problems = [];
    this.requests = [];
    browser.on((message) => {
      if (message.sessionId !== sessionId) return;
      const p = message.params;
      if (message.method === 'Runtime.exceptionThrown') {
        this.problems.push('exception: ' + (p.exceptionDetails.exception?.description || p.exceptionDetails.text));
      } else if (message.method === 'Runtime.consoleAPICalled' && (p.type === 'error' || p.type === 'warning')) {
        this.problems.push('console: ' + p.args.map((a) => a.value ?? a.description).join(' '));
      } else if (message.method === 'Log.entryAdded' && (p.entry.level === 'error' || p.entry.level === 'warning')) {
        this.problems.push('log: ' + p.entry.text);
      } else if (message.method === 'Network.requestWillBeSent') {
        this.requests.push(p.request.url);
      } else if (message.method === 'Page.loadEventFired' && this.loaded) {
        this.loaded();
      }
    });
  }

  send(method, params) { return this.browser.send(method, params, this.sessionId); }

  async start() {
    await this.send('Page.enable');
    await this.send('Runtime.enable');
    await this.send('Log.enable');
    await this.send('Network.enable');
  }

  async navigate(url) {
    const loaded = new Promise((resolve) => { this.loaded = resolve; });
    await this.send('Page.navigate', { url });
    await loaded;
  }

  // The value of `expression` (awaited when it is a promise); an exception
  // in the page becomes one here.
  async eval(expression) {
    const result = await this.send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true });
    if (result.exceptionDetails) {
      throw new Error('in the page: ' + (result.exceptionDetails.exception?.description || result.exceptionDetails.text));
    }
    return result.result.value;
  }

  async waitFor(expression, timeoutMs = 20000) {
    const until = Date.now() + timeoutMs;
    for (;;) {
      if (await this.eval(expression)) return;
      if (Date.now() > until) throw new Error('timed out waiting for ' + expression);
      await new Promise((r) => setTimeout(r, 20));
    }
  }

  async screenshot(file) {
    const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, Buffer.from(data, 'base64'));
  }

  // Puts files into an <input type=file> as a user choosing them does.
  async chooseFiles(selector, files) {
    const { root } = await this.send('DOM.getDocument', {});
    const { nodeId } = await this.send('DOM.querySelector', { nodeId: root.nodeId, selector });
    await this.send('DOM.setFileInputFiles', { nodeId, files });
  }
}

module.exports = { Browser, Page };
