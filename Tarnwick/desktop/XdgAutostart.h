#pragma once

// Starting at login the freedesktop way: an entry `tarnwick.desktop` in $XDG_CONFIG_HOME/autostart/
// (~/.config/autostart/) that runs the launcher. The entry is the state: present and not hidden means
// on, so removing it by hand turns it off. Whether a choice was ever made (by the user, or by the
// default when the first directory was added) is kept in $XDG_CONFIG_HOME/tarnwick/settings.ini, so a
// user who turned it off never finds it on again.

#include "desktop/LoginStart.h"

#include <QString>

class XdgAutostart final : public LoginStart
{
public:
    // `launcher`: what the entry runs; empty means launcherFor() the running program. `configHome`:
    // where both files go; empty means $XDG_CONFIG_HOME (an absolute value) or ~/.config, looked up
    // at each call.
    explicit XdgAutostart(const QString& launcher = {}, QString configHome = {});

    bool isEnabled() const override;
    bool setEnabled(bool enabled) override;
    bool enableByDefault() override;

    QString entryPath() const;
    QString settingsPath() const;

    // The installed launcher on PATH (bin/tarnwick) when `executable` is the program it leads to, so
    // the entry survives the program moving within an upgrade; otherwise `executable` itself (a
    // build tree). Default: the running program.
    static QString launcherFor(const QString& executable = {});
    // The entry's Exec value for `program`, quoted as desktop entries require; empty when the path
    // cannot be written there (a line break).
    static QString execValue(const QString& program);

private:
    QString configHome() const;
    bool wasChosen() const;
    bool rememberChoice();

    QString m_launcher;
    QString m_configHome;
};
