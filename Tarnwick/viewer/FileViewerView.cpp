#include "viewer/FileViewerView.h"

#include "ui/ElidedLabel.h"
#include "ui/SymbolIcons.h"
#include "viewer/DiffView.h"
#include "viewer/FileContentLoader.h"
#include "viewer/FileContentView.h"
#include "viewer/FindingBanner.h"
#include "viewer/InvisibleMarks.h"
#include "viewer/MatchRows.h"
#include "viewer/TextEditorLauncher.h"
#include "viewer/ViewerLoading.h"

#include <QButtonGroup>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Header texts come from file names, which can hide characters as well as file content can.
QString visibleOneLine(const QString& text)
{
    return makeDisplayText(text).text.replace(QLatin1Char('\n'), invisibleMarkToken(U'\n'));
}

QFont scaledFont(const QFont& base, qreal factor, bool bold)
{
    QFont font = base;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    else
        font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * factor)));
    font.setBold(bold);
    return font;
}

void makeSecondary(QWidget* widget)
{
    QPalette palette = widget->palette();
    const QColor text = palette.color(QPalette::WindowText);
    const QColor dim = palette.color(QPalette::PlaceholderText);
    palette.setColor(QPalette::WindowText,
                     QColor((text.red() + dim.red()) / 2, (text.green() + dim.green()) / 2,
                            (text.blue() + dim.blue()) / 2));
    widget->setPalette(palette);
}

QString mebibytes(qint64 bytes)
{
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', bytes < (10 << 20) ? 1 : 0);
}

} // namespace

FileViewerView::FileViewerView(const ViewerSubject& subject, QWidget* parent)
    : QWidget(parent)
    , m_path(subject.path)
    , m_nativePath(subject.nativePath.isEmpty() ? QFile::encodeName(subject.path) : subject.nativePath)
    , m_ruleName(subject.ruleName)
    , m_lines(subject.lines)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    m_banner = new FindingBanner(subject.severity, subject.ruleName, subject.description, this);
    m_banner->setMatchButtonsVisible(!fileRowsOfLines(m_lines).empty());
    connect(m_banner, &FindingBanner::previousRequested, this, &FileViewerView::goToPreviousMatch);
    connect(m_banner, &FindingBanner::nextRequested, this, &FileViewerView::goToNextMatch);
    layout->addWidget(m_banner);
    for (const auto& [key, step] :
         {std::pair{QKeySequence(Qt::Key_F3), &FileViewerView::goToNextMatch},
          std::pair{QKeySequence(Qt::SHIFT | Qt::Key_F3), &FileViewerView::goToPreviousMatch}}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, step);
    }

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    m_stack = new QStackedWidget(this);
    m_diffView = new DiffView(m_stack);
    m_filePage = new QWidget(m_stack);
    auto* fileLayout = new QVBoxLayout(m_filePage);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->setSpacing(0);
    m_truncationNote = new QLabel(this);
    m_truncationNote->setObjectName(QStringLiteral("truncationNote"));
    m_truncationNote->setWordWrap(true);
    m_truncationNote->setContentsMargins(8, 4, 8, 4);
    m_truncationNote->setStyleSheet(QStringLiteral("QLabel { background: rgba(255, 193, 7, 0.25); }"));
    m_truncationNote->hide();
    m_openProblem = new QLabel(this);
    m_openProblem->setObjectName(QStringLiteral("openProblem"));
    m_openProblem->setTextFormat(Qt::PlainText);
    m_openProblem->setWordWrap(true);
    m_openProblem->setContentsMargins(8, 4, 8, 4);
    m_openProblem->setStyleSheet(m_truncationNote->styleSheet());
    m_openProblem->hide();
    m_contentView = new FileContentView(m_filePage);
    m_contentView->showText(m_content);
    fileLayout->addWidget(m_contentView, 1);
    m_stack->addWidget(m_diffView);
    m_stack->addWidget(m_filePage);
    layout->addWidget(m_openProblem);
    layout->addWidget(m_truncationNote);
    layout->addWidget(m_stack, 1);

    setSelectedTab(ViewerTab::Diff);
}

FileViewerView::~FileViewerView()
{
    if (m_channel)
        m_channel->close();
}

