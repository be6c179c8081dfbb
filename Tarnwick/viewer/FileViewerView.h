#pragma once

#include "viewer/ViewerSubject.h"
#include "viewer/ViewerTab.h"

#include <QString>
#include <QWidget>

#include <memory>

class DiffView;
struct FileContent;
class FileContentView;
class FindingBanner;
class MarkedTextView;
class QAbstractButton;
class QButtonGroup;
class QLabel;
class QStackedWidget;
class QToolButton;
struct ViewerContentResult;
struct ViewerDiffResult;
struct ViewerDisplayResult;
struct ViewerLoadChannel;

// The whole content of one file viewer window: a header (file name, path, the Diff / File selector,
// the rule badge, the open button), the finding's banner (severity, rule, description), a divider and
// the selected tab. The lines the rule matched are marked in both tabs; F3 / Shift+F3 step through
// them in the tab shown.
//
// Each time the view is shown it reads the file and runs git off the UI thread, then applies the
// results on the UI thread in a fixed order: the content (of a long text, its opening lines), then the
// diff, then the tab choice (File when the diff is empty, even if the user picked a tab meanwhile).
// `loaded()` follows; then the whole of long texts, and `fullyShown()`.
class FileViewerView : public QWidget
{
    Q_OBJECT
public:
    explicit FileViewerView(const ViewerSubject& subject, QWidget* parent = nullptr);
    ~FileViewerView() override;

    QString path() const { return m_path; }
    QString ruleName() const { return m_ruleName; }
    const QList<int>& matchedLines() const { return m_lines; }

    ViewerTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(ViewerTab tab);

    // The file's text (or the read-failure text) and git's diff; both "" until loaded. A file too long
    // to read before its opening lines are shown has its text "" until fullyShown().
    QString content() const { return m_content; }
    QString diff() const { return m_diff; }
    // True when the file was larger than what the viewer reads and only its start is shown.
    bool isContentTruncated() const { return m_truncated; }
    bool isLoading() const { return m_loading; }
    // Until the whole document of a long file or diff is built, its opening lines are shown.
    bool isShowingOpeningLinesOnly() const { return m_contentPartial || m_diffPartial; }

    FileContentView* fileContentView() const { return m_contentView; }
    DiffView* diffView() const { return m_diffView; }
    QAbstractButton* tabButton(ViewerTab tab) const;
    QToolButton* openButton() const { return m_openButton; }
    QLabel* truncationNote() const { return m_truncationNote; }
    FindingBanner* banner() const { return m_banner; }
    // Why the open button did not open the file; hidden until then.
    QLabel* openProblem() const { return m_openProblem; }

    // Step through the matched lines of the tab shown; false when there is no further one.
    bool goToNextMatch();
    bool goToPreviousMatch();

    // The file name shown in the header: the last component of `path` (a trailing "/" ignored).
    static QString fileNameOfPath(const QString& path);

signals:
    void loaded();
    // After loaded(), once long texts are shown whole (at once when nothing was long).
    void fullyShown();
    void selectedTabChanged(ViewerTab tab);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    void startLoading();
    void applyContent(quint64 generation, const std::shared_ptr<ViewerContentResult>& result);
    void applyDiff(quint64 generation, const std::shared_ptr<ViewerDiffResult>& result);
    void applyContentDisplay(quint64 generation, const std::shared_ptr<ViewerDisplayResult>& result);
    void applyDiffDisplay(quint64 generation, const std::shared_ptr<ViewerDisplayResult>& result);
    void takeContent(FileContent content);
    void updateNote();
    void openInDefaultApplication();
    MarkedTextView* shownTextView() const;
    // Once per load and text: `done` is set when the scroll happened.
    static void scrollToFirstMatch(MarkedTextView* view, bool& done, bool openingLinesOnly);

    QString m_path;
    QByteArray m_nativePath;
    QString m_ruleName;
    QList<int> m_lines;
    QString m_content;
    QString m_diff;
    ViewerTab m_selectedTab = ViewerTab::Diff;
    bool m_truncated = false;

    std::shared_ptr<ViewerLoadChannel> m_channel;
    quint64 m_generation = 0;
    bool m_loading = false;
    bool m_contentApplied = false;
    bool m_diffApplied = false;
    bool m_contentPartial = false;
    bool m_diffPartial = false;
    bool m_contentScrolled = false; // to the first match, once per load
    bool m_diffScrolled = false;
    qint64 m_fileSize = 0;
    std::shared_ptr<ViewerDiffResult> m_pendingDiff;              // arrived before the content of its load
    std::shared_ptr<ViewerDisplayResult> m_pendingContentDisplay; // arrived before loaded()
    std::shared_ptr<ViewerDisplayResult> m_pendingDiffDisplay;

    QButtonGroup* m_tabButtons = nullptr;
    QToolButton* m_openButton = nullptr;
    QLabel* m_truncationNote = nullptr;
    QLabel* m_openProblem = nullptr;
    FindingBanner* m_banner = nullptr;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_filePage = nullptr;
    FileContentView* m_contentView = nullptr;
    DiffView* m_diffView = nullptr;
};
