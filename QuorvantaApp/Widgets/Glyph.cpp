// The drawings of the symbol set. Each is a function that draws on a 24 × 24 grid with rounded
// strokes (kLine wide unless it says otherwise) and fills, all in one opaque colour, onto a
// transparent layer; `cut` clears to transparent (a mark knocked out of a filled circle, the gap
// around a badge). The layer is then painted with the tint, its alpha applied once, so that
// overlapping strokes of a half-transparent tint do not darken where they meet.
#include "QuorvantaApp/Widgets/Glyph.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>

namespace quorvanta::app {
namespace {

constexpr qreal kGrid = 24;
constexpr qreal kLine = 1.8;

class Canvas {
public:
    explicit Canvas(QPainter& painter) : painter_(painter) {}

    void stroke(const QPainterPath& path, qreal width = kLine) { painter_.strokePath(path, pen(width)); }
    void fill(const QPainterPath& path) { painter_.fillPath(path, Qt::black); }
    void cut(const QPainterPath& path, qreal width) {
        const auto mode = painter_.compositionMode();
        painter_.setCompositionMode(QPainter::CompositionMode_Clear);
        painter_.strokePath(path, pen(width));
        painter_.setCompositionMode(mode);
    }
    void cutFill(const QPainterPath& path) {
        const auto mode = painter_.compositionMode();
        painter_.setCompositionMode(QPainter::CompositionMode_Clear);
        painter_.fillPath(path, Qt::black);
        painter_.setCompositionMode(mode);
    }

private:
    static QPen pen(qreal width) { return QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }
    QPainter& painter_;
};

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    for (const auto& point : points) {
        if (path.elementCount() == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    return path;
}

QPainterPath line(qreal x1, qreal y1, qreal x2, qreal y2) { return polyline({{x1, y1}, {x2, y2}}); }

QPainterPath polygon(std::initializer_list<QPointF> points) {
    auto path = polyline(points);
    path.closeSubpath();
    return path;
}

QPainterPath circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath roundedRect(qreal x, qreal y, qreal width, qreal height, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, width, height), radius, radius);
    return path;
}

// The point of a circle at `degrees`, counted counter-clockwise from three o'clock.
QPointF onCircle(QPointF centre, qreal radius, qreal degrees) {
    const qreal radians = degrees * std::numbers::pi / 180;
    return {centre.x() + radius * std::cos(radians), centre.y() - radius * std::sin(radians)};
}

// A question mark `height` tall around `centre`: its hook, to be stroked, and its dot.
struct QuestionMark {
    QPainterPath hook;
    QPointF dot;
};

QuestionMark questionMark(QPointF centre, qreal height) {
    const auto at = [&](qreal x, qreal y) { return QPointF(centre.x() + x * height, centre.y() + y * height); };
    QuestionMark mark;
    mark.hook.moveTo(at(-0.25, -0.24));
    mark.hook.cubicTo(at(-0.25, -0.42), at(-0.13, -0.5), at(0.0, -0.5));
    mark.hook.cubicTo(at(0.15, -0.5), at(0.26, -0.4), at(0.26, -0.26));
    mark.hook.cubicTo(at(0.26, -0.07), at(0.0, -0.04), at(0.0, 0.17));
    mark.dot = at(0.0, 0.42);
    return mark;
}

// Drives

void externalDriveBody(Canvas& c) {
    c.stroke(roundedRect(2.5, 6.5, 19, 11, 3));
    c.stroke(line(6, 13.5, 11, 13.5), 1.6);
    c.fill(circle({17, 13.5}, 1.1));
}

void internalDrive(Canvas& c) {
    c.stroke(roundedRect(2, 7.5, 20, 9, 1.5));
    c.stroke(line(2, 12, 22, 12), 1.5);
    c.stroke(line(5, 14.3, 9, 14.3), 1.4);
    c.fill(circle({18.5, 14.3}, 0.95));
}

constexpr QPointF kBadge{18.5, 17.5};

// The drive with a filled badge over its lower right corner, `mark` knocked out of the badge.
template <class Mark>
void badgedDrive(Canvas& c, Mark mark) {
    externalDriveBody(c);
    c.cutFill(circle(kBadge, 6.6));
    c.fill(circle(kBadge, 5.2));
    mark(c);
}

void externalDrive(Canvas& c) { externalDriveBody(c); }

void externalDriveCheckmark(Canvas& c) {
    badgedDrive(c, [](Canvas& c) {
        c.cut(polyline({{kBadge.x() - 2.4, kBadge.y() + 0.1},
                        {kBadge.x() - 0.7, kBadge.y() + 1.9},
                        {kBadge.x() + 2.5, kBadge.y() - 1.9}}),
              1.5);
    });
}

void externalDrivePlus(Canvas& c) {
    badgedDrive(c, [](Canvas& c) {
        c.cut(line(kBadge.x() - 2.6, kBadge.y(), kBadge.x() + 2.6, kBadge.y()), 1.5);
        c.cut(line(kBadge.x(), kBadge.y() - 2.6, kBadge.x(), kBadge.y() + 2.6), 1.5);
    });
}

void externalDriveQuestionmark(Canvas& c) {
    badgedDrive(c, [](Canvas& c) {
        const auto mark = questionMark(kBadge, 6.4);
        c.cut(mark.hook, 1.4);
        c.cutFill(circle(mark.dot, 0.85));
    });
}

void externalDriveXmark(Canvas& c) {
    badgedDrive(c, [](Canvas& c) {
        c.cut(line(kBadge.x() - 2, kBadge.y() - 2, kBadge.x() + 2, kBadge.y() + 2), 1.5);
        c.cut(line(kBadge.x() + 2, kBadge.y() - 2, kBadge.x() - 2, kBadge.y() + 2), 1.5);
    });
}

void network(Canvas& c) {
    c.stroke(circle({12, 12}, 9), 1.6);
    QPainterPath meridian;
    meridian.addEllipse(QRectF(8, 3, 8, 18));
    c.stroke(meridian, 1.4);
    c.stroke(line(3, 12, 21, 12), 1.4);
    c.stroke(line(4.6, 7.5, 19.4, 7.5), 1.4);
    c.stroke(line(4.6, 16.5, 19.4, 16.5), 1.4);
}

// Search window and shell

void magnifyingGlass(Canvas& c) {
    c.stroke(circle({10, 10}, 6.5), 2.0);
    c.stroke(line(14.9, 14.9, 20.5, 20.5), 2.6);
}

void xmark(Canvas& c) {
    c.stroke(line(6, 6, 18, 18), 2.0);
    c.stroke(line(18, 6, 6, 18), 2.0);
}

void xmarkCircleFill(Canvas& c) {
    c.fill(circle({12, 12}, 9.5));
    c.cut(line(8.6, 8.6, 15.4, 15.4), 2.0);
    c.cut(line(15.4, 8.6, 8.6, 15.4), 2.0);
}

void checkmarkCircleFill(Canvas& c) {
    c.fill(circle({12, 12}, 9.5));
    c.cut(polyline({{7.6, 12.4}, {10.6, 15.4}, {16.4, 8.8}}), 2.1);
}

QPainterPath starPath() {
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const QPointF point = onCircle({12, 12.8}, i % 2 == 0 ? 9.6 : 4.3, 90 + i * 36);
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

void star(Canvas& c) { c.stroke(starPath(), 1.7); }

void starFill(Canvas& c) {
    c.fill(starPath());
    c.stroke(starPath(), 1.7);
}

void squareGrid(Canvas& c) {
    for (const qreal x : {3.5, 13.5})
        for (const qreal y : {3.5, 13.5}) c.stroke(roundedRect(x, y, 7, 7, 1.8), 1.7);
}

QPainterPath folderOutline() {
    QPainterPath folder;
    folder.moveTo(3, 17.5);
    folder.lineTo(3, 6.5);
    folder.quadTo(3, 5, 4.5, 5);
    folder.lineTo(8.8, 5);
    folder.lineTo(10.8, 7);
    folder.lineTo(19.5, 7);
    folder.quadTo(21, 7, 21, 8.5);
    folder.lineTo(21, 17.5);
    folder.quadTo(21, 19, 19.5, 19);
    folder.lineTo(4.5, 19);
    folder.quadTo(3, 19, 3, 17.5);
    folder.closeSubpath();
    return folder;
}

void folder(Canvas& c) {
    c.stroke(folderOutline(), 1.7);
    // The front flap's edge below the tab.
    c.stroke(line(3, 10, 21, 10), 1.5);
}

void questionmarkFolder(Canvas& c) {
    c.stroke(folderOutline(), 1.7);
    const auto mark = questionMark({12, 13.6}, 7.0);
    c.stroke(mark.hook, 1.6);
    c.fill(circle(mark.dot, 1.0));
}

// The sort mark of the results header, drawn small and bold.
void chevronUp(Canvas& c) { c.stroke(polyline({{5, 16}, {12, 8.5}, {19, 16}}), 3.0); }

void chevronDown(Canvas& c) { c.stroke(polyline({{5, 8}, {12, 15.5}, {19, 8}}), 3.0); }

void clockArrowCirclepath(Canvas& c) {
    const QPointF centre(12.5, 12);
    const qreal radius = 8.3;
    // The circle runs clockwise from the upper left round to the lower left, leaving a gap on the
    // left; the arrow head at its start points on, counter-clockwise, into the gap.
    constexpr qreal start = 165;
    QPainterPath arc;
    arc.arcMoveTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), start);
    arc.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), start, -305);
    c.stroke(arc, 1.7);
    const QPointF tip = onCircle(centre, radius, start);
    const qreal radians = start * std::numbers::pi / 180;
    const QPointF ahead(-std::sin(radians), -std::cos(radians));  // counter-clockwise on screen
    QTransform left, right;
    left.rotate(40);
    right.rotate(-40);
    const QPointF back = -ahead * 3.4;
    c.stroke(polyline({tip + left.map(back), tip, tip + right.map(back)}), 1.7);
    c.stroke(polyline({{12.5, 7.6}, {12.5, 12}, {15.4, 13.9}}), 1.7);
}

