// The findings panel over a real store: which list or empty state shows for each mix of severities,
// the row markers, the count of the newest 100, the buttons' tooltips and names, the watcher state
// and the trash button; the triage: dismiss with Delete and undo, ignored findings behind their switch,
// and the rule's description in each row's tooltip.

#include "AppFixture.h"

#include "panel/FindingRow.h"
#include "panel/FindingsView.h"
#include "records/FindingListModel.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTextDocument>
#include <QToolButton>

class FindingsViewTest : public QObject
{
    Q_OBJECT
private slots:
    void emptyStates_data();
    void emptyStates();
    void markers_data();
    void markers();
    void countIsCappedAtTheNewestHundred();
    void olderAlertsBeyondTheNewestHundredAreNotListed();
    void warningsSwitchTooltipAndSymbol();
    void iconButtonsHaveAccessibleNames();
    void watcherStateFollowsTheFlag();
    void rowShowsRuleAgeAndPath();
    void longPathKeepsStartAndEnd();
    void newFindingAppearsAtTheTopKeepingRows();
    void buttonsAndRowsAskTheApplication();
    void deleteKeyDismissesAndUndoRestores();
    void ignoredFindingsShowOnlyWithTheSwitch();
    void rowCarriesTheDescription_data();
    void rowCarriesTheDescription();
};

void FindingsViewTest::emptyStates_data()
{
    QTest::addColumn<QStringList>("severities"); // oldest first
    QTest::addColumn<bool>("showWarnings");
    QTest::addColumn<QString>("emptyText");
    QTest::addColumn<QStringList>("listedSeverities"); // newest first
    QTest::addColumn<QString>("countText");

    const QString yet = QStringLiteral("No findings yet");
    const QString hidden = QStringLiteral("No findings (warnings hidden)");
    const QString none = QStringLiteral("No warnings");
    QTest::newRow("empty store") << QStringList{} << false << yet << QStringList{} << QString();
    QTest::newRow("empty store, warnings on") << QStringList{} << true << none << QStringList{} << QString();
    QTest::newRow("only warnings") << QStringList{"warning", "warning"} << false << hidden << QStringList{}
                                   << "2";
    QTest::newRow("only warnings, warnings on")
        << QStringList{"warning", "warning"} << true << QString() << QStringList{"warning", "warning"} << "2";
    QTest::newRow("only other severities")
        << QStringList{"info", "low"} << false << yet << QStringList{} << "2";
    QTest::newRow("only other severities, warnings on")
        << QStringList{"info", "low"} << true << none << QStringList{} << "2";
    QTest::newRow("alerts and warnings") << QStringList{"critical", "warning", "high", "info"} << false
                                         << QString() << QStringList{"high", "critical"} << "4";
    QTest::newRow("alerts and warnings, warnings on")
        << QStringList{"critical", "warning", "high"} << true << QString() << QStringList{"warning"} << "3";
    QTest::newRow("alerts only, warnings on")
        << QStringList{"critical"} << true << none << QStringList{} << "1";
    QTest::newRow("case variants are neither")
        << QStringList{"Critical", "HIGH", "Warning"} << false << yet << QStringList{} << "3";
    QTest::newRow("case variants are neither, warnings on")
        << QStringList{"Critical", "HIGH", "Warning"} << true << none << QStringList{} << "3";
}

void FindingsViewTest::emptyStates()
{
    QFETCH(QStringList, severities);
    QFETCH(bool, showWarnings);
    QFETCH(QString, emptyText);
    QFETCH(QStringList, listedSeverities);
    QFETCH(QString, countText);

    StoreFixture store;
    QList<Finding> findings;
    for (qsizetype i = 0; i < severities.size(); ++i) {
        findings.append(findingAged(100 - i, severities.at(i)));
    }
    store.addFindings(findings);
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    view.setShowWarnings(showWarnings);
    view.show();
    QTRY_COMPARE(model.rowCount(), severities.size());
    QTRY_COMPARE(view.rows().size(), listedSeverities.size());

    QCOMPARE(view.emptyStateText(), emptyText);
    QStringList listed;
    for (FindingRow* row : view.rows()) {
        listed.append(row->finding().severity());
    }
    QCOMPARE(listed, listedSeverities);
    QCOMPARE(view.warningsButton()->text(), countText);
}

