#include "StartAtLoginSwitch.h"

#include "desktop/XdgAutostart.h"

#include <QCheckBox>
#include <QHBoxLayout>

StartAtLoginSwitch::StartAtLoginSwitch(QWidget* parent, std::unique_ptr<LoginStart> loginStart)
    : QWidget(parent)
    , m_loginStart(loginStart ? std::move(loginStart) : std::make_unique<XdgAutostart>())
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    m_box = new QCheckBox(tr("Start at login"), this);
    m_box->setObjectName(QStringLiteral("startAtLogin"));
    m_box->setToolTip(tr("Start Tarnwick when you log in, so your directories are watched from the start"));
    layout->addWidget(m_box);
    layout->addStretch(1);
    // Only the user's clicks are choices; the state read back from the system is not.
    connect(m_box, &QCheckBox::clicked, this, &StartAtLoginSwitch::userSet);
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
    QWidget::showEvent(event);
}

void StartAtLoginSwitch::userSet(bool enabled)
{
    // A choice that could not be applied springs back, showing what the session will really do.
    m_loginStart->setEnabled(enabled);
    refresh();
}

void StartAtLoginSwitch::refresh()
{
    m_box->setChecked(m_loginStart->isEnabled());
}

bool StartAtLoginSwitch::isOn() const
{
    return m_box->isChecked();
}
