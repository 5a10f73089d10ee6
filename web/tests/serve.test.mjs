// scripts/serve-web (make serve-web): the site over HTTPS at the address it prints, with a
// certificate it makes once for that address, and nothing left listening once stopped.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import https from 'node:https';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { after, test } from 'node:test';
import * as t from './support.mjs';

const folder = t.scratchFolder();
after(() => fs.rmSync(folder, { recursive: true, force: true }));

// The server on any free port, once it has printed its address.
function start() {
  const server = spawn(path.join(t.root, 'scripts/serve-web'),
                       ['--port', '0', '--site', t.site, '--certs', folder],
                       { stdio: ['ignore', 'pipe', 'inherit'] });
  const exited = new Promise((resolve) => server.on('exit', resolve));
  const printed = new Promise((resolve, reject) => {
    let text = '';
    server.stdout.on('data', (d) => {
      text += d;
      if (text.includes('Ctrl+C')) resolve(text);
    });
    exited.then((code) => reject(new Error(`serve-web ended (${code}): ${text}`)));
  });
  return { server, exited, printed };
}

function get(url) {
  return new Promise((resolve, reject) => {
    https.get(url, { rejectUnauthorized: false }, (response) => {
      let body = '';
      response.on('data', (d) => { body += d; });
      response.on('end', () => resolve({ response, body,
        certificate: response.socket.getPeerCertificate() }));
    }).on('error', reject);
  });
}

function refused(port) {
  return new Promise((resolve) => {
    const socket = net.connect(port, '127.0.0.1');
    socket.on('connect', () => { socket.destroy(); resolve(false); });
    socket.on('error', () => resolve(true));
  });
}

test('serve-web serves the site over HTTPS at the LAN address it prints', async () => {
  const fingerprints = [];
  for (let run = 0; run < 2; run++) {
    const { server, exited, printed } = start();
    let port = 0;
    try {
      const text = await printed;
      const [, host, portText] = text.match(/https:\/\/([0-9.]+):(\d+)\//);
      port = Number(portText);
      const own = Object.values(os.networkInterfaces()).flat()
        .filter((a) => a.family === 'IPv4' && !a.internal).map((a) => a.address);
      assert.ok(own.includes(host) || (own.length === 0 && host === '127.0.0.1'),
                `${host} is one of this machine's addresses (${own})`);
      assert.match(text, /not private/);
      assert.match(text, /allow the microphone/);

      const page = await get(`https://${host}:${port}/`);
      assert.equal(page.response.statusCode, 200);
      assert.match(page.body, /<canvas id="screen"/);
      assert.match(page.certificate.subjectaltname, new RegExp(`IP Address:${host}(,|$)`));
      fingerprints.push(page.certificate.fingerprint256);
      const wasm = await get(`https://${host}:${port}/veldra.wasm`);
      assert.equal(wasm.response.headers['content-type'], 'application/wasm');
    } finally {
      server.kill('SIGTERM');
      await exited;
    }
    assert.ok(await refused(port), 'nothing listens once stopped');
  }
  assert.equal(fingerprints[1], fingerprints[0], 'the certificate made once');
});
