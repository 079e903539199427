// The second half of the shop road: the pages that the add-on changed under Wine (written by
// qb_shoproad_tests) loaded in headless Chromium at their own addresses, the popup checked where a user
// sees it, its "Click here" link followed through the stand-in service (Chromium's proxy), and the redirect
// request that the service received checked: the shop's identifier and the page's address, percent-encoded.
// Needs QB_STANDIN_PORT (run under tools/standin/with_standin.py) and the captured pages in QB_E2E_OUT.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const repoRoot = join(dirname(fileURLToPath(import.meta.url)), '..', '..', '..');
const { chromium } = createRequire(join(repoRoot, 'tools', 'popup-check', 'package.json'))('playwright-core');

const outDir = process.env.QB_E2E_OUT || process.cwd();
const port = Number(process.env.QB_STANDIN_PORT);
const serviceBase = 'http://www.quillbury.co.uk/';
const pagePath = '/products/kettle?colour=red&size=2';
const encodedPagePath = '%2fproducts%2fkettle%3fcolour%3dred%26size%3d2';
const viewport = { width: 1024, height: 768 };
const stepTimeout = 15000;

// The roads that qb_shoproad_tests drove: the file stem, the shop and the form of the redirect link.
const roads = [
    { name: 'shoproad', origin: 'http://www.shop.example', shopId: '1000', linkPath: '/go/', account: null },
    {
        name: 'shoproad-signedin',
        origin: 'http://www.testshop.co.uk',
        shopId: '1003',
        linkPath: '/k3tq8w2m/tb.php',
        account: { email: 'demo%40example.com', digest: 'd943641d1ed7d29e955f36d6327ead93' }
    }
];

// GET of a stand-in control address through the proxy, as the add-on reaches the service.
function standin(path) {
    return new Promise((resolve, reject) => {
        const request = http.get(
            { host: '127.0.0.1', port, path: `http://standin.test/__standin/${path}`, timeout: stepTimeout },
            (response) => {
                let body = '';
                response.setEncoding('utf8');
                response.on('data', (chunk) => (body += chunk));
                response.on('end', () => resolve(body));
            }
        );
        request.on('timeout', () => request.destroy(new Error(`stand-in: no answer to ${path}`)));
        request.on('error', reject);
    });
}

const value = (pairs, key) => pairs.find(([name]) => name === key)?.[1];

async function drive(browser, road) {
    const pageUrl = road.origin + pagePath;
    const captured = readFileSync(join(outDir, `${road.name}-captured.html`), 'utf8');
    const context = await browser.newContext({ viewport });
    try {
        // The captured page is served at its own address; everything else goes through the stand-in.
        await context.route(
            (url) => url.href === pageUrl,
            (route) => route.fulfill({ status: 200, contentType: 'text/html; charset=utf-8', body: captured })
        );
        const page = await context.newPage();
        page.setDefaultTimeout(stepTimeout);
        const errors = [];
        page.on('pageerror', (error) => errors.push(error.message));
        await page.goto(pageUrl);

        // The popup is shown at the top of the page, centred, inside the viewport, and nothing covers it.
        const popup = page.locator('#popupdiv');
        await popup.waitFor({ state: 'visible' });
        const box = await popup.boundingBox();
        assert.ok(box, 'the popup has a box');
        assert.equal(Math.round(box.width), 473);
        assert.equal(Math.round(box.height), 163);
        assert.ok(box.y >= 0 && box.y <= 20, `the popup is at the top (y = ${box.y})`);
        assert.ok(Math.abs(box.x + box.width / 2 - viewport.width / 2) <= 20, `the popup is centred (x = ${box.x})`);
        const link = popup.getByRole('link', { name: 'Click here' });
        const onTop = await link.evaluate((element) => {
            const rect = element.getBoundingClientRect();
            return element.contains(document.elementFromPoint(rect.left + rect.width / 2, rect.top + rect.height / 2));
        });
        assert.ok(onTop, 'the link is not covered');
        assert.deepEqual(errors, [], 'the page runs without script errors');
        await page.screenshot({ path: join(outDir, `${road.name}-popup.png`) });

        // The user clicks: the browser opens the service's redirect address.
        const href = await link.evaluate((element) => element.href);
        await Promise.all([page.waitForURL((url) => url.pathname === road.linkPath), link.click()]);
        assert.equal(page.url(), href);
        assert.equal(await page.locator('#page').getAttribute('data-page'), 'redirect');

        // What the service received: the shop and the page the user was on.
        const log = JSON.parse(await standin(`log?path=${encodeURIComponent(road.linkPath)}`));
        const received = log.filter((entry) => value(entry.params, 'i') === road.shopId);
        assert.equal(received.length, 1, `one redirect request for shop ${road.shopId}`);
        const [request] = received;
        assert.equal(request.url, href, 'the address of the popup link');
        const raw = request.raw_params;
        assert.equal(value(raw, 'curr_url'), 'http%3a%2f%2f' + road.origin.slice('http://'.length) + encodedPagePath);
        assert.equal(value(request.params, 'curr_url'), pageUrl);
        assert.match(value(raw, 'y'), /^[0-9a-f]{32}$/);
        assert.equal(value(raw, 'f'), value(raw, 'y'));
        assert.equal(value(raw, 't'), road.account ? road.account.email : '');
        assert.equal(value(raw, 'm'), road.account ? road.account.digest : '');
        assert.equal(value(raw, 'PID'), road.account ? 'QLBY' : undefined);
        assert.ok(href.startsWith(serviceBase), href);
        console.log(`${road.name}: shop ${road.shopId} redirect ${request.url}`);
    } finally {
        await context.close();
    }
}

async function main() {
    assert.ok(port > 0, 'QB_STANDIN_PORT is not set: run under tools/standin/with_standin.py');
    const browser = await chromium.launch({
        executablePath: process.env.QB_CHROMIUM || '/usr/bin/chromium',
        headless: true,
        timeout: 30000,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
            '--disable-component-update', '--disable-sync', `--proxy-server=http://127.0.0.1:${port}`]
    });
    try {
        for (const road of roads)
            await drive(browser, road);
    } finally {
        await browser.close();
    }
}

// A hung browser must not hang the test.
const deadline = setTimeout(() => {
    console.error('shop road: Chromium half timed out');
    process.exit(1);
}, 90000);
deadline.unref();

main().then(
    () => console.log('shop road: the popup link reached the service'),
    (error) => {
        console.error(error);
        process.exit(1);
    }
);
