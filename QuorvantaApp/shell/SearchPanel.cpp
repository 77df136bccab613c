#include "QuorvantaApp/shell/SearchPanel.h"

#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/notify/NotificationNames.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QString>

#include <charconv>
#include <limits>
#include <sstream>
#include <vector>

namespace quorvanta::app {

SearchPanel::SearchPanel(Setup setup, QWidget* content, QWidget* parent)
    : QMainWindow(parent), settings_(setup.settings), notifications_(setup.notifications) {
    setWindowTitle(QString::fromStdString(core::AppInfo::name()));
    if (content) setCentralWidget(content);
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(kSaveDelay);
    connect(&saveTimer_, &QTimer::timeout, this, [this] { saveFrame(); });

    QRect frame = defaultFrame();
    if (const auto text = settings_.text(kFrameKey)) {
        const auto saved = parseFrame(*text);
        if (saved && onSomeScreen(*saved)) frame = *saved;
    }
    setGeometry(frame);
    placed_ = true;
}

SearchPanel::~SearchPanel() = default;

QRect SearchPanel::defaultFrame() {
    QRect frame(0, 0, kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        frame.moveCenter(screen->availableGeometry().center());
    return frame;
}

std::optional<QRect> SearchPanel::parseFrame(std::string_view text) {
    std::vector<int> numbers;
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    while (at != end) {
        if (*at == ' ') {
            ++at;
            continue;
        }
        int value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || (next != end && *next != ' ')) return std::nullopt;
        numbers.push_back(value);
        at = next;
    }
    if (numbers.size() != 4 || numbers[2] <= 0 || numbers[3] <= 0) return std::nullopt;
    // Keep the far edges inside int, where QRect computes them.
    constexpr int kLimit = std::numeric_limits<int>::max() / 2;
    for (const int n : numbers)
        if (n > kLimit || n < -kLimit) return std::nullopt;
    return QRect(numbers[0], numbers[1], numbers[2], numbers[3]);
}

std::string SearchPanel::frameText(const QRect& frame) {
    std::ostringstream text;
    text << frame.x() << ' ' << frame.y() << ' ' << frame.width() << ' ' << frame.height();
    return text.str();
}

bool SearchPanel::onSomeScreen(const QRect& frame) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(frame)) return true;
    return false;
}

void SearchPanel::showPanel() {
    show();
    raise();
    activateWindow();
    notifications_.post(platform::notification_names::kFocusSearch);
}

void SearchPanel::togglePanel() {
    if (isVisible() && isActiveWindow())
        hidePanel();
    else
        showPanel();
}

void SearchPanel::hidePanel() {
    if (isVisible()) saveFrame();
    hide();
}

void SearchPanel::saveFrame() {
    saveTimer_.stop();
    settings_.setText(kFrameKey, frameText(geometry()));
}

void SearchPanel::frameChanged() {
    if (placed_ && isVisible()) saveTimer_.start();
}

void SearchPanel::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    frameChanged();
}

void SearchPanel::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    frameChanged();
}

void SearchPanel::closeEvent(QCloseEvent* event) {
    // The panel lives as long as the application: closing it is hiding it.
    event->ignore();
    hidePanel();
}

void SearchPanel::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::base.in(palette()));
    }
    QMainWindow::paintEvent(event);
}

}  // namespace quorvanta::app