void eyeSlash(Canvas& c) {
    QPainterPath eye;
    eye.moveTo(2.5, 12);
    eye.cubicTo(5, 7.2, 8.3, 5.5, 12, 5.5);
    eye.cubicTo(15.7, 5.5, 19, 7.2, 21.5, 12);
    eye.cubicTo(19, 16.8, 15.7, 18.5, 12, 18.5);
    eye.cubicTo(8.3, 18.5, 5, 16.8, 2.5, 12);
    eye.closeSubpath();
    c.stroke(eye, 1.7);
    c.fill(circle({12, 12}, 3.1));
    c.cut(line(4, 3, 20, 21), 4.8);
    c.stroke(line(4, 3, 20, 21), 1.8);
}

// Categories

void musicNote(Canvas& c) {
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), 3.4, 2.5);
    c.fill(QTransform().translate(8.2, 17.6).rotate(-20).map(head));
    c.stroke(line(11.2, 17, 11.2, 3.5));
    QPainterPath flag;
    flag.moveTo(11.2, 3.5);
    flag.cubicTo(13.5, 5.5, 17.8, 6.8, 16.8, 12);
    c.stroke(flag);
}

void film(Canvas& c) {
    c.stroke(roundedRect(3.5, 3, 17, 18, 2), 1.7);
    c.stroke(line(8, 3, 8, 21), 1.5);
    c.stroke(line(16, 3, 16, 21), 1.5);
    for (const qreal y : {7.5, 12.0, 16.5}) {
        c.stroke(line(3.5, y, 8, y), 1.5);
        c.stroke(line(16, y, 20.5, y), 1.5);
    }
}

