#pragma once

// The few controls the window needs beyond Qt's own: the send button drawn as a panel with its caption,
// the activity log with a frame that stays whole at every scale, and the rounded frame drawn behind each
// borderless text box.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <array>

namespace app {

// The screen scale factors the window is laid out for, and the smallest font its texts may shrink to.
inline constexpr std::array<double, 5> kScaleFactors{1.0, 1.25, 1.5, 1.75, 2.0};
inline constexpr double kSmallestPointSize = 8.0;
// How close letters may be set (in percent of their own spacing) once a text is at the smallest size.
inline constexpr int kTightestLetterSpacing = 95;

// The window's font: Segoe UI where the system has it, else the first of the close sans-serifs after it.
QStringList uiFontFamilies();
QFont uiFont(double points, bool bold = false);

// Whether `text` in `font` fits `width` (logical pixels) at every scale factor: glyph widths do not
// grow in proportion with the scale, so each is measured on its own.
bool fitsAtEveryScale(const QFont& font, const QString& text, int width);
// `font` itself when the text fits; otherwise the same font a quarter point smaller at a time until it
// fits, but never below kSmallestPointSize; at that size, with its letters a percent closer at a time
// until it fits, but never closer than kTightestLetterSpacing.
QFont fittedFont(const QFont& font, const QString& text, int width);

// The whole device pixels a widget owns, given its edges in device coordinates (its place in the window
// times the scale): Qt rounds each edge to the nearest pixel boundary.
QRect ownedDevicePixels(const QRectF& deviceEdges);

// The send button: a push button drawn as a panel filled in one colour with its caption, bold and
// centred, on the panel's caption strip (greyed the platform's way while the button is disabled). While
// it has the keyboard focus, a light ring lies inside the panel. It takes the focus from the keyboard
// only, so that the mouse leaves the look unchanged; Space and Enter press it.
class SendButton final : public QPushButton {
    Q_OBJECT

public:
    explicit SendButton(QWidget* parent = nullptr);

    void setFill(const QColor& color);
    QColor fill() const { return m_fill; }
    // Where the caption is drawn, in the button's own coordinates.
    void setCaptionRect(const QRect& rect);
    QRect captionRect() const;
    // The caption's text (the button's text too) and its font.
    void setCaption(const QString& text, const QFont& font);
    // The caption label BtSync, for its colours.
    QLabel* caption() const { return m_caption; }

    // The ring's colour and width (logical pixels); the ring lies this far inside the panel's edge too.
    static QColor focusRingColor() { return Qt::white; }
    static constexpr int kFocusRingWidth = 2;

signals:
    // A press on the caption strip, or from the keyboard.
    void captionClicked();
    // A press on the bare panel above or below the caption strip.
    void panelClicked();

protected:
    bool hitButton(const QPoint& position) const override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QLabel* m_caption;
    bool m_releasedOnPanel = false;
};

// A list whose frame stays whole at every scale. At whole scales it is the style's own frame. At
// fractional ones the style would draw its lines at the list's edge in logical pixels, partly outside
// the device pixels the list owns, and the list's contents, rounded outwards, would paint over the rest;
// there each line of the style's frame, in the colour the style gives it, lies instead on the outermost
// device pixels the list owns, as many whole pixels wide as the scale makes it.
class FramedList final : public QListWidget {
    Q_OBJECT

public:
    using QListWidget::QListWidget;

protected:
    bool event(QEvent* event) override;

private:
    // The colours of the style's frame lines, outermost first, as the style draws them at scale 1.
    QList<QColor> styleFrameLines();
    void paintScrollBarCorner(QPainter& painter);
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
