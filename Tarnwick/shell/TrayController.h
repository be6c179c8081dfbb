#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>
#include <QTimer>

class FindingsView;
class FindingListModel;
class ModelContainer;
class QWidget;

// The tray icon ("GnomeIcon") and the findings panel it opens: a frameless 420 x 360 popup anchored
// at the icon, or, where the desktop has no status area, a small ordinary window, so the application
// is never invisible. A tray that appears after start is picked up.
class TrayController : public QObject
{
    Q_OBJECT
public:
    explicit TrayController(ModelContainer* container, QObject* parent = nullptr);
    ~TrayController() override;

    static constexpr QSize PanelSize{420, 360};

    QSystemTrayIcon* trayIcon() { return &m_icon; }
    QWidget* panel() const { return m_panel; }
    FindingsView* findingsView() const { return m_view; }

    // Shows the icon; when there is no status area yet, opens the panel as a window and keeps looking.
    void start();

    // A click on the icon: shows the panel at the icon, or hides it when it is showing.
    void togglePanel();
    // Shows the panel: as a popup at the icon when there is a tray, otherwise as a window.
    void showPanel();
    bool isPanelPopup() const;
    // The panel as a popup at the icon (or at the pointer when the tray does not say where it is).
    void showAsPopup();

    // Where a popup of `size` goes for an icon at `icon` on a screen whose free area is `available`:
    // below an icon in the upper half, above one in the lower half, kept on the screen.
    static QPoint popupPosition(const QRect& icon, const QSize& size, const QRect& available);

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void checkTray();
    void showAsWindow();

    QSystemTrayIcon m_icon;
    FindingListModel* m_model = nullptr;
    QWidget* m_panel = nullptr; // owned; a top-level window has no parent to delete it
    FindingsView* m_view = nullptr;
    QTimer m_trayRetry;
    bool m_trayAvailable = false;
};