void photo(Canvas& c) {
    c.stroke(roundedRect(2.5, 4.5, 19, 15, 2.2), 1.7);
    c.fill(circle({16, 9.2}, 1.7));
    c.stroke(polyline({{3.3, 17.6}, {9, 11.6}, {13.2, 15.8}, {15.6, 13.4}, {20.7, 18.2}}), 1.7);
}

void docText(Canvas& c) {
    QPainterPath page;
    page.moveTo(6.5, 3);
    page.lineTo(14, 3);
    page.lineTo(19, 8);
    page.lineTo(19, 19.5);
    page.quadTo(19, 21, 17.5, 21);
    page.lineTo(6.5, 21);
    page.quadTo(5, 21, 5, 19.5);
    page.lineTo(5, 4.5);
    page.quadTo(5, 3, 6.5, 3);
    page.closeSubpath();
    c.stroke(page, 1.7);
    c.stroke(polyline({{14, 3}, {14, 8}, {19, 8}}), 1.5);
    c.stroke(line(8.2, 12, 15.8, 12), 1.5);
    c.stroke(line(8.2, 15, 15.8, 15), 1.5);
    c.stroke(line(8.2, 18, 12.8, 18), 1.5);
}

void archiveBox(Canvas& c) {
    c.stroke(roundedRect(2.5, 4, 19, 5, 1.2), 1.7);
    QPainterPath box;
    box.moveTo(4, 9);
    box.lineTo(4, 18.5);
    box.quadTo(4, 20, 5.5, 20);
    box.lineTo(18.5, 20);
    box.quadTo(20, 20, 20, 18.5);
    box.lineTo(20, 9);
    c.stroke(box, 1.7);
    c.stroke(line(9.5, 13, 14.5, 13), 1.8);
}

