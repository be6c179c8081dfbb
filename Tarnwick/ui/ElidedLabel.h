#pragma once

#include <QLabel>

// One line of text that, when too wide, keeps its start and its end and drops the middle ("…"), so
// both the folder and the file name of a long path stay visible. The full text is the tooltip.
// It asks for the width of the whole text and can shrink to a few characters; a row that should take
// only the width it is given sets a horizontal size policy of Ignored.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return m_fullText; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateElision();

    QString m_fullText;
};
