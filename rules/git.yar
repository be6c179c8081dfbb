// Git hooks and command-valued git configuration.
//
// Git runs a hook only when it is executable, so a hook is reported when it is executable, whatever the
// change (a hook that gains the executable bit arrives as an "attributes" change). The samples git
// ships (*.sample) never run. Repository configuration is never cloned: any key in it that makes git
// start a program was written on this machine. Git reads section and key names in any letter case, so
// every key here is matched without case. A hooks folder named by core.hooksPath can be anywhere; the
// folder names projects use for it are watched, and the key itself is reported.
//
// twwatch-scope: */.git/hooks/* */.git/modules/* */.husky/* */.githooks/* */githooks/* */.git-hooks/*
// twwatch-scope: */git-hooks/* */.git/config
// twwatch-scope: */.git/config.worktree */.git/worktrees/*/config.worktree
// twwatch-scope: .gitconfig *.gitconfig */.config/git/config

private rule git_hook_location
{
    condition:
        not (filename endswith ".sample") and
        (filepath contains "/.git/hooks/" or
         (filepath contains "/.git/modules/" and filepath contains "/hooks/") or
         // Folders that projects name in core.hooksPath.
         filepath contains "/.husky/" or filepath contains "/.githooks/" or filepath contains "/githooks/" or
         filepath contains "/.git-hooks/" or filepath contains "/git-hooks/")
}

