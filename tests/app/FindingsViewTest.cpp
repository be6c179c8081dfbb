// The findings panel over a real store: which list or empty state shows for each mix of severities,
// the row markers, the buttons, the watcher state, new findings on top; the triage: dismiss with Delete
// and undo, ignored findings behind their switch, the rule's description in each row's tooltip. And
// what the panel draws with: ages as ICU writes them, and a drawing of our own for every symbol.

#include "AppFixture.h"

#include "panel/FindingRow.h"
#include "panel/FindingsView.h"
#include "panel/RelativeAge.h"
#include "records/FindingListModel.h"
#include "ui/SymbolIcons.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTextDocument>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// A shown panel over a store that holds `findings` before the model first reads it.
struct Panel
{
    explicit Panel(const QList<Finding>& findings = {})
        : stored(store.addFindings(findings))
    {
        view.show();
    }
    StoreFixture store;
    QList<Finding> stored; // saved here, ahead of the model
    FindingListModel model{store.container.get()};
    FindingsView view{&model};
};

// How many pixels of the icon at 32x32 are drawn, and of those, when `color` is given, close to it.
int drawnPixels(const QIcon& icon, const QColor& color = QColor())
{
    const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    const auto near = [&](int a, int b) { return !color.isValid() || qAbs(a - b) < 24; };
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            drawn += pixel.alpha() > 128 && near(pixel.red(), color.red()) &&
                     near(pixel.green(), color.green()) && near(pixel.blue(), color.blue());
        }
    }
    return drawn;
}

} // namespace

class FindingsViewTest : public QObject
{
    Q_OBJECT
private slots:
    void emptyStates_data()
    {
        QTest::addColumn<QStringList>("severities"); // oldest first
        QTest::addColumn<bool>("showWarnings");
        QTest::addColumn<QString>("emptyText");
        QTest::addColumn<QStringList>("listedSeverities"); // newest first
        QTest::addColumn<QString>("countText");

        const QString yet = u"No findings yet"_s;
        const QString hidden = u"No findings (warnings hidden)"_s;
        const QString none = u"No warnings"_s;
        QTest::newRow("empty store") << QStringList{} << false << yet << QStringList{} << QString();
        QTest::newRow("only warnings")
            << QStringList{"warning", "warning"} << false << hidden << QStringList{} << "2";
        QTest::newRow("alerts and warnings") << QStringList{"critical", "warning", "high", "info"} << false
                                             << QString() << QStringList{"high", "critical"} << "4";
        QTest::newRow("alerts and warnings, warnings on")
            << QStringList{"critical", "warning", "high"} << true << QString() << QStringList{"warning"}
            << "3";
        // Severity words are exact: these are neither alerts nor warnings.
        QTest::newRow("other words and case variants")
            << QStringList{"info", "Critical", "HIGH", "Warning"} << false << yet << QStringList{} << "4";
        QTest::newRow("other words and case variants, warnings on")
            << QStringList{"info", "Critical", "HIGH", "Warning"} << true << none << QStringList{} << "4";
    }

    void emptyStates()
    {
        QFETCH(QStringList, severities);
        QFETCH(bool, showWarnings);
        QFETCH(QString, emptyText);
        QFETCH(QStringList, listedSeverities);
        QFETCH(QString, countText);

        QList<Finding> findings;
        for (qsizetype i = 0; i < severities.size(); ++i)
            findings.append(findingAged(100 - i, severities.at(i)));
        Panel panel(findings);
        panel.view.setShowWarnings(showWarnings);
        QTRY_COMPARE(panel.model.rowCount(), severities.size());
        QTRY_COMPARE(panel.view.rows().size(), listedSeverities.size());
        QCOMPARE(panel.view.emptyStateText(), emptyText);
        QStringList listed;
        for (FindingRow* row : panel.view.rows())
            listed.append(row->finding().severity());
        QCOMPARE(listed, listedSeverities);
        QCOMPARE(panel.view.warningsButton()->text(), countText);
    }

    // What the buttons ask of the application: AppDelegateTest and EndToEndTest. Here: each has a name
    // for assistive technology, and the warnings switch says what a click does.
    void buttonsHaveNamesAndWarningsSwitch()
    {
        Panel panel({findingAged(30, u"critical"_s), findingAged(10, u"warning"_s)});
        FindingsView& view = panel.view;
        QTRY_COMPARE(view.rows().size(), 1);
        QToolButton* warnings = view.warningsButton();
        for (QToolButton* button : {view.trashButton(), view.folderButton(), view.powerButton(), warnings})
            QVERIFY(!button->accessibleName().isEmpty() && !button->icon().isNull());
        QCOMPARE(warnings->toolTip(), u"Show warnings"_s);
        QTest::mouseClick(warnings, Qt::LeftButton);
        QCOMPARE(view.rows().size(), 1);
        QCOMPARE(view.rows().first()->finding().severity(), u"warning"_s);
        QCOMPARE(warnings->toolTip(), u"Hide warnings"_s);
        QTest::mouseClick(warnings, Qt::LeftButton);
        QVERIFY(!view.showWarnings());
    }

