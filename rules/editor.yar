// Editor and dev-container configuration that runs code when a folder is opened.
//
// twwatch-scope: */.vscode/* *.code-workspace */.devcontainer/* .devcontainer.json

private rule vscode_tasks_file
{
    condition:
        filepath endswith "/.vscode/tasks.json"
}

private rule editor_payload
{
    strings:
        $pipe = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(ba|z|da|k)?sh\b/
        $pipe_interp = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(python[23]?|node|perl|ruby)\b/
        $iwr = /\b(iwr|Invoke-WebRequest|irm|Invoke-RestMethod)\b[^\n]{0,300}\|\s*(iex|Invoke-Expression)\b/
        $b64 = /base64\s+(-d|--decode|-D)\b/
        $atob = /\batob\s*\(/
        $from_b64 = /Buffer\.from\([^)]{1,400}['"]base64['"]/
        $frombase64 = "FromBase64String"
        $enc = /powershell(\.exe)?\s[^\n]{0,40}-(e|enc|encodedcommand)\s+[A-Za-z0-9+\/=]{40}/ nocase
    condition:
        any of them
}

rule vscode_task_runs_hidden_on_open
{
    meta:
        severity = "critical"
        description = "A VS Code task runs when the folder opens and hides itself, downloads, decodes, or runs a file disguised as data"
    strings:
        $run_on_open = /"runOn"\s*:\s*"folderOpen"/
        $reveal_never = /"reveal"\s*:\s*"never"/
        $hide = /"hide"\s*:\s*true/
        $echo_off = /"echo"\s*:\s*false/
        $disguised = /\b(node|bun|deno|python[23]?|bash|sh)\s+[^\s"]{0,200}\.(woff2?|ttf|otf|eot|png|jpe?g|gif|svg|ico|webp|bmp|mp3|mp4|wav|txt|log|dat|bin|css|lock|map)\b/
    condition:
        vscode_tasks_file and $run_on_open and
        ($reveal_never or $hide or $echo_off or $disguised or editor_payload)
}

rule vscode_task_runs_on_open
{
    meta:
        severity = "high"
        description = "A VS Code task runs by itself when the folder is opened"
    strings:
        $run_on_open = /"runOn"\s*:\s*"folderOpen"/
    condition:
        vscode_tasks_file and $run_on_open and not vscode_task_runs_hidden_on_open
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
        $trust = /"security\.workspace\.trust\.(enabled|startupPrompt|untrustedFiles)"\s*:\s*(false|"never"|"open")/
    condition:
        vscode_settings_file and $trust
}

rule vscode_settings_tool_from_temp
{
    meta:
        severity = "high"
        description = "Workspace settings point an executable path into /tmp or /dev/shm"
    strings:
        $tmp = /"[A-Za-z0-9_.\-]*([pP]ath|[eE]xecutable|[iI]nterpreter|[cC]ommand)"\s*:\s*"(\/tmp\/|\/var\/tmp\/|\/dev\/shm\/)/
    condition:
        vscode_settings_file and $tmp
}

rule vscode_settings_tool_in_workspace
{
    meta:
        severity = "warning"
        description = "Workspace settings point an executable path or a terminal profile into the repository itself"
    strings:
        $tool = /"[A-Za-z0-9_.\-]*([pP]ath|[eE]xecutable|[iI]nterpreter)"\s*:\s*"(\$\{workspaceFolder\}|\.\.?\/)/
        $venv = /"[A-Za-z0-9_.\-]*([pP]ath|[iI]nterpreter)"\s*:\s*"(\$\{workspaceFolder\}\/|\.\/)?\.?venv\/(bin|Scripts)\/python/
        $profile = /"terminal\.integrated\.(profiles\.[a-z]+|automationProfile\.[a-z]+|shell\.[a-z]+|shellArgs\.[a-z]+)"/
    condition:
        vscode_settings_file and (#tool > #venv or $profile)
}

private rule devcontainer_file
{
    condition:
        filepath endswith "/.devcontainer/devcontainer.json" or filename == ".devcontainer.json" or
        (filepath contains "/.devcontainer/" and filename == "devcontainer.json")
}

rule devcontainer_command_downloads_or_decodes
{
    meta:
        severity = "critical"
        description = "A dev container command downloads and runs code or decodes a payload"
    strings:
        $command = /"(initializeCommand|onCreateCommand|updateContentCommand|postCreateCommand|postStartCommand|postAttachCommand)"\s*:/
    condition:
        devcontainer_file and $command and editor_payload
}

rule devcontainer_runs_on_host
{
    meta:
        severity = "high"
        description = "A dev container runs initializeCommand on the host before the container exists"
    strings:
        $init = /"initializeCommand"\s*:/
    condition:
        devcontainer_file and $init and not devcontainer_command_downloads_or_decodes
}

rule devcontainer_privileged
{
    meta:
        severity = "high"
        description = "A dev container runs privileged or mounts the Docker socket, which gives it the host"
    strings:
        $privileged = /"privileged"\s*:\s*true/
        $run_arg = /"--privileged"/
        $socket = "docker.sock"
        $cap = /"--cap-add[= ]"?\s*,?\s*"?(SYS_ADMIN|ALL)"/
    condition:
        devcontainer_file and any of them and not devcontainer_command_downloads_or_decodes
}
