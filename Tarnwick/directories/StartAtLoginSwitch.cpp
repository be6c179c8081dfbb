#include "StartAtLoginSwitch.h"

#include "desktop/XdgAutostart.h"

StartAtLoginSwitch::StartAtLoginSwitch(QWidget* parent, std::unique_ptr<LoginStart> loginStart)
    : QCheckBox(tr("Start at login"), parent)
    , m_loginStart(loginStart ? std::move(loginStart) : std::make_unique<XdgAutostart>())
{
    setObjectName(QStringLiteral("startAtLogin"));
    setToolTip(tr("Start Tarnwick when you log in, so your directories are watched from the start"));
    // Only the user's clicks are choices; the state read back from the system is not.
    connect(this, &QCheckBox::clicked, this, &StartAtLoginSwitch::userSet);
    refresh();
}

StartAtLoginSwitch::~StartAtLoginSwitch() = default;

void StartAtLoginSwitch::directoryAdded()
{
    m_loginStart->enableByDefault();
    refresh();
}

void StartAtLoginSwitch::showEvent(QShowEvent* event)
{
    refresh();
    QCheckBox::showEvent(event);
}

void StartAtLoginSwitch::userSet(bool enabled)
{
    // A choice that could not be applied springs back, showing what the session will really do.
    m_loginStart->setEnabled(enabled);
    refresh();
}

void StartAtLoginSwitch::refresh()
{
    setChecked(m_loginStart->isEnabled());
}
