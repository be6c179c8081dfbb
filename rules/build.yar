// Build scripts of every ecosystem and direnv files: they run with the developer's rights on the next
// build or cd, and nobody reads them before running them.
//
// twwatch-scope: Makefile makefile GNUmakefile CMakeLists.txt configure *.mk *.cmake *.m4 .envrc
// twwatch-scope: build.rs Directory.Build.props Directory.Build.targets *.csproj *.vbproj *.fsproj
// twwatch-scope: binding.gyp */gradle/wrapper/gradle-wrapper.properties */.mvn/jvm.config
// twwatch-scope: */gradle/wrapper/gradle-wrapper.jar
// twwatch-scope: */.mvn/extensions.xml build.gradle build.gradle.kts settings.gradle settings.gradle.kts

private rule build_script
{
    condition:
        filename == "Makefile" or filename == "makefile" or filename == "GNUmakefile" or
        filename == "CMakeLists.txt" or filename == "configure" or
        extension == "mk" or extension == "cmake" or extension == "m4"
}

private rule msbuild_file
{
    condition:
        filename == "Directory.Build.props" or filename == "Directory.Build.targets" or
        extension == "csproj" or extension == "vbproj" or extension == "fsproj"
}

private rule gradle_script
{
    condition:
        filename == "build.gradle" or filename == "build.gradle.kts" or filename == "settings.gradle" or
        filename == "settings.gradle.kts"
}

