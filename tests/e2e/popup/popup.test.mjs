// The popups in a real browser engine: a shop page as the add-on finds it (a typed form field, its own
// handlers, a long body, a fixed element with a huge z-index), the templates put in and the library run
// exactly as InjectPopup does, then what a user would see and do.
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { after, before, beforeEach, afterEach, test } from 'node:test';

import {
    chosenVoucherLink,
    injectPopup,
    redirectLink,
    repoRoot,
    requestNonce,
    resourceText,
    shopPopupRequest,
    voucherPopupRequest
} from './injection.mjs';
import { routeShopSite, shopPageUrl } from './shop-site.mjs';

const { chromium } = createRequire(join(repoRoot, 'tools', 'popup-check', 'package.json'))('playwright-core');

const outDir = process.env.QB_E2E_OUT || join(repoRoot, 'build', 'e2e');
const account = { email: 'anne+shop@example.com', digest: 'd943641d1ed7d29e955f36d6327ead93' };
const nonce = requestNonce(new Date(2026, 11, 6, 7, 24, 37));
const typedCode = 'WINTER20';

let browser;
let context;
let page;
let dialogs;

before(async () => {
    mkdirSync(outDir, { recursive: true });
    browser = await chromium.launch({
        executablePath: process.env.QB_CHROMIUM || '/usr/bin/chromium',
        headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
            '--disable-component-update', '--disable-sync']
    });
});

after(async () => {
    await browser?.close();
});

beforeEach(async () => {
    context = await browser.newContext({ viewport: { width: 1024, height: 768 } });
    await routeShopSite(context);
    page = await context.newPage();
    dialogs = [];
    page.on('dialog', (dialog) => {
        dialogs.push(dialog.message());
        dialog.dismiss().catch(() => {});
    });
    await page.goto(shopPageUrl);
    await page.fill('#discount', typedCode);
});

afterEach(async () => {
    await context.close();
});

// Geometry and stacking of the popup and of every screen (black at opacity 0.4) in document coordinates.
function layout(id) {
    return page.evaluate((popupId) => {
        const inDocument = (rect) => ({
            left: rect.left + window.scrollX,
            top: rect.top + window.scrollY,
            width: rect.width,
            height: rect.height
        });
        const popup = document.getElementById(popupId);
        const style = getComputedStyle(popup);
        const screens = Array.from(document.body.getElementsByTagName('*'))
            .filter((e) => {
                const s = getComputedStyle(e);
                return s.backgroundColor === 'rgb(0, 0, 0)' && s.opacity === '0.4' && s.display !== 'none';
            })
            .map((e) => ({ ...inDocument(e.getBoundingClientRect()), zIndex: Number(getComputedStyle(e).zIndex) }));
        const body = document.body.getBoundingClientRect();
        return {
            visible: style.display === 'block',
            zIndex: Number(style.zIndex),
            viewportRect: popup.getBoundingClientRect().toJSON(),
            rect: inDocument(popup.getBoundingClientRect()),
            firstInBody: document.body.firstElementChild === popup,
            // The lowest and rightmost edges of the popup's content, in the viewport.
            contentEdge: Array.from(popup.getElementsByTagName('*')).reduce((edge, e) => {
                const r = e.getBoundingClientRect();
                return { bottom: Math.max(edge.bottom, r.bottom), right: Math.max(edge.right, r.right) };
            }, { bottom: 0, right: 0 }),
            bodyTop: body.top + window.scrollY,
            viewport: { width: document.documentElement.clientWidth, height: document.documentElement.clientHeight },
            scroll: { x: window.scrollX, y: window.scrollY },
            documentSize: {
                width: document.documentElement.scrollWidth,
                height: document.documentElement.scrollHeight
            },
            screens
        };
    }, id);
}

// The topmost element at a viewport point, described by where it belongs.
function topmostAt(x, y) {
    return page.evaluate(([px, py]) => {
        const hit = document.elementFromPoint(px, py);
        if (hit.closest('#popupdiv')) return 'popupdiv';
        if (hit.closest('#popupvdiv')) return 'popupvdiv';
        const s = getComputedStyle(hit);
        if (s.backgroundColor === 'rgb(0, 0, 0)' && s.opacity === '0.4') return 'screen';
        return hit.id || hit.tagName;
    }, [x, y]);
}

