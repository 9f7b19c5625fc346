#!/usr/bin/env node
// Generates data/fsa.dat, the description dictionary Quillon ships: pairs of lines, a key
// (segment name "PID", field "PID-3", component "PID-5-1") followed by its description, for
// HL7 v2.4, taken from the MIT-licensed npm package hl7-dictionary.
//
// The build never runs this; the generated file is committed. To regenerate it:
//
//   mkdir -p /tmp/hl7dict && (cd /tmp/hl7dict && npm install hl7-dictionary)
//   node tools/gen-fsa.mjs /tmp/hl7dict/node_modules/hl7-dictionary > data/fsa.dat
//
// or give the output file as a second argument:
//
//   node tools/gen-fsa.mjs /tmp/hl7dict/node_modules/hl7-dictionary data/fsa.dat
//
// Keep the package out of the repo (no node_modules, package.json or package-lock.json here).
// The number of keys and of segment names goes to stderr. The script stops with an error
// (exit status 1) and writes nothing when the table would not fit DescriptionDictionary
// (MaxEntries, MaxSegmentNames in src/records/Dictionary.h) or any entry is malformed; with
// the output-file form a failed run leaves the committed file as it was, whereas the shell's
// '>' empties it first.
//
// Numbering: fields count from 1 after the segment name; in MSH, FHS and BHS the field
// separator is field 1 and the encoding characters field 2 (MSH-1, MSH-2). Components count
// from 1 within their field; sub-components are left out. Keys are sorted in byte order.

import { createRequire } from 'node:module';
import { writeFileSync } from 'node:fs';
import path from 'node:path';

const VERSION = '2.4';
const MAX_ENTRIES = 9200;       // DescriptionDictionary::MaxEntries
const MAX_SEGMENT_NAMES = 200;  // DescriptionDictionary::MaxSegmentNames
const HEADER_SEGMENTS = ['MSH', 'FHS', 'BHS'];

// fsa.dat's stored form; must stay the inverse of DecodeFsaLine (src/records/Dictionary).
// Every line goes through here. Today each line is stored as is.
function encodeLine(line) {
    return line;
}

function fail(message) {
    process.stderr.write(`gen-fsa: ${message}\n`);
    process.exit(1);
}

// A few characters that NFKD leaves alone but have a plain ASCII stand-in.
const ASCII_STAND_INS = {
    '\u2018': "'", '\u2019': "'", '\u201A': "'", '\u201B': "'",
    '\u201C': '"', '\u201D': '"', '\u201E': '"',
    '\u2010': '-', '\u2011': '-', '\u2012': '-', '\u2013': '-', '\u2014': '-', '\u2212': '-',
    '\u2026': '...', '\u00A0': ' ', '\u00B5': 'u', '\u00DF': 'ss', '\u00C6': 'AE', '\u00E6': 'ae',
    '\u00D8': 'O', '\u00F8': 'o', '\u0152': 'OE', '\u0153': 'oe', '\u00D0': 'D', '\u00F0': 'd',
    '\u00DE': 'Th', '\u00FE': 'th', '\u0141': 'L', '\u0142': 'l',
};

// Plain printable ASCII on one line: whitespace runs become one blank, the ends are trimmed,
// accents are stripped, anything else outside ASCII is dropped.
function cleanDescription(text) {
    if (text === undefined || text === null) return '';
    let s = String(text);
    s = s.replace(/[^\x00-\x7f]/g, (c) => ASCII_STAND_INS[c] ?? c);
    s = s.normalize('NFKD').replace(/[\u0300-\u036f]/g, '');
    s = s.replace(/\s+/g, ' ');
    s = s.replace(/[^\x20-\x7e]/g, '');
    s = s.replace(/ {2,}/g, ' ').trim();
    return s;
}

function loadDictionary(packageDir) {
    const require = createRequire(path.join(process.cwd(), 'gen-fsa.mjs'));
    let pkg;
    try {
        pkg = require(path.resolve(packageDir));
    } catch (e) {
        fail(`cannot load hl7-dictionary from ${packageDir}: ${e.message}`);
    }
    const def = pkg && pkg.definitions && pkg.definitions[VERSION];
    if (!def || !def.segments || !def.fields) fail(`no version ${VERSION} definitions in ${packageDir}`);
    return def;
}

