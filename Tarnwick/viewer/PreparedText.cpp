#include "viewer/PreparedText.h"

#include "viewer/TextLines.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>

PreparedText::PreparedText() = default;
PreparedText::~PreparedText() = default;
PreparedText::PreparedText(PreparedText&&) noexcept = default;
PreparedText& PreparedText::operator=(PreparedText&&) noexcept = default;

namespace {

// The note after each cut line, a highlighted span of its own (marks stay in text order).
void appendCutNotes(DisplayText& display, const std::vector<LineCut>& cuts)
{
    if (cuts.empty())
        return;
    const QString& text = display.text;
    QString out;
    out.reserve(text.size() + static_cast<qsizetype>(cuts.size()) * 64);
    std::vector<MarkSpan> marks;
    marks.reserve(display.marks.size() + cuts.size());
    auto mark = display.marks.begin();
    qsizetype line = 0;
    qsizetype lineStart = 0;
    qsizetype copied = 0;
    for (const LineCut& cut : cuts) {
        for (; line < cut.line; ++line)
            lineStart = text.indexOf(QLatin1Char('\n'), lineStart) + 1;
        qsizetype end = text.indexOf(QLatin1Char('\n'), lineStart);
        if (end < 0)
            end = text.size();
        out += QStringView(text).sliced(copied, end - copied);
        copied = end;
        for (; mark != display.marks.end() && mark->line <= cut.line; ++mark)
            marks.push_back(*mark);
        const QString note = lineCutNote(cut.fullLength);
        const qsizetype blank = note.indexOf(QChar(0x27EA));
        marks.push_back({cut.line, end - lineStart + blank, note.size() - blank});
        out += note;
    }
    out += QStringView(text).sliced(copied);
    marks.insert(marks.end(), mark, display.marks.end());
    display.text = std::move(out);
    display.marks = std::move(marks);
}

} // namespace

PreparedText prepareText(const QString& text, const QFont& font, QThread* target, CrlfEnd crlf)
{
    PreparedText prepared;
    CutText cut = cutLongLines(text);
    DisplayText display = makeDisplayText(cut.text, crlf);
    cut.text.clear();
    appendCutNotes(display, cut.cuts);
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
