// Drives `quorvanta-cli mcp` with the official MCP TypeScript SDK client over stdio, against the
// local API test host serving a tree made here.
//   node sdk_client.test.mjs <quorvanta-cli> <quorvanta-api-testhost>
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

const [cliPath, hostPath] = process.argv.slice(2);
if (!cliPath || !hostPath) {
  console.error('usage: node sdk_client.test.mjs <quorvanta-cli> <quorvanta-api-testhost>');
  process.exit(2);
}

let sdk;
try {
  sdk = {
    ...(await import('@modelcontextprotocol/sdk/client/index.js')),
    ...(await import('@modelcontextprotocol/sdk/client/stdio.js')),
    ...(await import('@modelcontextprotocol/sdk/types.js')),
  };
} catch (error) {
  console.error(`The MCP SDK is not installed (${error.message}).\n` +
                'Install it with: scripts/install-mcp-sdk   (npm ci in tests/mcp)');
  process.exit(1);
}

const description =
  "Search the files on this computer by name using Quorvanta's live index (read-only). Supports " +
  'Quorvanta search syntax, e.g. `*.pdf`, `ext:psd size:>10mb`, `dm:today`, `"exact phrase"`, ' +
  '`a|b`, `!excluded`. Returns path, name, kind, size and modified time (Unix seconds).';

const files = ['Song A (Remix).mp3', 'song-b-REMIX.flac', 'notes.txt', 'remixes/c remix.wav',
               'remixes/other.txt', 'deep/x/y/remix.aiff', 'deep/x/plain.pdf'];

const work = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'quorvanta-mcp-')));
const root = path.join(work, 'tree');
const socket = path.join(work, 'api.sock');
let host;
let client;
let transport;

// Every path under root whose name holds "remix" in any case: files and folders.
function expectedRemixPaths() {
  const found = new Set();
  for (const file of files) {
    const parts = file.split('/');
    for (let i = 1; i <= parts.length; i++) {
      if (/remix/i.test(parts[i - 1])) found.add(path.join(root, ...parts.slice(0, i)));
    }
  }
  return [...found].sort();
}

// Sees every message that crosses the stdio transport, so the initialize exchange can be checked.
class RecordingTransport {
  constructor(inner) {
    this.inner = inner;
    this.sent = [];
    this.received = [];
    inner.onmessage = (message, extra) => {
      this.received.push(message);
      this.onmessage?.(message, extra);
    };
    inner.onerror = (error) => this.onerror?.(error);
    inner.onclose = () => this.onclose?.();
  }
  start() { return this.inner.start(); }
  send(message, options) {
    this.sent.push(message);
    return this.inner.send(message, options);
  }
  close() { return this.inner.close(); }
}

async function startHost() {
  host = spawn(hostPath, ['--socket', socket, root], { stdio: ['pipe', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: host.stdout });
  const timer = setTimeout(() => host.kill('SIGKILL'), 120_000);
  for await (const line of lines) {
    if (line === 'ready') break;
  }
  clearTimeout(timer);
  assert.equal(host.exitCode, null, 'the test host did not get ready');
}

async function stopHost() {
  if (!host || host.exitCode !== null) return;
  const exited = once(host, 'exit');
  host.stdin.end();
  await exited;
}

function toolText(result) {
  assert.equal(result.content.length, 1);
  assert.equal(result.content[0].type, 'text');
  return result.content[0].text;
}

before(async () => {
  for (const file of files) {
    fs.mkdirSync(path.dirname(path.join(root, file)), { recursive: true });
    fs.writeFileSync(path.join(root, file), 'x');
  }
  await startHost();
  client = new sdk.Client({ name: 'quorvanta-test', version: '1' });
  transport = new RecordingTransport(new sdk.StdioClientTransport({
    command: cliPath, args: ['mcp', '--socket', socket], stderr: 'inherit',
  }));
  await client.connect(transport);
});

after(async () => {
  await client?.close();
  await stopHost();
  fs.rmSync(work, { recursive: true, force: true });
});

test('connect completes the initialize exchange with the SDK\'s own protocol version', () => {
  const request = transport.sent.find((m) => m.method === 'initialize');
  const response = transport.received.find((m) => m.id === request.id);
  assert.equal(request.params.protocolVersion, sdk.LATEST_PROTOCOL_VERSION);
  assert.equal(response.result.protocolVersion, sdk.LATEST_PROTOCOL_VERSION);
  assert.deepEqual(response.result.capabilities, { tools: {} });
  assert.deepEqual(client.getServerVersion(), { name: 'quorvanta', version: '1' });
  assert.deepEqual(client.getServerCapabilities(), { tools: {} });
});

test('listTools gives the one search tool', async () => {
  const { tools } = await client.listTools();
  assert.equal(tools.length, 1);
  const [tool] = tools;
  assert.equal(tool.name, 'search_files');
  assert.equal(tool.description, description);
  assert.equal(tool.description.length, 268);
  assert.deepEqual(tool.inputSchema, {
    type: 'object',
    properties: {
      query: { type: 'string', description: 'Search text in Quorvanta syntax', maxLength: 1024 },
      limit: { type: 'integer', minimum: 1, maximum: 200, default: 50 },
    },
    required: ['query'],
  });
  assert.deepEqual(tool.annotations, { readOnlyHint: true, destructiveHint: false, openWorldHint: false });
});

test('ping succeeds', async () => {
  assert.deepEqual(await client.ping(), {});
});

test('callTool searches the live index', async () => {
  const result = await client.callTool({ name: 'search_files', arguments: { query: 'remix' } });
  assert.equal(result.isError, false);
  const reply = JSON.parse(toolText(result));
  assert.equal(reply.ok, true);
  assert.equal(reply.query, 'remix');
  assert.deepEqual(reply.results.map((row) => row.path).sort(), expectedRemixPaths());
  assert.equal(reply.total, expectedRemixPaths().length);
  assert.equal(reply.shown, reply.results.length);
});

test('callTool with limit 0 gives the application\'s limit error', async () => {
  const result = await client.callTool({ name: 'search_files', arguments: { query: 'remix', limit: 0 } });
  assert.equal(result.isError, true);
  assert.deepEqual(JSON.parse(toolText(result)), { ok: false, error: '"limit" must be a positive integer' });
});

test('another tool name is rejected with -32602', async () => {
  await assert.rejects(
    client.callTool({ name: 'delete_files', arguments: { query: 'remix' } }),
    (error) => error.code === -32602 && /unknown tool/.test(error.message));
});

test('after the host stops, callTool reports the application unreachable', async () => {
  await stopHost();
  const result = await client.callTool({ name: 'search_files', arguments: { query: 'remix' } });
  assert.equal(result.isError, true);
  assert.ok(toolText(result).startsWith(`cannot reach Quorvanta at ${socket}`), toolText(result));
});
