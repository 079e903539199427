// A shop visit, its Chromium half: the captured pages at their own addresses, the popup's "Click here" followed
// through the stand-in (the proxy, QB_STANDIN_PORT) to the service's redirect naming the shop and the page.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { after, before, test } from 'node:test';

const { chromium } = createRequire(new URL('../../../tools/popup-check/package.json', import.meta.url))(
    'playwright-core');
const port = Number(process.env.QB_STANDIN_PORT);
const page = '/products/kettle?colour=red&size=2';
const current = (site) => `curr_url=http%3a%2f%2f${site}%2fproducts%2fkettle%3fcolour%3dred%26size%3d2`;
const roads = [['shoproad', 'www.shop.example', (y, site) => `go/?y=${y}&t=&m=&i=1000&f=${y}&${current(site)}`],
    ['shoproad-signedin', 'www.testshop.co.uk', (y, site) => `k3tq8w2m/tb.php?y=${y}&t=demo%40example.com` +
        `&m=d943641d1ed7d29e955f36d6327ead93&i=1003&f=${y}&${current(site)}&PID=QLBY`]];

let browser;
before(async () => (browser = await chromium.launch({ executablePath: process.env.QB_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', `--proxy-server=http://127.0.0.1:${port}`] })));
after(() => browser?.close());

for (const [name, site, redirect] of roads) {
    test(`${name}: "Click here" reaches the service's redirect for the shop and the page`, async () => {
        const tab = await browser.newPage(), errors = [];
        tab.on('pageerror', (error) => errors.push(error.message));
        const captured = readFileSync(`${name}-captured.html`, 'utf8');
        await tab.route(`http://${site}${page}`, (route) => route.fulfill({ contentType: 'text/html', body: captured }));
        await tab.goto(`http://${site}${page}`);
        const link = tab.locator('#popupdiv').getByRole('link', { name: 'Click here' });
        await link.waitFor({ state: 'visible', timeout: 10000 });
        const href = await link.evaluate((element) => element.href);
        assert.equal(href, `http://www.quillbury.co.uk/${redirect(href.match(/\?y=([0-9a-f]{32})&/)?.[1], site)}`);
        await Promise.all([tab.waitForURL(href), link.click()]);
        const log = await fetch(`http://127.0.0.1:${port}/__standin/log?path=${new URL(href).pathname}`);
        assert.deepEqual((await log.json()).map((entry) => entry.url), [href], 'the service got the click');
        assert.deepEqual(errors, []);
    });
}
