#include "TrayController.h"

#include "panel/FindingsView.h"
#include "records/FindingListModel.h"
#include "ui/SymbolIcons.h"

#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

TrayController::TrayController(ModelContainer* container, QObject* parent)
    : QObject(parent)
    , m_model(new FindingListModel(container, this))
{
    m_icon.setIcon(gnomeIcon());
    m_icon.setToolTip(tr("Tarnwick"));
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayController::onActivated);

    auto* frame = new QFrame(nullptr, Qt::Popup | Qt::FramelessWindowHint);
    // A frameless popup needs an edge of its own to stand out from what lies beneath it.
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setForegroundRole(QPalette::Mid);
    m_panel = frame;
    m_panel->setObjectName(QStringLiteral("findingsPanel"));
    // The title names the panel for window lists and for tests that look for it from outside.
    m_panel->setWindowTitle(tr("Findings"));
    m_panel->setWindowIcon(gnomeIcon());
    m_panel->setFixedSize(PanelSize);
    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(1, 1, 1, 1);
    m_view = new FindingsView(m_model, m_panel);
    layout->addWidget(m_view);
    // Like a menu, the popup closes when it opens a window; as an ordinary window it stays.
    connect(m_view, &FindingsView::windowRequested, this, [this] {
        if (isPanelPopup()) {
            m_panel->hide();
        }
    });

    // A tray can start after us (a panel restarting, a session still coming up); look again now and then.
    m_trayRetry.setInterval(1000);
    connect(&m_trayRetry, &QTimer::timeout, this, &TrayController::checkTray);
}

TrayController::~TrayController()
{
    delete m_panel;
}

void TrayController::start()
{
    m_icon.show();
    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (!m_trayAvailable) {
        showAsWindow();
        m_trayRetry.start();
    }
}

void TrayController::checkTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    m_trayAvailable = true;
    m_trayRetry.stop();
    // Qt embeds the icon by itself in an XEmbed tray that appears; other backends may not notice,
    // and an icon without a place on screen is shown anew so that it registers with the new tray.
    if (!m_icon.geometry().isValid()) {
        m_icon.hide();
        m_icon.show();
    }
}

void TrayController::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick ||
        reason == QSystemTrayIcon::Context) {
        togglePanel();
    }
}

bool TrayController::isPanelPopup() const
{
    const QWidget* panel = m_panel;
    return panel && (panel->windowFlags() & Qt::Popup) == Qt::Popup;
}

void TrayController::togglePanel()
{
    QWidget* panel = m_panel;
    if (panel && panel->isVisible() && isPanelPopup()) {
        panel->hide();
        return;
    }
    showPanel();
}

void TrayController::showPanel()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        showAsPopup();
    } else {
        showAsWindow();
    }
}

QPoint TrayController::popupPosition(const QRect& icon, const QSize& size, const QRect& available)
{
    int x = icon.center().x() - size.width() / 2;
    int y = icon.center().y() < available.center().y() ? icon.bottom() + 1 : icon.top() - size.height();
    x = qBound(available.left(), x, qMax(available.left(), available.right() + 1 - size.width()));
    y = qBound(available.top(), y, qMax(available.top(), available.bottom() + 1 - size.height()));
    return {x, y};
}

void TrayController::showAsPopup()
{
    if (!isPanelPopup()) {
        m_panel->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    }
    QRect anchor = m_icon.geometry();
    if (!anchor.isValid()) {
        // Some trays do not report the icon's place; the pointer is where the user just clicked.
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    }
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), PanelSize);
    m_panel->move(popupPosition(anchor, PanelSize, available));
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

void TrayController::showAsWindow()
{
    if (isPanelPopup()) {
        m_panel->setWindowFlags(Qt::Window);
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}