// The segment's fields in our numbering. The package lists MSH, FHS and BHS with the field
// separator first and the encoding characters second, which is ours; should a release drop the
// separator (starting with the encoding characters), put it back so the numbers still match.
function fieldsOf(name, segment) {
    const fields = Array.isArray(segment.fields) ? segment.fields : [];
    if (!HEADER_SEGMENTS.includes(name)) return fields;
    const first = cleanDescription(fields[0] && fields[0].desc);
    const second = cleanDescription(fields[1] && fields[1].desc);
    if (/Field Separator$/i.test(first) && /Encoding Characters$/i.test(second)) return fields;
    if (/Encoding Characters$/i.test(first)) {
        const prefix = name === 'MSH' ? '' : (name === 'FHS' ? 'File ' : 'Batch ');
        return [{ desc: `${prefix}Field Separator`, datatype: 'ST' }, ...fields];
    }
    fail(`${name}: unexpected first fields "${first}", "${second}"`);
}

function build(def) {
    const entries = new Map();
    const add = (key, rawDesc) => {
        const desc = cleanDescription(rawDesc);
        if (desc === '') return;  // an empty description is no entry
        if (entries.has(key)) fail(`duplicate key ${key}`);
        entries.set(key, desc);
    };

    for (const [name, segment] of Object.entries(def.segments)) {
        if (!/^[A-Z][A-Z0-9]{2}$/.test(name)) fail(`odd segment name "${name}"`);
        add(name, segment.desc);
        fieldsOf(name, segment).forEach((field, i) => {
            const fieldKey = `${name}-${i + 1}`;
            add(fieldKey, field.desc);
            const type = def.fields[field.datatype];
            if (field.datatype && !type) fail(`${fieldKey}: unknown data type ${field.datatype}`);
            const components = (type && Array.isArray(type.subfields)) ? type.subfields : [];
            components.forEach((component, j) => add(`${fieldKey}-${j + 1}`, component.desc));
        });
    }
    return entries;
}

function byteOrder(a, b) {
    return Buffer.compare(Buffer.from(a, 'latin1'), Buffer.from(b, 'latin1'));
}

function main() {
    const [packageDir, outPath] = process.argv.slice(2);
    if (!packageDir || process.argv.length > 4) {
        fail('usage: node tools/gen-fsa.mjs <path-to-node_modules/hl7-dictionary> [output-file]');
    }
    const entries = build(loadDictionary(packageDir));
    const keys = [...entries.keys()].sort(byteOrder);

    // The segment names are the keys without a '-': the ones the dialogs' pickers offer.
    const segmentNames = keys.filter((k) => !k.includes('-'));
    if (keys.length > MAX_ENTRIES) fail(`${keys.length} keys, more than the ${MAX_ENTRIES} allowed`);
    if (segmentNames.length > MAX_SEGMENT_NAMES) {
        fail(`${segmentNames.length} segment names, more than the ${MAX_SEGMENT_NAMES} allowed`);
    }

    const lines = [];
    for (let i = 0; i < keys.length; ++i) {
        const key = keys[i];
        const desc = entries.get(key);
        if (i > 0 && byteOrder(keys[i - 1], key) >= 0) fail(`keys out of order at ${key}`);
        if (!/^[A-Z][A-Z0-9]{2}(-[1-9][0-9]*(-[1-9][0-9]*)?)?$/.test(key)) fail(`malformed key "${key}"`);
        if (!/^[\x20-\x7e]+$/.test(desc)) fail(`${key}: description not plain ASCII`);
        lines.push(encodeLine(key), encodeLine(desc));
    }
    for (const line of lines) {
        if (/[\r\n]/.test(line)) fail('a stored line contains a line break');
    }
    const text = lines.join('\n') + '\n';

    if (outPath) {
        writeFileSync(outPath, text, { encoding: 'latin1' });
    } else {
        process.stdout.write(Buffer.from(text, 'latin1'));
    }
    process.stderr.write(`gen-fsa: ${keys.length} keys, ${segmentNames.length} segment names (HL7 v${VERSION})\n`);
}

main();
