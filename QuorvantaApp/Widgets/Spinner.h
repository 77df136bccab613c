// An indeterminate progress indicator: spokes round a centre, the brightest one moving on one step
// per tick. Two sizes: regular (in a state view) and mini (beside a line of small text). It spins
// only while it is shown, so hidden spinners cost nothing. Drawn in the palette's text colour. The
// mini one has fewer spokes, so that they stay apart at its few pixels.
//
// Threads: main thread.
#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace quorvanta::app {

class Spinner final : public QWidget {
public:
    enum class Size { regular, mini };

    static constexpr int kTickMs = 80;

    explicit Spinner(Size size = Size::regular, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    Size size() const { return size_; }
    // 12 regular, 8 mini.
    int spokes() const { return size_ == Size::regular ? 12 : 8; }
    // Whether it moves on by itself: while it is shown.
    bool isSpinning() const { return timer_.isActive(); }
    // The spoke that is brightest, 0 to spokes() - 1.
    int phase() const { return phase_; }
    // One step on (the timer's tick).
    void advance();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    const Size size_;
    int phase_ = 0;
    QBasicTimer timer_;
};

}  // namespace quorvanta::app
