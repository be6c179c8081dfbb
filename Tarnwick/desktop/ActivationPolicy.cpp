#include "ActivationPolicy.h"

#include <QWidget>

ActivationPolicyController::ActivationPolicyController(QObject* parent)
    : QObject(parent)
{
}

void ActivationPolicyController::setActivationPolicy(ActivationPolicy policy)
{
    if (policy == m_policy) {
        return;
    }
    m_policy = policy;
    emit activationPolicyChanged(policy);
}

void ActivationPolicyController::bringToFront(QWidget* window)
{
    if (!window) {
        return;
    }
    if (window->isMinimized()) {
        window->showNormal();
    } else {
        window->show();
    }
    window->raise();
    window->activateWindow();
}
