#include "viewer/PreparedText.h"

#include "viewer/TextLines.h"

#include <algorithm>

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

std::vector<qsizetype> findLineStarts(QStringView text)
{
    std::vector<qsizetype> starts{0};
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] == u'\n')
            starts.push_back(i + 1);
    }
    return starts;
}

} // namespace

QStringView PreparedText::line(qsizetype line) const
{
    const qsizetype start = lineStarts[static_cast<size_t>(line)];
    return QStringView(text).sliced(start, lineEnd(line) - start);
}

qsizetype PreparedText::lineEnd(qsizetype line) const
{
    return line + 1 < lineCount() ? lineStarts[static_cast<size_t>(line + 1)] - 1 : text.size();
}

qsizetype PreparedText::lineAt(qsizetype position) const
{
    const auto next = std::upper_bound(lineStarts.begin(), lineStarts.end(), position);
    return std::max<qsizetype>(0, (next - lineStarts.begin()) - 1);
}

PreparedText prepareText(const QString& text, CrlfEnd crlf)
{
    PreparedText prepared;
    CutText cut = cutLongLines(text);
    DisplayText display = makeDisplayText(cut.text, crlf);
    cut.text.clear();
    appendCutNotes(display, cut.cuts);
    prepared.marks = std::move(display.marks);
    prepared.lineStarts = findLineStarts(display.text);
    prepared.text = std::move(display.text);
    return prepared;
}
