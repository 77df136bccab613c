#include "QuorvantaApp/ResultsTable/PreviewPanel.h"

#include "QuorvantaApp/ResultsTable/CellFormat.h"
#include "QuorvantaApp/ResultsTable/FileType.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/Glyph.h"
#include "QuorvantaCore/content/PopplerQuiet.h"
#include "QuorvantaCore/json/UTF8Repair.h"
#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/Format.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStringList>
#include <QStringDecoder>
#include <QVBoxLayout>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <memory>
#include <utility>

namespace quorvanta::app {
namespace {

// The longest side an image or page is decoded at: enough for a large window, bounded in memory.
constexpr int kPictureSide = 2048;
constexpr int kIconSize = 128;

QString shownText(std::string_view bytes) {
    const std::string repaired = core::repairUTF8(bytes);
    return QString::fromUtf8(repaired.data(), static_cast<qsizetype>(repaired.size()));
}

// The file opened read-only by its raw path bytes (a QString path could not name every Linux
// name); none when it cannot be opened or is not a regular file.
std::unique_ptr<QFile> openRegular(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

bool isPdf(const PreviewFile& file) {
    std::string ext = file.ext;
    std::ranges::transform(ext, ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "pdf";
}

bool hasTextType(const PreviewFile& file) {
    static const QMimeDatabase types;
    const QMimeType type = types.mimeTypeForFile(shownText(file.name), QMimeDatabase::MatchExtension);
    return type.name().startsWith(QStringLiteral("text/")) || type.inherits(QStringLiteral("text/plain"));
}

// The first page of the PDF in `file`, rendered to fit kPictureSide; null when it cannot be read.
QImage firstPdfPage(QFile& file) {
    const qint64 size = file.size();
    if (size <= 0 || size > INT_MAX) return {};
    void* bytes = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, file.handle(), 0);
    if (bytes == MAP_FAILED) return {};
    QImage page;
    core::silencePoppler();
    {
        const std::unique_ptr<poppler::document> doc(
            poppler::document::load_from_raw_data(static_cast<const char*>(bytes), static_cast<int>(size)));
        if (doc && !doc->is_locked() && doc->pages() > 0) {
            const std::unique_ptr<poppler::page> first(doc->create_page(0));
            if (first) {
                const poppler::rectf box = first->page_rect();
                const double longest = std::max(box.width(), box.height());
                // Points are 1/72 inch: the resolution that makes the longest side kPictureSide / 2.
                const double dpi = longest > 0 ? 72.0 * (kPictureSide / 2.0) / longest : 72.0;
                poppler::page_renderer renderer;
                renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
                renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
                renderer.set_image_format(poppler::image::format_argb32);
                const poppler::image image = renderer.render_page(first.get(), dpi, dpi);
                if (image.is_valid() && image.format() == poppler::image::format_argb32)
                    page = QImage(reinterpret_cast<const uchar*>(image.const_data()), image.width(), image.height(),
                                  image.bytes_per_row(), QImage::Format_ARGB32)
                               .copy();
            }
        }
    }
    munmap(bytes, static_cast<std::size_t>(size));
    return page;
}

}  // namespace

PreviewPanel& PreviewPanel::shared() {
    // Made on first use and gone with the application object, before Qt's own teardown.
    static QPointer<PreviewPanel> panel;
    if (!panel) {
        panel = new PreviewPanel;
        qAddPostRoutine([] { delete panel.data(); });
    }
    return *panel;
}

PreviewPanel::PreviewPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool),
      title_(new QLabel(this)),
      counter_(new QLabel(this)),
      pages_(new QStackedWidget(this)),
      pictureView_(new QLabel),
      textView_(new QPlainTextEdit),
      card_(new QWidget),
      cardIcon_(new QLabel(card_)),
      cardName_(new QLabel(card_)),
      cardFacts_(new QLabel(card_)) {
    setWindowTitle(QString::fromStdString(core::tr("Preview")));
    resize(kWidth, kHeight);

    auto* top = new QHBoxLayout;
    title_->setFont(Fonts::system(13, QFont::DemiBold));
    title_->setTextFormat(Qt::PlainText);
    counter_->setTextFormat(Qt::PlainText);
    top->addWidget(title_, 1);
    top->addWidget(counter_);

    pictureView_->setAlignment(Qt::AlignCenter);
    pictureView_->setMinimumSize(1, 1);
    textView_->setReadOnly(true);
    textView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    textView_->setFont(Fonts::monospaced(11));
    textView_->setFocusPolicy(Qt::NoFocus);

    auto* card = new QVBoxLayout(card_);
    card->addStretch(1);
    cardIcon_->setAlignment(Qt::AlignCenter);
    cardName_->setAlignment(Qt::AlignCenter);
    cardName_->setTextFormat(Qt::PlainText);
    cardName_->setWordWrap(true);
    cardName_->setFont(Fonts::system(15, QFont::DemiBold));
    cardFacts_->setAlignment(Qt::AlignCenter);
    cardFacts_->setTextFormat(Qt::PlainText);
    card->addWidget(cardIcon_);
    card->addWidget(cardName_);
    card->addWidget(cardFacts_);
    card->addStretch(1);

    pages_->addWidget(pictureView_);
    pages_->addWidget(textView_);
    pages_->addWidget(card_);

    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(pages_, 1);
    setFocusPolicy(Qt::StrongFocus);
}

PreviewPanel::~PreviewPanel() = default;

void PreviewPanel::show(PreviewItems items) {
    if (isVisible()) {
        hide();
        return;
    }
    if (items.count == 0) return;
    items_ = std::move(items);
    showPlace(0);
    QWidget::show();
    raise();
    activateWindow();
}

void PreviewPanel::refresh(PreviewItems items) {
    if (!isVisible() || items.count == 0) return;
    items_ = std::move(items);
    showPlace(0);
}

void PreviewPanel::step(int by) {
    if (items_.count == 0) return;
    const auto last = static_cast<long long>(items_.count) - 1;
    const auto to = std::clamp(static_cast<long long>(place_) + by, 0LL, last);
    if (static_cast<std::size_t>(to) != place_) showPlace(static_cast<std::size_t>(to));
}

void PreviewPanel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            // The table moves its selection, and its selection change brings the preview along.
            if (table_) {
                QKeyEvent forwarded(event->type(), event->key(), event->modifiers(), event->text());
                QApplication::sendEvent(table_, &forwarded);
            }
            event->accept();
            return;
        case Qt::Key_Left:
            step(-1);
            event->accept();
            return;
        case Qt::Key_Right:
            step(1);
            event->accept();
            return;
        case Qt::Key_Space:
        case Qt::Key_Escape:
            hide();
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void PreviewPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitPicture();
}