void FindingsViewTest::markers_data()
{
    QTest::addColumn<QString>("severity");
    QTest::addColumn<QString>("marker");
    QTest::newRow("critical") << "critical" << QStringLiteral("\u26D4CRITICAL:");
    QTest::newRow("high") << "high" << QStringLiteral("\u2757");
    QTest::newRow("warning") << "warning" << QStringLiteral("\u26A0\uFE0F");
    QTest::newRow("other word") << "info" << QStringLiteral("\u26A0\uFE0F");
    QTest::newRow("empty") << "" << QStringLiteral("\u26A0\uFE0F");
    QTest::newRow("critical in capitals") << "CRITICAL" << QStringLiteral("\u26A0\uFE0F");
    QTest::newRow("high with a space") << "high " << QStringLiteral("\u26A0\uFE0F");
}

void FindingsViewTest::markers()
{
    QFETCH(QString, severity);
    QFETCH(QString, marker);
    QCOMPARE(FindingRow::severityMarker(severity), marker);
    FindingRow row(Finding(QStringLiteral("/p/f"), QStringLiteral("rule"), severity, {}));
    QCOMPARE(row.markerText(), marker);
    // The marker is the only severity cue: the rule's text is the rule name as given.
    QCOMPARE(row.ruleText(), QStringLiteral("rule"));
}

void FindingsViewTest::countIsCappedAtTheNewestHundred()
{
    StoreFixture store;
    QList<Finding> findings;
    for (int i = 0; i < 150; ++i) {
        findings.append(findingAged(1000 - i, QStringLiteral("high"), QStringLiteral("rule-%1").arg(i)));
    }
    store.addFindings(findings);
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    view.show();
    QTRY_COMPARE(view.rows().size(), 100);
    QCOMPARE(view.warningsButton()->text(), QStringLiteral("100"));
    // Newest first; the 50 oldest never appear.
    QCOMPARE(view.rows().first()->ruleText(), QStringLiteral("rule-149"));
    QCOMPARE(view.rows().last()->ruleText(), QStringLiteral("rule-50"));
}

void FindingsViewTest::olderAlertsBeyondTheNewestHundredAreNotListed()
{
    StoreFixture store;
    QList<Finding> findings;
    for (int i = 0; i < 5; ++i) {
        findings.append(findingAged(5000 + i, QStringLiteral("critical")));
    }
    for (int i = 0; i < 100; ++i) {
        findings.append(findingAged(1000 - i, QStringLiteral("warning")));
    }
    store.addFindings(findings);
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    view.show();
    QTRY_COMPARE(model.rowCount(), 100);
    QTRY_COMPARE(view.emptyStateText(), QStringLiteral("No findings (warnings hidden)"));
    QVERIFY(view.rows().isEmpty());
    view.setShowWarnings(true);
    QCOMPARE(view.rows().size(), 100);
}

void FindingsViewTest::warningsSwitchTooltipAndSymbol()
{
    StoreFixture store;
    store.addFindings({findingAged(10, QStringLiteral("warning"))});
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    view.show();
    QTRY_COMPARE(view.warningsButton()->text(), QStringLiteral("1"));

    QToolButton* button = view.warningsButton();
    QCOMPARE(button->toolTip(), QStringLiteral("Show warnings"));
    QCOMPARE(button->property("symbol").toString(), QStringLiteral("exclamationmark.triangle"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(view.showWarnings());
    QCOMPARE(button->toolTip(), QStringLiteral("Hide warnings"));
    QCOMPARE(button->property("symbol").toString(), QStringLiteral("exclamationmark.triangle.fill"));
    QCOMPARE(view.rows().size(), 1);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!view.showWarnings());
    QCOMPARE(button->toolTip(), QStringLiteral("Show warnings"));
    QCOMPARE(view.emptyStateText(), QStringLiteral("No findings (warnings hidden)"));
}

void FindingsViewTest::iconButtonsHaveAccessibleNames()
{
    StoreFixture store;
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    const QList<QPair<QToolButton*, QString>> buttons{
        {view.trashButton(), "trash"}, {view.folderButton(), "folder"}, {view.powerButton(), "power"}};
    for (const auto& [button, symbol] : buttons) {
        QCOMPARE(button->property("symbol").toString(), symbol);
        QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(symbol));
        QVERIFY2(!button->icon().isNull(), qPrintable(symbol));
        // These three have no tooltip.
        QVERIFY2(button->toolTip().isEmpty(), qPrintable(symbol));
    }
    QVERIFY(!view.warningsButton()->accessibleName().isEmpty());
}

