// Package managers: npm lifecycle scripts and plain-URL dependencies, the payload files of npm worms,
// and package-manager settings that run a program on every install (.npmrc node-options and
// script-shell, .yarnrc.yml yarnPath, .pnpmfile.cjs) or leave tokens at rest.
//
// Scripts and settings are read from the commands and config views: escaped keys, minified JSON, a BOM,
// UTF-16 and quoting tricks look the same there as plain text, and a commented-out entry is absent.
//
// twwatch-scope: package.json setup_bun.js bun_environment.js bundle.js .npmrc .pypirc .yarnrc.yml
// twwatch-scope: .pnpmfile.cjs

// What no command that runs by itself should do: fetch code and run it, decode code and run it, open a
// shell to a remote host, or send credentials away. Read from the commands view, where quoting tricks,
// $'\x..' escapes, ${IFS}, brace lists and pieced-together variables are already undone and one level of
// base64 or hex literal is decoded onto lines of its own. YARA cannot share a rule between files, so
// editor.yar, packages.yar, ci.yar and mcp.yar each keep this copy; change them together.
private rule command_runs_payload
{
    strings:
        $fetch_pipe = /(curl|wget)\b[^\n]{0,400}\|\s*(sudo\s+(-E\s+)?)?(env\s+)?((ba|z|da|k)?sh|python[23]?|node|perl|ruby|php)\b/
        $fetch_subst = /\b(eval|source|sh|bash|zsh|dash|python[23]?|node|perl)\s+(-c\s+)?["']?(\$\(|`|<\()\s*(curl|wget)\b/
        $fetch_dot = /(^|[\s;&|(:])\.\s+<\(\s*(curl|wget)\b/
        $fetch_then_run = /(curl|wget)\b[^\n]{0,400}(&&|;)\s*(sudo\s+)?(chmod\s+(-\w+\s+)?([ugoa]*\+[rw]*x|[0-7]?[0-7][1357][0-7])|(ba|z|da)?sh\s+[^\s-]|python[23]?\s+[^\s-]|\.\/[\w.])/
        $ps_fetch_iex = /(iwr|irm|Invoke-WebRequest|Invoke-RestMethod|DownloadString)\b[^\n]{0,400}\|\s*(iex|Invoke-Expression)\b/ nocase
        $ps_iex_fetch = /(iex|Invoke-Expression)\s*[\s(]+(iwr|irm|Invoke-WebRequest|Invoke-RestMethod|New-Object\s+(System\.)?Net\.WebClient)/ nocase
        $ps_encoded = /(powershell|pwsh)(\.exe)?\s[^\n]{0,80}\s-(e|ec|enc|encodedcommand)\s+[A-Za-z0-9+\/=]{20}/ nocase
        $py_fetch_exec = /python[23]?\s+-c\s[^\n]{0,600}(urllib|urlopen|requests\.get|http\.client)[^\n]{0,600}\b(exec|eval)\s*\(/
        $py_exec_fetch = /python[23]?\s+-c\s[^\n]{0,600}\b(exec|eval)\s*\([^\n]{0,300}(urllib|urlopen|requests\.get)/
        $py_exec_decode = /python[23]?\s+-c\s[^\n]{0,600}\b(exec|eval)\s*\([^\n]{0,300}(b64decode|decompress|fromhex|codecs\.decode)/
        $node_fetch_eval = /node\s+(-e|--eval|-p|--print)\s[^\n]{0,800}(fetch\s*\(|https?\.get\s*\(|require\(\s*["']?https?["']?\s*\))[^\n]{0,800}(\beval\b|Function\s*\(|runIn\w*Context|child_process)/
        $node_eval_fetch = /node\s+(-e|--eval|-p|--print)\s[^\n]{0,800}(eval|Function|runIn\w*Context)\s*\([^\n]{0,400}(fetch\s*\(|https?\.get\s*\()/
        $node_eval_decode = /node\s+(-e|--eval|-p|--print)\s[^\n]{0,800}(eval|Function|runIn\w*Context)\s*\([^\n]{0,300}(atob\s*\(|base64|fromCharCode|\\x[0-9a-fA-F]{2})/
        $node_data_import = /--(import|require|loader|experimental-loader)[\s=]+["']?data:[a-z\/]+;base64,/
        $decode_pipe = /(base64\s+(-\w*[dD]\w*|--decode)|xxd\s+(-\w+\s+)*-r|openssl\s+(enc|base64|aes\S*|des\S*)\b[^\n|]{0,200}\s-d\b|printf\s|echo\s+-e\s)[^\n]{0,400}\|\s*(sudo\s+)?((ba|z|da|k)?sh|python[23]?|node|perl|ruby)\b/
        $decode_subst = /\b(eval|source|sh|bash|zsh|dash|python[23]?|node|perl)\s+(-c\s+)?["']?(\$\(|`|<\()[^\n]{0,300}(base64\s+(-\w*[dD]|--decode)|xxd\s+(-\w+\s+)*-r|openssl\s)/
        $decode_then_run = /(base64\s+(-\w*[dD]\w*|--decode)|xxd\s+(-\w+\s+)*-r|openssl\s+\w+\b[^\n]{0,200}\s-d\b)[^\n]{0,300}>\s*\S+[^\n]{0,200}(&&|;)\s*(chmod\s|(ba|z|da)?sh\s|python[23]?\s|node\s|\.\/|\/tmp\/)/
        $dev_tcp = /\/dev\/(tcp|udp)\/[\w.\-]+\/\d/
        $env_send = /\b(printenv|env)\s*\|[^\n]{0,300}\b(curl|wget|nc|ncat)\b/
        $secret_upload = /(curl|wget)\b[^\n]{0,300}\s(-d|--data[\w-]*|-F|--form|-T|--upload-file|--post-file|--post-data)[\s=][^\n]{0,200}(\.ssh\/|\.aws\/|\.npmrc|\.git-credentials|\.netrc|\.docker\/config|id_rsa|id_ed25519|\.env\b|_TOKEN|_SECRET)/
        $secret_pipe = /\b(cat|tar|zip|base64)\s[^\n|]{0,200}(\.ssh\/|\.aws\/|\.npmrc|\.git-credentials|\.netrc|\.env\b)[^\n]{0,100}\|[^\n]{0,200}\b(curl|wget|nc|ncat)\b/
        $catcher = /(webhook\.site|pipedream\.net|requestbin\.(net|com)|beeceptor\.com|ngrok(-free)?\.(io|app|dev)|trycloudflare\.com|\.oast\.(fun|me|pro|live|site|online)|interact\.sh|burpcollaborator\.net|discord(app)?\.com\/api\/webhooks)/
    condition:
        view == "commands" and any of them
}

private rule package_manifest
{
    condition:
        filename == "package.json"
}

rule package_lifecycle_script_payload
{
    meta:
        severity = "critical"
        description = "An install-time script of a package downloads or decodes code and runs it, sends secrets away, or starts a known worm payload"
    strings:
        $worm_file = /npm\.\w+: [^\n]{0,200}\b(setup_bun|bun_environment|bundle)\.js\b/
        // Inline code that reaches past the package: the network, other programs, decoding.
        $inline = /npm\.\w+: [^\n]{0,200}node\s+(-e|--eval|-p|--print)\s[^\n]{0,800}(child_process|require\(\s*["']?(https?|net|dgram|dns)["']?\s*\)|fetch\s*\(|\beval\s*\(|Function\s*\(|base64|fromCharCode|process\.env)/
        // Past 1 MiB a manifest has no commands view (padding it is how an attacker would hide a
        // script), so the scripts are read from the text itself.
        $padded = /"(preinstall|install|postinstall|prepare)"\s*:\s*"[^"\n]{0,400}(curl\s|wget\s|base64|\|\s*(ba)?sh\b|node\s+(-e|--eval)\s[^"\n]{0,300}(child_process|https?|eval)|setup_bun\.js|bun_environment\.js)/
    condition:
        package_manifest and
        ((view == "commands" and (command_runs_payload or $worm_file or $inline)) or
         (file_size > 1048576 and view != "commands" and $padded))
}

rule package_preinstall_script
{
    meta:
        severity = "high"
        description = "A package's preinstall script runs something other than its own Node file or a package-manager check"
    strings:
        $pre = "npm.preinstall: "
        // What preinstall scripts ordinarily do: run the package's own file, insist on a package manager.
        $pre_usual = /npm\.preinstall: (:\s*;\s*)?\(?\s*(node\s[^\n]*|npx\s+(-y\s+|--yes\s+)?only-allow\s[^\n]*|echo\s[^\n]*)(\n|$)/
    condition:
        package_manifest and view == "commands" and #pre > #pre_usual and not package_lifecycle_script_payload
}

rule package_lifecycle_script
{
    meta:
        severity = "warning"
        description = "A package runs a script of its own at install time, or the project a prepare script"
    strings:
        $install = /npm\.(preinstall|install|postinstall|prepublish): /
        $prepare = /npm\.(preprepare|prepare|postprepare): /
    condition:
        // npm runs "prepare" for the project itself and for git dependencies, never for a package
        // installed from a registry into node_modules.
        package_manifest and view == "commands" and
        ($install or ($prepare and not (filepath contains "/node_modules/"))) and
        not package_lifecycle_script_payload and not package_preinstall_script
}

// Read from the config view, which keeps dependencies and devDependencies apart: npm never installs
// the devDependencies of a package in node_modules.
rule package_url_dependency
{
    meta:
        severity = "high"
        description = "A dependency is fetched from a plain URL instead of a registry, so whoever serves that URL decides what every install runs"
    strings:
        $url = /(^|\n)(dependencies|optionalDependencies)\.[^\s=]{1,214} = https?:\/\//
        $forge = /(^|\n)(dependencies|optionalDependencies)\.[^\s=]{1,214} = https:\/\/(codeload\.github\.com|github\.com|gitlab\.com|bitbucket\.org|registry\.npmjs\.org|registry\.yarnpkg\.com|npm\.pkg\.github\.com)\//
        $dev_url = /(^|\n)devDependencies\.[^\s=]{1,214} = https?:\/\//
        $dev_forge = /(^|\n)devDependencies\.[^\s=]{1,214} = https:\/\/(codeload\.github\.com|github\.com|gitlab\.com|bitbucket\.org|registry\.npmjs\.org|registry\.yarnpkg\.com|npm\.pkg\.github\.com)\//
    condition:
        package_manifest and view == "config" and
        (#url > #forge or (#dev_url > #dev_forge and not (filepath contains "/node_modules/")))
}

rule package_git_dependency
{
    meta:
        severity = "warning"
        description = "A dependency is fetched from a git repository or a code host; its prepare script runs at install"
    strings:
        $dep = /(^|\n)(dependencies|optionalDependencies)\.[^\s=]{1,214} = (git\+|git:|git@|github:|gitlab:|bitbucket:|https?:\/\/)/
        $dev = /(^|\n)devDependencies\.[^\s=]{1,214} = (git\+|git:|git@|github:|gitlab:|bitbucket:|https?:\/\/)/
    condition:
        package_manifest and view == "config" and ($dep or ($dev and not (filepath contains "/node_modules/"))) and
        not package_url_dependency
}

rule worm_payload_file
{
    meta:
        severity = "critical"
        description = "A payload file of the Shai-Hulud npm worms: it installs Bun, harvests credentials or republishes packages"
    strings:
        $bun_env = "bun_environment.js"
        $bun_install = "bun.sh/install"
        $trufflehog = "trufflehog" nocase
        $webhook = "webhook.site"
        $publish = /npm\s+publish/
        $repos = "/user/repos"
        $hulud = /[Ss]ha[i1][\-_ ]?[Hh]ulud/
    condition:
        ((filename == "setup_bun.js" or filename == "bun_environment.js") and any of them) or
        (filename == "bundle.js" and 2 of them)
}

rule npmrc_runs_payload
{
    meta:
        severity = "critical"
        description = "An .npmrc makes every npm command load or run code that is downloaded, decoded or kept in a temporary folder"
    strings:
        $tmp = /npmrc\.(node-options|script-shell|git): [^\n]{0,300}(\/tmp\/|\/var\/tmp\/|\/dev\/shm\/)/
    condition:
        filename == ".npmrc" and view == "commands" and (command_runs_payload or $tmp)
}

rule npmrc_runs_program
{
    meta:
        severity = "high"
        description = "An .npmrc preloads code into every Node process npm starts, or swaps the shell or git npm runs"
    strings:
        $preload = /npmrc\.node-options: [^\n]{0,300}(--require|-r\s|--import|--loader|--experimental-loader|--inspect)/
        $shell = "npmrc.script-shell: "
        $usual_shell = /npmrc\.script-shell: ((\/usr)?(\/local)?\/bin\/)?(ba|z|da)?sh(\n|$)/
        $git = "npmrc.git: "
        $usual_git = /npmrc\.git: ((\/usr)?(\/local)?\/bin\/)?git(\n|$)/
    condition:
        filename == ".npmrc" and view == "commands" and
        ($preload or #shell > #usual_shell or #git > #usual_git) and not npmrc_runs_payload
}

rule npmrc_literal_token
{
    meta:
        severity = "warning"
        description = "An .npmrc holds a literal auth token or password instead of a reference to an environment variable"
    strings:
        $token = /(_authToken|_auth|_password)\s*=\s*["']?[^\s$"'{]/
    condition:
        filename == ".npmrc" and view == "config" and $token
}

rule npmrc_unusual_registry
{
    meta:
        severity = "high"
        description = "An .npmrc sends package downloads (and tokens) to a plain-HTTP, bare-IP or tunnel registry"
    strings:
        $http_local = /registry\s*=\s*http:\/\/(localhost|127\.0\.0\.1|\[::1\])[:\/]/
        $http_any = /registry\s*=\s*http:\/\//
        $ip = /registry\s*=\s*https?:\/\/\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3}/
        $tunnel = /registry\s*=\s*https?:\/\/[^\s\/]*(ngrok|trycloudflare|loca\.lt|serveo|localhost\.run|webhook\.site|pipedream)/
    condition:
        filename == ".npmrc" and view == "config" and
        (#http_any > #http_local or ($ip and not $http_local) or $tunnel)
}

rule yarnrc_yarn_path_outside_releases
{
    meta:
        severity = "high"
        description = "A .yarnrc.yml makes every yarn command run a JavaScript file from outside .yarn/releases"
    strings:
        $path = "yarn.yarnPath: "
        $release = /yarn\.yarnPath: (\.\/)?\.yarn\/releases\/[\w.\-]+\.c?js(\n|$)/
    condition:
        filename == ".yarnrc.yml" and view == "commands" and #path > #release
}

rule pnpmfile_runs_code
{
    meta:
        severity = "high"
        description = "A .pnpmfile.cjs, which pnpm runs on every install, starts programs, reaches the network or evaluates code"
    strings:
        $child = "child_process"
        $net = /require\(\s*["'](node:)?(https?|net|dgram|dns)["']\s*\)/
        $fetch = /\bfetch\s*\(\s*["'`]https?:/
        $eval = /\beval\s*\(|new\s+Function\s*\(|\.runInThisContext\s*\(/
    condition:
        filename == ".pnpmfile.cjs" and any of them
}

rule pnpmfile_present
{
    meta:
        severity = "warning"
        description = "A .pnpmfile.cjs changed: pnpm runs it on every install to rewrite package manifests"
    strings:
        $hooks = /(readPackage|afterAllResolved|updateConfig|preResolution|importPackage|fetchers)/
    condition:
        filename == ".pnpmfile.cjs" and $hooks and not pnpmfile_runs_code
}

rule pypirc_literal_password
{
    meta:
        severity = "warning"
        description = "A .pypirc holds a literal password or API token"
    strings:
        $password = /(^|\n)([\w.\-]+\.)?password\s*=\s*[^\s$%]/
    condition:
        filename == ".pypirc" and view == "config" and $password
}
