// CI workflows that a worm plants or rewrites, and the files a credential-harvesting worm leaves behind.
//
// twwatch-scope: */.github/workflows/* truffleSecrets.json actionsSecrets.json cloud.json
// twwatch-scope: environment.json contents.json

private rule workflow_file
{
    condition:
        filepath contains "/.github/workflows/" and (extension == "yml" or extension == "yaml")
}

rule workflow_exfiltrates_secrets
{
    meta:
        severity = "critical"
        description = "A workflow dumps all secrets or sends data to a webhook catcher or tunnel"
    strings:
        $all_secrets = /toJSON\(\s*secrets\s*\)/ nocase
        $webhook_site = "webhook.site"
        $requestbin = /requestbin\.(net|com)|pipedream\.net|beeceptor\.com|hookbin\.com|requestcatcher\.com/
        $tunnel = /[a-z0-9\-]+\.(ngrok(-free)?\.(io|app|dev)|trycloudflare\.com|loca\.lt|serveo\.net|localhost\.run)/
        $oast = /\.(oast\.(fun|me|pro|live|site|online)|interact\.sh|burpcollaborator\.net)/
        $discord = "discord.com/api/webhooks"
    condition:
        workflow_file and any of them
}

rule workflow_known_worm
{
    meta:
        severity = "critical"
        description = "A workflow carries the name or runner label of a known self-propagating worm"
    strings:
        $shai = /[Ss](hai|HAI)[\-_ ]?[Hh](ulud|ULUD)/
        $sha1 = /[Ss](ha1|HA1)[\-_ ]?[Hh](ulud|ULUD)/
    condition:
        workflow_file and (any of them or filename == "shai-hulud-workflow.yml")
}

rule workflow_self_hosted_backdoor
{
    meta:
        severity = "critical"
        description = "A workflow on a self-hosted runner runs text that anyone can write (discussion, issue or comment bodies)"
    strings:
        $self_hosted = /runs-on\s*:\s*\[?\s*["']?self-hosted/
        $body = /\$\{\{\s*github\.event\.(discussion|issue|comment|pull_request|review)\.(body|title)\s*\}\}/
    condition:
        workflow_file and $self_hosted and $body
}

rule workflow_self_hosted_runner
{
    meta:
        severity = "warning"
        description = "A workflow runs on a self-hosted runner, that is on a machine of yours"
    strings:
        $self_hosted = /runs-on\s*:\s*\[?\s*["']?self-hosted/
    condition:
        workflow_file and $self_hosted and not workflow_self_hosted_backdoor and not workflow_known_worm
}

rule worm_secret_dump_file
{
    meta:
        severity = "critical"
        description = "A file named like the secret dumps of a credential-harvesting worm, holding encoded data or credentials"
    strings:
        $aws = /aws_(secret_)?access_key(_id)?/ nocase
        $gh = /\bgh[pousr]_[A-Za-z0-9]{30,}/
        $npm = /\bnpm_[A-Za-z0-9]{30,}/
        $env_dump = /"(GITHUB_TOKEN|NPM_TOKEN|AWS_SECRET_ACCESS_KEY|AZURE_CLIENT_SECRET)"\s*:/
    condition:
        filename == "truffleSecrets.json" or filename == "actionsSecrets.json" or
        ((filename == "cloud.json" or filename == "environment.json" or filename == "contents.json") and
         (any of them or
          // Nothing but base64 for the first 64 bytes: an encoded dump, not a configuration file.
          (filesize > 64 and
           for all i in (0..63): ((uint8(i) >= 0x41 and uint8(i) <= 0x5A) or (uint8(i) >= 0x61 and uint8(i) <= 0x7A) or
                                  (uint8(i) >= 0x30 and uint8(i) <= 0x39) or uint8(i) == 0x2B or uint8(i) == 0x2F))))
}
