// Python code that runs without being asked: build scripts run by pip at install time, .pth files and
// sitecustomize run by every interpreter start, conftest.py run by pytest.
//
// twwatch-scope: setup.py pyproject.toml

rule setup_py_exec_decoded
{
    meta:
        severity = "high"
        description = "setup.py executes decoded or decompressed data at install time"
    strings:
        $exec = /\b(exec|eval)\s*\(\s*(base64\.|b64decode|zlib\.decompress|marshal\.loads|codecs\.decode|bytes\.fromhex|__import__\(['"](base64|zlib|marshal))/
        $exec_compile = /\bexec\s*\(\s*compile\s*\(\s*(base64|zlib|b64decode)/
    condition:
        filename == "setup.py" and any of them
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
        filename == "setup.py" and any of ($net*) and any of ($run*, $host*) and not setup_py_exec_decoded
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