    // Repeated failures show whether or not a restarted watcher runs at the moment.
    void watcherStateFollowsTheFlags()
    {
        WatcherStatus::shared().setRunning(false);
        Panel panel;
        const QString failing = u"Watcher keeps stopping; restarting it"_s;
        const QList<std::tuple<bool, bool, QString>> rows{{false, false, u"Watcher stopped"_s},
                                                          {true, false, u"Watcher running"_s},
                                                          {false, true, failing},
                                                          {true, true, failing}};
        for (const auto& [running, failed, text] : rows) {
            WatcherStatus::shared().setRunning(running);
            WatcherStatus::shared().setFailing(failed);
            QCOMPARE(panel.view.statusText(), text);
        }
        WatcherStatus::shared().setRunning(false);
        WatcherStatus::shared().setFailing(false);
    }

    void rowShowsAgeWhenAskedAndBothEndsOfALongPath()
    {
        const QString path = u"/home/someone/projects/"_s + QString(200, u'x') + u"/.vscode/tasks.json"_s;
        const Finding finding = findingAged(5 * 60 + 3, u"critical"_s, u"rule"_s, path);
        FindingRow row(finding);
        row.resize(300, row.sizeHint().height());
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));
        // The age is drawn when asked, not by a timer.
        row.refreshAge(finding.timestamp().addDays(1).addSecs(60));
        QCOMPARE(row.ageText(), u"yesterday"_s);
        // Cut in the middle, so the file's name stays in view.
        const QString shown = row.pathText();
        QVERIFY2(shown.size() < path.size(), qPrintable(shown));
        QVERIFY2(shown.startsWith(u"/home/"_s) && shown.endsWith(u"tasks.json"_s), qPrintable(shown));
    }

    void newFindingComesOnTopAndDeleteDismissesUntilUndone()
    {
        Panel panel({findingAged(60, u"high"_s, u"older"_s)});
        FindingsView& view = panel.view;
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_COMPARE(view.rows().size(), 1);
        FindingRow* older = view.rows().first();
        // Through the main context, as the intake inserts: listed before the save lands, the rows kept.
        Finding fresh(u"/p/new"_s, u"newer"_s, u"critical"_s, {});
        panel.store.container->mainContext().insert(fresh);
        QTRY_COMPARE(view.rows().size(), 2);
        QCOMPARE(view.rows().first()->ruleText(), u"newer"_s);
        QCOMPARE(view.rows().last(), older);
        QTRY_COMPARE(panel.store.storedFindingCount(), 2);
        QVERIFY(view.undoButton()->isHidden());

        FindingRow* top = view.rows().first();
        top->setFocus();
        QTest::keyClick(top, Qt::Key_Delete);
        QTRY_COMPARE(view.rows().size(), 1);
        QCOMPARE(view.rows().first()->ruleText(), u"older"_s);
        QCOMPARE(panel.store.storedFindingCount(), 1);
        QVERIFY(view.undoButton()->isVisible());

        // Restored as it was (the store's own test checks the record); back at the top.
        QTest::mouseClick(view.undoButton(), Qt::LeftButton);
        QTRY_COMPARE(view.rows().size(), 2);
        QCOMPARE(view.rows().first()->ruleText(), u"newer"_s);
        QCOMPARE(panel.store.storedFindingCount(), 2);
        QVERIFY(view.undoButton()->isHidden());

        // The row's own action does the same; closing the panel gives up the undo.
        view.rows().last()->dismissAction()->trigger();
        QTRY_COMPARE(view.rows().size(), 1);
        QVERIFY(view.canUndo());
        view.hide();
        QVERIFY(!view.canUndo());
        view.undoDismiss();
        QCOMPARE(panel.store.storedFindingCount(), 1);
    }

    void ignoredFindingsShowOnlyWithTheSwitch()
    {
        Panel panel({findingAged(60, u"critical"_s, u"r"_s, u"/w/a/hook"_s),
                     findingAged(50, u"critical"_s, u"r"_s, u"/w/ab/hook"_s),
                     findingAged(40, u"critical"_s, u"r"_s, u"/w/a/x/y"_s)});
        FindingsView& view = panel.view;
        QTRY_COMPARE(view.rows().size(), 3);
        QVERIFY(view.showIgnoredButton()->isHidden());

        // Ignoring the rule for the folder of /w/a/hook hides what lies in /w/a, not in /w/ab.
        FindingRow* hook = view.rows().last();
        QCOMPARE(hook->pathText(), u"/w/a/hook"_s);
        hook->ignoreFolderAction()->trigger();
        QTRY_COMPARE(view.rows().size(), 1);
        QCOMPARE(view.rows().first()->pathText(), u"/w/ab/hook"_s);
        QCOMPARE(panel.store.storedFindingCount(), 3);

        QTest::mouseClick(view.showIgnoredButton(), Qt::LeftButton);
        QTRY_COMPARE(view.rows().size(), 3);
        QList<bool> marked;
        for (FindingRow* row : view.rows())
            marked << row->isIgnored();
        QCOMPARE(marked, (QList<bool>{true, false, true}));
        QTest::mouseClick(view.showIgnoredButton(), Qt::LeftButton);
        QTRY_COMPARE(view.rows().size(), 1);
    }

    // The marker is the only severity cue, for the exact words alone; the rule's description shows as
    // text in the tooltip and the accessible description.
    void rowTexts_data()
    {
        QTest::addColumn<QString>("severity");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("shown");
        const QString other = u"\u26A0\uFE0F"_s;
        QTest::newRow("critical, no description")
            << "critical" << u"\u26D4CRITICAL:"_s << QString() << QString();
        QTest::newRow("high, markup stays text")
            << "high" << u"\u2757"_s << u"<b>bold</b> & <img src=x>"_s << u"<b>bold</b> & <img src=x>"_s;
        QTest::newRow("warning, line break becomes a token")
            << "warning" << other << u"a\nb"_s << u"a\u27E8U+000A\u27E9b"_s;
        QTest::newRow("critical in capitals") << "CRITICAL" << other << QString() << QString();
    }

    void rowTexts()
    {
        QFETCH(QString, severity);
        QFETCH(QString, marker);
        QFETCH(QString, description);
        QFETCH(QString, shown);
        FindingRow row(Finding(u"/p/f"_s, u"rule"_s, severity, {}, {}, description, {3}));
        QCOMPARE(row.markerText(), marker);
        QCOMPARE(row.accessibleDescription(), shown.isEmpty() ? u"/p/f"_s : shown + u"\n/p/f"_s);
        QTextDocument tip;
        tip.setHtml(row.toolTip());
        QCOMPARE(tip.toPlainText(), shown);
    }

    // A named day rather than "1 day ago": 30 hours back from 9:00 is still the day before, 34 hours back
    // is 23:00 two days before. The POSIX locale has no ICU data of its own and reads as English.
    void relativeAge()
    {
        const QDateTime now = QDateTime(QDate(2026, 6, 15), QTime(9, 0), Qt::LocalTime);
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const struct
        {
            qint64 secondsAgo;
            QLocale locale;
            QString expected;
        } rows[] = {{59, english, u"now"_s},
                    {30 * 3600, english, u"yesterday"_s},
                    {34 * 3600, english, u"2 days ago"_s},
                    {86400, QLocale::c(), u"yesterday"_s}};
        for (const auto& row : rows)
            QCOMPARE(formatRelativeAge(now.addSecs(-row.secondsAgo), now, row.locale), row.expected);
        QVERIFY(formatRelativeAge(QDateTime(), now, english).isEmpty());
        QVERIFY(formatRelativeAge(now, QDateTime(), english).isEmpty());
    }

    void everySymbolIsDrawnAndTinted()
    {
        for (const auto& entry : symbolIconTable()) {
            const QString symbol = QString::fromLatin1(entry.symbol);
            // Tinted, not merely drawn: a tint that fails leaves the symbol black on a dark panel.
            QVERIFY2(drawnPixels(tintedSymbolIcon(symbol, QColor(220, 20, 20)), QColor(220, 20, 20)) > 10,
                     entry.symbol);
        }
        QVERIFY(symbolResourcePath(u"../GnomeIcon"_s).isEmpty());
        // A figure, not a blank square and not a filled one.
        const int drawn = drawnPixels(gnomeIcon());
        QVERIFY2(drawn > 32 * 32 / 5 && drawn < 32 * 32, qPrintable(QString::number(drawn)));
    }
};

QTEST_MAIN(FindingsViewTest)
#include "FindingsViewTest.moc"
