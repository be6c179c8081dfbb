// Git hooks and command-valued git configuration.
//
// Git runs a hook only when it is executable, so a hook is reported when it is executable, whatever the
// change (a hook that gains the executable bit arrives as an "attributes" change). The samples git
// ships (*.sample) never run. Configuration is never cloned: any key that makes git start a program was
// written on this machine.
//
// twwatch-scope: */.git/hooks/* */.git/modules/* */.husky/* */.githooks/* */.git/config
// twwatch-scope: .gitconfig */.config/git/config

private rule git_hook_location
{
    condition:
        not (filename endswith ".sample") and
        (filepath contains "/.git/hooks/" or
         (filepath contains "/.git/modules/" and filepath contains "/hooks/") or
         filepath contains "/.husky/" or filepath contains "/.githooks/")
}

private rule git_hook_payload
{
    strings:
        $pipe = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(ba|z|da|k)?sh\b/
        $pipe_interp = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(python[23]?|node|perl|ruby)\b/
        $subst = /\bsh\s+(-c\s+)?["']?(\$\(|<\(|`)(curl|wget)\b/
        $b64 = /base64\s+(-d|--decode|-D)\b/
        $tcp = "/dev/tcp/"
        $udp = "/dev/udp/"
        $nc = /\b(nc|ncat|netcat)\s[^\n]{0,100}\s-[ec]\s*["']?(\/usr)?\/bin\/(ba|z)?sh\b/
        $bash_i = /\bbash\s+-i\b/
    condition:
        any of them
}

rule git_hook_runs_payload
{
    meta:
        severity = "critical"
        description = "A git hook downloads and runs code, decodes a payload or opens a shell to the network"
    condition:
        git_hook_location and git_hook_payload
}

rule git_hook_added
{
    meta:
        severity = "high"
        description = "An executable git hook appeared or changed; git runs it on the next commit, checkout or push"
    condition:
        git_hook_location and is_executable and
        (filepath contains "/.git/hooks/" or filepath contains "/.git/modules/") and
        not git_hook_payload
}

private rule git_config_location
{
    condition:
        filepath endswith "/.git/config" or
        (filepath contains "/.git/modules/" and filename == "config") or
        filename == ".gitconfig" or filepath endswith "/.config/git/config"
}

rule git_config_fsmonitor_command
{
    meta:
        severity = "critical"
        description = "core.fsmonitor names a program: git runs it on almost every command in the repository"
    strings:
        $key = /\bfsmonitor\s*=/ nocase
        $bool = /\bfsmonitor\s*=\s*"?(true|false|yes|no|on|off|1|0)"?\s*([#;\r\n]|$)/ nocase
    condition:
        git_config_location and #key > #bool
}

rule git_config_runs_command
{
    meta:
        severity = "high"
        description = "Repository git config makes git start a program: hooksPath, pager, sshCommand, diff.external, a filter or a textconv driver"
    strings:
        $hooks = /\bhookspath\s*=/ nocase
        $hooks_husky = /\bhookspath\s*=\s*"?\.husky(\/_)?\/?"?\s*([#;\r\n]|$)/ nocase
        $pager = /\n\s*pager\s*=/ nocase
        $pager_section = /\[pager\]/ nocase
        $ssh = /\bsshcommand\s*=/ nocase
        $external = /\n\s*external\s*=/ nocase
        $textconv = /\btextconv\s*=/ nocase
        $filter = /\[filter\s+"[^"\n]*"\]/ nocase
        $filter_lfs = /\[filter\s+"lfs"\]/ nocase
    condition:
        git_config_location and not (filename == ".gitconfig" or filepath endswith "/.config/git/config") and
        (#hooks > #hooks_husky or $pager or $pager_section or $ssh or $external or $textconv or
         #filter > #filter_lfs)
}
