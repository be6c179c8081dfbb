#include "ActivationPolicy.h"

#include <QWidget>

ActivationPolicyController::ActivationPolicyController(QObject* parent)
    : QObject(parent)
{
}

void ActivationPolicyController::setActivationPolicy(ActivationPolicy /*policy*/)
{
    // Nothing to switch without a Dock: a window shows in the task bar by itself.
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
