#include "app/form_controls.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOption>

#include <cmath>

namespace app {

QStringList uiFontFamilies()
{
    return {QStringLiteral("Segoe UI"), QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")};
}

QFont uiFont(double points, bool bold)
{
    QFont font;
    font.setFamilies(uiFontFamilies());
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

bool fitsAtEveryScale(const QFont& font, const QString& text, int width)
{
    for (double scale : kScaleFactors) {
        QFont scaled = font;
        scaled.setPointSizeF(font.pointSizeF() * scale);
        if (QFontMetricsF(scaled).horizontalAdvance(text) > width * scale) {
            return false;
        }
    }
    return true;
}

QFont fittedFont(const QFont& font, const QString& text, int width)
{
    QFont fitted = font;
    while (!fitsAtEveryScale(fitted, text, width) && fitted.pointSizeF() - 0.25 >= kSmallestPointSize) {
        fitted.setPointSizeF(fitted.pointSizeF() - 0.25);
    }
    for (int spacing = 99; !fitsAtEveryScale(fitted, text, width) && spacing >= kTightestLetterSpacing; --spacing) {
        fitted.setLetterSpacing(QFont::PercentageSpacing, spacing);
    }
    return fitted;
}

QRect ownedDevicePixels(const QRectF& deviceEdges)
{
    const int left = qRound(deviceEdges.left());
    const int top = qRound(deviceEdges.top());
    return {left, top, qRound(deviceEdges.right()) - left, qRound(deviceEdges.bottom()) - top};
}

SendButton::SendButton(QWidget* parent) : QPushButton(parent), m_caption(new QLabel(this))
{
    // The caption stays the label it always was, so that each platform's style draws it as before in
    // every state (greyed its own way while disabled); presses go to the button beneath it.
    m_caption->setObjectName(QStringLiteral("BtSync"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setForegroundRole(QPalette::WindowText); // not the button text its parent would lend it
    m_caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::TabFocus);
    // Enter presses it while it has the focus; in the window it stands for the default action too.
    setDefault(true);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_releasedOnPanel) {
            emit panelClicked();
        } else {
            emit captionClicked();
        }
    });
}

void SendButton::setFill(const QColor& color)
{
    m_fill = color;
    update();
}

void SendButton::setCaptionRect(const QRect& rect)
{
    m_caption->setGeometry(rect);
}

QRect SendButton::captionRect() const
{
    return m_caption->geometry();
}

void SendButton::setCaption(const QString& text, const QFont& font)
{
    setText(text); // what screen readers name the button
    m_caption->setFont(font);
    m_caption->setText(text);
}

bool SendButton::hitButton(const QPoint& position) const
{
    return rect().contains(position); // the whole panel, whatever margins the style gives a push button
}

void SendButton::mouseReleaseEvent(QMouseEvent* event)
{
    m_releasedOnPanel = !captionRect().contains(event->position().toPoint());
    QPushButton::mouseReleaseEvent(event);
    m_releasedOnPanel = false;
}

void SendButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_fill);
    if (hasFocus()) {
        QPen ring(focusRingColor(), kFocusRingWidth);
        ring.setJoinStyle(Qt::MiterJoin);
        painter.setPen(ring);
        const double middle = kFocusRingWidth * 1.5; // the ring's middle line, one ring width inside the edge
        painter.drawRect(QRectF(rect()).adjusted(middle, middle, -middle, -middle));
    }
}

// The list's own painting, beneath its lines and scroll bars: the style's frame is painted over.
bool FramedList::event(QEvent* event)
{
    // The view's own handling also lays out pending lines and scroll bars before anything is painted.
    const bool handled = QListWidget::event(event);
    if (event->type() != QEvent::Paint) {
        return handled;
    }
    QPainter painter(this);
    const QTransform toDevice = painter.deviceTransform();
    const double scale = toDevice.m11();
    if (scale == std::round(scale)) {
        return handled; // at a whole scale the style's frame lies on whole device pixels: it stays
    }
    const QList<QColor> lines = styleFrameLines();
    const QRect owned = ownedDevicePixels(toDevice.mapRect(QRectF(rect())));
    const QTransform toLogical = toDevice.inverted();
    const auto fillDevicePixels = [&](const QRect& pixels, const QBrush& brush) {
        painter.fillRect(toLogical.mapRect(QRectF(pixels)), brush);
    };
    fillDevicePixels(owned, palette().base());
    paintScrollBarCorner(painter);
    for (qsizetype line = 0; line < lines.size(); ++line) {
        const int inset = qRound(line * scale);
        const int width = qRound((line + 1) * scale) - inset; // whole device pixels, as the line has at scale 1
        const QRect ring = owned.adjusted(inset, inset, -inset, -inset);
        for (const QRect& side : {QRect(ring.left(), ring.top(), ring.width(), width),
                                  QRect(ring.left(), ring.bottom() + 1 - width, ring.width(), width),
                                  QRect(ring.left(), ring.top(), width, ring.height()),
                                  QRect(ring.right() + 1 - width, ring.top(), width, ring.height())}) {
            fillDevicePixels(side, lines[line]);
        }
    }
    return true;
}

QList<QColor> FramedList::styleFrameLines()
{
    // Only the top edge is looked at: the frame's lines keep their colour all around.
    QImage topEdge(width(), frameWidth(), QImage::Format_RGB32);
    topEdge.fill(palette().window().color());
    QPainter painter(&topEdge);
    drawFrame(&painter);
    painter.end();
    QList<QColor> lines;
    for (int line = 0; line < frameWidth(); ++line) {
        lines << topEdge.pixelColor(width() / 2, line);
    }
    return lines;
}

void FramedList::paintScrollBarCorner(QPainter& painter)
{
    const QWidget* across = horizontalScrollBar()->parentWidget();
    const QWidget* down = verticalScrollBar()->parentWidget();
    if (!across->isVisibleTo(this) || !down->isVisibleTo(this)) {
        return;
    }
    QStyleOption option;
    option.initFrom(this);
    option.rect = QRect(QPoint(down->x(), across->y()), QPoint(down->geometry().right(), across->geometry().bottom()));
    style()->drawPrimitive(QStyle::PE_PanelScrollAreaCorner, &option, &painter, this);
}

void RoundedFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(192, 192, 192));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

} // namespace app