QWidget* FileViewerView::buildHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(12, 8, 12, 8);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto* name = new QLabel(visibleOneLine(fileNameOfPath(m_path)), header);
    name->setObjectName(QStringLiteral("fileName"));
    name->setTextFormat(Qt::PlainText);
    name->setFont(scaledFont(font(), 1.1, true));
    auto* pathLabel = new ElidedLabel(visibleOneLine(m_path), header);
    pathLabel->setObjectName(QStringLiteral("path"));
    pathLabel->setFont(scaledFont(font(), 0.85, false));
    makeSecondary(pathLabel);
    titles->addWidget(name);
    titles->addWidget(pathLabel);
    row->addLayout(titles);
    row->addStretch(1);

    auto* tabs = new QHBoxLayout;
    tabs->setSpacing(0);
    m_tabButtons = new QButtonGroup(this);
    m_tabButtons->setExclusive(true);
    for (ViewerTab tab : allViewerTabs) {
        auto* button = new QPushButton(viewerTabRawValue(tab), header);
        button->setObjectName(QStringLiteral("tab") + viewerTabRawValue(tab));
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        m_tabButtons->addButton(button, static_cast<int>(tab));
        tabs->addWidget(button);
    }
    connect(m_tabButtons, &QButtonGroup::idClicked, this,
            [this](int id) { setSelectedTab(static_cast<ViewerTab>(id)); });
    row->addLayout(tabs);
    row->addStretch(1);

    // A long rule name gives way to the selector and the button, and shows "…" where it is cut.
    auto* badge = new ElidedLabel(visibleOneLine(m_ruleName), header);
    badge->setObjectName(QStringLiteral("ruleBadge"));
    badge->setFont(scaledFont(font(), 0.85, false));
    badge->setContentsMargins(8, 4, 8, 4);
    badge->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(128, 128, 128, 0.18); border-radius: 4px; }"));
    makeSecondary(badge);
    // The path gives way first; a name wider than this is cut rather than crowding the header.
    badge->setMinimumWidth(std::min(badge->sizeHint().width() + 16, 240));
    row->addWidget(badge);

    m_openButton = new QToolButton(header);
    m_openButton->setObjectName(QStringLiteral("openButton"));
    m_openButton->setAutoRaise(true);
    m_openButton->setIcon(symbolIcon(QStringLiteral("arrow.up.right.square")));
    m_openButton->setToolTip(tr("Open in default editor"));
    m_openButton->setAccessibleName(tr("Open in default editor"));
    connect(m_openButton, &QToolButton::clicked, this, &FileViewerView::openInDefaultApplication);
    row->addWidget(m_openButton);
    return header;
}

QString FileViewerView::fileNameOfPath(const QString& path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    const QString trimmed = path.left(end);
    if (trimmed == QLatin1String("/"))
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QAbstractButton* FileViewerView::tabButton(ViewerTab tab) const
{
    return m_tabButtons->button(static_cast<int>(tab));
}

void FileViewerView::setSelectedTab(ViewerTab tab)
{
    const bool changed = tab != m_selectedTab;
    m_selectedTab = tab;
    if (QAbstractButton* button = tabButton(tab))
        button->setChecked(true);
    m_stack->setCurrentWidget(tab == ViewerTab::Diff ? static_cast<QWidget*>(m_diffView) : m_filePage);
    if (changed)
        emit selectedTabChanged(tab);
}

void FileViewerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window restored by the window manager shows the same view again; only a view that really
    // comes (back) on screen loads.
    if (!event->spontaneous())
        startLoading();
}

void FileViewerView::startLoading()
{
    if (m_channel)
        m_channel->close();
    m_channel = std::make_shared<ViewerLoadChannel>();
    m_channel->view = this;
    const quint64 generation = ++m_generation;
    m_loading = true;
    m_contentApplied = false;
    m_diffApplied = false;
    m_contentScrolled = false;
    m_diffScrolled = false;
    m_pendingDiff.reset();
    m_pendingContentDisplay.reset();
    m_pendingDiffDisplay.reset();

    ViewerDeliveries deliveries;
    deliveries.content = [generation](FileViewerView* view, const std::shared_ptr<ViewerContentResult>& r) {
        view->applyContent(generation, r);
    };
    deliveries.contentDisplay = [generation](FileViewerView* view,
                                             const std::shared_ptr<ViewerDisplayResult>& r) {
        view->applyContentDisplay(generation, r);
    };
    deliveries.diff = [generation](FileViewerView* view, const std::shared_ptr<ViewerDiffResult>& r) {
        view->applyDiff(generation, r);
    };
    deliveries.diffDisplay = [generation](FileViewerView* view,
                                          const std::shared_ptr<ViewerDisplayResult>& r) {
        view->applyDiffDisplay(generation, r);
    };
    startViewerLoad(m_channel, m_nativePath, deliveries);
}

void FileViewerView::applyContent(quint64 generation, const std::shared_ptr<ViewerContentResult>& result)
{
    if (generation != m_generation)
        return;
    // Read ahead, the opening lines come without the content, which follows with the whole text; until
    // then nothing of an earlier load stays.
    takeContent(result->content ? std::move(*result->content) : FileContent{});
    m_contentPartial = result->partial;
    m_contentView->showPrepared(std::move(result->prepared));
    m_contentView->setMarkedRows(fileRowsOfLines(m_lines));
    scrollToFirstMatch(m_contentView, m_contentScrolled, m_contentPartial);
    updateNote();
    m_contentApplied = true;
    if (m_pendingDiff)
        applyDiff(generation, std::exchange(m_pendingDiff, nullptr));
}

