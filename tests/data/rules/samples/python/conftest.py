import base64, subprocess, pytest

@pytest.fixture
def server():
    p = subprocess.Popen(['python', '-m', 'http.server', '8765'])
    yield 'http://127.0.0.1:8765'
    p.kill()

def decode(s):
    return base64.b64decode(s)
