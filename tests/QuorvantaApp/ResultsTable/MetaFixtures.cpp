#include "tests/QuorvantaApp/ResultsTable/MetaFixtures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <fstream>
#include <vector>

namespace quorvanta::app::test {

namespace {

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void putLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

void writeWav(const std::filesystem::path& path, int seconds) {
    constexpr std::uint32_t kRate = 44100;
    const std::uint32_t dataBytes = kRate * 2 * static_cast<std::uint32_t>(seconds);
    std::string b = "RIFF";
    putLE(b, 36 + dataBytes, 4);
    b += "WAVEfmt ";
    putLE(b, 16, 4);
    putLE(b, 1, 2);  // PCM
    putLE(b, 1, 2);  // mono
    putLE(b, kRate, 4);
    putLE(b, kRate * 2, 4);  // bytes per second
    putLE(b, 2, 2);          // block align
    putLE(b, 16, 2);         // bits per sample
    b += "data";
    putLE(b, dataBytes, 4);
    b.append(dataBytes, '\0');
    writeBytes(path, b);
}

void writeImage(const std::filesystem::path& path, int w, int h, bool rotate90) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(0x336699);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, path.extension().string().substr(1).c_str());
    std::string bytes(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    if (rotate90) {
        // An Exif segment right after the JPEG's start marker: one IFD entry, Orientation (0x0112)
        // = 6, "turn 90° clockwise to show". Qt's writer turns the pixels instead of tagging them.
        std::string tiff = "II*";
        tiff += '\0';
        putLE(tiff, 8, 4);       // offset of the first IFD
        putLE(tiff, 1, 2);       // one entry
        putLE(tiff, 0x0112, 2);  // Orientation
        putLE(tiff, 3, 2);       // SHORT
        putLE(tiff, 1, 4);       // one value
        putLE(tiff, 6, 4);       // the value, padded
        putLE(tiff, 0, 4);       // no next IFD
        const std::string body = std::string("Exif\0\0", 6) + tiff;
        std::string segment = "\xFF\xE1";
        segment += static_cast<char>((body.size() + 2) >> 8);
        segment += static_cast<char>((body.size() + 2) & 0xFF);
        bytes.insert(2, segment + body);
    }
    writeBytes(path, bytes);
}

std::string pdfBytes(int pages) {
    std::vector<std::string> objects;
    std::string kids;
    for (int i = 0; i < pages; ++i) kids += (i ? " " : "") + std::to_string(3 + i) + " 0 R";
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (int i = 0; i < pages; ++i) objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>");
    std::string out = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        const std::string digits = std::to_string(offset);
        out += std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

audio::test::ToolFileSet makeMetaFixtures(const std::string& suite) {
    using audio::test::FileNamer;
    const std::string ffmpeg = "ffmpeg -nostdin -y -v error ";
    auto files = audio::test::makeToolFiles(suite, kMetaTools, [&](const FileNamer& file) {
        return std::vector<std::string>{
            audio::test::ffmpegSine(10) + file("sine.wav"),
            "lame --quiet -b 128 --cbr " + file("sine.wav") + " " + file("tone.mp3"),
            "flac --silent -f -o " + file("tone.flac") + " " + file("sine.wav"),
            ffmpeg + "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v mpeg4 " + file("video.mp4"),
            ffmpeg + "-f lavfi -i color=c=red:size=32x32 -frames:v 1 " + file("cover.png"),
            ffmpeg + "-i " + file("sine.wav") + " -i " + file("cover.png") +
                " -map 0:a -map 1:v -c:a aac -c:v png -disposition:v:0 attached_pic " + file("cover.mp4"),
            ffmpeg + "-i " + file("video.mp4") + " -c copy -metadata:s:v:0 rotate=90 " + file("rotated.mp4"),
        };
    });
    if (!files.failed.empty() || files.dir.empty()) return files;
    const auto& dir = files.dir;
    writeWav(dir / "tone.wav", 1);
    writeImage(dir / "picture.png", 40, 30);
    writeImage(dir / "photo.jpg", 33, 17);
    writeImage(dir / "rotated.jpg", 33, 17, true);
    writeBytes(dir / "one.pdf", pdfBytes(1));
    writeBytes(dir / "three.pdf", pdfBytes(3));
    writeBytes(dir / "empty.pdf", pdfBytes(0));
    const std::string whole = pdfBytes(1);
    writeBytes(dir / "truncated.pdf", whole.substr(0, whole.size() / 2));
    writeBytes(dir / "broken.mp4", "this is not a video, only some text with a video's name\n");
    writeBytes(dir / "notes.txt", "some words\n");
    writeBytes(dir / "data.qvzz", "bytes of no known kind\n");
    files.failed = audio::test::runAll({"qpdf --encrypt secret owner 256 -- " + audio::test::quoted(dir / "one.pdf") +
                                        " " + audio::test::quoted(dir / "locked.pdf")});
    return files;
}

}  // namespace quorvanta::app::test