void FileViewerView::applyDiff(quint64 generation, const std::shared_ptr<ViewerDiffResult>& result)
{
    if (generation != m_generation)
        return;
    if (!m_contentApplied) {
        m_pendingDiff = result;
        return;
    }
    m_diff = result->diff;
    m_diffPartial = result->partial;
    m_diffView->setDiff(m_diff, std::move(result->prepared));
    m_diffView->textView()->setMarkedRows(diffRowsOfLines(m_diff, m_lines));
    scrollToFirstMatch(m_diffView->textView(), m_diffScrolled, m_diffPartial);
    m_diffApplied = true;
    if (m_diff.isEmpty())
        setSelectedTab(ViewerTab::File);
    updateNote();
    m_loading = false;
    emit loaded();
    // Whole texts that arrived meanwhile follow loaded(); the last of them brings fullyShown().
    const auto contentDisplay = std::exchange(m_pendingContentDisplay, nullptr);
    const auto diffDisplay = std::exchange(m_pendingDiffDisplay, nullptr);
    if (contentDisplay)
        applyContentDisplay(generation, contentDisplay);
    if (diffDisplay)
        applyDiffDisplay(generation, diffDisplay);
    if (!contentDisplay && !diffDisplay && !isShowingOpeningLinesOnly())
        emit fullyShown();
}

void FileViewerView::applyContentDisplay(quint64 generation,
                                         const std::shared_ptr<ViewerDisplayResult>& result)
{
    if (generation != m_generation)
        return;
    if (!m_diffApplied) {
        m_pendingContentDisplay = result;
        return;
    }
    if (result->content)
        takeContent(std::move(*result->content));
    m_contentView->showPrepared(std::move(result->prepared));
    // The opening lines could not carry marks past their end.
    m_contentView->setMarkedRows(fileRowsOfLines(m_lines));
    scrollToFirstMatch(m_contentView, m_contentScrolled, false);
    m_contentPartial = false;
    updateNote();
    if (!isShowingOpeningLinesOnly())
        emit fullyShown();
}

void FileViewerView::takeContent(FileContent content)
{
    m_content = std::move(content.text);
    m_truncated = content.truncated;
    m_fileSize = content.fileSize;
}

void FileViewerView::applyDiffDisplay(quint64 generation, const std::shared_ptr<ViewerDisplayResult>& result)
{
    if (generation != m_generation)
        return;
    if (!m_diffApplied) {
        m_pendingDiffDisplay = result;
        return;
    }
    m_diffView->textView()->showPrepared(std::move(result->prepared));
    m_diffView->textView()->setMarkedRows(diffRowsOfLines(m_diff, m_lines));
    scrollToFirstMatch(m_diffView->textView(), m_diffScrolled, false);
    m_diffPartial = false;
    updateNote();
    if (!isShowingOpeningLinesOnly())
        emit fullyShown();
}

void FileViewerView::updateNote()
{
    QStringList notes;
    if (m_truncated) {
        notes << tr("This file is %1 MiB; only its first %2 MiB are shown.")
                     .arg(mebibytes(m_fileSize), mebibytes(kFileContentLimit));
    }
    if (m_contentPartial || m_diffPartial)
        notes << tr("Showing the first lines while the rest is prepared…");
    m_truncationNote->setText(notes.join(QLatin1Char(' ')));
    m_truncationNote->setVisible(!notes.isEmpty());
}

void FileViewerView::scrollToFirstMatch(MarkedTextView* view, bool& done, bool openingLinesOnly)
{
    // The first match may lie past the opening lines of a long text: then it is reached once the
    // whole text is shown.
    const std::vector<int>& rows = view->markedRows();
    if (done || rows.empty() || (openingLinesOnly && rows.front() >= view->lineCount()))
        return;
    view->scrollToRow(rows.front());
    done = true;
}

MarkedTextView* FileViewerView::shownTextView() const
{
    return m_selectedTab == ViewerTab::Diff ? static_cast<MarkedTextView*>(m_diffView->textView())
                                            : m_contentView;
}

bool FileViewerView::goToNextMatch()
{
    return shownTextView()->goToNextMarkedRow();
}

bool FileViewerView::goToPreviousMatch()
{
    return shownTextView()->goToPreviousMarkedRow();
}

void FileViewerView::openInDefaultApplication()
{
    // As text, with the user's text editor: the file's own type could make the desktop run it.
    QString editor;
    QString problem;
    switch (openAsText(m_nativePath, &editor)) {
    case OpenAsTextResult::Started:
        break;
    case OpenAsTextResult::NoTextEditor:
        problem = tr("The file was not opened: no application is set up to open text files. Choose a "
                     "default text editor in your desktop's settings.");
        break;
    case OpenAsTextResult::NameNotPassable:
        problem = tr("The file was not opened: its name cannot be handed to another program unchanged.");
        break;
    case OpenAsTextResult::StartFailed:
        problem = tr("The file was not opened: the text editor \u201c%1\u201d could not be started.")
                      .arg(visibleOneLine(editor));
        break;
    }
    m_openProblem->setText(problem);
    m_openProblem->setVisible(!problem.isEmpty());
}