private rule runs_payload
{
    strings:
        // Download and run: a URL or a downloader piped into a shell or interpreter, a shell fed a
        // download through $(…), <(…) or backticks, a download made executable and started, PowerShell's
        // iwr|iex, and interpreters told to fetch and exec in one line.
        $dl_pipe = /(curl|wget|https?:\/\/)[^\n|]{0,400}\|\s*(sudo\s+(-\S+\s+)*)?(env\s+)?((\/usr)?\/bin\/)?(ba|z|da|k|fi)?sh\b/
        $dl_pipe_interp = /(curl|wget|https?:\/\/)[^\n|]{0,400}\|\s*(sudo\s+)?(python[23]?|node|perl|ruby|php)(\s+-)?\s*[\n;&)"'`]/
        $dl_subst = /(\b(ba|z|da)?sh|\bsource|\beval|\.)\s+(-c\s+)?["']?(\$\(|<\(|`)\s*(curl|wget)\b/
        $fetch_to_file = /(curl|wget)\b[^\n|;&]{0,300}\s(-[a-zA-Z]*[oO]|--output(-document)?)[\s=]/
        $chmod_run = /chmod\s+(-\w+\s+)?([ugoa]*\+[rw]*x|0?[0-7][1357][0-7]{2}|[1357][0-7]{2})\s+[^\n;&|]{1,200}(&&|;|\n([a-z][\w.-]{0,40}:\x20)?)\s*(nohup\s+|exec\s+|setsid\s+)?["']?(\.{1,2}\/|\/tmp\/|\/var\/tmp\/|\/dev\/shm\/|\$\{?[A-Za-z_]+\}?\/|~\/)/
        $iwr_iex = /(iwr|irm|Invoke-WebRequest|Invoke-RestMethod|DownloadString)\b[^\n]{0,300}\|\s*(iex|Invoke-Expression)\b/ nocase
        $iex_iwr = /(iex|Invoke-Expression)\s*\(?\s*\(?\s*(New-Object\s+(System\.)?Net\.WebClient\)\.DownloadString|iwr\b|irm\b|Invoke-WebRequest|Invoke-RestMethod)/ nocase
        $py_dl_exec = /python[23]?\s+-c\s+["']?[^\n]{0,300}(urllib|urlopen|requests\.get)[^\n]{0,300}\bexec\s*\(/
        $node_dl_eval = /node\s+(-e|--eval|-p)\s+["']?[^\n]{0,400}(https?\.get|fetch\s*\()[^\n]{0,400}\b(eval|Function)\s*\(/
        // Decode and run: base64, hex (xxd -r), openssl or a decompressor feeding a shell, directly or
        // through $(…), and printf or echo -e of escapes feeding one.
        $dec_pipe = /(base64\s+(-[a-zA-Z]*[dD]\b|--decode)|xxd\s+(-[a-z]+\s+)*-r|openssl\s[^\n|]{0,60}\s-d\b|uudecode|gunzip|gzip\s+-d|xz\s+-d|unxz|zcat)[^\n]{0,200}\|\s*(sudo\s+)?((\/usr)?\/bin\/)?(ba|z|da|k)?sh\b/
        $dec_subst = /(\beval|\b(ba|z|da)?sh|\bsource|\.)\s+(-c\s+)?["']?(\$\(|<\(|`)[^\n]{0,400}(base64\s+(-[a-zA-Z]*[dD]\b|--decode)|xxd\s+(-[a-z]+\s+)*-r|openssl\s[^\n]{0,60}\s-d\b)/
        $esc_pipe = /(printf|echo\s+-[a-zA-Z]*e)\s+["']?(\\x[0-9a-fA-F]{2}|\\[0-7]{3}){6}[^\n]{0,400}\|\s*(sudo\s+)?((\/usr)?\/bin\/)?(ba|z|da|k)?sh\b/
        $esc_subst = /(\beval|\b(ba|z|da)?sh\s+-c|\bsource|\.)\s+["']?(\$\(|<\(|`)\s*(printf|echo\s+-[a-zA-Z]*e)\s+["']?(\\x[0-9a-fA-F]{2}|\\[0-7]{3}){4}/
        // A shell wired to the network.
        $dev_tcp = /\/dev\/(tcp|udp)\/[^\s\/]{1,100}\/\d{1,5}/
        $nc_exec = /\b(nc|ncat|netcat)(\.traditional|\.openbsd)?\s[^\n]{0,100}\s(-[ec]|--exec|--sh-exec)\s*["']?((\/usr)?\/bin\/)?(ba|z)?sh\b/
    condition:
        any of ($dl_pipe*, $dl_subst, $iwr_iex, $iex_iwr, $py_dl_exec, $node_dl_eval, $dec_*, $esc_*, $dev_tcp,
                $nc_exec) or
        ($fetch_to_file and $chmod_run)
}

rule git_hook_runs_payload
{
    meta:
        severity = "critical"
        description = "A git hook downloads and runs code, decodes and runs a payload or opens a shell to the network; git runs it on the next commit, checkout or push"
    condition:
        git_hook_location and runs_payload
}

rule git_hook_added
{
    meta:
        severity = "high"
        description = "An executable git hook appeared or changed; git runs it on the next commit, checkout or push"
    condition:
        // The commands view, where the payload test also sees through quoting tricks, so that an
        // obfuscated payload gives the critical finding alone.
        view == "commands" and git_hook_location and is_executable and
        (filepath contains "/.git/hooks/" or filepath contains "/.git/modules/") and
        not runs_payload
}

private rule git_config_location
{
    condition:
        filepath endswith "/.git/config" or filename == "config.worktree" or
        (filepath contains "/.git/modules/" and filename == "config") or
        filename == ".gitconfig" or filename endswith ".gitconfig" or filepath endswith "/.config/git/config"
}

private rule git_global_config
{
    condition:
        filename == ".gitconfig" or filename endswith ".gitconfig" or filepath endswith "/.config/git/config"
}

rule git_config_fsmonitor_command
{
    meta:
        severity = "critical"
        description = "core.fsmonitor names a program: git runs it on almost every command in the repository"
    strings:
        $key = /\bfsmonitor\s*=/ nocase
        $bool = /\bfsmonitor\s*=\s*"?(true|false|yes|no|on|off|1|0)"?\s*([#;\r\n]|$)/ nocase
        // The commands view lists core.fsmonitor only when it names a program; matching there too
        // lets the payload rule below stand back in that view, so the file gives one critical finding.
        $listed = /(^|\n)git\.fsmonitor: /
    condition:
        git_config_location and (#key > #bool or $listed)
}

rule git_config_command_payload
{
    meta:
        severity = "critical"
        description = "A git config key that git runs as a command (alias, pager, filter, sshCommand, credential helper …) downloads or decodes code and runs it"
    condition:
        git_config_location and runs_payload and not git_config_fsmonitor_command
}

rule git_config_runs_command
{
    meta:
        severity = "high"
        description = "Git config makes git start a program (hooksPath, pager, sshCommand, editor, askpass, diff.external, a filter, a textconv driver, a ! alias or credential helper, an include); repository config is never cloned, so someone wrote it here"
    strings:
        // One "section.key = value" line per setting in the config view, names in lower case.
        $hooks = /(^|\n)core\.hookspath = /
        $hooks_husky = /(^|\n)core\.hookspath = \.husky(\/_)?\/?\n/
        $pager = /(^|\n)(core\.pager|pager\.[^\n=]{1,100}) = /
        $ssh = /(^|\n)core\.sshcommand = /
        $editor = /(^|\n)(core|sequence)\.editor = /
        $askpass = /(^|\n)core\.askpass = /
        $external = /(^|\n)diff\.external = /
        $textconv = /(^|\n)diff\.[^\n=]{1,100}\.textconv = /
        $filter = /(^|\n)filter\.[^\n=]{1,100}\.(clean|smudge|process) = /
        $filter_lfs = /(^|\n)filter\.lfs\.(clean|smudge|process) = git-lfs /
        $alias_shell = /(^|\n)alias\.[^\n=]{1,100} = !/
        $helper_shell = /(^|\n)credential\.([^\n=]{1,200}\.)?helper = !/
        $include = /(^|\n)(include|includeif\.[^\n=]{1,200})\.path = /
        // In the user's own config a pager such as delta or an alias is ordinary; a program inside a
        // repository or a temporary folder is not.
        $local_program = /(^|\n)[a-z0-9.-]{1,200}(fsmonitor|hookspath|pager|sshcommand|editor|askpass|external|textconv|clean|smudge|process|helper|path) = !?\s*((ba|z)?sh\s+(-c\s+)?["']?)?(\.{1,2}\/|\.git\/|\/tmp\/|\/var\/tmp\/|\/dev\/shm\/)/
        $local_alias = /(^|\n)alias\.[^\n=]{1,100} = !\s*((ba|z)?sh\s+(-c\s+)?["']?)?(\.{1,2}\/|\.git\/|\/tmp\/|\/var\/tmp\/|\/dev\/shm\/)/
    condition:
        view == "config" and git_config_location and not git_config_fsmonitor_command and
        not git_config_command_payload and
        ((not git_global_config and
          (#hooks > #hooks_husky or $pager or $ssh or $editor or $askpass or $external or $textconv or
           #filter > #filter_lfs or $alias_shell or $helper_shell or $include)) or
         $local_program or $local_alias)
}
