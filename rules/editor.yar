// Editor and dev-container configuration that runs code when a folder is opened.
//
// Tasks and container commands are read from the commands view (`vscode.task.folderOpen:`,
// `devcontainer.<key>:` lines), settings from the config view (`dotted.key = value`), so JSONC comments,
// escaped keys, minified files and UTF-16 change nothing, and a commented-out example stays quiet.
//
// twwatch-scope: */.vscode/* *.code-workspace */.devcontainer/* .devcontainer.json

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

private rule vscode_tasks_file
{
    condition:
        filepath endswith "/.vscode/tasks.json" or extension == "code-workspace"
}

rule vscode_task_runs_payload_on_open
{
    meta:
        severity = "critical"
        description = "A VS Code task that runs when the folder opens downloads or decodes code and runs it, or runs a file disguised as a font, image or data"
    strings:
        $open = "vscode.task.folderOpen: "
        $disguised = /vscode\.task\.folderOpen: [^\n]{0,200}\b(node|bun|deno|python[23]?|bash|sh|perl|ruby)\s+[^\s]{0,200}\.(woff2?|ttf|otf|eot|png|jpe?g|gif|svg|ico|webp|bmp|mp3|mp4|wav|txt|log|dat|bin|css|lock|map)\b/
    condition:
        vscode_tasks_file and view == "commands" and $open and (command_runs_payload or $disguised)
}

