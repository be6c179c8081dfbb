// Code that starts an AI coding CLI with its permission prompts switched off (Claude Code, Gemini CLI,
// Amazon Q, Codex), as the 2025 Nx "s1ngularity" release did to make the victim's own agent search
// for secrets and wallets. Package code, scripts and build steps alike.
//
// twwatch-scope: *.js *.cjs *.mjs *.ts *.jsx *.tsx *.py *.sh *.bash *.zsh *.ps1

private rule shell_script
{
    condition:
        extension == "sh" or extension == "bash" or extension == "zsh" or extension == "ps1"
}

private rule agent_cli_code
{
    condition:
        shell_script or extension == "py" or extension == "js" or extension == "cjs" or extension == "mjs" or
        extension == "ts" or extension == "jsx" or extension == "tsx"
}

rule agent_cli_driven_to_find_secrets
{
    meta:
        severity = "critical"
        description = "Code starts an AI coding CLI with its permission prompts switched off and asks it to look for secrets, keys or wallets"
    strings:
        $skip1 = "--dangerously-skip-permissions"
        $skip2 = "--yolo"
        $skip3 = "--trust-all-tools"
        $skip4 = "--dangerously-bypass-approvals-and-sandbox"
        $spawn = /\b(spawn|spawnSync|exec|execSync|execFile|execFileSync|execa|Popen|check_output|os\.system)\s*\(/
        $run_py = /\bsubprocess\.(run|call|Popen|check_output|check_call)\s*\(/
        $loot = /(wallet|keystore|mnemonic|seed phrase|private key|id_rsa|\.ssh\/|\.env\b|metamask|electrum|credentials)/ nocase
    condition:
        agent_cli_code and any of ($skip*) and ($spawn or $run_py or shell_script) and $loot
}

rule agent_cli_permissions_skipped
{
    meta:
        severity = "high"
        description = "Code starts an AI coding CLI with its permission prompts switched off, so the agent may run any command and read any file"
    strings:
        $skip1 = /['"`\s]--dangerously-skip-permissions(['"`\s]|$)/
        $skip2 = /['"`\s]--yolo(['"`\s]|$)/
        $skip3 = /['"`\s]--trust-all-tools['"`\s]/
        $skip4 = /['"`\s]--dangerously-bypass-approvals-and-sandbox['"`\s]/
        $spawn = /\b(spawn|spawnSync|exec|execSync|execFile|execFileSync|execa|Popen|check_output|os\.system)\s*\(/
        $run_py = /\bsubprocess\.(run|call|Popen|check_output|check_call)\s*\(/
    condition:
        agent_cli_code and any of ($skip*) and ($spawn or $run_py or shell_script) and
        not agent_cli_driven_to_find_secrets
}
