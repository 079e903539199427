// The demo's last two steps in a real browser engine: the shop page that the test host captured (its body
// with the popup the helper object put at the top, and the scripts it ran) is opened in headless Chromium
// at the shop's own address, and "Click here" is clicked. Every other request goes through the stand-in
// service (--proxy-server), so the click reaches the service's redirect address there.
//
//   node popup_in_chromium.mjs --page CAPTURED.html --url SHOP_URL --proxy http://127.0.0.1:PORT
//        --log STANDIN_LOG.jsonl --popup-shot STEP5.png --click-shot STEP6.png
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const { chromium } = createRequire(join(root, 'tools', 'popup-check', 'package.json'))('playwright-core');

const { values: options } = parseArgs({
    options: {
        page: { type: 'string' },
        url: { type: 'string' },
        proxy: { type: 'string' },
        log: { type: 'string' },
        'popup-shot': { type: 'string' },
        'click-shot': { type: 'string' }
    }
});

// The stand-in has no pictures; these take the place of the service's popup images.
const panel = (width, height, fill, stroke, text) =>
    `<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}">` +
    `<rect x="1.5" y="1.5" width="${width - 3}" height="${height - 3}" rx="10" fill="${fill}" stroke="${stroke}"` +
    ` stroke-width="3"/>${text}</svg>`;
const images = {
    '/images/tb_popup.png': panel(473, 163, '#fffaf0', '#1e3c78',
        '<text x="20" y="34" font-family="Arial" font-size="20" font-weight="bold" fill="#1e3c78">Quill' +
        '<tspan fill="#f39200">bury</tspan></text>' +
        '<text x="20" y="56" font-family="Arial" font-size="13" fill="#333">Cashback is available at this shop</text>'),
    '/images/toolbar/toolbar-refresh.jpg': panel(110, 40, '#f39200', '#a35f00',
        '<text x="55" y="26" text-anchor="middle" font-family="Arial" font-size="14" font-weight="bold"' +
        ' fill="#fff">Get cashback</text>')
};

function say(line) {
    process.stdout.write(`${line}\n`);
}

// The stand-in's log entry of a request for this address (the newest one).
function standinLogEntry(address) {
    const target = new URL(address);
    const lines = readFileSync(options.log, 'utf8').split('\n').filter(Boolean);
    for (const line of lines.reverse()) {
        const entry = JSON.parse(line);
        const sameAddress = entry.path === target.pathname && entry.query === target.search.slice(1);
        if (entry.host === target.hostname && sameAddress) {
            return entry;
        }
    }
    return null;
}

const browser = await chromium.launch({
    executablePath: process.env.QB_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', `--proxy-server=${options.proxy}`]
});
try {
    const context = await browser.newContext({ viewport: { width: 1024, height: 600 } });
    await context.route('**/*', (route) => {
        const url = new URL(route.request().url());
        if (url.href === options.url) {
            const body = readFileSync(options.page);
            return route.fulfill({ status: 200, contentType: 'text/html; charset=utf-8', body });
        }
        if (images[url.pathname]) {
            return route.fulfill({ status: 200, contentType: 'image/svg+xml', body: images[url.pathname] });
        }
        return route.continue();
    });
    const page = await context.newPage();

    await page.goto(options.url);
    const popup = page.locator('#popupdiv');
    await popup.waitFor({ state: 'visible', timeout: 10000 });
    await page.waitForFunction(() => Array.from(document.images).every((image) => image.complete));
    const box = await popup.boundingBox();
    say(`  the popup is shown: ${Math.round(box.width)} x ${Math.round(box.height)} px at the top of the page`);
    say(`  its text: "${(await popup.innerText()).replace(/\s+/g, ' ').trim()}"`);
    await page.screenshot({ path: options['popup-shot'] });
    say(`  screenshot ${options['popup-shot']}`);

    say('6. "Click here" reaches the service\'s redirect');
    const link = popup.getByText('Click here');
    const address = await link.getAttribute('href');
    say(`  the link: ${address}`);
    await Promise.all([page.waitForURL(address, { timeout: 15000 }), link.click()]);
    say(`  Chromium opened it through the stand-in, which answered "${await page.locator('#page').innerText()}"`);
    await page.screenshot({ path: options['click-shot'] });
    say(`  screenshot ${options['click-shot']}`);

    const entry = standinLogEntry(address);
    if (!entry) {
        throw new Error('the stand-in did not log the redirect request');
    }
    say(`  stand-in log, request #${entry.seq}: ${entry.method} ${entry.url} -> ${entry.status} (${entry.endpoint})`);
    say(`    ${entry.params.map(([key, value]) => `${key}=${value}`).join('  ')}`);
} finally {
    await browser.close();
}
