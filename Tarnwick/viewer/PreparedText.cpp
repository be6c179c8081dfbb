#include "viewer/PreparedText.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>

PreparedText::PreparedText() = default;
PreparedText::~PreparedText() = default;
PreparedText::PreparedText(PreparedText&&) noexcept = default;
PreparedText& PreparedText::operator=(PreparedText&&) noexcept = default;

PreparedText prepareText(const QString& text, const QFont& font, QThread* target)
{
    PreparedText prepared;
    DisplayText display = makeDisplayText(text);
    prepared.marks = std::move(display.marks);

    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    document->setDefaultFont(font);
    document->setDocumentMargin(kTextMargin);
    // The wrap mode the views use: set here, the view finds it unchanged and skips a pass over every
    // line of the document.
    QTextOption option = document->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document->setDefaultTextOption(option);
    // The layout comes first so that the text is split into blocks once, lazily laid out later.
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setPlainText(display.text);
    display.text.clear();
    // The view clears every block's layout whenever its width changes, creating the layout objects on
    // first use: create them here, so that the UI thread only clears them.
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        block.layout();
    if (target && document->thread() != target)
        document->moveToThread(target);
    prepared.document = std::move(document);
    return prepared;
}
