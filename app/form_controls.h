#pragma once

// The few controls the window needs beyond Qt's own: a label and a panel that report clicks, and the
// rounded frame drawn behind each borderless text box.

#include <QColor>
#include <QLabel>
#include <QWidget>

namespace app {

// A label that reports a click (press and release inside it). A disabled label reports nothing and lets
// the click reach the widget beneath it, as Qt does for disabled widgets.
class ClickableLabel final : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A filled panel that reports a click anywhere on it.
class ClickablePanel final : public QWidget {
    Q_OBJECT

public:
    explicit ClickablePanel(QWidget* parent = nullptr);
    void setFill(const QColor& color);
    QColor fill() const { return m_fill; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor m_fill;
};

// A white rounded rectangle with a light grey outline.
class RoundedFrame final : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace app
