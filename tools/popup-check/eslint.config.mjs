// The popup script library runs in every document mode of Internet Explorer 7 to 11: ECMAScript 3 only.
// The parser rejects later syntax (let, const, arrow functions, getters, trailing commas); the globals of
// ecmaVersion 3 leave out JSON; the restricted properties catch the ES5 library functions the parser cannot.
import js from '@eslint/js';

const es5Functions = [
    'forEach', 'map', 'filter', 'reduce', 'reduceRight', 'some', 'every', 'bind', 'trim'
].map((property) => ({ property, message: 'An ES5 function: not in older document modes.' }));

const es5Statics = [
    ['Object', 'keys'], ['Object', 'create'], ['Object', 'defineProperty'], ['Object', 'defineProperties'],
    ['Object', 'getPrototypeOf'], ['Object', 'freeze'], ['Array', 'isArray'], ['Date', 'now']
].map(([object, property]) => ({ object, property, message: 'An ES5 function: not in older document modes.' }));

export default [
    js.configs.recommended,
    {
        files: ['**/*.js'],
        languageOptions: {
            ecmaVersion: 3,
            sourceType: 'script',
            globals: { window: 'readonly', document: 'readonly' }
        },
        linterOptions: { reportUnusedDisableDirectives: 'error' },
        rules: {
            'no-restricted-properties': ['error', ...es5Functions, ...es5Statics],
            // ES3 has no catch without a binding.
            'no-unused-vars': ['error', { caughtErrors: 'none' }],
            'no-implicit-globals': ['error', { lexicalBindings: true }],
            eqeqeq: 'error',
            curly: 'error'
        }
    }
];
