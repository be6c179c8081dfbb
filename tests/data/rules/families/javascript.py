from _kit import fires, silent, sample

fires("js_eval_atob", "js_eval_decoded_payload", "high",
      sample("eval-atob.js", "const cfg = require('./cfg');\neval(atob('Y29uc29sZS5sb2coMSk='));\nmodule.exports = cfg;\n"),
      "src/util.js")
fires("js_function_buffer", "js_eval_decoded_payload", "high",
      sample("function-buffer.mjs", "const p = 'cmVxdWlyZSgiY2hpbGRfcHJvY2VzcyIp';\nnew Function(Buffer.from(p, 'base64').toString())();\n"),
      "lib/init.mjs")
silent("js_atob_display", "js_eval_decoded_payload",
       sample("decode-label.js", "export function label(s) {\n  const text = atob(s);\n  return text.trim();\n}\nconst b = Buffer.from(s, 'base64');\n"),
       "src/decode.js")
HEX_IDS = ";".join(f"var _0x{i * 7919 % 65536:04x}=_0x{(i * 104729) % 65536:04x}[0x{i:x}]" for i in range(120))
fires("js_hex_identifiers", "js_hex_identifier_obfuscation", "high",
      sample("obfuscated.js", "(function(){" + HEX_IDS + "})();\n"), "node_modules/left-padx/index.js")
silent("js_hex_constants", "js_hex_identifier_obfuscation",
       sample("crc.js", "const TABLE = [" + ",".join(f"0x{i * 2654435761 % 2**32:08x}" for i in range(256)) + "];\nconst _0xff = 255;\n"),
       "src/crc.js")
fires("js_hidden_off_screen", "js_code_hidden_off_screen", "high",
      sample("offscreen.js", "function add(a, b) {\n  return a + b;" + " " * 400 + "require('child_process').exec('id');\n}\n"),
      "src/math.js")
silent("js_whitespace_line", "js_code_hidden_off_screen",
       sample("trailing-space.js", "function add(a, b) {\n" + " " * 300 + "\n  return a + b;\n}\n"), "src/math.js")
fires("self_publishing_package", "package_self_propagation", "critical",
      sample("propagate.js", "const { execSync } = require('child_process');\nconst fs = require('fs');\n"
             "function bump(dir) {\n  const pkg = JSON.parse(fs.readFileSync(dir + '/package.json'));\n"
             "  pkg.version = pkg.version.replace(/\\d+$/, (n) => +n + 1);\n  pkg.scripts.postinstall = 'node bundle.js';\n"
             "  fs.writeFileSync(dir + '/package.json', JSON.stringify(pkg, null, 2));\n"
             "  execSync(`npm publish --access public`, { cwd: dir });\n}\n"),
      "node_modules/ngx-bits/index.js")
silent("release_script", "package_self_propagation",
       sample("release.js", "const { execSync } = require('child_process');\nconst pkg = require('./package.json');\n"
              "console.log(`releasing ${pkg.name}@${pkg.version}`);\nexecSync('npm test', { stdio: 'inherit' });\n"
              "execSync('npm publish', { stdio: 'inherit' });\n"),
       "scripts/release.js")
