// CI: workflows and composite actions that a worm plants or rewrites, secrets read out of the runner or
// sent away, local pre-commit hooks, and the files a credential-harvesting worm leaves behind.
//
// Workflow and action content is read from the config view (one `key.path = value` line per leaf; YAML
// comments are gone), run steps and hook entries from the commands view.
//
// twwatch-scope: */.github/workflows/* */action.yml */action.yaml .pre-commit-config.yaml
// twwatch-scope: truffleSecrets.json actionsSecrets.json cloud.json environment.json contents.json

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

private rule ci_file
{
    condition:
        (filepath contains "/.github/workflows/" and (extension == "yml" or extension == "yaml")) or
        filename == "action.yml" or filename == "action.yaml"
}

rule workflow_exfiltrates_secrets
{
    meta:
        severity = "critical"
        description = "A workflow or action joins all secrets or the whole environment and sends them away, or talks to a webhook catcher or tunnel"
    strings:
        $all_secrets = /toJSON\(\s*secrets\s*\)/ nocase
        $catcher = /(webhook\.site|pipedream\.net|requestbin\.(net|com)|beeceptor\.com|hookbin\.com|requestcatcher\.com|ngrok(-free)?\.(io|app|dev)|trycloudflare\.com|loca\.lt|serveo\.net|localhost\.run|\.oast\.(fun|me|pro|live|site|online)|interact\.sh|burpcollaborator\.net|discord(app)?\.com\/api\/webhooks)/
        // The environment saved or encoded on its way out; `env | sort` to debug a job is ordinary.
        $env_dump = /\b(printenv|env)\s*(>\s*\S|\|\s*(base64|gzip|xxd|openssl|curl|wget|nc)\b)/
        $upload = /(curl|wget)\b[^\n]{0,300}\s(-d|--data[\w-]*|-F|--form|-T|--upload-file|--post-file|--post-data)[\s=]/
        $double_b64 = /base64\s+-w\s*0\s*\|\s*base64/
    condition:
        ci_file and view == "config" and
        // Secrets base64-encoded twice get past the log masking (the tj-actions payload printed them so).
        ($all_secrets or $catcher or $double_b64 or ($env_dump and $upload))
}

rule ci_reads_runner_memory
{
    meta:
        severity = "critical"
        description = "A workflow or action reads the GitHub runner's process memory, where masked secrets sit in clear text"
    strings:
        $proc_mem = /\/proc\/[^\s\/]{1,24}\/(mem|maps)\b/
        $worker = "Runner.Worker"
        $is_secret = /isSecret\\?["']?\s*:\s*true/
        $memdump = "memdump.py"
    condition:
        ci_file and view == "config" and ($memdump or ($proc_mem and ($worker or $is_secret)) or ($worker and $is_secret))
}

rule ci_step_decodes_and_runs
{
    meta:
        severity = "critical"
        description = "A workflow or action step decodes code from base64, hex or an encrypted blob and runs it"
    strings:
        $surface = /(workflow|action)\.run: /
        $decode_pipe = /(base64\s+(-\w*[dD]\w*|--decode)|xxd\s+(-\w+\s+)*-r|openssl\s+(enc|base64|aes\S*|des\S*)\b[^\n|]{0,200}\s-d\b)[^\n]{0,400}\|\s*(sudo\s+)?((ba|z|da|k)?sh|python[23]?|node|perl|ruby)\b/
        $decode_subst = /\b(eval|source|sh|bash|python[23]?|node|perl)\s+(-c\s+)?["']?(\$\(|`|<\()[^\n]{0,300}(base64\s+(-\w*[dD]|--decode)|xxd\s+(-\w+\s+)*-r)/
    condition:
        ci_file and view == "commands" and $surface and ($decode_pipe or $decode_subst)
}

rule workflow_known_worm
{
    meta:
        severity = "critical"
        description = "A workflow carries the name or runner label of a known self-propagating worm"
    strings:
        $shai = /[Ss](hai|HAI)[\-_ ]?[Hh](ulud|ULUD)/
        $sha1 = /[Ss](ha1|HA1)[\-_ ]?[Hh](ulud|ULUD)/
    condition:
        filepath contains "/.github/workflows/" and (any of them or filename == "shai-hulud-workflow.yml")
}

rule workflow_self_hosted_backdoor
{
    meta:
        severity = "critical"
        description = "A workflow on a self-hosted runner runs text that anyone can write (discussion, issue or comment bodies)"
    strings:
        $self_hosted = /runs-on(\.\d+)?\s*=\s*self-hosted/
        $body = /\$\{\{\s*github\.event\.(discussion|issue|comment|pull_request|review)\.(body|title)\s*\}\}/
    condition:
        ci_file and view == "config" and $self_hosted and $body
}

rule workflow_self_hosted_runner
{
    meta:
        severity = "warning"
        description = "A workflow runs on a self-hosted runner, that is on a machine of yours"
    strings:
        $self_hosted = /runs-on(\.\d+)?\s*=\s*self-hosted/
    condition:
        ci_file and view == "config" and $self_hosted and not workflow_self_hosted_backdoor and
        not workflow_known_worm
}

rule precommit_hook_runs_payload
{
    meta:
        severity = "critical"
        description = "A local pre-commit hook downloads or decodes code and runs it, opens a remote shell or sends secrets away, at every commit"
    condition:
        filename == ".pre-commit-config.yaml" and command_runs_payload
}

rule precommit_local_hook
{
    meta:
        severity = "warning"
        description = "A pre-commit config runs a local hook, a command from the repository, at every commit"
    strings:
        $hook = "precommit.hook: "
    condition:
        filename == ".pre-commit-config.yaml" and view == "commands" and $hook and not precommit_hook_runs_payload
}

rule worm_secret_dump_file
{
    meta:
        severity = "critical"
        description = "A file named like the secret dumps of a credential-harvesting worm, holding encoded data or credentials"
    strings:
        $aws = /aws_(secret_)?access_key(_id)?/ nocase
        $gh = /\bgh[pousr]_[A-Za-z0-9]{30,}/
        $npm = /\bnpm_[A-Za-z0-9]{30,}/
        $env_dump = /"(GITHUB_TOKEN|NPM_TOKEN|AWS_SECRET_ACCESS_KEY|AZURE_CLIENT_SECRET)"\s*:/
    condition:
        view == "raw" and
        (filename == "truffleSecrets.json" or filename == "actionsSecrets.json" or
         ((filename == "cloud.json" or filename == "environment.json" or filename == "contents.json") and
          (any of them or
           // Nothing but base64 for the first 64 bytes: an encoded dump, not a configuration file.
           (filesize > 64 and
            for all i in (0..63): ((uint8(i) >= 0x41 and uint8(i) <= 0x5A) or (uint8(i) >= 0x61 and uint8(i) <= 0x7A) or
                                   (uint8(i) >= 0x30 and uint8(i) <= 0x39) or uint8(i) == 0x2B or uint8(i) == 0x2F)))))
}
