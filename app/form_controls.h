#pragma once

// The few controls the window needs beyond Qt's own: a label and a panel that report clicks, and the
// rounded frame drawn behind each borderless text box.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QStringList>
#include <QWidget>

#include <array>

namespace app {

// The screen scale factors the window's texts are fitted for, and the smallest font they may shrink to.
inline constexpr std::array<double, 4> kScaleFactors{1.0, 1.25, 1.5, 2.0};
inline constexpr double kSmallestPointSize = 8.0;

// The window's font: Segoe UI where the system has it, else the first of the close sans-serifs after it.
QStringList uiFontFamilies();
QFont uiFont(double points, bool bold = false);

// Whether `text` in `font` fits `width` (logical pixels) at every scale factor: glyph widths do not
// grow in proportion with the scale, so each is measured on its own.
bool fitsAtEveryScale(const QFont& font, const QString& text, int width);
// `font` itself when the text fits; otherwise the same font a quarter point smaller at a time until it
// fits, but never below kSmallestPointSize.
QFont fittedFont(const QFont& font, const QString& text, int width);

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
