// JavaScript that hides what it does, publishes itself onward, plants workflows or runs secret
// scanners. Worm bodies ship as
// multi-megabyte bundles; these rules see a script file whole (see "What a rule sees").
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
        description = "JavaScript runs code it has just decoded (eval, Function or vm over atob, base64, fromCharCode, hex or unescape), the usual wrapper of a hidden payload"
    strings:
        $eval_decode = /\beval\s*\)?\s*\(\s*(window\.|globalThis\.|global\.|self\.)?(atob|unescape|decodeURIComponent|Buffer\.from|String\.fromCharCode|String\.fromCodePoint)\s*\(/
        $indirect_decode = /\(\s*0\s*,\s*eval\s*\)\s*\(\s*[^)\n]{0,40}(atob|Buffer\.from|fromCharCode|unescape)/
        $fn_decode = /\bFunction\s*\(\s*(window\.|globalThis\.)?(atob|Buffer\.from|String\.fromCharCode|unescape)\s*\(/
        $b64_run = /\b(eval|Function|runIn(This|New)?Context|compileFunction|new\s+vm\.Script)\s*\)?\s*\([^;\n]{0,300}['"]base64['"]/
        $hex_run = /\b(eval|Function|runIn(This|New)?Context)\s*\)?\s*\([^;\n]{0,300}['"]hex['"]/
        $vm_decode = /\brunIn(This|New)?Context\s*\(\s*(atob|Buffer\.from|String\.fromCharCode|unescape)\s*\(/
        // Decoded into a variable first, run a few statements later.
        $decoded_var_run = /(atob|Buffer\.from|fromCharCode|unescape)\s*\(.{0,300}\b(eval|Function|runInThisContext)\s*\(\s*[A-Za-z_$][\w$]{0,30}(\.toString\s*\(\s*\))?\s*\)/s
    condition:
        javascript_source and
        any of them
}

rule js_hidden_eval_name
{
    meta:
        severity = "high"
        description = "JavaScript spells eval, Function or child_process in pieces or escapes so that nobody reading or searching the file sees it"
    strings:
        // Only pieces that can spell eval, Function, require or child_process: bundlers split other names
        // (require('u' + 'rl'), globalThis['set' + 'Immediate']) to keep them out of their own analysis.
        $split_global = /(globalThis|window|global)\s*\[\s*['"`](e|ev|eva|F|Fu|Fun|Func|Funct|Functi|Functio|r|re|req|requ|requi|requir)['"`]\s*\+/
        $split_require = /require\s*\(\s*['"`]c[a-z_]{0,11}['"`](\s*\+\s*['"`][a-z_]{1,12}['"`]){0,3}\s*\+\s*['"`][a-z_]{0,11}s['"`]\s*\)/
        $hex_eval = /['"`]\\x65\\x76\\x61\\x6c['"`]/
        $hex_cp = /['"`]\\x63\\x68\\x69\\x6c\\x64/
        $uni_eval = /['"`]\\u0065\\u0076\\u0061\\u006c['"`]/
        $char_eval = /fromCharCode\s*\(\s*(0x65|101)\s*,\s*(0x76|118)\s*,\s*(0x61|97)\s*,\s*(0x6c|108)\s*\)/
        $char_require = /fromCharCode\s*\(\s*(0x72|114)\s*,\s*(0x65|101)\s*,\s*(0x71|113)\s*,\s*(0x75|117)/
    condition:
        javascript_source and any of them and not js_eval_decoded_payload
}

rule js_invisible_code
{
    meta:
        severity = "high"
        description = "JavaScript carries a long run of invisible characters (variation selectors, tag characters or Hangul fillers), code hidden from every reviewer and rebuilt at run time"
    strings:
        $selectors = /(\xF3\xA0[\x84-\x87][\x80-\xBF]|\xEF\xB8[\x80-\x8F]){16}/
        $tags = /(\xF3\xA0[\x80-\x81][\x80-\xBF]){16}/
        $hangul = /(\xE3\x85\xA4|\xEF\xBE\xA0){8}/
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
        description = "JavaScript pushed hundreds of columns to the right by spaces, tabs or no-break spaces, off the edge of an editor window"
    strings:
        $leading = /\n\x20{200}\x20*[^\x20\r\n]/
        $trailing = /;\x20{150}\x20*[^\x20\r\n]/
        $tabs = /[;{]\t{40}\t*[^\t\r\n]/
        $nbsp = /(\xC2\xA0){60}/
    condition:
        javascript_source and any of them
}

rule package_code_spreads_worm
{
    meta:
        severity = "critical"
        description = "Package code does what a credential worm does: plants a workflow that sends all secrets away, runs a secret scanner over the home folder, or lists the maintainer's packages to republish them"
    strings:
        $workflow_path = ".github/workflows"
        $all_secrets = /toJSON\s*\(\s*secrets\s*\)/
        $trufflehog = /trufflehog[^\n]{0,200}filesystem/
        $scan_home = /(os\.homedir\s*\(|process\.env\.HOME\b|homedir\(\))/
        $maintainer_search = /\/-\/v1\/search\?text=maintainer:/
        $publish = /npm\s+publish/
        $token = /(_authToken|NPM_TOKEN)/
    condition:
        javascript_source and
        (($workflow_path and $all_secrets) or ($trufflehog and $scan_home) or
         ($maintainer_search and $publish and $token)) and
        not package_self_propagation
}
