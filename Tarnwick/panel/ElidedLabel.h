#pragma once

#include <QLabel>

// One line of text that, when too wide, keeps its start and its end and drops the middle ("…"), so
// both the folder and the file name of a long path stay visible. The full text is the tooltip.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return m_fullText; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateElision();

    QString m_fullText;
};
