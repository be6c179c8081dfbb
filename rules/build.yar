// Build scripts and direnv files: they run with the developer's rights on the next build or cd.
//
// twwatch-scope: Makefile makefile GNUmakefile CMakeLists.txt configure *.mk *.cmake *.m4 .envrc

private rule build_script
{
    condition:
        filename == "Makefile" or filename == "makefile" or filename == "GNUmakefile" or
        filename == "CMakeLists.txt" or filename == "configure" or
        extension == "mk" or extension == "cmake" or extension == "m4"
}

private rule download_and_run
{
    strings:
        $pipe = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(ba|z|da|k)?sh\b/
        $pipe_interp = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(python[23]?|node|perl|ruby)\b/
        $subst = /\bsh\s+(-c\s+)?["']?(\$\(|<\(|`)(curl|wget)\b/
    condition:
        any of them
}

rule build_script_downloads_and_runs
{
    meta:
        severity = "critical"
        description = "A build script pipes a download straight into a shell or interpreter"
    condition:
        build_script and download_and_run
}

rule build_script_injection
{
    meta:
        severity = "high"
        description = "A build script decodes and runs a payload, runs a download from CMake, or carries a long encoded blob"
    strings:
        $b64_run = /base64\s+(-d|--decode|-D)\b[^\n]{0,200}(\|\s*(ba)?sh\b|\|\s*(python[23]?|perl)\b|\)\s*"?\s*$|`)/
        $eval_b64 = /\beval\b[^\n]{0,100}base64\s+(-d|--decode|-D)/
        $eval_dl = /\beval\b[^\n]{0,100}(curl|wget)\b/
        $cmake_dl = /execute_process\s*\(\s*COMMAND\s+[^)]{0,200}\b(curl|wget)\b/ nocase
        $echo_blob = /(echo|printf)\s+(-[en]+\s+)?["']?[A-Za-z0-9+\/]{200,}/
        $gzip_blob = /H4sI[A-Za-z0-9+\/]{150,}/
        $elf_blob = /f0VMR[A-Za-z0-9+\/]{150,}/
    condition:
        build_script and any of them and not download_and_run
}

rule envrc_downloads_and_runs
{
    meta:
        severity = "critical"
        description = "An .envrc pipes a download into a shell; direnv runs it on the next cd"
    condition:
        filename == ".envrc" and download_and_run
}

rule envrc_fetches_or_decodes
{
    meta:
        severity = "high"
        description = "An .envrc downloads, sources a URL, evaluates generated code or decodes base64"
    strings:
        $dl = /\b(curl|wget)\s/
        $source_url = /\bsource_url\b/
        $eval = /\beval\b/
        $b64 = "base64"
    condition:
        filename == ".envrc" and any of them and not download_and_run
}

rule envrc_added
{
    meta:
        severity = "warning"
        description = "An .envrc appeared; direnv runs it once it is allowed"
    condition:
        filename == ".envrc" and
        (changes == "" or changes contains "created" or changes contains "moved") and
        not envrc_downloads_and_runs and not envrc_fetches_or_decodes
}
