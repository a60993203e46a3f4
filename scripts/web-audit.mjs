#!/usr/bin/env node
// SPDX-License-Identifier: MIT
// `make web-audit`: Lighthouse (pinned in package-lock.json) audits the page as `make serve`
// serves it, in Debian's Chromium, with its desktop and mobile presets, and prints the four
// category scores and the largest contentful paint of each. A measure, not a test: its figures
// move with the machine's load. With AUDIT_REPORTS=FOLDER the whole reports stay there
// (desktop.json, mobile.json), with every audit that cost points.
//
//   node scripts/web-audit.mjs BUILD_WEB_FOLDER
import {spawn, spawnSync} from 'node:child_process';
import {copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join} from 'node:path';
import {fileURLToPath} from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '..');
const folder = process.argv[2] ?? join(root, 'build-web');
const chrome = process.env.CHROME_PATH ?? '/usr/bin/chromium';

// `make serve`'s server on a free port; resolves with the page's address.
function serve() {
  const server = spawn('python3', ['-u', join(root, 'scripts/serve-page.py'), folder, '0'],
                       {stdio: ['ignore', 'pipe', 'inherit']});
  return new Promise((resolve, reject) => {
    let text = '';
    server.on('exit', (code) => reject(new Error(`serve-page.py exited (${code}): ${text}`)));
    server.stdout.on('data', (chunk) => {
      text += chunk;
      const m = text.match(/http:\/\/127\.0\.0\.1:\d+\//);
      if (m) resolve([server, m[0]]);
    });
  });
}

function audit(address, preset) {
  const work = mkdtempSync(join(tmpdir(), 'cavewing-audit-'));
  try {
    const report = join(work, 'report.json');
    const args = [join(root, 'node_modules/lighthouse/cli/index.js'), address, '--output=json',
                  `--output-path=${report}`, '--quiet',
                  '--only-categories=performance,accessibility,best-practices,seo',
                  `--chrome-flags=--headless=new --no-sandbox --user-data-dir=${work}/profile`];
    if (preset === 'desktop') args.push('--preset=desktop');
    const run = spawnSync(process.execPath, args, {stdio: 'inherit', env: {...process.env, CHROME_PATH: chrome}});
    if (run.status !== 0) throw new Error(`lighthouse (${preset}) failed: ${run.status}`);
    if (process.env.AUDIT_REPORTS) {
      mkdirSync(process.env.AUDIT_REPORTS, {recursive: true});
      copyFileSync(report, join(process.env.AUDIT_REPORTS, `${preset}.json`));
    }
    const lhr = JSON.parse(readFileSync(report, 'utf8'));
    const score = (id) => Math.round(lhr.categories[id].score * 100);
    const lcp = lhr.audits['largest-contentful-paint'];
    const tbt = lhr.audits['total-blocking-time'];
    return `${preset.padEnd(7)}  performance ${score('performance')}  accessibility ${score('accessibility')}` +
           `  best practices ${score('best-practices')}  SEO ${score('seo')}` +
           `  LCP ${lcp.displayValue.replace(/\s/g, ' ')}  TBT ${tbt.displayValue.replace(/\s/g, ' ')}`;
  } finally {
    rmSync(work, {recursive: true, force: true, maxRetries: 10, retryDelay: 100});
  }
}

const [server, address] = await serve();
try {
  const lines = ['desktop', 'mobile'].map((preset) => audit(address, preset));
  console.log(`Lighthouse on ${address} (${folder}):`);
  for (const line of lines) console.log('  ' + line);
} finally {
  server.kill();
}
