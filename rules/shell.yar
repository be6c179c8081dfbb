// Shell start-up files and SSH authorized keys (when the user watches their home folder).
//
// A change of attributes alone (touch, chmod 600) is routine for both and is not reported.
//
// twwatch-scope: .bashrc .bash_profile .bash_login .profile .zshrc .zprofile .zlogin .zshenv
// twwatch-scope: */.ssh/authorized_keys */.ssh/authorized_keys2

private rule shell_startup_file
{
    condition:
        filename == ".bashrc" or filename == ".bash_profile" or filename == ".bash_login" or
        filename == ".profile" or filename == ".zshrc" or filename == ".zprofile" or
        filename == ".zlogin" or filename == ".zshenv"
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
        description = "A shell start-up file downloads and runs code, decodes a payload or opens a network shell"
    strings:
        $pipe = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(ba|z|da|k)?sh\b/
        $pipe_interp = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(python[23]?|node|perl|ruby)\b/
        $subst = /\bsh\s+(-c\s+)?["']?(\$\(|<\(|`)(curl|wget)\b/
        $eval_dl = /\beval\s+["']?(\$\(|`)\s*(curl|wget|echo\s+["']?[A-Za-z0-9+\/=]{40}|base64|printf\s+["']?\\x)/
        $b64 = /base64\s+(-d|--decode|-D)\b/
        $tcp = "/dev/tcp/"
        $udp = "/dev/udp/"
        $nc_pipe = /\|\x20?(nc|ncat|netcat)\x20/
        $nc_exec = /\b(nc|ncat|netcat)\s[^\n]{0,100}\s-[ec]\s*["']?(\/usr)?\/bin\/(ba|z)?sh\b/
    condition:
        shell_startup_file and content_changed and any of them
}

rule shell_alias_shadows_command
{
    meta:
        severity = "high"
        description = "A shell start-up file redefines sudo, su, git, ssh, scp or gpg, which can capture passwords and keys"
    strings:
        $alias = /\balias\s+(sudo|su|git|ssh|scp|gpg|passwd)=/
        $function = /(\n|^)[\x20\t]*(function\x20+)?(sudo|su|git|ssh|scp|gpg|passwd)\x20?\(\)/
    condition:
        shell_startup_file and content_changed and any of them and not shell_startup_runs_payload
}

rule shell_startup_file_changed
{
    meta:
        severity = "warning"
        description = "A shell start-up file changed"
    condition:
        shell_startup_file and content_changed and
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
        $command = /(^|\n|,)\s*command\s*=\s*"/
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