void gameController(Canvas& c) {
    QPainterPath body;
    body.moveTo(7.5, 7);
    body.lineTo(16.5, 7);
    body.cubicTo(19.5, 7, 21.5, 9.5, 21.8, 13);
    body.cubicTo(22.1, 16.5, 20.8, 18.5, 19, 18.5);
    body.cubicTo(17.6, 18.5, 16.8, 17.2, 15.8, 15.8);
    body.lineTo(8.2, 15.8);
    body.cubicTo(7.2, 17.2, 6.4, 18.5, 5, 18.5);
    body.cubicTo(3.2, 18.5, 1.9, 16.5, 2.2, 13);
    body.cubicTo(2.5, 9.5, 4.5, 7, 7.5, 7);
    body.closeSubpath();
    c.stroke(body, 1.6);
    c.stroke(line(5.4, 11.6, 9.4, 11.6), 1.5);
    c.stroke(line(7.4, 9.6, 7.4, 13.6), 1.5);
    c.fill(circle({16, 10.6}, 1.05));
    c.fill(circle({18.2, 12.8}, 1.05));
}

void codeBrackets(Canvas& c) {
    c.stroke(polyline({{8, 6.5}, {2.8, 12}, {8, 17.5}}), 1.9);
    c.stroke(polyline({{16, 6.5}, {21.2, 12}, {16, 17.5}}), 1.9);
    c.stroke(line(13.6, 4.8, 10.4, 19.2), 1.9);
}

void textFormat(Canvas& c) {
    c.stroke(polyline({{2.5, 19}, {8, 5}, {13.5, 19}}));
    c.stroke(line(4.6, 14, 11.4, 14));
    c.stroke(circle({17.6, 15.6}, 3.2), 1.7);
    c.stroke(line(20.8, 11.8, 20.8, 19), 1.7);
}

void tag(Canvas& c) {
    c.stroke(polygon({{3.5, 3.5}, {11.5, 3.5}, {20.5, 12.5}, {12.5, 20.5}, {3.5, 11.5}}));
    c.stroke(circle({8, 8}, 1.6), 1.5);
}

// The numbered steps of a list: a digit in a circle.
void numberCircle(Canvas& c, const QPainterPath& digit) {
    c.stroke(circle({12, 12}, 9.4), 1.6);
    c.stroke(digit, 1.7);
}

void oneCircle(Canvas& c) { numberCircle(c, polyline({{10.1, 9.3}, {12.4, 7.6}, {12.4, 16.4}})); }

void twoCircle(Canvas& c) {
    const QRectF top(9.4, 7.6, 5.2, 5.2);
    QPainterPath digit;
    digit.arcMoveTo(top, 165);
    digit.arcTo(top, 165, -200);
    digit.lineTo(9.4, 16.4);
    digit.lineTo(14.8, 16.4);
    numberCircle(c, digit);
}

void threeCircle(Canvas& c) {
    const QRectF top(9.8, 7.6, 4.4, 4.4);
    const QRectF bottom(9.8, 12.0, 4.4, 4.4);
    QPainterPath digit;
    digit.arcMoveTo(top, 150);
    digit.arcTo(top, 150, -240);
    digit.arcTo(bottom, 90, -250);
    numberCircle(c, digit);
}

// What a name outside the set draws: a plain rounded square with a dot.
void placeholder(Canvas& c) {
    c.stroke(roundedRect(4, 4, 16, 16, 3.5), 1.6);
    c.fill(circle({12, 12}, 1.6));
}