function waitForImages() {
    return page.waitForFunction(() => Array.from(document.images).every((image) => image.complete));
}

async function showShopPopup() {
    const link = redirectLink(nonce, account, '1234', page.url());
    assert.equal(await injectPopup(page, shopPopupRequest(link)), true);
    return link;
}

test('the shop popup sits at the top of the body, centred, above the whole page and its screen', async () => {
    const link = await showShopPopup();
    await waitForImages();
    const shown = await layout('popupdiv');

    assert.equal(shown.visible, true);
    assert.equal(shown.firstInBody, true, 'the template is the first content of the body');
    assert.deepEqual([shown.rect.width, shown.rect.height], [473, 163], 'the page style sheet changes no size');
    assert.ok(shown.contentEdge.bottom <= shown.viewportRect.bottom && shown.contentEdge.right <= shown.viewportRect.right,
        'the content fits the popup despite the page\'s table and link styles');
    assert.ok(Math.abs(shown.rect.top - shown.bodyTop) < 1, `top ${shown.rect.top}, body ${shown.bodyTop}`);
    assert.ok(Math.abs(shown.rect.left + shown.rect.width / 2 - shown.viewport.width / 2) <= 1, 'centred');

    assert.equal(shown.screens.length, 1);
    const [screen] = shown.screens;
    assert.deepEqual([screen.left, screen.top], [0, 0]);
    assert.ok(screen.width >= shown.documentSize.width && screen.height >= shown.documentSize.height,
        'the screen covers the whole document');
    assert.ok(shown.zIndex > screen.zIndex && screen.zIndex > 99999999, `${shown.zIndex} > ${screen.zIndex}`);

    const centre = [shown.viewportRect.x + shown.viewportRect.width / 2, shown.viewportRect.y + 100];
    assert.equal(await topmostAt(...centre), 'popupdiv');
    assert.equal(await topmostAt(100, 730), 'screen', 'the fixed offer with its huge z-index lies under the screen');

    const links = await page.$$eval('#popupdiv a', (anchors) =>
        anchors.map((a) => ({ text: a.textContent, href: a.href, attribute: a.getAttribute('href') })));
    assert.equal(links.length, 3);
    assert.deepEqual(links[0], { text: 'Close', href: shopPageUrl + '#', attribute: '#' });
    assert.ok(link.includes('&') && link.includes('curr_url=http%3a%2f%2fwww.hartwell-sons.co.uk%2fbasket%3f'));
    for (const target of links.slice(1)) {
        assert.equal(target.href, link, 'the escaped "&" reaches the browser as "&"');
        assert.equal(target.attribute, link);
    }
    assert.equal(await page.textContent('#popupdiv tr:nth-child(3) td'),
        'Click here to refresh the page and get cashback.');
    assert.equal(await page.inputValue('#discount'), typedCode, 'what the user typed is still there');

    await page.screenshot({ path: join(outDir, 'popup-shop.png') });
});

test('Close hides the popup and removes its screen; the page works on as before', async () => {
    await showShopPopup();
    const clicksBefore = await page.evaluate(() => window.pageClicks);
    await page.click('#popupdiv >> text=Close');

    const hidden = await layout('popupdiv');
    assert.equal(hidden.visible, false);
    assert.equal(hidden.screens.length, 0);
    assert.equal(await page.evaluate(() => window.pageClicks), clicksBefore, 'the click stayed inside the popup');

    await page.click('#apply');
    assert.equal(await page.textContent('#status'), `Applied: ${typedCode}`, 'the page\'s own handler still runs');
    assert.equal(await page.evaluate(() => window.pageClicks), clicksBefore + 1);
});

test('mouse-ups inside keep the shop popup; the next mouse-up elsewhere hides it with its screen', async () => {
    await showShopPopup();
    const { viewportRect: box } = await layout('popupdiv');
    const clicksBefore = await page.evaluate(() => window.pageClicks);

    await page.mouse.click(box.x + 30, box.y + 90); // the empty cell of the second row
    let state = await layout('popupdiv');
    assert.equal(state.visible, true);
    assert.equal(state.screens.length, 1);
    assert.equal(await page.evaluate(() => window.pageClicks), clicksBefore, 'clicks inside do not reach the page');

    await page.mouse.click(box.x + 30, box.y + box.height + 150);
    state = await layout('popupdiv');
    assert.equal(state.visible, false);
    assert.equal(state.screens.length, 0);
});

