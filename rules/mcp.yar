// AI coding agents' own configuration: MCP servers they start, hooks they run around every tool call or
// session, and settings that let them act without asking.
//
// Server and hook commands come from the commands view (`mcp.server:`, `agent.hook:` lines), settings
// from the config view, so escaped or minified JSON and UTF-16 change nothing.
//
// twwatch-scope: .mcp.json */.cursor/mcp.json */.vscode/mcp.json */.roo/mcp.json */.windsurf/mcp.json
// twwatch-scope: */.kiro/settings/mcp.json */.amazonq/mcp.json mcp_config.json */.gemini/settings.json
// twwatch-scope: claude_desktop_config.json .claude.json */.claude/settings.json
// twwatch-scope: */.claude/settings.local.json */.cursor/hooks.json */.cursor/cli.json */.github/hooks/*.json
// twwatch-scope: */.vscode/settings.json *.code-workspace

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

rule agent_command_runs_payload
{
    meta:
        severity = "critical"
        description = "An MCP server or agent hook that starts by itself downloads or decodes code and runs it, opens a remote shell or sends secrets away"
    strings:
        $surface = /(mcp\.server|agent\.hook): /
    condition:
        view == "commands" and $surface and command_runs_payload
}

rule mcp_server_runs_local_program
{
    meta:
        severity = "high"
        description = "An MCP server config starts a program from the repository, a temporary folder or an arbitrary URL each time the agent starts"
    strings:
        $local = /mcp\.server: (\S+\s+){0,3}(\.\.?\/|\$\{workspaceFolder\}|\/tmp\/|\/var\/tmp\/|\/dev\/shm\/)/
        $script = /mcp\.server: (node|python[23]?|bash|sh|deno|bun|tsx|ts-node|perl|ruby|uv)\s+(run\s+)?[\w\-]+(\/[\w.\-]+)*\.(js|mjs|cjs|ts|py|sh|pl|rb)(\s|\n|$)/
        $url = /mcp\.server: (npx|bunx|pnpm\s+dlx|uvx)\s[^\n]{0,200}(https?:\/\/|github:|git\+|git@)/
    condition:
        view == "commands" and any of them and not agent_command_runs_payload
}

rule mcp_server_configured
{
    meta:
        severity = "warning"
        description = "An MCP server config names a program that the agent starts by itself"
    strings:
        $server = "mcp.server: "
    condition:
        view == "commands" and $server and not mcp_server_runs_local_program and not agent_command_runs_payload
}

rule agent_hook_command
{
    meta:
        severity = "high"
        description = "Agent settings run a shell command by themselves at session start, around tool calls or for the status line"
    strings:
        $hook = "agent.hook: "
    condition:
        view == "commands" and $hook and not agent_command_runs_payload
}

rule agent_settings_skip_approval
{
    meta:
        severity = "high"
        description = "Agent settings let the agent run tools, shell commands or every project MCP server without asking you"
    strings:
        $bypass = /permissions\.defaultMode\s*=\s*bypassPermissions/
        $skip_prompt = /skipDangerousModePermissionPrompt\s*=\s*true/
        $all_mcp = /enableAllProjectMcpServers\s*=\s*true/
        $any_bash = /permissions\.allow\.\d+\s*=\s*(Bash|Bash\(\*\)|Bash\(:\*\)|Shell\(\*\))(\n|$)/
        $gemini = /(^|\n|\.)(autoAccept|yolo)\s*=\s*true/
        $gemini_mode = /approvalMode\s*=\s*yolo/
        $vscode = /chat\.tools\.(global\.)?autoApprove\s*=\s*true/
        $vscode_all = /chat\.tools\.terminal\.autoApprove\.\/\.\*\/\s*=\s*true/
    condition:
        view == "config" and any of them
}
