#pragma once

// Whether the application shows itself as a regular application or only as its tray icon. Linux
// desktops have no Dock, so on Linux the policy changes nothing and windows are brought forward with
// raise() and activateWindow(). A macOS backend would call the native activation-policy setter
// behind the same interface.

#include <QObject>

class QWidget;

enum class ActivationPolicy { Regular = 0, Accessory = 1 };

class ActivationPolicyController : public QObject
{
    Q_OBJECT
public:
    explicit ActivationPolicyController(QObject* parent = nullptr);

    void setActivationPolicy(ActivationPolicy policy);

    // Brings `window` to the front as the key window and activates the application.
    static void bringToFront(QWidget* window);
};
