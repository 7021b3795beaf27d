#include "app/form_controls.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

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
    return fitted;
}

namespace {

bool releasedInside(const QWidget& widget, const QMouseEvent& event)
{
    return event.button() == Qt::LeftButton && widget.rect().contains(event.position().toPoint());
}

} // namespace

void ClickableLabel::mousePressEvent(QMouseEvent* event)
{
    event->accept(); // so that the release comes here too
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (releasedInside(*this, *event)) {
        emit clicked();
    }
}

ClickablePanel::ClickablePanel(QWidget* parent) : QWidget(parent) {}

void ClickablePanel::setFill(const QColor& color)
{
    m_fill = color;
    update();
}

void ClickablePanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_fill);
}

void ClickablePanel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void ClickablePanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (releasedInside(*this, *event)) {
        emit clicked();
    }
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
