#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nerolin::render {

// The largest template file that is read. Templates are a few hundred
// kilobytes; the limit keeps a wrong path (a disk image, a log) from taking
// the memory, while a generated template of a hundred megabytes still reads.
inline constexpr std::size_t kMaxTemplateSize = std::size_t{256} << 20;

// The template file as UTF-8 text, decoded by its byte-order mark: UTF-8
// (mark dropped, line breaks kept), UTF-16 LE or BE (decoded, line breaks
// kept), anything else as ANSI lines (platform::DecodeAnsiLines: line ends
// dropped, a UTF-8 file without mark decoded as UTF-8). Raises 53 for a path
// that names no file (nothing is created), 75 at once for anything but a
// regular file (a folder, a FIFO, a device) and for a file of more than
// kMaxTemplateSize bytes, and what the readers raise.
std::string ReadTemplate(const std::string& path);

// How ReadTemplate decodes a file, by its first bytes.
enum class TemplateReading {
  kUtf8,       // a UTF-8 byte-order mark: line breaks kept
  kUtf16,      // a UTF-16 byte-order mark: line breaks kept
  kAnsiLines,  // anything else: CR and CR LF dropped, LF kept
};
TemplateReading TemplateReadingOf(std::string_view bytes);

// The bytes of a template file decoded as ReadTemplate decodes them.
std::string DecodeTemplate(std::string_view bytes);

}  // namespace nerolin::render
