// Files of every kind FileMeta reads, made at test time: some written here (WAV, PNG, JPEG, PDFs),
// the rest by ffmpeg, lame and qpdf. Shared by the FileMeta tests and bench_file_meta.
#pragma once

#include "tests/audio/ToolFiles.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvanta::app::test {

// A 16-bit mono PCM WAV of `seconds` of silence at 44.1 kHz.
void writeWav(const std::filesystem::path& path, int seconds);

// A w × h picture in the format of the path's extension ("png", "jpg"); with rotate90 (JPEG only)
// the file also holds an Exif orientation tag that turns it on its side when shown.
void writeImage(const std::filesystem::path& path, int w, int h, bool rotate90 = false);

// A PDF of `pages` empty pages with a correct cross-reference table; 0 pages is a valid document.
std::string pdfBytes(int pages);

// The programs the tool-made fixtures need.
inline const std::vector<std::string> kMetaTools = {"ffmpeg", "lame", "flac", "qpdf"};

// Makes every fixture in toolFolder(suite) (see MetaFixtures.cpp for the list):
//   tone.wav (1 s), tone.mp3 (10 s, 128 kb/s CBR), tone.flac (10 s), video.mp4 (64 × 48, 1 s),
//   cover.mp4 (10 s of AAC with a cover picture, no video), rotated.mp4 (video.mp4 tagged 90°),
//   picture.png (40 × 30), photo.jpg (33 × 17), rotated.jpg (33 × 17 stored, tagged 90°),
//   one.pdf, three.pdf, empty.pdf (0 pages), truncated.pdf, locked.pdf (user password),
//   broken.mp4 (text), notes.txt, data.qvzz.
// failed lists the tool command lines that failed; programs lists what they need.
audio::test::ToolFileSet makeMetaFixtures(const std::string& suite);

}  // namespace quorvanta::app::test
