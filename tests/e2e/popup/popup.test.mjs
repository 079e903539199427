// The popup's library and templates in headless Chromium, put into a shop's page as the add-on does it. The page has
// a hostile style sheet, a form the user typed into, its own handlers and a fixed offer with a huge z-index.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { after, afterEach, before, beforeEach, test } from 'node:test';

const root = new URL('../../../', import.meta.url);
const { chromium } = createRequire(new URL('tools/popup-check/package.json', root))('playwright-core');
const service = 'http://www.quillbury.co.uk/';
const shopUrl = 'http://www.hartwell-sons.co.uk/basket?item=42';
const link = `${service}go/?y=abc&t=&m=&i=1234&f=abc&curr_url=http%3a%2f%2fwww.hartwell-sons.co.uk%2fbasket`;
const shopPage = `<!DOCTYPE html><html><head><style>body { position: relative; margin: 0 auto; max-width: 900px; }
  h1 { margin: 0; height: 90px; } .item { height: 450px; } #offer { position: fixed; bottom: 8px; z-index: 99999999; }
  table, td { border: 4px solid #c00; padding: 25px; font-size: 30px; } a { color: #c00 !important; font-size: 28px; }
</style></head><body><h1>Hartwell &amp; Sons</h1><input id="discount"><button id="apply">Apply</button><p id="status">
${'<div class="item">Oak chair</div>'.repeat(12)}<div id="offer">Winter sale</div><script>
  window.pageClicks = 0; document.addEventListener('click', function () { window.pageClicks++; });
  document.getElementById('apply').onclick = function () {
    document.getElementById('status').textContent = 'Applied: ' + document.getElementById('discount').value; };
</script></body></html>`;
let browser, tab;

// A resource as the library carries it: plain ASCII, the service's address configured in.
function resource(name) {
    const text = readFileSync(new URL(`src/resources/popup/${name}`, root), 'latin1');
    assert.match(text, /^[\t\r\n\x20-\x7e]*$/, `${name} is plain ASCII`);
    return text.replaceAll('@QB_SERVICE_BASE_URL@', service);
}

// The template with its values escaped at the top of the body; the pre-script alone, then the library and call.
function inject(template, values, call, preScript = '') {
    let html = resource(template);
    for (const [placeholder, value] of values)
        html = html.split(placeholder).join(value.replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`));
    return tab.evaluate(([pre, body, script]) => {
        try { (0, eval)(pre); } catch { /* no library yet */ }
        document.body.insertAdjacentHTML('afterbegin', body);
        (0, eval)(script);
    }, [preScript, html, resource('PopupLibrary.js') + call]);
}
const showShop = () => inject('ShopPopup.html', [['%TARGET-URL-HERE%', link]], "Popup.show('popupdiv')");

// The popup's box in the viewport, and the screens shown (black at opacity 0.4) in document coordinates.
const layout = (id) => tab.evaluate((popupId) => {
    const popup = document.getElementById(popupId), box = popup.getBoundingClientRect(), html = document.documentElement;
    const style = (e) => getComputedStyle(e), shown = style(popup).display === 'block';
    const screens = [...document.body.querySelectorAll('*')].filter((e) => style(e).opacity === '0.4' &&
        style(e).backgroundColor === 'rgb(0, 0, 0)' && style(e).display !== 'none').map((e) => {
        const r = e.getBoundingClientRect();
        return [r.left + scrollX, r.top + scrollY, r.width, r.height, Number(style(e).zIndex)]; });
    return { shown, hidden: !shown && !screens.length, screens, first: document.body.firstElementChild === popup,
        box: box.toJSON(), z: Number(style(popup).zIndex), bodyTop: document.body.getBoundingClientRect().top,
        fits: [...popup.querySelectorAll('*')].every((e) => e.getBoundingClientRect().bottom <= box.bottom &&
            e.getBoundingClientRect().right <= box.right),
        view: [html.clientWidth, html.clientHeight, scrollY], page: [html.scrollWidth, html.scrollHeight] };
}, id);
const pageClicks = () => tab.evaluate(() => window.pageClicks);

before(async () => (browser = await chromium.launch({ executablePath: process.env.QB_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run'] })));
after(() => browser?.close());
beforeEach(async () => {
    tab = await browser.newPage({ viewport: { width: 1024, height: 768 } });
    await tab.route('**/*', (route, request) => request.url() === shopUrl // the service's images are not needed
        ? route.fulfill({ contentType: 'text/html', body: shopPage }) : route.abort());
    await tab.goto(shopUrl);
    await tab.fill('#discount', 'WINTER20');
});
afterEach(() => tab.close());

test('the shop popup: first in the body, centred at the top, over page, screen; clicks outside hide it', async () => {
    await showShop();
    const shown = await layout('popupdiv');
    assert.ok(shown.shown && shown.first && shown.fits && shown.screens.length === 1);
    assert.deepEqual([shown.box.width, shown.box.height], [473, 163], 'the page style sheet changes no size');
    assert.ok(Math.abs(shown.box.top - shown.bodyTop) < 1 && Math.abs(shown.box.x + 473 / 2 - 512) <= 1);
    const [[left, top, width, height, z]] = shown.screens;
    assert.ok(left === 0 && top === 0 && width >= shown.page[0] && height >= shown.page[1], 'the screen covers all');
    assert.ok(shown.z > z && z > 99999999, `${shown.z} > ${z} > the fixed offer's`);
    assert.equal(await tab.inputValue('#discount'), 'WINTER20', 'what the user typed is still there');
    const { box } = shown; // mouse-ups inside keep it, the next one outside or Close hides it; the page works on
    await tab.mouse.click(box.x + 30, box.y + 90);
    assert.ok((await layout('popupdiv')).shown && await pageClicks() === 0, 'clicks inside do not reach the page');
    await tab.mouse.click(box.x + 30, box.y + box.height + 150);
    assert.ok((await layout('popupdiv')).hidden);
    await showShop();
    const clicks = await pageClicks();
    await tab.click('#popupdiv >> text=Close');
    assert.ok((await layout('popupdiv')).hidden && await pageClicks() === clicks);
    await tab.click('#apply');
    assert.equal(await tab.textContent('#status'), 'Applied: WINTER20', 'the page\'s own handlers run');
    assert.equal(await pageClicks(), clicks + 1);
});