void PreviewPanel::showPlace(std::size_t place) {
    place_ = place;
    file_ = items_.at(place);
    ++filesMade_;
    const PreviewFile& file = *file_;
    title_->setText(shownText(file.name));
    counter_->setVisible(items_.count > 1);
    counter_->setText(QString::fromStdString(core::tr("%lld of %lld", static_cast<long long>(place + 1),
                                                      static_cast<long long>(items_.count))));
    picture_ = QImage();
    if (!file.folder && (showImage(file) || (isPdf(file) && showPdf(file)) || showText(file))) return;
    showCard(file);
}

bool PreviewPanel::showImage(const PreviewFile& file) {
    const auto device = openRegular(file.path);
    if (!device) return false;
    QImageReader reader(device.get());
    reader.setAutoTransform(true);  // the EXIF orientation
    if (!reader.canRead()) return false;
    QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > kPictureSide) {
        size.scale(kPictureSide, kPictureSide, Qt::KeepAspectRatio);
        reader.setScaledSize(size);
    }
    return showPicture(reader.read(), Shows::image);
}

bool PreviewPanel::showPdf(const PreviewFile& file) {
    const auto device = openRegular(file.path);
    if (!device) return false;
    return showPicture(firstPdfPage(*device), Shows::pdf);
}

