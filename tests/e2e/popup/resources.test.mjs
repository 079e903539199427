// The resource texts themselves: plain ASCII (the add-on reads them in the ANSI code page), the
// placeholders the add-on fills in, and a script library that the ES3 lint accepts while the lint itself
// refuses what older document modes cannot run.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { test } from 'node:test';

import { repoRoot, resourceText } from './injection.mjs';

const require = createRequire(join(repoRoot, 'tools', 'popup-check', 'package.json'));
const { ESLint } = require('eslint');
const lint = new ESLint({ cwd: repoRoot, overrideConfigFile: join(repoRoot, 'tools', 'popup-check', 'eslint.config.mjs') });

async function problems(code) {
    const [result] = await lint.lintText(code, { filePath: join(repoRoot, 'src', 'resources', 'popup', 'Check.js') });
    return result.messages.map((m) => m.ruleId ?? 'syntax');
}

test('the resources are ASCII with CRLF line ends and carry their placeholders', () => {
    const expected = {
        'PopupLibrary.js': {},
        'ShopPopup.html': { '%TARGET-URL-HERE%': 2, 'id="popupdiv"': 1, "Popup.hide('popupdiv');": 1 },
        'VoucherPopup.html': { '%TARGET-URL-HERE%': 2, '%VOUCHER-CODE-HERE%': 1, 'id="popupvdiv"': 1, onclick: 0 }
    };
    for (const [name, counts] of Object.entries(expected)) {
        const text = resourceText(name);
        assert.match(text, /^[\x09\x0d\x0a\x20-\x7e]*$/, `${name} is plain ASCII`);
        assert.doesNotMatch(text, /[^\r]\n/, `${name} has CRLF line ends`);
        assert.doesNotMatch(text, /@\w+@/, `${name} has nothing left to configure`);
        for (const [needle, count] of Object.entries(counts)) {
            assert.equal(text.split(needle).length - 1, count, `${name}: ${needle}`);
        }
    }
});

test('the script library passes the ES3 lint', async () => {
    assert.deepEqual(await problems(resourceText('PopupLibrary.js')), []);
});

test('the ES3 lint refuses what older document modes cannot run', async () => {
    const cases = [
        ['let a = 1;', 'syntax'],
        ['var f = function () {}; var g = () => f;', 'syntax'],
        ['var o = { get x() { return 1; } };', 'syntax'],
        ['var o = { a: 1, };', 'syntax'],
        ['var s = JSON.stringify({});', 'no-undef'],
        ['var n = 0; [1].forEach(function (v) { n += v; });', 'no-restricted-properties'],
        ['var k = Object.keys(window);', 'no-restricted-properties'],
        ['var f = function () {}.bind(null);', 'no-restricted-properties'],
        ['leaked = 1;', 'no-undef']
    ];
    for (const [code, rule] of cases) {
        assert.ok((await problems(code + '\n')).includes(rule), `${code} -> ${rule}`);
    }
});