void FindingsViewTest::watcherStateFollowsTheFlag()
{
    StoreFixture store;
    FindingListModel model(store.container.get());
    WatcherStatus::shared().setRunning(false);
    FindingsView view(&model);
    QCOMPARE(view.statusText(), QStringLiteral("Watcher stopped"));
    WatcherStatus::shared().setRunning(true);
    QCOMPARE(view.statusText(), QStringLiteral("Watcher running"));
    WatcherStatus::shared().setRunning(false);
    QCOMPARE(view.statusText(), QStringLiteral("Watcher stopped"));
    // Repeated failures show whether or not a restarted watcher runs at the moment.
    for (const bool running : {false, true}) {
        WatcherStatus::shared().setRunning(running);
        WatcherStatus::shared().setFailing(true);
        QCOMPARE(view.statusText(), QStringLiteral("Watcher keeps stopping; restarting it"));
        WatcherStatus::shared().setFailing(false);
        QCOMPARE(view.statusText(),
                 running ? QStringLiteral("Watcher running") : QStringLiteral("Watcher stopped"));
    }
    WatcherStatus::shared().setRunning(false);
}

void FindingsViewTest::rowShowsRuleAgeAndPath()
{
    const Finding finding =
        findingAged(5 * 60 + 3, QStringLiteral("critical"), QStringLiteral("git_hook_download"),
                    QStringLiteral("/srv/repo/.git/hooks/pre-commit"));
    FindingRow row(finding);
    row.resize(400, row.sizeHint().height());
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    QCOMPARE(row.ruleText(), QStringLiteral("git_hook_download"));
    QCOMPARE(row.pathText(), QStringLiteral("/srv/repo/.git/hooks/pre-commit"));
    QVERIFY2(row.ageText().contains(QStringLiteral("5 min")), qPrintable(row.ageText()));
    // The age is drawn when asked, not by a timer.
    row.refreshAge(finding.timestamp().addDays(1).addSecs(60));
    QCOMPARE(row.ageText(), QStringLiteral("yesterday"));
}

void FindingsViewTest::longPathKeepsStartAndEnd()
{
    const QString path = QStringLiteral("/home/someone/projects/") + QString(200, QLatin1Char('x')) +
                         QStringLiteral("/.vscode/tasks.json");
    FindingRow row(Finding(path, QStringLiteral("rule"), QStringLiteral("high"), {}));
    row.resize(300, row.sizeHint().height());
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    const QString shown = row.pathText();
    QVERIFY2(shown.size() < path.size(), qPrintable(shown));
    QVERIFY2(shown.startsWith(QStringLiteral("/home/")), qPrintable(shown));
    QVERIFY2(shown.endsWith(QStringLiteral("tasks.json")), qPrintable(shown));
    QVERIFY(shown.contains(QChar(0x2026)));
    QVERIFY(!shown.contains(QLatin1Char('\n')));
}

void FindingsViewTest::newFindingAppearsAtTheTopKeepingRows()
{
    StoreFixture store;
    store.addFindings({findingAged(60, QStringLiteral("high"), QStringLiteral("older"))});
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    view.show();
    QTRY_COMPARE(view.rows().size(), 1);
    FindingRow* older = view.rows().first();

    // Through the main context, as the intake inserts: listed before the save lands.
    Finding fresh(QStringLiteral("/p/new"), QStringLiteral("newer"), QStringLiteral("critical"), {});
    store.container->mainContext().insert(fresh);
    QTRY_COMPARE(view.rows().size(), 2);
    QCOMPARE(view.rows().first()->ruleText(), QStringLiteral("newer"));
    QCOMPARE(view.rows().last(), older);
}

void FindingsViewTest::buttonsAndRowsAskTheApplication()
{
    StoreFixture store;
    store.addFindings({findingAged(30, QStringLiteral("critical"))});
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    view.show();
    QTRY_COMPARE(view.rows().size(), 1);
    QSignalSpy clear(&view, &FindingsView::clearRequested);
    QSignalSpy directories(&view, &FindingsView::directoriesRequested);
    QStringList opened;
    connect(&view, &FindingsView::findingOpenRequested, this,
            [&opened](const Finding& finding) { opened.append(finding.path()); });
    QTest::mouseClick(view.trashButton(), Qt::LeftButton);
    QTest::mouseClick(view.folderButton(), Qt::LeftButton);
    QTest::mouseClick(view.rows().first(), Qt::LeftButton);
    QCOMPARE(clear.count(), 1);
    QCOMPARE(directories.count(), 1);
    QCOMPARE(opened, QStringList{QStringLiteral("/work/project/.git/hooks/pre-commit")});
    // The view writes nothing itself.
    QCOMPARE(store.storedFindingCount(), 1);
}