bool PreviewPanel::showPicture(QImage picture, Shows kind) {
    if (picture.isNull()) return false;
    picture_ = std::move(picture);
    shows_ = kind;
    pages_->setCurrentWidget(pictureView_);
    fitPicture();
    return true;
}

bool PreviewPanel::showText(const PreviewFile& file) {
    const bool typed = hasTextType(file);
    if (!typed && file.size > kSmallFile) return false;
    const auto device = openRegular(file.path);
    if (!device) return false;
    const QByteArray bytes = device->read(static_cast<qint64>(kTextBytes));
    QString text;
    if (typed) {
        text = QString::fromUtf8(bytes);
    } else {
        // Without a text type: text only when it reads as UTF-8 (a sequence cut at the end of
        // what was read is no error) and holds no NUL.
        if (bytes.isEmpty() || bytes.contains('\0')) return false;
        QStringDecoder decode(QStringDecoder::Utf8);
        text = decode(bytes);
        if (decode.hasError()) return false;
    }
    textView_->setPlainText(text);
    shows_ = Shows::text;
    pages_->setCurrentWidget(textView_);
    return true;
}

void PreviewPanel::showCard(const PreviewFile& file) {
    const FileType type = file.folder ? FileType{} : fileTypeOf(file.ext);
    QIcon icon = QIcon::fromTheme(QString::fromStdString(type.icon), QIcon::fromTheme(QString::fromStdString(type.genericIcon)));
    const QColor tint = palette().color(QPalette::WindowText);
    QPixmap glyph = icon.isNull() || type.icon.empty()
                        ? Glyph::pixmap(file.folder ? "folder" : "doc.text", kIconSize, tint, devicePixelRatioF())
                        : icon.pixmap(kIconSize, kIconSize);
    cardIcon_->setPixmap(glyph);
    cardName_->setText(shownText(file.name));

    const core::Locale& locale = core::Lang::locale();
    QStringList facts;
    const auto fact = [&](std::string_view title, const std::string& value) {
        if (!value.empty()) facts << QString::fromStdString(core::tr(title) + ": " + value);
    };
    fact(core::trNoop("Kind"), file.folder ? core::tr("Folder") : type.description.value_or(upperExtension(file.ext)));
    if (!file.folder) fact(core::trNoop("Size"), core::Format::size(file.size, locale));
    fact(core::trNoop("Modified"), core::Format::date(file.modified, locale, core::Calendar::current()));
    if (file.meta) {
        if (file.meta->duration) fact(core::trNoop("Duration"), CellFormat::hms(*file.meta->duration));
        if (file.meta->w && file.meta->h)
            fact(core::trNoop("Dimensions"), std::to_string(*file.meta->w) + "×" + std::to_string(*file.meta->h));
        if (file.meta->pages) fact(core::trNoop("Pages"), std::to_string(*file.meta->pages));
    }
    cardFacts_->setText(facts.join(QLatin1Char('\n')));
    shows_ = Shows::card;
    pages_->setCurrentWidget(card_);
}

QString PreviewPanel::cardFacts() const { return cardFacts_->text(); }

QString PreviewPanel::counterText() const { return counter_->isVisibleTo(this) ? counter_->text() : QString(); }

void PreviewPanel::fitPicture() {
    if (picture_.isNull() || (shows_ != Shows::image && shows_ != Shows::pdf)) return;
    const QSize room = pictureView_->size();
    const QImage shown = picture_.width() > room.width() || picture_.height() > room.height()
                             ? picture_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : picture_;
    pictureView_->setPixmap(QPixmap::fromImage(shown));
}

}  // namespace quorvanta::app
