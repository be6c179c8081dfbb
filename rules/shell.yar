// Shell start-up files and SSH authorized keys (when the user watches their home folder).
//
// A change of attributes alone (touch, chmod 600) is routine for both and is not reported.
//
// twwatch-scope: .bashrc .bash_profile .bash_login .bash_logout .bash_aliases .profile .zshrc .zprofile
// twwatch-scope: .zlogin .zlogout .zshenv */.config/fish/config.fish */.config/fish/conf.d/*
// twwatch-scope: */.ssh/authorized_keys */.ssh/authorized_keys2

private rule shell_startup_file
{
    condition:
        filename == ".bashrc" or filename == ".bash_profile" or filename == ".bash_login" or
        filename == ".bash_logout" or filename == ".bash_aliases" or
        filename == ".profile" or filename == ".zshrc" or filename == ".zprofile" or
        filename == ".zlogin" or filename == ".zlogout" or filename == ".zshenv" or
        filepath endswith "/.config/fish/config.fish" or
        (filepath contains "/.config/fish/conf.d/" and extension == "fish")
}

// fish has its own syntax and no commands view; its files are judged on their text.
private rule fish_file
{
    condition:
        extension == "fish"
}

// The lower tiers read the commands view, where the payload test sees through quoting tricks too, so
// an obfuscated payload gives the critical finding alone.
private rule tier_view
{
    condition:
        view == "commands" or (fish_file and view == "raw")
}

private rule content_changed
{
    condition:
        changes == "" or changes contains "created" or changes contains "modified" or
        changes contains "moved" or changes contains "rescanned"
}

rule shell_startup_runs_payload
{
    meta:
        severity = "critical"
        description = "A shell start-up file downloads and runs code, decodes and runs a payload or opens a network shell; every new terminal runs it"
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
        $eval_blob = /\beval\s+["']?(\$\(|`)\s*(echo|printf)\s+["']?[A-Za-z0-9+\/=]{40}/
        $nc_pipe = /\|\x20?(nc|ncat|netcat)\x20/
    condition:
        shell_startup_file and content_changed and
        ((any of ($dl_pipe*, $dl_subst, $iwr_iex, $iex_iwr, $py_dl_exec, $node_dl_eval, $dec_*, $esc_*, $dev_tcp,
                 $nc_exec) or
         ($fetch_to_file and $chmod_run)) or
         $eval_blob or $nc_pipe)
}

rule shell_alias_shadows_command
{
    meta:
        severity = "high"
        description = "A shell start-up file redefines sudo, su, git, ssh, scp or gpg, which can capture passwords and keys"
    strings:
        $alias = /\balias\s+(sudo|su|git|ssh|scp|gpg|passwd)[=\x20]/
        // alias sudo='sudo ' only makes aliases work after sudo; it runs the real sudo.
        $alias_idiom = /\balias\s+(sudo|su|git|ssh|scp|gpg|passwd)[=\x20]["']?(sudo|su|git|ssh|scp|gpg|passwd)(\x20+-[A-Za-z]+)*\x20*["']?\s*(\n|;|$)/
        $function = /(\n|^|:\x20)[\x20\t]*(function\x20+)?(sudo|su|git|ssh|scp|gpg|passwd)(\x20?\(\)|\x20*\n)/
    condition:
        tier_view and shell_startup_file and content_changed and (#alias > #alias_idiom or $function) and
        not shell_startup_runs_payload
}

rule shell_startup_file_changed
{
    meta:
        severity = "warning"
        description = "A shell start-up file changed"
    condition:
        tier_view and shell_startup_file and content_changed and
        not shell_startup_runs_payload and not shell_alias_shadows_command
}

private rule authorized_keys_file
{
    condition:
        filepath endswith "/.ssh/authorized_keys" or filepath endswith "/.ssh/authorized_keys2"
}

rule ssh_authorized_key_forced_command
{
    meta:
        severity = "critical"
        description = "An SSH authorized key runs a forced command whenever it logs in"
    strings:
        // sshd reads option names in any letter case.
        $command = /(^|\n|,)\s*command\s*=\s*"/ nocase
        $key = /(ssh-(rsa|ed25519|dss)|ecdsa-sha2-nistp\d{3}|sk-ssh-ed25519@openssh\.com|sk-ecdsa-sha2-nistp256@openssh\.com)\s+AAAA/
    condition:
        authorized_keys_file and content_changed and $command and $key
}

rule ssh_authorized_key_added
{
    meta:
        severity = "high"
        description = "SSH authorized keys changed: a key there logs in as you"
    strings:
        $key = /(ssh-(rsa|ed25519|dss)|ecdsa-sha2-nistp\d{3}|sk-ssh-ed25519@openssh\.com|sk-ecdsa-sha2-nistp256@openssh\.com)\s+AAAA/
    condition:
        authorized_keys_file and content_changed and $key and not ssh_authorized_key_forced_command
}
