// Instruction files of AI coding agents: hidden Unicode and prompt injection.
//
// Invisible characters have honest uses that these rules leave alone: zero-width joiners inside emoji
// sequences, U+FE0F after a symbol, the England, Scotland and Wales flags (built from tag characters),
// U+200C in Persian, Arabic and Indic words, a byte-order mark at the very start, and one ideographic
// variation selector after a Han character. What they flag is the invisible text those uses never make.
//
// twwatch-scope: AGENTS.md CLAUDE.md CLAUDE.local.md GEMINI.md CONVENTIONS.md .cursorrules .windsurfrules
// twwatch-scope: .clinerules .aider.conf.yml */.claude/* */.gemini/* */.cursor/rules/*
// twwatch-scope: */.github/copilot-instructions.md */.github/instructions/* */.github/prompts/*
// twwatch-scope: */.windsurf/rules/* */.roo/rules/* */.continue/rules/* */.clinerules/*

private rule agent_instruction_file
{
    condition:
        filename == "AGENTS.md" or filename == "CLAUDE.md" or filename == "CLAUDE.local.md" or
        filename == "GEMINI.md" or filename == ".cursorrules" or filename == ".windsurfrules" or
        filename == ".clinerules" or filename == "CONVENTIONS.md" or filename == ".aider.conf.yml" or
        filepath contains "/.claude/" or filepath contains "/.gemini/" or
        (filepath contains "/.cursor/rules/" and extension == "mdc") or
        filepath endswith "/.github/copilot-instructions.md" or
        filepath contains "/.github/instructions/" or filepath contains "/.github/prompts/" or
        filepath contains "/.windsurf/rules/" or filepath contains "/.roo/rules/" or
        filepath contains "/.continue/rules/" or filepath contains "/.clinerules/"
}

rule agent_rules_hidden_tag_characters
{
    meta:
        severity = "critical"
        description = "Unicode tag characters (U+E0000 to U+E007F) outside a flag emoji: ASCII text invisible to a reader but read by the agent"
    strings:
        $tag = { F3 A0 (80 | 81) ?? }
        // The only flags built from tag characters: England, Scotland, Wales. Six tag characters each.
        $flag = { F0 9F 8F B4 F3 A0 81 A7 F3 A0 81 A2
                  ( F3 A0 81 A5 F3 A0 81 AE F3 A0 81 A7 |
                    F3 A0 81 B3 F3 A0 81 A3 F3 A0 81 B4 |
                    F3 A0 81 B7 F3 A0 81 AC F3 A0 81 B3 )
                  F3 A0 81 BF }
    condition:
        agent_instruction_file and #tag > 6 * #flag
}

rule agent_rules_bidi_controls
{
    meta:
        severity = "high"
        description = "Bidirectional control characters (U+202A to U+202E, U+2066 to U+2069) that reorder what a reader sees"
    strings:
        $embed = { E2 80 (AA | AB | AC | AD | AE) }
        $isolate = { E2 81 (A6 | A7 | A8 | A9) }
    condition:
        agent_instruction_file and any of them
}

rule agent_rules_variation_selector_run
{
    meta:
        severity = "high"
        description = "A run of variation selectors, the way bytes are smuggled invisibly after a visible character"
    strings:
        $supplement = /(\xF3\xA0[\x84-\x87][\x80-\xBF]){2}/
        $mixed = /(\xF3\xA0[\x84-\x87][\x80-\xBF]|\xEF\xB8[\x80-\x8F]){3}/
    condition:
        agent_instruction_file and any of them
}

