#include "QuorvantaApp/Widgets/Spinner.h"

#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

namespace quorvanta::app {
namespace {

constexpr int kRegularSide = 32;
constexpr int kMiniSide = 12;

}  // namespace

Spinner::Spinner(Size size, QWidget* parent) : QWidget(parent), size_(size) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Spinner::sizeHint() const {
    const int side = size_ == Size::regular ? kRegularSide : kMiniSide;
    return {side, side};
}

void Spinner::advance() {
    phase_ = (phase_ + 1) % spokes();
    update();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const qreal outer = side / 2;
    const bool regular = size_ == Size::regular;
    const int count = spokes();
    const qreal inner = outer * (regular ? 0.5 : 0.4);
    const qreal thickness = std::max(1.2, side * (regular ? 0.085 : 0.1));
    painter.translate(width() / 2.0, height() / 2.0);
    QColor colour = palette().color(QPalette::WindowText);
    for (int i = 0; i < count; ++i) {
        // The spoke at `phase_` is fully drawn; those behind it fade to a quarter.
        const int behind = (phase_ - i + count) % count;
        colour.setAlphaF(1.0 - 0.75 * behind / (count - 1));
        painter.setPen(QPen(colour, thickness, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * i / count);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -(outer - thickness / 2)));
        painter.restore();
    }
}

void Spinner::showEvent(QShowEvent*) { timer_.start(kTickMs, this); }

void Spinner::hideEvent(QHideEvent*) { timer_.stop(); }

void Spinner::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId())
        advance();
    else
        QWidget::timerEvent(event);
}

}  // namespace quorvanta::app
