#pragma once

#include "viewer/ViewerTab.h"

#include <QString>
#include <QWidget>

#include <memory>

class DiffView;
class FileContentView;
class QButtonGroup;
class QLabel;
class QStackedWidget;
class QToolButton;
struct ViewerLoadChannel;
struct ViewerLoadResult;

// The whole content of one file viewer window: a header (file name, path, the Diff / File selector,
// the rule badge, the open button), a divider and the selected tab.
//
// Each time the view is shown it reads the file and runs git off the UI thread, then applies the
// results on the UI thread in a fixed order: the content, then the diff, then the tab choice (File
// when the diff is empty, even if the user picked a tab meanwhile). `loaded()` follows.
class FileViewerView : public QWidget
{
    Q_OBJECT
public:
    FileViewerView(const QString& path, const QString& ruleName, QWidget* parent = nullptr);
    ~FileViewerView() override;

    QString path() const { return m_path; }
    QString ruleName() const { return m_ruleName; }

    ViewerTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(ViewerTab tab);

    // The file's text (or the read-failure text) and git's diff; both "" until loaded.
    QString content() const { return m_content; }
    QString diff() const { return m_diff; }
    // True when the file was larger than what the viewer reads and only its start is shown.
    bool isContentTruncated() const;

    FileContentView* fileContentView() const { return m_contentView; }
    DiffView* diffView() const { return m_diffView; }
    QToolButton* openButton() const { return m_openButton; }

signals:
    void loaded();
    void selectedTabChanged(ViewerTab tab);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void startLoading();
    void applyResult(quint64 generation, const std::shared_ptr<ViewerLoadResult>& result);
    void openInDefaultApplication();

    QString m_path;
    QString m_ruleName;
    QString m_content;
    QString m_diff;
    ViewerTab m_selectedTab = ViewerTab::Diff;

    std::shared_ptr<ViewerLoadChannel> m_channel;
    quint64 m_generation = 0;

    QButtonGroup* m_tabButtons = nullptr;
    QToolButton* m_openButton = nullptr;
    QLabel* m_truncationNote = nullptr;
    QStackedWidget* m_stack = nullptr;
    FileContentView* m_contentView = nullptr;
    DiffView* m_diffView = nullptr;
};
