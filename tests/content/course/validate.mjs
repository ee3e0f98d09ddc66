// Runs the Khronos glTF validator over every .gltf below a folder.
// usage: node validate.mjs <validator module dir> <folder>
// Exit code 0 when no file has errors, 1 otherwise.
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const [moduleDir, root] = process.argv.slice(2).map((p) => path.resolve(p));
const require = createRequire(path.join(moduleDir, 'package.json'));
const validator = require(moduleDir);

function* walk(dir) {
  for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
    const p = path.join(dir, entry.name);
    if (entry.isDirectory()) yield* walk(p);
    else if (entry.name.endsWith('.gltf')) yield p;
  }
}

let failed = 0, count = 0;
for (const file of [...walk(root)].sort()) {
  count++;
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 50,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.join(path.dirname(file), decodeURIComponent(uri)), (err, data) =>
          err ? reject(err.toString()) : resolve(new Uint8Array(data)));
      }),
  });
  const { numErrors, numWarnings, messages } = report.issues;
  if (numErrors > 0 || numWarnings > 0) {
    console.log(`${path.relative(root, file)}: ${numErrors} errors, ${numWarnings} warnings`);
    for (const m of messages) if (m.severity <= 1) console.log(`  ${m.code} ${m.pointer ?? ''}: ${m.message}`);
  }
  if (numErrors > 0) failed++;
}
console.log(`${count} files validated, ${failed} with errors`);
process.exit(failed > 0 || count === 0 ? 1 : 0);
