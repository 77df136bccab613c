// A streaming reader of a Traktor collection ("collection.nml"), an XML file that another program
// writes. Of the whole document only the "LOCATION" elements count: each one with both a "DIR"
// and a "FILE" attribute is handed to the caller, with its "VOLUME" attribute, in document order
// and as soon as expat has read its start tag. Everything else is ignored.
//
// The bytes are fed in chunks. At the first XML error the reader stops: the locations handed out
// until then stand, nothing after the error is read. expat's limits against entity expansion
// stay on and no external entity is loaded.
//
// Threads: one object is used by one thread at a time. Errors: `feed` and `readNMLFile` answer
// false; nothing is thrown or printed.
#pragma once

#include <expat.h>

#include <functional>
#include <string>
#include <string_view>

namespace quorvanta::core::dj {

struct NMLLocation {
    std::string_view dir;  // as written, with Traktor's "/:" separators
    std::string_view file;
    std::string_view volume;  // empty when the attribute is missing or empty
};

class NMLReader {
public:
    // Called once per LOCATION element that has DIR and FILE. The views live for the call only.
    using OnLocation = std::function<void(const NMLLocation&)>;

    explicit NMLReader(OnLocation onLocation);
    ~NMLReader();
    NMLReader(const NMLReader&) = delete;
    NMLReader& operator=(const NMLReader&) = delete;

    // Parses the next chunk; `last` marks the end of the document. False once the document has
    // an error (or the parser could not be created); later calls then do nothing.
    bool feed(std::string_view chunk, bool last);

private:
    static void XMLCALL startElement(void* self, const XML_Char* name, const XML_Char** attributes);

    OnLocation onLocation_;
    XML_Parser parser_ = nullptr;
    bool failed_ = false;
};

enum class NMLFileRead {
    notOpened,     // not a regular file, or it cannot be opened: no location was handed out
    whole,         // read to its end without an error
    stoppedEarly,  // an XML or read error; the locations before it were handed out
};

// Reads the file at path in chunks through an NMLReader.
NMLFileRead readNMLFile(const std::string& path, const NMLReader::OnLocation& onLocation);

// The track path of a location: DIR with every "/:" replaced by "/", then FILE. For DIR
// "/:home/:me/:Music/:" and FILE "a.mp3" that is "/home/me/Music/a.mp3".
std::string nmlTrackPath(const NMLLocation& location);

}  // namespace quorvanta::core::dj
