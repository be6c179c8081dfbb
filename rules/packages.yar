// Package manifests and install hooks of npm, the payload files of npm worms, and tokens left in
// package-manager configuration.
//
// twwatch-scope: package.json setup_bun.js bun_environment.js bundle.js .npmrc .pypirc

private rule package_manifest
{
    condition:
        filename == "package.json"
}

rule package_lifecycle_script_payload
{
    meta:
        severity = "critical"
        description = "An install-time script of a package runs inline code, downloads, decodes, or starts a known worm payload"
    strings:
        $payload = /"(preinstall|install|postinstall|prepare)"\s*:\s*"[^"\n]{0,400}(node\s+-e\b|node\s+--eval\b|curl\s|wget\s|base64|setup_bun\.js|bun_environment\.js|bundle\.js|\|\s*(ba)?sh\b|https?:\/\/|eval\s*\()/
    condition:
        package_manifest and $payload
}

rule package_preinstall_script
{
    meta:
        severity = "high"
        description = "A package runs a preinstall script, before its own files are even in place"
    strings:
        $pre = /"preinstall"\s*:\s*"/
    condition:
        package_manifest and $pre and not package_lifecycle_script_payload
}

rule package_lifecycle_script
{
    meta:
        severity = "warning"
        description = "A package runs an install or postinstall script, or the project a prepare script"
    strings:
        $script = /"(install|postinstall)"\s*:\s*"/
        $prepare = /"prepare"\s*:\s*"/
    condition:
        // npm runs "prepare" for the project itself and for git dependencies, never for a package
        // installed from a registry into node_modules.
        package_manifest and ($script or ($prepare and not (filepath contains "/node_modules/"))) and
        not package_lifecycle_script_payload and not package_preinstall_script
}

rule worm_payload_file
{
    meta:
        severity = "critical"
        description = "A payload file of the Shai-Hulud npm worms: it installs Bun, harvests credentials or republishes packages"
    strings:
        $bun_env = "bun_environment.js"
        $bun_install = "bun.sh/install"
        $trufflehog = "trufflehog" nocase
        $webhook = "webhook.site"
        $publish = /npm\s+publish/
        $repos = "/user/repos"
        $hulud = /[Ss]ha[i1][\-_ ]?[Hh]ulud/
    condition:
        ((filename == "setup_bun.js" or filename == "bun_environment.js") and any of them) or
        (filename == "bundle.js" and 2 of them)
}

rule npmrc_literal_token
{
    meta:
        severity = "warning"
        description = "An .npmrc holds a literal auth token or password instead of a reference to an environment variable"
    strings:
        $token = /(_authToken|_auth|_password)\s*=\s*[^\s$"'{]/
        $token_q = /(_authToken|_auth|_password)\s*=\s*["'][^$"'{]/
    condition:
        filename == ".npmrc" and ($token or $token_q)
}

rule npmrc_unusual_registry
{
    meta:
        severity = "high"
        description = "An .npmrc sends package downloads (and tokens) to a plain-HTTP, bare-IP or tunnel registry"
    strings:
        $http = /registry\s*=\s*http:\/\/(localhost|127\.0\.0\.1|\[::1\])[:\/]/
        $http_any = /registry\s*=\s*http:\/\//
        $ip = /registry\s*=\s*https?:\/\/\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3}/
        $tunnel = /registry\s*=\s*https?:\/\/[^\s\/]*(ngrok|trycloudflare|loca\.lt|serveo|localhost\.run|webhook\.site|pipedream)/
    condition:
        filename == ".npmrc" and (#http_any > #http or $ip or $tunnel)
}

rule pypirc_literal_password
{
    meta:
        severity = "warning"
        description = "A .pypirc holds a literal password or API token"
    strings:
        $password = /\n\s*password\s*[=:]\s*[^\s$%]/
    condition:
        filename == ".pypirc" and $password
}