private rule runs_payload
{
    strings:
        // Download and run: a URL or a downloader piped into a shell or interpreter, a shell fed a
        // download through $(…), <(…) or backticks, a download made executable and started, PowerShell's
        // iwr|iex, and interpreters told to fetch and exec in one line.
        $dl_pipe = /(curl|wget|https?:\/\/)[^\n|]{0,400}\|\s*(sudo\s+(-\S+\s+)*)?(env\s+)?((\/usr)?\/bin\/)?(ba|z|da|k|fi)?sh\b/
        $dl_pipe_interp = /(curl|wget|https?:\/\/)[^\n|]{0,400}\|\s*(sudo\s+)?(python[23]?|node|perl|ruby|php)(\s+-)?\s*[\n;&)"'`]/
        $dl_subst = /(\b(ba|z|da)?sh|\bsource|\beval|\.)\s+(-c\s+)?["']?(\$\(|<\(|`)\s*(curl|wget)\b/
        $fetch_to_file = /(curl|wget)\b[^\n|;&]{0,300}\s(-[a-zA-Z]*[oO]|--output(-document)?)[\s=]/
        $chmod_run = /chmod\s+(-\w+\s+)?([ugoa]*\+[rw]*x|0?[0-7][1357][0-7]{2}|[1357][0-7]{2})\s+[^\n;&|]{1,200}(&&|;|\n([a-z][\w.-]{0,40}:\x20)?)\s*(nohup\s+|exec\s+|setsid\s+)?["']?(\.{1,2}\/|\/tmp\/|\/var\/tmp\/|\/dev\/shm\/|\$\{?[A-Za-z_]+\}?\/|~\/)/
        $iwr_iex = /(iwr|irm|Invoke-WebRequest|Invoke-RestMethod|DownloadString)\b[^\n]{0,300}\|\s*(iex|Invoke-Expression)\b/ nocase
        $iex_iwr = /(iex|Invoke-Expression)\s*\(?\s*\(?\s*(New-Object\s+(System\.)?Net\.WebClient\)\.DownloadString|iwr\b|irm\b|Invoke-WebRequest|Invoke-RestMethod)/ nocase
        $py_dl_exec = /python[23]?\s+-c\s+["']?[^\n]{0,300}(urllib|urlopen|requests\.get)[^\n]{0,300}\bexec\s*\(/
        $node_dl_eval = /node\s+(-e|--eval|-p)\s+["']?[^\n]{0,400}(https?\.get|fetch\s*\()[^\n]{0,400}\b(eval|Function)\s*\(/
        // Decode and run: base64, hex (xxd -r), openssl or a decompressor feeding a shell, directly or
        // through $(…), and printf or echo -e of escapes feeding one.
        $dec_pipe = /(base64\s+(-[a-zA-Z]*[dD]\b|--decode)|xxd\s+(-[a-z]+\s+)*-r|openssl\s[^\n|]{0,60}\s-d\b|uudecode|gunzip|gzip\s+-d|xz\s+-d|unxz|zcat)[^\n]{0,200}\|\s*(sudo\s+)?((\/usr)?\/bin\/)?(ba|z|da|k)?sh\b/
        $dec_subst = /(\beval|\b(ba|z|da)?sh|\bsource|\.)\s+(-c\s+)?["']?(\$\(|<\(|`)[^\n]{0,400}(base64\s+(-[a-zA-Z]*[dD]\b|--decode)|xxd\s+(-[a-z]+\s+)*-r|openssl\s[^\n]{0,60}\s-d\b)/
        $esc_pipe = /(printf|echo\s+-[a-zA-Z]*e)\s+["']?(\\x[0-9a-fA-F]{2}|\\[0-7]{3}){6}[^\n]{0,400}\|\s*(sudo\s+)?((\/usr)?\/bin\/)?(ba|z|da|k)?sh\b/
        $esc_subst = /(\beval|\b(ba|z|da)?sh\s+-c|\bsource|\.)\s+["']?(\$\(|<\(|`)\s*(printf|echo\s+-[a-zA-Z]*e)\s+["']?(\\x[0-9a-fA-F]{2}|\\[0-7]{3}){4}/
        // A shell wired to the network.
        $dev_tcp = /\/dev\/(tcp|udp)\/[^\s\/]{1,100}\/\d{1,5}/
        $nc_exec = /\b(nc|ncat|netcat)(\.traditional|\.openbsd)?\s[^\n]{0,100}\s(-[ec]|--exec|--sh-exec)\s*["']?((\/usr)?\/bin\/)?(ba|z)?sh\b/
    condition:
        any of ($dl_pipe*, $dl_subst, $iwr_iex, $iex_iwr, $py_dl_exec, $node_dl_eval, $dec_*, $esc_*, $dev_tcp,
                $nc_exec) or
        ($fetch_to_file and $chmod_run)
}

rule build_script_downloads_and_runs
{
    meta:
        severity = "critical"
        description = "A build script (make, CMake, autotools, Cargo, MSBuild, Gradle, node-gyp) downloads or decodes code and runs it on the next build"
    strings:
        $gyp_expand = /<!@?\([^)\n]{0,300}(curl|wget|base64|https?:\/\/|\beval\b)/
        $cargo_shell = /Command::new\s*\(\s*"(sh|bash|cmd|powershell|pwsh|curl|wget)"[^;]{0,400}(curl|wget|iwr|https?:\/\/|base64)/
        $gradle_exec = /(exec|commandLine|\.execute\s*\(\s*\))[^\n]{0,200}(curl|wget)[^\n|]{0,300}\|\s*(ba|z)?sh/
    condition:
        (build_script or msbuild_file or gradle_script or filename == "build.rs" or filename == "binding.gyp") and
        (runs_payload or
         (filename == "binding.gyp" and $gyp_expand) or
         (filename == "build.rs" and $cargo_shell) or
         (gradle_script and $gradle_exec))
}

rule build_script_injection
{
    meta:
        severity = "high"
        description = "A build script evaluates a download or decoded text, decompresses a file into a shell, runs a download from CMake, or carries a long encoded blob"
    strings:
        $eval_b64 = /\beval\b[^\n]{0,100}base64\s+(-d|--decode|-D)/
        $eval_dl = /\beval\b[^\n]{0,100}(curl|wget)\b/
        $b64_run = /base64\s+(-d|--decode|-D)\b[^\n]{0,200}(\|\s*(python[23]?|perl)\b|\)\s*"?\s*\n|`)/
        $cmake_dl = /execute_process\s*\(\s*COMMAND\s+[^)]{0,200}\b(curl|wget)\b/ nocase
        $echo_blob = /(echo|printf)\s+(-[en]+\s+)?["']?[A-Za-z0-9+\/]{200,}/
        $gzip_blob = /H4sI[A-Za-z0-9+\/]{150,}/
        $elf_blob = /f0VMR[A-Za-z0-9+\/]{150,}/
        // The xz backdoor's build-to-host.m4: a test file turned back into shell by tr and a
        // decompressor, then evaluated.
        $tr_swap = /\btr\s+["']\\t \\-_["']\s+["'] \\t_\\-["']/
        $decompress_eval = /(xz|lzma|gzip|bzip2|zstd)\s+-[a-zA-Z]*d[a-zA-Z]*\b[^\n]{0,200}(\|\s*\$\w+|\beval\b)/
        $eval_var_pipe = /\beval\s+\$gl_\w+\s*\|/
    condition:
        build_script and any of them and not build_script_downloads_and_runs
}

rule cmake_downloads_and_includes
{
    meta:
        severity = "high"
        description = "CMake downloads a script without a checksum and includes it, so whoever serves the URL runs code in every configure"
    strings:
        $download = /file\s*\(\s*DOWNLOAD\s[^)]{0,600}\.cmake/ nocase
        $hash = /file\s*\(\s*DOWNLOAD\s[^)]{0,600}EXPECTED_(HASH|MD5)/ nocase
        $include = /\binclude\s*\(/ nocase
    condition:
        (filename == "CMakeLists.txt" or extension == "cmake") and #download > #hash and $include and
        not build_script_downloads_and_runs
}

rule msbuild_runs_command
{
    meta:
        severity = "high"
        description = "An MSBuild file that every build of the folder imports (Directory.Build.props/targets) or a project file runs a shell command"
    strings:
        $exec = /<Exec\s[^>]{0,400}Command\s*=/ nocase
        $inline = /<UsingTask\s[^>]{0,400}(RoslynCodeTaskFactory|CodeTaskFactory)/ nocase
    condition:
        msbuild_file and (($exec and filename startswith "Directory.Build.") or $inline) and
        not build_script_downloads_and_runs
}

rule gradle_wrapper_unofficial_distribution
{
    meta:
        severity = "high"
        description = "The Gradle wrapper downloads Gradle from somewhere other than services.gradle.org; every build runs what that host serves"
    strings:
        $url = /distributionUrl\s*[=:]/
        $official = /distributionUrl\s*[=:]\s*https\\{0,2}:\/\/services\.gradle\.org\/distributions\//
    condition:
        filename == "gradle-wrapper.properties" and #url > #official
}

rule gradle_wrapper_jar_foreign_code
{
    meta:
        severity = "high"
        description = "The Gradle wrapper jar holds files outside Gradle's own wrapper classes; a replaced wrapper jar runs on every build"
    strings:
        // A zip's central directory entry: the name starts 46 bytes in.
        $entry = { 50 4B 01 02 }
    condition:
        filename == "gradle-wrapper.jar" and uint32be(0) == 0x504B0304 and
        for any i in (1..#entry) : (
            uint32be(@entry[i] + 46) != 0x6F72672F and         // org/ (org/gradle/wrapper, org/gradle/cli …)
            uint32be(@entry[i] + 46) != 0x4D455441 and         // META-INF/
            uint32be(@entry[i] + 46) != 0x67726164)            // gradle-wrapper-*.properties
}

rule maven_jvm_agent_or_extension
{
    meta:
        severity = "high"
        description = "Maven loads a Java agent from .mvn/jvm.config or a build extension from .mvn/extensions.xml; either runs code in every build"
    strings:
        $agent = /-(javaagent|agentpath|agentlib):/
        $extension = "<extension>"
    condition:
        (filepath endswith "/.mvn/jvm.config" and $agent) or
        (filepath endswith "/.mvn/extensions.xml" and $extension)
}

rule cargo_build_script_network
{
    meta:
        severity = "high"
        description = "A Cargo build.rs reaches the network or starts a shell; it runs on every build of the crate"
    strings:
        $net = /\b(reqwest|ureq|attohttpc|minreq)::|\bTcpStream::connect\b/
        $shell = /Command::new\s*\(\s*"(sh|bash|cmd|powershell|pwsh|curl|wget)"/
    condition:
        filename == "build.rs" and any of them and not build_script_downloads_and_runs
}

rule envrc_downloads_and_runs
{
    meta:
        severity = "critical"
        description = "An .envrc downloads or decodes code and runs it; direnv runs it on the next cd"
    condition:
        filename == ".envrc" and runs_payload
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
        // The commands view, like the tier below, so that an obfuscated payload gives one finding.
        view == "commands" and filename == ".envrc" and any of them and not runs_payload
}

rule envrc_added
{
    meta:
        severity = "warning"
        description = "An .envrc appeared; direnv runs it once it is allowed"
    condition:
        view == "commands" and filename == ".envrc" and
        (changes == "" or changes contains "created" or changes contains "moved") and
        not runs_payload and not envrc_fetches_or_decodes
}
