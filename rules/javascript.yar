// JavaScript that hides what it does or publishes itself onward.
//
// twwatch-scope: *.js *.cjs *.mjs *.ts *.jsx *.tsx

private rule javascript_source
{
    condition:
        extension == "js" or extension == "cjs" or extension == "mjs" or extension == "ts" or
        extension == "jsx" or extension == "tsx"
}

rule package_self_propagation
{
    meta:
        severity = "critical"
        description = "Package code rewrites package.json and runs npm publish through a child process: a worm publishing itself"
    strings:
        $child = "child_process"
        $publish = /(exec|execSync|spawn|spawnSync|execFile|execFileSync|execa|\$)\s*\(?\s*[`'"]npm\s+publish/
        $write_manifest = /writeFile(Sync)?\s*\([^)\n]{0,200}package\.json/
    condition:
        (extension == "js" or extension == "cjs" or extension == "mjs" or extension == "ts") and
        all of them
}

rule js_eval_decoded_payload
{
    meta:
        severity = "high"
        description = "JavaScript evaluates data it has just decoded (eval or Function over atob or base64)"
    strings:
        $eval_decode = /\beval\s*\(\s*(window\.|globalThis\.)?(atob|unescape|decodeURIComponent|Buffer\.from)\s*\(/
        $fn_decode = /\bFunction\s*\(\s*(window\.|globalThis\.)?(atob|Buffer\.from)\s*\(/
        $eval_b64 = /\beval\s*\([^;\n]{0,300}['"]base64['"]/
        $fn_b64 = /\bFunction\s*\([^;\n]{0,300}['"]base64['"]/
        $vm_b64 = /\brunIn(This|New)Context\s*\([^;\n]{0,300}['"]base64['"]/
    condition:
        javascript_source and any of them
}

rule js_hex_identifier_obfuscation
{
    meta:
        severity = "high"
        description = "JavaScript dense with _0x identifiers, the mark of an obfuscator hiding its payload"
    strings:
        $hex = /\b_0x[0-9a-f]{4,6}\b/
    condition:
        javascript_source and #hex >= 100
}

rule js_code_hidden_off_screen
{
    meta:
        severity = "high"
        description = "JavaScript pushed hundreds of columns to the right, off the edge of an editor window"
    strings:
        $leading = /\n\x20{200}\x20*[^\x20\r\n]/
        $trailing = /;\x20{150}\x20*[^\x20\r\n]/
    condition:
        javascript_source and any of them
}