test('the voucher popup hides the shop popup, is modal, has the focus, shows the code as text', async () => {
    const dialogs = [], shop = await showShop().then(() => layout('popupdiv'));
    tab.on('dialog', (dialog) => dialogs.push(dialog.message()) && dialog.dismiss());
    const code = '<script>alert(1)</script>"\'&<img src=x onerror="alert(2)">';
    await inject('VoucherPopup.html', [['%TARGET-URL-HERE%', link], ['%VOUCHER-CODE-HERE%', code]],
        "Popup.showModal('popupvdiv');", "Popup.hide('popupdiv');");
    const voucher = await layout('popupvdiv');
    assert.ok(!(await layout('popupdiv')).shown && voucher.shown && voucher.first && voucher.fits);
    assert.ok(voucher.screens.length === 1 && voucher.z > voucher.screens[0][4] && voucher.z > shop.z,
        'the library evaluated again stacks above what the former one showed');
    assert.equal(await tab.evaluate(() => document.activeElement.id), 'popupvdiv');
    assert.equal(await tab.textContent('#popupvdiv td[colspan="2"]'), code);
    assert.deepEqual(await tab.$$eval('#popupvdiv a', (anchors) => anchors.map((a) => a.href)), [link, link]);
    await tab.mouse.click(100, 700);
    await tab.waitForTimeout(200);
    assert.ok((await layout('popupvdiv')).shown, 'a modal popup stays');
    assert.deepEqual(dialogs, [], 'nothing in the code ran');
    await tab.evaluate((library) => (0, eval)(library + "Popup.hide('popupvdiv'); Popup.hide('never-shown');" +
        "Popup.show('no-such-element')"), resource('PopupLibrary.js'));
    assert.ok((await layout('popupvdiv')).hidden, 'a fresh library hides what the former one showed');
});

test('the popup appears inside the viewport wherever the page is scrolled', async () => {
    for (const [width, height, scroll] of [[1024, 768, 2500], [1024, 768, 100], [400, 120, 1200]]) {
        await tab.setViewportSize({ width, height });
        await tab.evaluate((y) => { window.Popup?.hide('popupdiv'); scrollTo(0, y); }, scroll);
        await showShop();
        const { box, view, screens } = await layout('popupdiv');
        const label = `${width}x${height} at ${scroll}: ${JSON.stringify(box)}`;
        assert.ok(view[2] === scroll && box.top >= 0 && box.left >= 0 && screens.length === 1, label);
        assert.ok(box.height > view[1] || box.bottom <= view[1], label);
        assert.ok(box.width > view[0] || Math.abs(box.left + box.width / 2 - view[0] / 2) <= 1, label);
    }
});
