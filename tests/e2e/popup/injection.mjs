// What the add-on puts into a page, built from the real resource sources: the templates as the build
// configures them (service base address in, CRLF line ends), the values escaped and filled in as
// FillTemplate does, the redirect links as service_urls builds them, and the injection steps of
// InjectPopup carried out in the page.
import { createHash } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

export const repoRoot = join(dirname(fileURLToPath(import.meta.url)), '..', '..', '..');
const popupSources = join(repoRoot, 'src', 'resources', 'popup');

export const serviceBaseUrl = process.env.QB_SERVICE_BASE_URL || 'http://www.quillbury.co.uk/';

// The resource bytes as text: CRLF line ends, the base address configured in.
export function resourceText(name) {
    return readFileSync(join(popupSources, name), 'latin1')
        .replace(/\r\n/g, '\n')
        .replace(/\n/g, '\r\n')
        .replaceAll('@QB_SERVICE_BASE_URL@', serviceBaseUrl);
}

export function escapeHtml(text) {
    const entities = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' };
    return text.replace(/[&<>"']/g, (c) => entities[c]);
}

export function fillTemplate(text, replacements) {
    for (const [placeholder, value] of replacements) {
        text = text.split(placeholder).join(escapeHtml(value));
    }
    return text;
}

// Percent-encoding of the narrow (Windows-1252) text: letters, digits, '-' and '.' stay, space is '+'.
export function urlEncode(text) {
    let encoded = '';
    for (const byte of Buffer.from(text, 'latin1')) {
        const c = String.fromCharCode(byte);
        if (/[A-Za-z0-9.-]/.test(c)) encoded += c;
        else if (c === ' ') encoded += '+';
        else encoded += '%' + byte.toString(16).padStart(2, '0');
    }
    return encoded;
}

// The nonce: MD5 of the asctime text of a local time.
export function requestNonce(date) {
    const days = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];
    const months = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];
    const two = (n) => String(n).padStart(2, '0');
    const text = `${days[date.getDay()]} ${months[date.getMonth()]} ${two(date.getDate())} ` +
        `${two(date.getHours())}:${two(date.getMinutes())}:${two(date.getSeconds())} ${date.getFullYear()}\n`;
    return createHash('md5').update(text, 'latin1').digest('hex');
}

function trackedLink(nonce, account, item, tail) {
    if (account) {
        return `${serviceBaseUrl}k3tq8w2m/tb.php?y=${nonce}&t=${urlEncode(account.email)}&m=${account.digest}` +
            `${item}&f=${nonce}${tail}&PID=QLBY`;
    }
    return `${serviceBaseUrl}go/?y=${nonce}&t=&m=${item}&f=${nonce}${tail}`;
}

// account: { email, digest } when signed in, null when not.
export function redirectLink(nonce, account, shopId, pageUrl) {
    return trackedLink(nonce, account, `&i=${shopId}`, `&curr_url=${urlEncode(pageUrl)}`);
}

export function chosenVoucherLink(nonce, account, voucherId) {
    return trackedLink(nonce, account, `&vou=${voucherId}`, '');
}

export function shopPopupRequest(link) {
    return {
        preScript: '',
        template: 'ShopPopup.html',
        replacements: [['%TARGET-URL-HERE%', link]],
        scriptCall: "Popup.show('popupdiv')"
    };
}

export function voucherPopupRequest(link, code) {
    return {
        preScript: "Popup.hide('popupdiv');",
        template: 'VoucherPopup.html',
        replacements: [['%TARGET-URL-HERE%', link], ['%VOUCHER-CODE-HERE%', code]],
        scriptCall: "Popup.showModal('popupvdiv');"
    };
}

// InjectPopup in the page: the pre-script alone, the empty-body rule, the filled template at the beginning
// of the body, then the library with the call appended, each script evaluated in the global scope as
// execScript does. Returns whether it got as far as running the script.
export async function injectPopup(page, request) {
    const html = fillTemplate(resourceText(request.template), request.replacements);
    const script = resourceText('PopupLibrary.js') + request.scriptCall;
    return page.evaluate(({ preScript, html, script }) => {
        const run = (code) => (0, eval)(code);
        if (preScript) {
            try {
                run(preScript);
            } catch {
                // execScript's result is ignored (there may be no library in the page yet).
            }
        }
        if (!document.body || !document.body.innerHTML) return false;
        document.body.insertAdjacentHTML('afterbegin', html);
        run(script);
        return true;
    }, { preScript: request.preScript, html, script });
}
