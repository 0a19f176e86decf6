// Reads Aztec symbols from image files with the zxing-wasm package (a newer zxing-cpp line).
// Usage: node zxing_wasm_decode.mjs <node_modules folder> <image>...
// Prints one line per image: "OK <hex of the decoded bytes>" or "NONE".
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

const [modules, ...images] = process.argv.slice(2);
const reader = await import(pathToFileURL(join(modules, "zxing-wasm", "dist", "es", "reader", "index.js")).href);
reader.prepareZXingModule({
    overrides: { wasmBinary: readFileSync(join(modules, "zxing-wasm", "dist", "reader", "zxing_reader.wasm")) },
});
for (const image of images) {
    const results = await reader.readBarcodes(new Uint8Array(readFileSync(image)), {
        formats: ["Aztec"],
        tryHarder: true,
        maxNumberOfSymbols: 1,
    });
    const found = results.find((r) => r.isValid);
    console.log(found ? "OK " + Buffer.from(found.bytes).toString("hex") : "NONE");
}
