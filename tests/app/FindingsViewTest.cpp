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

    void markers_data()
    {
        QTest::addColumn<QString>("severity");
        QTest::addColumn<QString>("marker");
        QTest::newRow("critical") << "critical" << u"\u26D4CRITICAL:"_s;
        QTest::newRow("high") << "high" << u"\u2757"_s;
        QTest::newRow("warning") << "warning" << u"\u26A0\uFE0F"_s;
        QTest::newRow("critical in capitals") << "CRITICAL" << u"\u26A0\uFE0F"_s;
        QTest::newRow("high with a space") << "high " << u"\u26A0\uFE0F"_s;
    }

    void markers()
    {
        QFETCH(QString, severity);
        QFETCH(QString, marker);
        FindingRow row(Finding(u"/p/f"_s, u"rule"_s, severity, {}));
        QCOMPARE(row.markerText(), marker);
        // The marker is the only severity cue: the rule's text is the rule name as given.
        QCOMPARE(row.ruleText(), u"rule"_s);
    }

    void buttonsHaveNamesAndAskTheApplication()
    {
        Panel panel({findingAged(30, u"critical"_s), findingAged(10, u"warning"_s)});
        FindingsView& view = panel.view;
        QTRY_COMPARE(view.rows().size(), 1);
        const QList<QPair<QToolButton*, QString>> buttons{
            {view.trashButton(), "trash"}, {view.folderButton(), "folder"}, {view.powerButton(), "power"}};
        for (const auto& [button, symbol] : buttons) {
            QCOMPARE(button->property("symbol").toString(), symbol);
            QVERIFY2(!button->accessibleName().isEmpty() && !button->icon().isNull(), qPrintable(symbol));
        }

        // The warnings switch says what a click does.
        QToolButton* warnings = view.warningsButton();
        QVERIFY(!warnings->accessibleName().isEmpty());
        QCOMPARE(warnings->toolTip(), u"Show warnings"_s);
        QTest::mouseClick(warnings, Qt::LeftButton);
        QCOMPARE(view.rows().size(), 1);
        QCOMPARE(view.rows().first()->finding().severity(), u"warning"_s);
        QCOMPARE(warnings->toolTip(), u"Hide warnings"_s);
        QTest::mouseClick(warnings, Qt::LeftButton);
        QVERIFY(!view.showWarnings());

        QSignalSpy clear(&view, &FindingsView::clearRequested);
        QSignalSpy directories(&view, &FindingsView::directoriesRequested);
        QStringList opened;
        connect(&view, &FindingsView::findingOpenRequested, this,
                [&](const Finding& f) { opened << f.path(); });
        QTest::mouseClick(view.trashButton(), Qt::LeftButton);
        QTest::mouseClick(view.folderButton(), Qt::LeftButton);
        QTest::mouseClick(view.rows().first(), Qt::LeftButton);
        QCOMPARE(clear.count(), 1);
        QCOMPARE(directories.count(), 1);
        QCOMPARE(opened, QStringList{u"/work/project/.git/hooks/pre-commit"_s});
        // The view writes nothing itself.
        QCOMPARE(panel.store.storedFindingCount(), 2);
    }

    void watcherStateFollowsTheFlags()
    {
        WatcherStatus::shared().setRunning(false);
        Panel panel;
        QCOMPARE(panel.view.statusText(), u"Watcher stopped"_s);
        // Repeated failures show whether or not a restarted watcher runs at the moment.
        const struct
        {
            bool running;
            bool failing;
            QString text;
        } steps[] = {{true, false, u"Watcher running"_s},
                     {false, true, u"Watcher keeps stopping; restarting it"_s},
                     {true, true, u"Watcher keeps stopping; restarting it"_s},
                     {true, false, u"Watcher running"_s}};
        for (const auto& step : steps) {
            WatcherStatus::shared().setRunning(step.running);
            WatcherStatus::shared().setFailing(step.failing);
            QCOMPARE(panel.view.statusText(), step.text);
        }
        WatcherStatus::shared().setRunning(false);
    }

    void rowShowsAgeWhenAskedAndBothEndsOfALongPath()
    {
        const QString path = u"/home/someone/projects/"_s + QString(200, u'x') + u"/.vscode/tasks.json"_s;
        const Finding finding = findingAged(5 * 60 + 3, u"critical"_s, u"rule"_s, path);
        FindingRow row(finding);
        row.resize(300, row.sizeHint().height());
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));
        QVERIFY2(row.ageText().contains(u"5 min"_s), qPrintable(row.ageText()));
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

    void rowCarriesTheDescription_data()
    {
        QTest::addColumn<QString>("description");
        // As the tooltip's plain text and the accessible description show it.
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << QString() << QString();
        QTest::newRow("markup stays text")
            << u"<b>bold</b> & <img src=x>"_s << u"<b>bold</b> & <img src=x>"_s;
        QTest::newRow("line break becomes a token") << u"a\nb"_s << u"a\u27E8U+000A\u27E9b"_s;
    }

    void rowCarriesTheDescription()
    {
        QFETCH(QString, description);
        QFETCH(QString, shown);
        FindingRow row(Finding(u"/p/f"_s, u"rule"_s, u"high"_s, {}, {}, description, {3}));
        QCOMPARE(row.accessibleDescription(), shown.isEmpty() ? u"/p/f"_s : shown + u"\n/p/f"_s);
        QTextDocument tip;
        tip.setHtml(row.toolTip());
        QCOMPARE(tip.toPlainText(), shown);
    }

    void relativeAge_data()
    {
        QTest::addColumn<qint64>("secondsAgo"); // before 9:00
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("under a minute") << qint64(59) << english << u"now"_s;
        QTest::newRow("a minute ahead (clock skew)") << qint64(-90) << english << u"in 1 min."_s;
        // A named day rather than "1 day ago"; 30 hours back from 9:00 is still the day before, 34 hours
        // back is 23:00 two days before.
        QTest::newRow("30 hours") << qint64(30 * 3600) << english << u"yesterday"_s;
        QTest::newRow("34 hours") << qint64(34 * 3600) << english << u"2 days ago"_s;
        QTest::newRow("eight days") << qint64(8 * 86400) << english << u"last wk."_s;
        QTest::newRow("German") << qint64(86400) << QLocale(QLocale::German, QLocale::Germany)
                                << u"gestern"_s;
        // The POSIX locale has no ICU data of its own and reads as English.
        QTest::newRow("POSIX") << qint64(86400) << QLocale::c() << u"yesterday"_s;
    }

    void relativeAge()
    {
        QFETCH(qint64, secondsAgo);
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        const QDateTime now = QDateTime(QDate(2026, 6, 15), QTime(9, 0), Qt::LocalTime);
        QCOMPARE(formatRelativeAge(now.addSecs(-secondsAgo), now, locale), expected);
        QVERIFY(formatRelativeAge(QDateTime(), now, locale).isEmpty());
        QVERIFY(formatRelativeAge(now, QDateTime(), locale).isEmpty());
    }

    void symbolIsDrawnAndTinted_data()
    {
        QTest::addColumn<QString>("symbol");
        for (const auto& entry : symbolIconTable())
            QTest::newRow(entry.symbol) << QString::fromLatin1(entry.symbol);
    }

    void symbolIsDrawnAndTinted()
    {
        QFETCH(QString, symbol);
        QVERIFY(QFile::exists(symbolResourcePath(symbol)));
        // Tinted, not merely drawn: a tint that fails leaves the symbol black on a dark panel.
        QVERIFY(drawnPixels(tintedSymbolIcon(symbol, QColor(220, 20, 20)), QColor(220, 20, 20)) > 10);
    }

    void unknownSymbolGivesNoIconAndGnomeIconIsAFigure()
    {
        QVERIFY(symbolIcon(u"no.such.symbol"_s).isNull());
        QVERIFY(tintedSymbolIcon(u"no.such.symbol"_s, Qt::red).isNull());
        QVERIFY(symbolResourcePath(u"../GnomeIcon"_s).isEmpty());
        // A figure, not a blank square and not a filled one.
        const int drawn = drawnPixels(gnomeIcon());
        QVERIFY2(drawn > 32 * 32 / 5 && drawn < 32 * 32, qPrintable(QString::number(drawn)));
    }
};

QTEST_MAIN(FindingsViewTest)
#include "FindingsViewTest.moc"