void FindingsViewTest::deleteKeyDismissesAndUndoRestores()
{
    StoreFixture store;
    const QList<Finding> stored =
        store.addFindings({findingAged(60, QStringLiteral("high"), QStringLiteral("older")),
                           findingAged(30, QStringLiteral("critical"), QStringLiteral("newer"))});
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTRY_COMPARE(view.rows().size(), 2);
    QVERIFY(view.undoButton()->isHidden());

    FindingRow* top = view.rows().first();
    top->setFocus();
    QTest::keyClick(top, Qt::Key_Delete);
    QTRY_COMPARE(view.rows().size(), 1);
    QCOMPARE(view.rows().first()->ruleText(), QStringLiteral("older"));
    QCOMPARE(store.storedFindingCount(), 1);
    QVERIFY(view.undoButton()->isVisible());

    QTest::mouseClick(view.undoButton(), Qt::LeftButton);
    QTRY_COMPARE(view.rows().size(), 2);
    QCOMPARE(view.rows().first()->finding().id(), stored[1].id());
    QCOMPARE(view.rows().first()->finding().timestamp(), stored[1].timestamp());
    QCOMPARE(store.storedFindingCount(), 2);
    QVERIFY(view.undoButton()->isHidden());

    // The row's own action does the same; closing the panel gives up the undo.
    view.rows().last()->dismissAction()->trigger();
    QTRY_COMPARE(view.rows().size(), 1);
    QVERIFY(view.canUndo());
    view.hide();
    QVERIFY(!view.canUndo());
    view.undoDismiss();
    QCOMPARE(store.storedFindingCount(), 1);
}

void FindingsViewTest::ignoredFindingsShowOnlyWithTheSwitch()
{
    StoreFixture store;
    store.addFindings(
        {findingAged(60, QStringLiteral("critical"), QStringLiteral("r"), QStringLiteral("/w/a/hook")),
         findingAged(50, QStringLiteral("critical"), QStringLiteral("r"), QStringLiteral("/w/ab/hook")),
         findingAged(40, QStringLiteral("critical"), QStringLiteral("r"), QStringLiteral("/w/a/x/y"))});
    FindingListModel model(store.container.get());
    FindingsView view(&model);
    view.show();
    QTRY_COMPARE(view.rows().size(), 3);
    QVERIFY(view.showIgnoredButton()->isHidden());

    FindingRow* hook = view.rows().last();
    QCOMPARE(hook->pathText(), QStringLiteral("/w/a/hook"));
    hook->ignoreFolderAction()->trigger();
    QTRY_COMPARE(view.rows().size(), 1);
    QCOMPARE(view.rows().first()->pathText(), QStringLiteral("/w/ab/hook"));
    QCOMPARE(store.storedFindingCount(), 3);
    QVERIFY(view.showIgnoredButton()->isVisible());

    QTest::mouseClick(view.showIgnoredButton(), Qt::LeftButton);
    QTRY_COMPARE(view.rows().size(), 3);
    QList<bool> marked;
    for (FindingRow* row : view.rows())
        marked << row->isIgnored();
    QCOMPARE(marked, (QList<bool>{true, false, true}));

    QTest::mouseClick(view.showIgnoredButton(), Qt::LeftButton);
    QTRY_COMPARE(view.rows().size(), 1);
}

void FindingsViewTest::rowCarriesTheDescription_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("shown"); // as the tooltip's plain text and the accessible description show it
    QTest::newRow("none") << QString() << QString();
    QTest::newRow("plain") << QStringLiteral("Runs a downloaded payload")
                           << QStringLiteral("Runs a downloaded payload");
    QTest::newRow("markup stays text")
        << QStringLiteral("<b>bold</b> & <img src=x>") << QStringLiteral("<b>bold</b> & <img src=x>");
    QTest::newRow("line break becomes a token")
        << QStringLiteral("a\nb") << QStringLiteral("a\u27E8U+000A\u27E9b");
}

void FindingsViewTest::rowCarriesTheDescription()
{
    QFETCH(QString, description);
    QFETCH(QString, shown);
    FindingRow row(Finding(QStringLiteral("/p/f"), QStringLiteral("rule"), QStringLiteral("high"), {}, {},
                           description, {3}));
    QCOMPARE(row.accessibleDescription(),
             shown.isEmpty() ? QStringLiteral("/p/f") : shown + QStringLiteral("\n/p/f"));
    if (shown.isEmpty()) {
        QVERIFY(row.toolTip().isEmpty());
        return;
    }
    QTextDocument tip;
    tip.setHtml(row.toolTip());
    QCOMPARE(tip.toPlainText(), shown);
}

QTEST_MAIN(FindingsViewTest)
#include "FindingsViewTest.moc"
