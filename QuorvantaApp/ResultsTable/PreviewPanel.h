// The preview window: one non-modal tool window for the whole process (shared()), showing one
// file of a list at a time:
//   - an image (what QImageReader reads), scaled to fit, turned as its EXIF orientation says;
//   - text (a text/* type, or a small file that reads as UTF-8): its first kTextBytes, read-only;
//   - a PDF document: its first page;
//   - anything else: a card with the type's large icon, the name, the kind, the size, the
//     modification date and the facts the table has read of the file (play time, pixel size,
//     pages), never played.
// With several files the window shows "n of m", and Left and Right step through them. Up and Down
// go to the table it was given (setTable), whose selection change refreshes the preview.
//
// The list is given as a count and a function that makes the file at a place (PreviewItems), so
// that a list of millions of files costs only the one shown: the table hands over its selection
// as ranges of rows.
//
// show(items) toggles: it opens the window over `items` when it is hidden, and closes it when it
// is open. refresh(items) replaces the list only while the window is open and `items` is not
// empty.
//
// Threads: main thread. Reading a file for its preview happens on the main thread and is bounded:
// text reads at most kTextBytes, a PDF renders one page, an image is decoded at the size shown.
#pragma once

#include "QuorvantaApp/ResultsTable/FileMeta.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace quorvanta::app {

// One file of the list.
struct PreviewFile {
    std::string path;  // full path, raw bytes
    std::string name;  // its name, raw bytes
    std::string ext;   // its extension without the dot, as the index knows it
    bool folder = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;    // seconds since 1970
    std::optional<FileMeta> meta;  // what the table has read of it, if anything
};

struct PreviewItems {
    std::size_t count = 0;
    std::function<PreviewFile(std::size_t place)> at;  // place < count
};

class PreviewPanel final : public QWidget {
public:
    // What the window shows of the current file.
    enum class Shows { nothing, image, text, pdf, card };

    static constexpr std::size_t kTextBytes = 256 * 1024;
    // A file without a text type is tried as UTF-8 text up to this size.
    static constexpr std::uint64_t kSmallFile = 1024 * 1024;
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 520;

    static PreviewPanel& shared();
    explicit PreviewPanel(QWidget* parent = nullptr);
    ~PreviewPanel() override;

    void show(PreviewItems items);
    void refresh(PreviewItems items);
    bool isOpen() const { return isVisible(); }

    // The table that Up and Down go to.
    void setTable(QWidget* table) { table_ = table; }

    // The file shown, its place and the list's length.
    const std::optional<PreviewFile>& file() const { return file_; }
    std::size_t place() const { return place_; }
    std::size_t count() const { return items_.count; }
    Shows shows() const { return shows_; }
    // The image or page shown, as decoded (before scaling to the window); null for text and cards.
    const QImage& picture() const { return picture_; }
    // The card's lines of facts ("Kind: …", "Size: …", …).
    QString cardFacts() const;
    QString counterText() const;
    // Moves `by` places along the list, staying within it.
    void step(int by);

    // Test seam: how many files of lists were made so far.
    std::uint64_t filesMadeForTesting() const { return filesMade_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPlace(std::size_t place);
    bool showImage(const PreviewFile& file);
    bool showText(const PreviewFile& file);
    bool showPdf(const PreviewFile& file);
    // Shows an image or a rendered page fitted to the window; false for a null picture.
    bool showPicture(QImage picture, Shows kind);
    void showCard(const PreviewFile& file);
    void fitPicture();

    PreviewItems items_;
    std::size_t place_ = 0;
    std::optional<PreviewFile> file_;
    Shows shows_ = Shows::nothing;
    QImage picture_;  // the image or page shown, before scaling
    QPointer<QWidget> table_;
    QLabel* title_;
    QLabel* counter_;
    QStackedWidget* pages_;
    QLabel* pictureView_;
    QPlainTextEdit* textView_;
    QWidget* card_;
    QLabel* cardIcon_;
    QLabel* cardName_;
    QLabel* cardFacts_;
    std::uint64_t filesMade_ = 0;
};

}  // namespace quorvanta::app