rule vscode_task_runs_on_open
{
    meta:
        severity = "high"
        description = "A VS Code task runs a command by itself when the folder is opened, and it is not the project's own build or watch script"
    strings:
        $open = "vscode.task.folderOpen: "
        // Extension templates and front-end projects start their own watch or build script on open.
        $own = /vscode\.task\.folderOpen: ((npm|yarn|pnpm|bun)\s+(run\s+)?[\w:.\-]*(watch|build|dev|compile|serve|start)[\w:.\-]*|(npx\s+)?tsc\s+(-w|--watch|-b|--build|-p)|(npx\s+)?(webpack|vite|esbuild|rollup)\s[^\n;&|]*(--watch|-w)\b)[^\n;&|`$]*(\n|$)/
    condition:
        vscode_tasks_file and view == "commands" and #open > #own and not vscode_task_runs_payload_on_open
}

rule vscode_task_builds_on_open
{
    meta:
        severity = "warning"
        description = "A VS Code task starts the project's own build or watch script when the folder is opened"
    strings:
        $open = "vscode.task.folderOpen: "
    condition:
        vscode_tasks_file and view == "commands" and $open and
        not vscode_task_runs_on_open and not vscode_task_runs_payload_on_open
}

// The commands view folds whitespace, so a command pushed past the edge of the editor by a run of spaces,
// tabs or no-break spaces is seen in the config view, where the task's strings keep their bytes. The
// folderOpen tiers of the commands view may report the same task too.
rule vscode_task_command_off_screen
{
    meta:
        severity = "critical"
        description = "A VS Code task that runs when the folder opens hides part of its command behind a long run of blanks, off the edge of the editor"
    strings:
        $open = /runOptions\.runOn = folderOpen/
        $pushed = /tasks\.\d+\.([a-z]+\.)?(command|args\.\d+) = [^\n]{0,400}( |\\t|\xC2\xA0){60}[^\n]{0,60}[^\s\\]/
    condition:
        vscode_tasks_file and view == "config" and $open and $pushed
}

// A task of type npm names a package.json script instead of a command, so the commands view has no line
// for it; the config view still shows that some npm script starts with the folder.
rule vscode_task_npm_script_on_open
{
    meta:
        severity = "warning"
        description = "A VS Code task runs a package.json script when the folder is opened; that script now runs by itself"
    strings:
        $open = /runOptions\.runOn = folderOpen/
        $npm = /(^|\n)(tasks\.)?tasks\.\d+\.type = npm(\n|$)/
    condition:
        vscode_tasks_file and view == "config" and $open and $npm
}

private rule vscode_settings_file
{
    condition:
        filepath endswith "/.vscode/settings.json" or extension == "code-workspace"
}

rule vscode_settings_workspace_trust_disabled
{
    meta:
        severity = "high"
        description = "Workspace settings turn workspace trust off, so the next folder opens with every automatic feature enabled"
    strings:
        $trust = /security\.workspace\.trust\.(enabled\s*=\s*false|startupPrompt\s*=\s*never|untrustedFiles\s*=\s*open)/
    condition:
        vscode_settings_file and view == "config" and $trust
}

rule vscode_settings_tool_from_temp
{
    meta:
        severity = "high"
        description = "Workspace settings point an executable path into /tmp or /dev/shm"
    strings:
        $tmp = /([pP]ath|[eE]xecutable|[iI]nterpreter|[cC]ommand)(\.\d+)?\s*=\s*(\/tmp\/|\/var\/tmp\/|\/dev\/shm\/)/
    condition:
        vscode_settings_file and view == "config" and $tmp
}

rule vscode_settings_tool_in_workspace
{
    meta:
        severity = "warning"
        description = "Workspace settings point an executable path or a terminal profile into the repository itself"
    strings:
        $tool = /([pP]ath|[eE]xecutable|[iI]nterpreter)\s*=\s*(\$\{workspaceFolder\}|\.\.?\/)/
        $venv = /([pP]ath|[iI]nterpreter)\s*=\s*(\$\{workspaceFolder\}\/|\.\/)?\.?venv\/(bin|Scripts)\/python/
        $profile = /terminal\.integrated\.(profiles|automationProfile|shell|shellArgs)\.(linux|osx|windows)/
    condition:
        vscode_settings_file and view == "config" and (#tool > #venv or $profile)
}

private rule devcontainer_file
{
    condition:
        filename == ".devcontainer.json" or
        (filepath contains "/.devcontainer/" and filename == "devcontainer.json")
}

rule devcontainer_command_downloads_or_decodes
{
    meta:
        severity = "critical"
        description = "A dev container command downloads or decodes code and runs it (on the host, or in a container that holds the repository and often your credentials)"
    strings:
        $host_fetch = /devcontainer\.initializeCommand: [^\n]{0,400}(curl|wget)\b/
        $fetch = /devcontainer\.\w+: [^\n]{0,400}(curl|wget)\b/
        // A toolchain's own installer inside the container is how dev containers are meant to be set up.
        $official = /devcontainer\.(onCreate|updateContent|postCreate|postStart|postAttach)Command: [^\n]{0,300}(curl|wget)\b[^\n]{0,200}https:\/\/(sh\.rustup\.rs|raw\.githubusercontent\.com\/nvm-sh\/nvm\/|bun\.sh\/install|deno\.land\/install\.sh|astral\.sh\/uv\/|install\.python-poetry\.org|get\.pnpm\.io\/install\.sh|get\.volta\.sh|get\.sdkman\.io|sdk\.cloud\.google\.com|starship\.rs\/install\.sh|deb\.nodesource\.com\/setup_|get\.docker\.com|raw\.githubusercontent\.com\/ohmyzsh\/)/
    condition:
        devcontainer_file and view == "commands" and command_runs_payload and
        ($host_fetch or #fetch > #official or not $fetch)
}

rule devcontainer_runs_on_host
{
    meta:
        severity = "high"
        description = "A dev container runs a program on the host (initializeCommand) before the container exists"
    strings:
        $init = "devcontainer.initializeCommand: "
        // Preparing a local folder or file for a mount is what initializeCommand is mostly for.
        $prepare = /devcontainer\.initializeCommand: ((mkdir|touch|cp|ln|echo|test|true)\s([^\n;&|`$]|\$[^(\n])*\s*(&&|;|\|\|)\s*)*(mkdir|touch|cp|ln|echo|test|true)(\s([^\n;&|`$]|\$[^(\n])*)?(\n|$)/
    condition:
        devcontainer_file and view == "commands" and #init > #prepare and
        not devcontainer_command_downloads_or_decodes
}

rule devcontainer_privileged
{
    meta:
        severity = "high"
        description = "A dev container runs privileged, mounts the Docker socket or the home folder, which gives it the host"
    strings:
        $privileged = /(^|\n)privileged\s*=\s*true/
        $run_arg = /runArgs\.\d+\s*=\s*--privileged/
        $socket = "docker.sock"
        $cap = /(--cap-add[= ]|capAdd\.\d+\s*=\s*|runArgs\.\d+\s*=\s*)(SYS_ADMIN|ALL)(\n|$)/
        $home = /source=\$\{localEnv:(HOME|USERPROFILE)\}(\$\{localEnv:(HOME|USERPROFILE)\})?\/?,/
    condition:
        devcontainer_file and view == "config" and any of them
}
