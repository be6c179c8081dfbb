import socket, pty, os

def serve(port):
    s = socket.socket()
    s.bind(('127.0.0.1', port))
    s.listen()

def shell():
    pid, fd = pty.fork()
    return fd