struct Drawing {
    std::string_view name;
    void (*draw)(Canvas&);
};

// Sorted by name.
constexpr std::array kDrawings{
    Drawing{"1.circle", oneCircle},
    Drawing{"2.circle", twoCircle},
    Drawing{"3.circle", threeCircle},
    Drawing{"archivebox", archiveBox},
    Drawing{"checkmark.circle.fill", checkmarkCircleFill},
    Drawing{"chevron.down", chevronDown},
    Drawing{"chevron.left.forwardslash.chevron.right", codeBrackets},
    Drawing{"chevron.up", chevronUp},
    Drawing{"clock.arrow.circlepath", clockArrowCirclepath},
    Drawing{"doc.text", docText},
    Drawing{"externaldrive", externalDrive},
    Drawing{"externaldrive.badge.checkmark", externalDriveCheckmark},
    Drawing{"externaldrive.badge.plus", externalDrivePlus},
    Drawing{"externaldrive.badge.questionmark", externalDriveQuestionmark},
    Drawing{"externaldrive.badge.xmark", externalDriveXmark},
    Drawing{"eye.slash", eyeSlash},
    Drawing{"film", film},
    Drawing{"folder", folder},
    Drawing{"gamecontroller", gameController},
    Drawing{"internaldrive", internalDrive},
    Drawing{"magnifyingglass", magnifyingGlass},
    Drawing{"music.note", musicNote},
    Drawing{"network", network},
    Drawing{"photo", photo},
    Drawing{"questionmark.folder", questionmarkFolder},
    Drawing{"square.grid.2x2", squareGrid},
    Drawing{"star", star},
    Drawing{"star.fill", starFill},
    Drawing{"tag", tag},
    Drawing{"textformat", textFormat},
    Drawing{"xmark", xmark},
    Drawing{"xmark.circle.fill", xmarkCircleFill},
};
static_assert(std::is_sorted(kDrawings.begin(), kDrawings.end(),
                             [](const Drawing& a, const Drawing& b) { return a.name < b.name; }));

constexpr auto kNames = [] {
    std::array<std::string_view, kDrawings.size()> names{};
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = kDrawings[i].name;
    return names;
}();

void (*drawingOf(std::string_view name))(Canvas&) {
    const auto found = std::lower_bound(kNames.begin(), kNames.end(), name);
    if (found == kNames.end() || *found != name) return placeholder;
    return kDrawings[static_cast<std::size_t>(found - kNames.begin())].draw;
}

}  // namespace

std::span<const std::string_view> Glyph::names() { return kNames; }

bool Glyph::has(std::string_view name) { return std::binary_search(kNames.begin(), kNames.end(), name); }

void Glyph::paint(QPainter& painter, const QRectF& area, std::string_view name, const QColor& tint) {
    const qreal side = std::min(area.width(), area.height());
    if (side <= 0 || !tint.isValid()) return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int pixels = static_cast<int>(std::ceil(side * ratio));
    QImage layer(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter onLayer(&layer);
        onLayer.setRenderHint(QPainter::Antialiasing);
        onLayer.scale(pixels / kGrid, pixels / kGrid);
        Canvas canvas(onLayer);
        drawingOf(name)(canvas);
        // Everything drawn so far is opaque black: take the tint's colour, keep the coverage.
        onLayer.resetTransform();
        onLayer.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor opaque = tint;
        opaque.setAlpha(255);
        onLayer.fillRect(layer.rect(), opaque);
    }
    layer.setDevicePixelRatio(ratio);
    // Whole device pixels, so the picture is not resampled.
    const QPointF topLeft(std::round((area.center().x() - side / 2) * ratio) / ratio,
                          std::round((area.center().y() - side / 2) * ratio) / ratio);
    const qreal opacity = painter.opacity();
    painter.setOpacity(opacity * tint.alphaF());
    painter.drawImage(topLeft, layer);
    painter.setOpacity(opacity);
}

QPixmap Glyph::pixmap(std::string_view name, int size, const QColor& tint, qreal devicePixelRatio) {
    const int pixels = static_cast<int>(std::ceil(size * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(painter, QRectF(0, 0, size, size), name, tint);
    return pixmap;
}

}  // namespace quorvanta::app
