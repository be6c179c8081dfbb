// The tray side headless: where the popup goes for an icon anywhere on the screen, the panel as an
// ordinary window when the desktop has no status area (as under the offscreen platform), a click on
// the icon, and the balloon notifier that stands in when there is no notification service.

#include "AppFixture.h"

#include "desktop/TrayNotifier.h"
#include "panel/FindingRow.h"
#include "panel/FindingsView.h"
#include "shell/AppDelegate.h"
#include "shell/TrayController.h"

#include <QApplication>
#include <QSignalSpy>
#include <QToolButton>

class TrayControllerTest : public QObject
{
    Q_OBJECT
private slots:
    void popupPosition_data();
    void popupPosition();
    void withoutStatusAreaThePanelIsAWindow();
    void iconClickShowsThePanel();
    void popupGetsOutOfTheWayOfTheWindowsItOpens();
    void balloonNotifierWithoutStatusArea();
};

void TrayControllerTest::popupPosition_data()
{
    QTest::addColumn<QRect>("icon");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("top right, clamped to the right edge") << QRect(1256, 0, 24, 24) << QPoint(860, 24);
    QTest::newRow("top middle, centred under the icon") << QRect(628, 0, 24, 24) << QPoint(429, 24);
    QTest::newRow("bottom right, above the icon") << QRect(1256, 776, 24, 24) << QPoint(860, 416);
    QTest::newRow("bottom left, clamped to the left edge") << QRect(0, 776, 24, 24) << QPoint(0, 416);
    QTest::newRow("icon off screen, kept on it") << QRect(2000, -50, 24, 24) << QPoint(860, 0);
}

void TrayControllerTest::popupPosition()
{
    QFETCH(QRect, icon);
    QFETCH(QPoint, expected);
    QCOMPARE(TrayController::popupPosition(icon, TrayController::PanelSize, QRect(0, 0, 1280, 800)),
             expected);
}

void TrayControllerTest::withoutStatusAreaThePanelIsAWindow()
{
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    StoreFixture store;
    TrayController tray(store.container.get());
    QVERIFY(!tray.panel()->isVisible());
    tray.start();
    // The application must never be invisible: without a tray, the panel opens as a window.
    QTRY_VERIFY(tray.panel()->isVisible());
    QVERIFY(!tray.isPanelPopup());
    QCOMPARE(tray.panel()->size(), TrayController::PanelSize);
    QVERIFY(tray.findingsView());
    QVERIFY(!tray.trayIcon()->icon().isNull());

    // Closing it only hides it; asking again shows the same one.
    QWidget* const panel = tray.panel();
    const QPointer<QWidget> alive(panel);
    QVERIFY(panel->close());
    QVERIFY(!alive.isNull());
    tray.showPanel();
    QCOMPARE(tray.panel(), panel);
    QVERIFY(panel->isVisible());
}

void TrayControllerTest::iconClickShowsThePanel()
{
    StoreFixture store;
    store.addFinding(QStringLiteral("/p/.git/hooks/pre-push"), QStringLiteral("hook"),
                     QStringLiteral("critical"));
    TrayController tray(store.container.get());
    emit tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(tray.panel()->isVisible());
    QTRY_COMPARE(tray.findingsView()->rows().size(), 1);
    // A middle click is not a request for the panel.
    tray.panel()->hide();
    emit tray.trayIcon()->activated(QSystemTrayIcon::MiddleClick);
    QVERIFY(!tray.panel()->isVisible());
}

void TrayControllerTest::popupGetsOutOfTheWayOfTheWindowsItOpens()
{
    StoreFixture store;
    const Finding finding = store.addFinding(QStringLiteral("/p/.vscode/tasks.json"), QStringLiteral("task"),
                                             QStringLiteral("high"));
    AppDelegate delegate(nullptr, nullptr);
    TrayController tray(store.container.get());
    delegate.servePanel(tray.findingsView());

    tray.showAsPopup();
    QVERIFY(tray.isPanelPopup());
    QVERIFY(tray.panel()->isVisible());
    QTRY_COMPARE(tray.findingsView()->rows().size(), 1);
    QTest::mouseClick(tray.findingsView()->rows().first(), Qt::LeftButton);
    QVERIFY(delegate.fileViewerWindow(finding.id()));
    QVERIFY(!tray.panel()->isVisible());

    tray.showAsPopup();
    QTest::mouseClick(tray.findingsView()->folderButton(), Qt::LeftButton);
    QVERIFY(delegate.directoryWindow());
    QVERIFY(!tray.panel()->isVisible());

    // As an ordinary window (no status area) the panel stays where it is.
    tray.showPanel();
    QVERIFY(!tray.isPanelPopup());
    QTest::mouseClick(tray.findingsView()->folderButton(), Qt::LeftButton);
    QVERIFY(tray.panel()->isVisible());
}

void TrayControllerTest::balloonNotifierWithoutStatusArea()
{
    QSystemTrayIcon icon;
    TrayNotifier notifier(&icon);
    QVERIFY(!TrayNotifier::canShowMessages());

    std::optional<bool> authorized;
    notifier.checkAuthorization([&](bool answer) { authorized = answer; });
    QTRY_VERIFY(authorized.has_value());
    QVERIFY(!*authorized);

    std::optional<QString> error;
    notifier.requestAuthorization([&](bool granted, const QString& reason) {
        QVERIFY(!granted);
        error = reason;
    });
    QTRY_VERIFY(error.has_value());
    QVERIFY(!error->isEmpty());

    // A click on the balloon leads back to the finding it announced.
    QSignalSpy activated(&notifier, &Notifier::activated);
    notifier.notify({QStringLiteral("\u26D4 Critical: hook"), QStringLiteral("/p/hook"),
                     Notifier::Urgency::Critical, QStringLiteral("/p/hook"), QStringLiteral("hook"),
                     QString()});
    emit icon.messageClicked();
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated.first().at(0).toString(), QStringLiteral("/p/hook"));
    QCOMPARE(activated.first().at(1).toString(), QStringLiteral("hook"));
}

QTEST_MAIN(TrayControllerTest)
#include "TrayControllerTest.moc"
