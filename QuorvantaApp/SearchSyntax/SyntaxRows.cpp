#include "QuorvantaApp/SearchSyntax/SyntaxRows.h"

#include "QuorvantaCore/lang/Tr.h"

#include <array>

namespace quorvanta::app {

namespace {

using core::trNoop;

const std::array kBasics{
    SyntaxRow{"a b", trNoop("Both words must match (AND).")},
    SyntaxRow{"a | b", trNoop("Either side may match (OR).")},
    SyntaxRow{"!a", trNoop("Leave out names that match (NOT).")},
    SyntaxRow{"\"a b\"", trNoop("Exact phrase, including the space.")},
    SyntaxRow{"*.pdf  re??rt", trNoop("Wildcards: * for any text, ? for one character. Matches the whole name.")},
    SyntaxRow{"case:Text", trNoop("Match upper and lower case. Applies to the terms after it; nocase: turns it off.")},
    SyntaxRow{"regex:^img_[0-9]+", trNoop("Regular expressions (POSIX). Alone, regex: applies to the terms after it.")},
};

const std::array kFilters{
    SyntaxRow{"ext:mp3;flac", trNoop("File extensions, separated by ; or ,")},
    SyntaxRow{"size:>10mb  size:1mb..5mb", trNoop("Size. Units kb, mb, gb, tb; use >, >=, <, <= or a range with ..")},
    SyntaxRow{"dm:today  dm:2024-05",
              trNoop("Modified date: today, yesterday, 2024, 2024-05 or 2024-05-17; also >, < and ranges with ..")},
    SyntaxRow{"path:music  in:music", trNoop("Text in the folder path")},
    SyntaxRow{"folder:  file:name", trNoop("Only folders or only files, optionally with a name")},
    SyntaxRow{"junk:", trNoop("Show only system junk (._*, .DS_Store …), which is hidden otherwise")},
    SyntaxRow{"content:\"invoice 2024\"", trNoop("Words inside text files and PDFs of the folders switched on in "
                                                 "Settings; the words as an exact phrase")},
};

const std::array kAudio{
    SyntaxRow{"bitrate:>=256", trNoop("Bit rate in kbit/s (also br:)")},
    SyntaxRow{"bpm:120..130", trNoop("Tempo in beats per minute")},
    SyntaxRow{"dur:>5m  dur:3:30", trNoop("Duration: 90, 6m, 3:30, 1.5h (also duration:, length:)")},
    SyntaxRow{"year:2010..2019  rate:44.1k  bits:24  ch:stereo",
              trNoop("Year, sample rate (also sr:), bit depth (also depth:) and channels (mono, stereo)")},
    SyntaxRow{"lossless:  lossless:no", trNoop("Lossless formats only; lossless:no for lossy ones")},
    SyntaxRow{"artist:name  album:name", trNoop("Tag text: artist, title, album, genre, key and codec")},
};

const std::array kSections{
    SyntaxSection{trNoop("Basics"), kBasics},
    SyntaxSection{trNoop("Filters"), kFilters},
    SyntaxSection{trNoop("Audio"), kAudio},
};

}  // namespace

std::span<const SyntaxSection> syntaxSections() { return kSections; }

}  // namespace quorvanta::app
