#pragma once

#include "desktop/LoginStart.h"

#include <QWidget>

#include <memory>

// "Start at login" in the Watched Directories window. It shows what the session will do, read anew
// each time the window shows, and comes on by itself when a directory is added, unless starting at
// login was chosen before: a user who turned it off keeps it off.
class QCheckBox;

class StartAtLoginSwitch : public QWidget
{
    Q_OBJECT
public:
    // Without `loginStart`, the freedesktop autostart entry of the running program.
    explicit StartAtLoginSwitch(QWidget* parent = nullptr, std::unique_ptr<LoginStart> loginStart = {});
    ~StartAtLoginSwitch() override;

    // The user added a directory to watch.
    void directoryAdded();

    QCheckBox* checkBox() const { return m_box; }
    bool isOn() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void userSet(bool enabled);
    void refresh();

    std::unique_ptr<LoginStart> m_loginStart;
    QCheckBox* m_box = nullptr;
};
