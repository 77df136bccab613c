// The text of a Trash info file, which records where a trashed item came from and when:
//   [Trash Info]
//   Path=/home/me/My%20Notes.txt
//   DeletionDate=2024-03-01T14:05:09
// The path is percent-encoded byte by byte (names need not be UTF-8); letters, digits, "-", ".",
// "_", "~" and "/" stay as they are. The date is local time, without a zone.
//
// Pure functions apart from the time zone that deletionDate reads; any thread may call them.
#pragma once

#include <string>
#include <string_view>

namespace quorvanta::platform {

std::string percentEncodePath(std::string_view path);

// Unix seconds as local time, "YYYY-MM-DDThh:mm:ss".
std::string deletionDate(double unixSeconds);

// The whole info file: the header line, Path= (encoded here) and DeletionDate=, each line ending
// with a line feed.
std::string trashInfoText(std::string_view path, std::string_view date);

}  // namespace quorvanta::platform
