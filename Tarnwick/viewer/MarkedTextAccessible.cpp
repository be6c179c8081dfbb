#include "viewer/MarkedTextAccessible.h"

#include "viewer/MarkedTextView.h"

#include <QAccessibleWidget>

#include <algorithm>

namespace {

class MarkedTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit MarkedTextAccessible(MarkedTextView* view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return view()->toPlainText();
        return QAccessibleWidget::text(kind);
    }

    void selection(int index, int* start, int* end) const override
    {
        *start = *end = 0;
        if (index != 0 || !view()->hasSelection())
            return;
        *start = static_cast<int>(std::min(view()->anchorPosition(), view()->cursorPosition()));
        *end = static_cast<int>(std::max(view()->anchorPosition(), view()->cursorPosition()));
    }
    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override
    {
        view()->setSelection(view()->cursorPosition(), view()->cursorPosition());
    }
    void setSelection(int, int start, int end) override { view()->setSelection(start, end); }
    int cursorPosition() const override { return static_cast<int>(view()->cursorPosition()); }
    void setCursorPosition(int position) override { view()->setSelection(position, position); }
    QString text(int start, int end) const override
    {
        const QString& all = view()->toPlainText();
        start = std::clamp(start, 0, static_cast<int>(all.size()));
        end = std::clamp(end, start, static_cast<int>(all.size()));
        return all.sliced(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(view()->toPlainText().size()); }
    QRect characterRect(int offset) const override
    {
        const QRectF rect = view()->characterRect(offset);
        if (rect.isEmpty())
            return {};
        const QWidget* viewport = view()->viewport();
        return QRect(viewport->mapToGlobal(rect.topLeft().toPoint()), rect.size().toSize());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return static_cast<int>(view()->positionAt(view()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int start, int end) override
    {
        view()->ensureVisible(end);
        view()->ensureVisible(start);
    }
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    MarkedTextView* view() const { return static_cast<MarkedTextView*>(widget()); }
};

QAccessibleInterface* markedTextFactory(const QString& className, QObject* object)
{
    // Asked for each class up the chain, so subclasses are covered by their base's name.
    if (className == QLatin1String("MarkedTextView") && object && object->isWidgetType())
        return new MarkedTextAccessible(static_cast<MarkedTextView*>(object));
    return nullptr;
}

} // namespace

void installMarkedTextAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(markedTextFactory);
        return true;
    }();
    (void)installed;
}
