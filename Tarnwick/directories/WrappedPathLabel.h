#pragma once

#include <QTextOption>
#include <QWidget>

// A path shown whole: wrapped onto as many lines as the width needs, at a slash, space or, failing
// those, anywhere (a QLabel only breaks at spaces, so a long path would be cut off).
class WrappedPathLabel : public QWidget
{
    Q_OBJECT
public:
    explicit WrappedPathLabel(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // How many lines the text takes at `width`.
    int lineCount(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QTextOption m_option;
};
