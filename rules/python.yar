// Python code that runs without being asked: build scripts run by pip at install time, .pth files and
// sitecustomize run by every interpreter start, conftest.py run by pytest.
//
// twwatch-scope: setup.py pyproject.toml *.pth sitecustomize.py usercustomize.py conftest.py

private rule python_runs_payload
{
    strings:
        $exec = /\b(exec|eval)\s*\(\s*(base64\.|b64decode|zlib\.decompress|marshal\.loads|codecs\.decode|bytes\.fromhex|__import__\s*\(\s*['"](base64|zlib|marshal|codecs))/
        $exec_compile = /\bexec\s*\(\s*compile\s*\(\s*(base64|zlib|b64decode|__import__)/
        $exec_download = /\bexec\s*\([^\n]{0,200}(urlopen|urllib\.request|requests\.get|httpx\.get)\s*\(/
        $exec_join = /\bexec\s*\(\s*['"]['"]\.join\s*\(\s*(map\s*\(\s*)?chr/
        $system_dl = /\b(os\.system|os\.popen|subprocess\.\w+|check_output|Popen)\s*\(\s*\[?\s*[rfb]?["'][^\n]{0,300}(curl|wget)[^\n|]{0,300}\|\s*(ba|z|da)?sh\b/
    condition:
        any of them
}

rule setup_py_exec_decoded
{
    meta:
        severity = "critical"
        description = "setup.py executes decoded, decompressed or downloaded code at install time"
    condition:
        filename == "setup.py" and python_runs_payload
}

rule setup_py_network_at_install
{
    meta:
        severity = "high"
        description = "setup.py reaches the network and also runs commands or collects host information"
    strings:
        $net1 = /\b(import|from)\s+(urllib\.request|urllib2|requests|http\.client|socket|httpx|ftplib)\b/
        $net2 = /\burlopen\s*\(/
        $run1 = /\bsubprocess\.(Popen|run|call|check_output|check_call)\s*\(/
        $run2 = /\bos\.(system|popen|exec[lv]p?e?)\s*\(/
        $run3 = /\bexec\s*\(/
        $host1 = /\b(getpass\.getuser|socket\.gethostname|platform\.node|os\.getlogin|uuid\.getnode)\s*\(/
        $host2 = /\bos\.environ\s*(\)|\.copy|\.items)/
        $host3 = /(\.ssh\/|\.aws\/credentials|\.npmrc|\.pypirc|\.git-credentials)/
    condition:
        filename == "setup.py" and any of ($net*) and any of ($run*, $host*) and not python_runs_payload
}

rule pyproject_in_tree_build_backend
{
    meta:
        severity = "warning"
        description = "pyproject.toml builds with a backend from the repository itself (backend-path), which runs at install time"
    strings:
        $backend_path = /\n\s*backend-path\s*=/
    condition:
        filename == "pyproject.toml" and $backend_path
}

private rule python_startup_file
{
    condition:
        extension == "pth" or filename == "sitecustomize.py" or filename == "usercustomize.py" or
        filename == "conftest.py"
}

rule python_startup_runs_payload
{
    meta:
        severity = "critical"
        description = "A file Python runs by itself (a .pth file or sitecustomize at every start, conftest.py at every test run) executes decoded or downloaded code"
    strings:
        // Python runs only the lines of a .pth file that start with "import"; the commands view lists
        // exactly those. Anchoring on its prefix keeps these strings from being tried at every "import"
        // of every JavaScript module the watcher scans.
        $pth_exec = /python\.pth: [^\n]{0,400}\b(exec|eval)\s*\(/
        $pth_b64 = /python\.pth: [^\n]{0,400}(b64decode|base64|zlib|marshal|fromhex|codecs\.decode)/
    condition:
        python_startup_file and
        (python_runs_payload or (extension == "pth" and $pth_exec and $pth_b64))
}

rule python_pth_runs_code
{
    meta:
        severity = "high"
        description = "A .pth file runs commands, opens the network or executes code at every Python start, far beyond the import hook such files normally hold"
    strings:
        $run = /python\.pth: [^\n]{0,600}\b(exec|eval|compile|system|popen|Popen|subprocess|urlopen|urllib|socket|requests|spawn)\b/
    condition:
        extension == "pth" and $run and not python_startup_runs_payload
}

rule python_customize_runs_commands
{
    meta:
        severity = "high"
        description = "sitecustomize.py or usercustomize.py, which every Python start runs, starts programs or opens the network"
    strings:
        $run = /\b(os\.system|os\.popen|subprocess\.(Popen|run|call|check_output|check_call)|os\.exec[lv]p?e?|pty\.spawn)\s*\(/
        $net = /\b(import|from)\s+(urllib\.request|urllib2|requests|http\.client|socket|httpx)\b/
    condition:
        (filename == "sitecustomize.py" or filename == "usercustomize.py") and any of them and
        not python_startup_runs_payload
}