test('the voucher popup hides the shop popup first, is modal, has the focus and shows the code as text', async () => {
    await showShopPopup();
    const code = '<script>alert(1)</script>"\'&<img src=x onerror="alert(2)">';
    const link = chosenVoucherLink(nonce, account, '777');
    assert.equal(await injectPopup(page, voucherPopupRequest(link, code)), true);
    await waitForImages();

    const voucher = await layout('popupvdiv');
    const shop = await layout('popupdiv');
    assert.equal(shop.visible, false, 'the pre-script hid the shop popup');
    assert.equal(voucher.visible, true);
    assert.equal(voucher.firstInBody, true);
    assert.ok(voucher.contentEdge.bottom <= voucher.viewportRect.bottom, 'the code fits the popup');
    assert.equal(voucher.screens.length, 1, 'only the voucher popup\'s screen is left');
    assert.ok(voucher.zIndex > voucher.screens[0].zIndex);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'popupvdiv');

    assert.equal(await page.textContent('#popupvdiv td[colspan="2"]'), code);
    assert.equal(await page.$$eval('#popupvdiv script', (scripts) => scripts.length), 0);
    assert.equal(await page.$$eval('#popupvdiv img', (imgs) => imgs.length), 1);
    const hrefs = await page.$$eval('#popupvdiv a', (anchors) => anchors.map((a) => [a.textContent, a.href]));
    assert.deepEqual(hrefs, [['Close', link], ['', link]]);

    await page.screenshot({ path: join(outDir, 'popup-voucher.png') });
    await page.mouse.click(100, 700);
    assert.equal((await layout('popupvdiv')).visible, true, 'a modal popup stays');
    await page.waitForTimeout(200);
    assert.deepEqual(dialogs, [], 'nothing in the code ran');
});

test('evaluating the library again keeps shown popups under control', async () => {
    await showShopPopup();
    const first = await layout('popupdiv');
    const library = resourceText('PopupLibrary.js');
    await page.evaluate((code) => (0, eval)(code), library);

    await page.evaluate(() => Popup.hide('popupdiv'));
    let state = await layout('popupdiv');
    assert.equal(state.visible, false, 'the fresh library hides what the former one showed');
    assert.equal(state.screens.length, 0);

    await page.evaluate((code) => (0, eval)(code + "Popup.show('popupdiv')"), library);
    state = await layout('popupdiv');
    assert.equal(state.visible, true);
    assert.equal(state.screens.length, 1);
    assert.ok(state.zIndex > first.zIndex, 'stacking orders keep counting upwards');

    await page.evaluate(() => {
        Popup.hide('never-shown');
        Popup.show('no-such-element');
    });
    assert.equal((await layout('popupdiv')).screens.length, 1);
});

test('the popup appears inside the viewport wherever the page is scrolled', async () => {
    const cases = [
        { viewport: { width: 1024, height: 768 }, scrollY: 2500 },
        { viewport: { width: 1024, height: 768 }, scrollY: 100 },
        { viewport: { width: 400, height: 120 }, scrollY: 1200 }
    ];
    for (const { viewport, scrollY } of cases) {
        const label = `${viewport.width}x${viewport.height} at ${scrollY}`;
        await page.setViewportSize(viewport);
        await page.evaluate(() => window.Popup?.hide('popupdiv'));
        await page.evaluate((y) => window.scrollTo(0, y), scrollY);
        await showShopPopup();
        const shown = await layout('popupdiv');
        const box = shown.viewportRect;
        assert.equal(shown.scroll.y, scrollY, label);
        assert.ok(box.top >= 0 && box.left >= 0, `${label}: never above or left of the viewport (${box.top})`);
        if (box.height <= shown.viewport.height) {
            assert.ok(box.bottom <= shown.viewport.height, `${label}: bottom ${box.bottom}`);
        }
        if (box.width <= shown.viewport.width) {
            assert.ok(Math.abs(box.left + box.width / 2 - shown.viewport.width / 2) <= 1, `${label}: centred`);
        }
        assert.equal(shown.screens.length, 1, label);
    }
});