rule agent_rules_stray_zero_width
{
    meta:
        severity = "warning"
        description = "Zero-width characters next to plain ASCII text or in runs, where no emoji or script needs them"
    strings:
        $after_ascii = /[\x00-\x7F](\xE2\x80[\x8B-\x8D]|\xE2\x81[\xA0-\xA4]|\xE1\xA0\x8E)/
        $before_ascii = /(\xE2\x80[\x8B-\x8D]|\xE2\x81[\xA0-\xA4]|\xE1\xA0\x8E)[\x00-\x7F]/
        $run = /(\xE2\x80[\x8B-\x8D]|\xE2\x81[\xA0-\xA4]){2}/
        $bom = { EF BB BF }
    condition:
        agent_instruction_file and
        ($after_ascii or $before_ascii or $run or ($bom and for any i in (1..#bom): (@bom[i] > 0)))
}

private rule agent_injection_phrase
{
    strings:
        $ignore = /\b(ignore|disregard|forget|override)\s+(all\s+|any\s+)?(of\s+)?(the\s+|your\s+)?(previous|prior|above|earlier|preceding|original|system)\s+(instructions|directions|rules|prompts?|guidelines)/ nocase
        $role = /\byou\s+are\s+(now\s+)?(no\s+longer\s+(an?\s+)?(assistant|bound)|in\s+developer\s+mode|an?\s+unrestricted|jailbroken)/ nocase
        $new_prompt = /\b(new|updated|real|actual)\s+system\s+(prompt|instructions)\b/ nocase
        $fake_tag = /<\/?(system|system_prompt|sys|admin_instructions|developer_instructions)>/
        $chatml = /<\|im_start\|>\s*system/
        $secrets = /\b(cat|read|print|dump|copy|upload|send|contents?\s+of)\s+[^\n]{0,40}(~\/\.ssh|\.ssh\/id_|id_rsa|id_ed25519|\.aws\/credentials|\.git-credentials|\.npmrc|\.env\b)/ nocase
        $conceal = /\b(do\s+not|don't|never)\s+(tell|mention|inform|show|reveal\s+\w+\s+to|alert|notify)\s+(this\s+to\s+)?(the\s+)?(user|human|developer|operator)/ nocase
        $auto = /\b(auto[\-\s]?approve|without\s+(asking|confirmation|approval|prompting)|--dangerously-skip-permissions|--yolo\b)/ nocase
        $comment = /<!--[^>]{0,800}\b(ignore|disregard|you\s+must|you\s+are|assistant|AI\s+agent|curl|wget|exfiltrat|secret|token|password|\.env\b|\.ssh)/ nocase
    condition:
        any of them
}

private rule agent_exfiltration
{
    strings:
        $endpoint = /(webhook\.site|requestbin\.(net|com)|pipedream\.net|beeceptor\.com|ngrok(-free)?\.(io|app|dev)|trycloudflare\.com|loca\.lt|serveo\.net|interact\.sh|oast\.(fun|me|pro|live|site|online)|burpcollaborator\.net|discord\.com\/api\/webhooks)/
        $send = /\b([Ss]end|[Pp]ost|[Uu]pload|[Ee]xfiltrate|[Tt]ransmit|[Ff]orward)\b[^\n]{0,80}\sto\s+(https?:\/\/|the\s+webhook)/
        $curl_data = /\bcurl\b[^\n]{0,200}\s(-d|--data(-binary|-raw)?|-F|--form|-T|--upload-file)\s/
    condition:
        any of them
}

private rule agent_download_and_run
{
    strings:
        $pipe = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(ba|z|da|k)?sh\b/
        $pipe_interp = /(curl|wget)\b[^\n|]{0,400}\|\s*(sudo\s+)?(python[23]?|node|perl|ruby)\b/
        $subst = /\b(eval|source|bash|sh)\s+(-c\s+)?["']?(\$\(|<\()\s*(curl|wget)\b/
        $b64 = /base64\s+(-d|--decode|-D)\b[^\n]{0,100}\|\s*(ba)?sh\b/
        $tcp = "/dev/tcp/"
    condition:
        any of them
}

// Download-and-run on its own is ordinary in documentation ("install with curl ... | sh"); paired with
// an attempt to steer or silence the agent, it is an attack.
rule agent_rules_injection_runs_code
{
    meta:
        severity = "critical"
        description = "Agent instructions try to steer or silence the agent and make it run downloaded or decoded code"
    condition:
        agent_instruction_file and agent_injection_phrase and agent_download_and_run
}

rule agent_rules_injection_exfiltrates
{
    meta:
        severity = "high"
        description = "Agent instructions try to steer or silence the agent and make it send data to a webhook, tunnel or URL"
    condition:
        agent_instruction_file and agent_injection_phrase and agent_exfiltration and
        not agent_rules_injection_runs_code
}

rule agent_rules_prompt_injection
{
    meta:
        severity = "warning"
        description = "Agent instructions contain prompt-injection phrasing: overriding instructions, fake system tags, reading secrets, hiding actions, or instructions in HTML comments"
    condition:
        agent_instruction_file and agent_injection_phrase and
        not agent_rules_injection_runs_code and not agent_rules_injection_exfiltrates
}
