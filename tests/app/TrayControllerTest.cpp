// The tray side headless: where the popup goes for an icon anywhere on the screen, the panel as an
// ordinary window when the desktop has no status area (as under the offscreen platform), and the balloon
// notifier that stands in when there is no notification service.

#include "AppFixture.h"

#include "desktop/TrayNotifier.h"
#include "panel/FindingRow.h"
#include "panel/FindingsView.h"
#include "shell/AppDelegate.h"
#include "shell/TrayController.h"

#include <QApplication>
#include <QSignalSpy>
#include <QToolButton>

using namespace Qt::StringLiterals;

class TrayControllerTest : public QObject
{
    Q_OBJECT
private slots:
    void popupPosition_data();
    void popupPosition();
    void withoutStatusAreaThePanelIsAWindowTheIconShows();
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

void TrayControllerTest::withoutStatusAreaThePanelIsAWindowTheIconShows()
{
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    StoreFixture store;
    store.addFinding(u"/p/.git/hooks/pre-push"_s, u"hook"_s, u"critical"_s);
    TrayController tray(store.container.get());
    QWidget* const panel = tray.panel();
    QVERIFY(!panel->isVisible());
    tray.start();
    // The application must never be invisible: without a tray, the panel opens as a window.
    QTRY_VERIFY(panel->isVisible());
    QVERIFY(!tray.isPanelPopup());
    QCOMPARE(panel->size(), TrayController::PanelSize);
    QVERIFY(!tray.trayIcon()->icon().isNull());
    QTRY_COMPARE(tray.findingsView()->rows().size(), 1);

    // Closing it only hides it; a click on the icon shows the same one, a middle click does not.
    const QPointer<QWidget> alive(panel);
    QVERIFY(panel->close());
    QVERIFY(!alive.isNull());
    emit tray.trayIcon()->activated(QSystemTrayIcon::MiddleClick);
    QVERIFY(!panel->isVisible());
    emit tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
    QCOMPARE(tray.panel(), panel);
    QVERIFY(panel->isVisible());
}

void TrayControllerTest::popupGetsOutOfTheWayOfTheWindowsItOpens()
{
    StoreFixture store;
    const Finding finding = store.addFinding(u"/p/.vscode/tasks.json"_s, u"task"_s, u"high"_s);
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
    notifier.notify({u"\u26D4 Critical: hook"_s, u"/p/hook"_s, Notifier::Urgency::Critical, u"/p/hook"_s,
                     u"hook"_s, QString()});
    emit icon.messageClicked();
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated.first().at(0).toString(), u"/p/hook"_s);
    QCOMPARE(activated.first().at(1).toString(), u"hook"_s);
}

QTEST_MAIN(TrayControllerTest)
#include "TrayControllerTest.moc"
