// SPDX-License-Identifier: MIT
// Reads every *.sgf file below SOURCE and its cleaned copy below CLEANED with
// an independent SGF reader (@sabaki/sgf, found through NODE_PATH) and
// compares the players, date, result and komi of their first games. Where
// they differ, they are compared again with both files read byte for byte
// (Latin-1), which tells the reader's charset guesses from changed values.
// Prints each file that differs or that the reader cannot read, then the
// counts.
// Exit status: 0 when every cleaned file agrees with its source, 1 otherwise.
'use strict';
const fs = require('fs');
const path = require('path');
const sgf = require('@sabaki/sgf');

const kFields = ['PB', 'PW', 'DT', 'RE', 'KM'];

function* GameFiles(folder, relative = '') {
  const entries = fs.readdirSync(path.join(folder, relative), {withFileTypes: true});
  entries.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
  for (const entry of entries) {
    const name = path.join(relative, entry.name);
    if (entry.isDirectory()) {
      yield* GameFiles(folder, name);
    } else if (entry.isFile() && entry.name.toLowerCase().endsWith('.sgf')) {
      yield name;
    }
  }
}

// The fields of the first game the reader finds in "file", or null when it
// finds none or fails.
function GameInfo(file, options = {}) {
  try {
    const roots = sgf.parseFile(file, options);
    if (roots.length === 0) return null;
    const info = {};
    for (const field of kFields) {
      const values = roots[0].data[field];
      info[field] = values && values.length > 0 ? values[0] : '';
    }
    return info;
  } catch (error) {
    return null;
  }
}

function Main(source, cleaned) {
  const counts = {
    files: 0,
    same: 0,
    sameBytes: 0,
    differ: 0,
    notCleaned: 0,
    sourceUnread: 0,
    cleanedUnread: 0,
  };
  for (const name of GameFiles(source)) {
    ++counts.files;
    const cleanedFile = path.join(cleaned, name);
    if (!fs.existsSync(cleanedFile)) {
      ++counts.notCleaned;
      continue;
    }
    const before = GameInfo(path.join(source, name));
    const after = GameInfo(cleanedFile);
    if (before === null) {
      ++counts.sourceUnread;
      console.log(`${name}: the reader finds no game in the source`);
      continue;
    }
    if (after === null) {
      ++counts.cleanedUnread;
      console.log(`${name}: the reader finds no game in the cleaned file`);
      continue;
    }
    const changed = kFields.filter((field) => before[field] !== after[field]);
    if (changed.length === 0) {
      ++counts.same;
      continue;
    }
    const bytes = {encoding: 'latin1'};
    const beforeBytes = GameInfo(path.join(source, name), bytes);
    const afterBytes = GameInfo(cleanedFile, bytes);
    if (beforeBytes !== null && afterBytes !== null &&
        kFields.every((field) => beforeBytes[field] === afterBytes[field])) {
      ++counts.sameBytes;
      console.log(`${name}: the same bytes, read in another charset: ` +
                  changed.map((field) => `${field} ${JSON.stringify(after[field])}`).join(', '));
      continue;
    }
    ++counts.differ;
    const shown = changed.map(
        (field) => `${field} ${JSON.stringify(before[field])} -> ${JSON.stringify(after[field])}`);
    console.log(`${name}: ${shown.join(', ')}`);
  }
  console.log(`${counts.files} files: ${counts.same} same, ` +
              `${counts.sameBytes} the same bytes in another charset, ${counts.differ} differ, ` +
              `${counts.notCleaned} not cleaned, ${counts.sourceUnread} unread in the source, ` +
              `${counts.cleanedUnread} unread once cleaned`);
  return counts.differ === 0 && counts.cleanedUnread === 0 ? 0 : 1;
}

if (process.argv.length !== 4) {
  console.error('usage: compare_game_info.js SOURCE CLEANED');
  process.exit(2);
}
process.exit(Main(process.argv[2], process.argv[3]));
