#include "app/form_controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace app {
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
