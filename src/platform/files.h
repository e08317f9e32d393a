#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "nerolin/automation_error.h"

namespace nerolin::platform {

// Files and code pages. Every failure raises AutomationError: 52 for an
// empty path; 53 when a file to read or delete does not exist; 75
// (path/file access error) for anything else, a file that cannot be created
// included. The description names the path and, for 75, the system's reason
// ("Path/File access error: /srv/a.html (Permission denied)"). No function
// waits for a FIFO's other end.

// The 75 that the functions here raise, with the reason apart (the system's
// text for the failing call, "Permission denied"), so that a caller can pass
// it on.
class FileAccessError : public AutomationError {
 public:
  FileAccessError(const std::string& path, std::string reason);
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

// How much ReadBytes takes at most unless its caller says less.
inline constexpr std::size_t kMaxReadSize = std::size_t{1} << 30;

// The whole file as bytes. Only a regular file is read: a folder, a FIFO, a
// device or a socket raises 75 at once, as does a file of more than
// `max_size` bytes, which is measured on the open file before any byte is
// read.
std::string ReadBytes(const std::string& path,
                      std::size_t max_size = kMaxReadSize);

// The bytes of a text file as UTF-8, each decoder for one kind of file.

// Read line by line in the ANSI code page (Windows-1252): CR and CR LF end a
// line and are dropped, the lines joined with nothing between them; a lone
// LF is no line end and stays. Bytes without a UTF-8 byte-order mark that
// are valid UTF-8 and hold multi-byte characters are decoded as UTF-8
// instead (same line rule); bytes with one are decoded as ANSI, mark
// included, as any other.
std::string DecodeAnsiLines(std::string_view bytes);

// The bytes with every one that starts no well-formed UTF-8 sequence
// replaced by U+FFFD, so that whatever reads the text later sees valid
// UTF-8.
std::string SanitizeUtf8(std::string_view bytes);

// UTF-8 bytes with a leading byte-order mark dropped, line breaks kept.
// Each byte that starts no well-formed UTF-8 sequence becomes U+FFFD.
std::string DecodeUtf8Text(std::string_view bytes);

// UTF-16 (little-endian after FF FE or without a mark, big-endian after
// FE FF; the mark is dropped) to UTF-8, line breaks kept. A lone surrogate
// and an odd last byte each become U+FFFD.
std::string DecodeUtf16Text(std::string_view bytes);

// UTF-16 code units to UTF-8 and back, for interfaces that speak UTF-16
// (ODBC's wide calls). An unpaired surrogate, and a byte that starts no
// well-formed UTF-8 sequence, each become U+FFFD.
std::string Utf8FromUtf16(std::u16string_view units);
std::u16string Utf16FromUtf8(std::string_view text);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined
// (81, 8D, 8F, 90, 9D) become the C1 controls U+0081 ... U+009D, which a
// report file written in Windows-1252 turns back into the same bytes.
std::string AnsiToUtf8(std::string_view ansi);

// Whether `text`, a report, declares itself UTF-8: a <meta charset> or a
// <meta http-equiv="Content-Type" content="...; charset=..."> within its
// first 1,024 bytes names UTF-8, in any letter case.
bool DeclaresUtf8(std::string_view text);

// Writes `text` (UTF-8) as a report file in the charset the report
// declares: as it is when it declares UTF-8 (DeclaresUtf8), converted to
// Windows-1252 otherwise ("?" for what the code page lacks); one CR LF
// appended; the file created, or rewritten in place and cut to its new
// length so that links, owner and mode of an existing file stay. A failure
// raises FileAccessError, and the file is never left silently partial:
// - a file this call created is removed again;
// - an existing regular file first has room reserved for the new length on
//   the disk and within the process's file-size limit, so that a full disk
//   fails before its first byte is overwritten and its old text stays
//   whole; a write that fails after that (an I/O error) leaves what was
//   written and none of the old content after it.
// The destination may also be a character device or a FIFO that a reader
// holds open; a FIFO that nobody reads fails at once ("No such device or
// address"). Returns true when this call created the file.
bool WriteReportFile(const std::string& path, std::string_view text);

// True for an existing regular file (after following links); false for an
// empty path and for anything that cannot be examined.
bool IsOrdinaryFile(const std::string& path);

// IsOrdinaryFile for a file the engine reads pictures from: a hidden file
// (its name starts with ".") counts as missing.
bool IsVisibleOrdinaryFile(const std::string& path);

// Raises 52 (bad file name) when `path` cannot name a file on this system:
// empty, holding a NUL byte, longer than PATH_MAX or with a component longer
// than NAME_MAX. Every reading, writing and deleting function checks it.
void CheckFileName(std::string_view path);

// Deletes the file (a link itself, not its target); raises 53 when it does
// not exist.
void DeleteFile(const std::string& path);

// The folder part of `path` up to its last "/" or "\" (without it); "" when
// there is none.
std::string ParentFolder(std::string_view path);

// `name` in `folder`, with one "/" between them unless the folder already
// ends with "/" or "\"; separators at the start of `name` are dropped. An
// empty folder leaves `name` as it is (relative to the working folder).
std::string JoinPath(std::string_view folder, std::string_view name);

// The folder of the file that holds the engine's code: the shared library
// when it is loaded as one, the executable when it is linked in statically.
// "" when the system cannot tell.
std::string OwnModuleFolder();

}  // namespace nerolin::platform
