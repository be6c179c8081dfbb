#pragma once

#include <QLabel>

// One line that keeps the start and the end of a long path and drops the middle ("…"); the whole
// path is the tooltip and is what a copy gives.
class ElidedPathLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedPathLabel(const QString& path, QWidget* parent = nullptr);

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
