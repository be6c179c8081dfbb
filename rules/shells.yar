// Reverse shells, in any file that is not documentation. A reverse shell can be planted in a script of
// any name (even one that passes for an image), so these strings are searched in every file except
// documentation, which is read rather than run, and compressed archives, whose text is not readable.
// PowerShell reads UTF-16 scripts; the text view lets these strings see them.
//
// twwatch-scope: !*.md !*.markdown !*.rst !*.txt !*.html !*.htm !*.adoc
// twwatch-scope: !*.zip !*.gz !*.tgz !*.xz !*.bz2 !*.zst !*.7z

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
        $ps_tcp = /Net\.Sockets\.TCPClient\s*\([^\n]{0,400}(iex|Invoke-Expression)\b/
        $pty_spawn = /pty\.spawn\s*\(\s*["'](\/bin\/)?(ba|z)?sh["']/
        $py_socket = /socket\.socket\s*\(/
        $py_connect = /\.connect\s*\(\s*\(/
        $node_pipe = /\.pipe\s*\(\s*[A-Za-z_$][A-Za-z0-9_$]*\.stdin\s*\)/
        $node_sh = /spawn\s*\(\s*["'](\/bin\/)?(ba)?sh["']/
        $node_net = /new\s+net\.Socket\s*\(/
        $awk_inet = /\/inet\/tcp\/\d{1,5}\//
        $ruby_socket = /TCPSocket\.(new|open)\s*\([^\n]{0,200}(exec|spawn|IO\.popen)\s*[\(\s]/
        $sh_to_nc = /\b(ba|z)?sh\s+-i\s+2>&1\s*\|\s*(nc|ncat|netcat)\s/
        $py_shell_stdin = /subprocess\.(Popen|call|run)\s*\(\s*\[\s*["'](\/bin\/)?(ba|z)?sh["'][^\n]{0,200}stdin\s*=/
    condition:
        // Security write-ups quote these; documentation is read, not run.
        not (extension == "md" or extension == "markdown" or extension == "rst" or extension == "txt" or
             extension == "html" or extension == "htm" or extension == "adoc") and
        (any of ($bash_tcp, $exec_tcp, $nc_exec, $mkfifo_nc, $socat, $perl, $php, $ps_tcp, $awk_inet, $ruby_socket,
                 $sh_to_nc) or
         // Python: a socket that connects out, then a shell or the socket as standard input.
         (($pty_spawn or $py_dup2 or $py_shell_stdin) and $py_socket and $py_connect) or
         ($node_pipe and $node_sh and $node_net))
}
