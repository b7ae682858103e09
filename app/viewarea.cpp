#include "viewarea.h"

#include "settings/settings.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace lodrix {

ViewArea::ViewArea(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::CrossCursor);
}

void ViewArea::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    if (pressed)
        pressed(event->position());
}

void ViewArea::mouseMoveEvent(QMouseEvent *event)
{
    if (pointed)
        pointed(event->position());
}

void ViewArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && released)
        released();
}

void ViewArea::leaveEvent(QEvent *)
{
    if (pointed)
        pointed(std::nullopt);
}

void ViewArea::keyPressEvent(QKeyEvent *event)
{
    int steps = 0;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        steps = 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        steps = -1;
        break;
    case Qt::Key_PageUp:
        steps = gainSliderPage;
        break;
    case Qt::Key_PageDown:
        steps = -gainSliderPage;
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    if (stepped)
        stepped(steps);
}

void ViewArea::paintEvent(QPaintEvent *)
{
    // The box is the window's drawing: only the focus is drawn here.
    if (!hasFocus())
        return;
    QPainter p(this);
    QPen pen(palette().color(QPalette::Highlight));
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace lodrix
