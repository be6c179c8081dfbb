// Code that hides what it does, and reverse shells in any file that is not documentation.

private rule javascript_source
{
    condition:
        extension == "js" or extension == "cjs" or extension == "mjs" or extension == "ts" or
        extension == "jsx" or extension == "tsx"
}

rule js_eval_decoded_payload
{
    meta:
        severity = "high"
        description = "JavaScript evaluates data it has just decoded (eval or Function over atob or base64)"
    strings:
        $eval_decode = /\beval\s*\(\s*(window\.|globalThis\.)?(atob|unescape|decodeURIComponent|Buffer\.from)\s*\(/
        $fn_decode = /\bFunction\s*\(\s*(window\.|globalThis\.)?(atob|Buffer\.from)\s*\(/
        $eval_b64 = /\beval\s*\([^;\n]{0,300}['"]base64['"]/
        $fn_b64 = /\bFunction\s*\([^;\n]{0,300}['"]base64['"]/
        $vm_b64 = /\brunIn(This|New)Context\s*\([^;\n]{0,300}['"]base64['"]/
    condition:
        javascript_source and any of them
}

rule js_hex_identifier_obfuscation
{
    meta:
        severity = "high"
        description = "JavaScript dense with _0x identifiers, the mark of an obfuscator hiding its payload"
    strings:
        $hex = /\b_0x[0-9a-f]{4,6}\b/
    condition:
        javascript_source and #hex >= 100
}

rule js_code_hidden_off_screen
{
    meta:
        severity = "high"
        description = "JavaScript pushed hundreds of columns to the right, off the edge of an editor window"
    strings:
        $leading = /\n\x20{200}\x20*[^\x20\r\n]/
        $trailing = /;\x20{150}\x20*[^\x20\r\n]/
    condition:
        javascript_source and any of them
}

rule javascript_disguised_as_asset
{
    meta:
        severity = "high"
        description = "A font, image or media file that is really JavaScript"
    strings:
        $require = "require("
        $function = "function"
        $arrow = "=>"
        $eval = "eval("
        $child = "child_process"
        $exports = "module.exports"
        $const = "const "
    condition:
        (extension == "woff" or extension == "woff2" or extension == "ttf" or extension == "otf" or
         extension == "eot" or extension == "png" or extension == "jpg" or extension == "jpeg" or
         extension == "gif" or extension == "ico" or extension == "bmp" or extension == "webp" or
         extension == "mp3" or extension == "mp4") and
        filesize > 16 and
        // Text from the first byte: no binary header, and none of the formats whose magic is ASCII.
        uint8(0) >= 0x09 and uint8(0) < 0x7F and uint8(1) >= 0x09 and uint8(1) < 0x7F and
        uint8(2) >= 0x09 and uint8(2) < 0x7F and uint8(3) >= 0x09 and uint8(3) < 0x7F and
        uint32be(0) != 0x774F4646 and uint32be(0) != 0x774F4632 and uint32be(0) != 0x4F54544F and
        uint32be(0) != 0x74727565 and uint32be(0) != 0x47494638 and uint32be(0) != 0x52494646 and
        (uint32be(0) & 0xFFFFFF00) != 0x49443300 and
        2 of them
}

rule reverse_shell
{
    meta:
        severity = "critical"
        description = "A reverse shell: an interactive shell wired to a network connection"
    strings:
        $bash_tcp = /\b(ba|z)?sh\s+-i\s*[^\n]{0,20}(>&|&>|>)\s*\/dev\/(tcp|udp)\//
        $exec_tcp = /\bexec\s+\d+<>\s*\/dev\/(tcp|udp)\//
        $nc_exec = /\b(nc|ncat|netcat)(\.traditional|\.openbsd)?\s[^\n]{0,100}\s-(e|c)\s*["']?(\/usr)?\/bin\/(ba|z)?sh\b/
        $mkfifo_nc = /mkfifo\s[^\n]{0,120}\|\s*(nc|ncat|netcat)\s/
        $py_dup2 = /os\.dup2\s*\(\s*[A-Za-z_][A-Za-z0-9_.]*\.fileno\(\)\s*,\s*0\s*\)/
        $socat = /socat\s[^\n]{0,80}exec:["']?(\/bin\/)?(ba)?sh/ nocase
        $perl = /use\s+Socket[^\n]{0,300}exec\s*\(\s*["'](\/bin\/)?(ba)?sh/
        $php = /fsockopen\s*\([^\n]{0,200}(exec|system|shell_exec|passthru|proc_open)\s*\(\s*["'](\/bin\/)?(ba)?sh/
        $ps_tcp = /Net\.Sockets\.TCPClient\s*\([^\n]{0,400}(iex|Invoke-Expression)\b/ nocase
        $pty_spawn = /pty\.spawn\s*\(\s*["'](\/bin\/)?(ba|z)?sh["']/
        $py_socket = /socket\.socket\s*\(/
        $py_connect = /\.connect\s*\(\s*\(/
        $node_pipe = /\.pipe\s*\(\s*[A-Za-z_$][A-Za-z0-9_$]*\.stdin\s*\)/
        $node_sh = /spawn\s*\(\s*["'](\/bin\/)?(ba)?sh["']/
        $node_net = /new\s+net\.Socket\s*\(/
    condition:
        // Security write-ups quote these; documentation is read, not run.
        not (extension == "md" or extension == "markdown" or extension == "rst" or extension == "txt" or
             extension == "html" or extension == "htm" or extension == "adoc") and
        (any of ($bash_tcp, $exec_tcp, $nc_exec, $mkfifo_nc, $socat, $perl, $php, $ps_tcp) or
         // Python: a socket that connects out, then a shell or the socket as standard input.
         (($pty_spawn or $py_dup2) and $py_socket and $py_connect) or
         ($node_pipe and $node_sh and $node_net))
}
