#pragma once

#include <string>

namespace nerolin::render {

// The template file as UTF-8 text, decoded by its byte-order mark: UTF-8
// (mark dropped, line breaks kept), UTF-16 LE or BE (decoded, line breaks
// kept), anything else as ANSI lines (platform::ReadAnsiLines: line ends
// dropped, a UTF-8 file without mark decoded as UTF-8). Raises 53 for a path
// that names no file (nothing is created), and what the readers raise.
std::string ReadTemplate(const std::string& path);

}  // namespace nerolin::render
