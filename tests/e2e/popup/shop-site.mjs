// A participating shop's page as a browser would have it when the add-on's popup arrives, and the
// service's images, all answered inside the browser: nothing leaves the machine.
import { deflateSync } from 'node:zlib';

import { serviceBaseUrl } from './injection.mjs';

export const shopPageUrl = 'http://www.hartwell-sons.co.uk/basket?item=42&colour=deep%20red';

// A long, styled page with its own state and handlers, a positioned body and a hostile style sheet that
// the popup's important inline styles must withstand.
const shopPage = `<!DOCTYPE html>
<html><head><title>Hartwell &amp; Sons - Basket</title>
<style>
  body { position: relative; margin: 0 auto; max-width: 900px; font: 14px Georgia, serif; background: #f4f1ea; }
  header { height: 90px; background: #234; color: #fff; padding: 10px; }
  table, td { border: 4px solid #c00; padding: 25px; font-size: 30px; }
  a { color: #c00 !important; font-size: 28px; }
  .item { height: 450px; border-bottom: 1px solid #bbb; padding: 10px; }
  #offer { position: fixed; left: 8px; bottom: 8px; width: 240px; height: 70px; z-index: 99999999;
           background: #c33; color: #fff; padding: 8px; }
</style></head>
<body>
<header><h1>Hartwell &amp; Sons</h1></header>
<form id="basket" onsubmit="return false">
  <label>Discount code <input id="discount" name="discount"></label>
  <button type="button" id="apply">Apply</button>
</form>
<p id="status">No code applied</p>
${Array.from({ length: 12 }, (_, i) => `<div class="item"><h2>Item ${i + 1}</h2><p>Hand-made oak chair.</p></div>`).join('\n')}
<div id="offer">Winter sale: 20% off everything</div>
<script>
  window.pageClicks = 0;
  document.addEventListener('click', function () { window.pageClicks++; });
  document.getElementById('apply').addEventListener('click', function () {
    document.getElementById('status').textContent = 'Applied: ' + document.getElementById('discount').value;
  });
</script>
</body></html>`;

const crcTable = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
});

function crc32(bytes) {
    let c = 0xffffffff;
    for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
    const length = Buffer.alloc(4);
    length.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(body));
    return Buffer.concat([length, body, crc]);
}

// A framed panel as an RGBA PNG: stands in for the service's images.
function panelPng(width, height, fill, frame) {
    const rows = [];
    for (let y = 0; y < height; y++) {
        const row = Buffer.alloc(1 + width * 4);
        for (let x = 0; x < width; x++) {
            const edge = x < 3 || y < 3 || x >= width - 3 || y >= height - 3;
            Buffer.from(edge ? frame : fill).copy(row, 1 + x * 4);
        }
        rows.push(row);
    }
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header.set([8, 6, 0, 0, 0], 8);
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        chunk('IHDR', header),
        chunk('IDAT', deflateSync(Buffer.concat(rows))),
        chunk('IEND', Buffer.alloc(0))
    ]);
}

const images = {
    'images/tb_popup.png': panelPng(473, 163, [255, 250, 235, 255], [30, 60, 120, 255]),
    'images/tb_popup2.png': panelPng(473, 163, [235, 255, 240, 255], [20, 110, 50, 255]),
    'images/toolbar/toolbar-refresh.jpg': panelPng(110, 40, [40, 130, 210, 255], [10, 50, 100, 255]),
    'images/toolbar/toolbar-ok.jpg': panelPng(110, 40, [60, 170, 80, 255], [20, 80, 30, 255])
};

// Serves the shop page and the service's images; every other request (and any navigation a test might
// cause by accident) is refused.
export async function routeShopSite(context) {
    const shopOrigin = new URL(shopPageUrl).origin;
    await context.route('**/*', (route) => {
        const url = route.request().url();
        if (url.startsWith(shopOrigin + '/basket')) {
            return route.fulfill({ status: 200, contentType: 'text/html; charset=windows-1252', body: shopPage });
        }
        const image = url.startsWith(serviceBaseUrl) && images[url.slice(serviceBaseUrl.length)];
        if (image) {
            return route.fulfill({ status: 200, contentType: 'image/png', body: image });
        }
        return route.abort();
    });
}
