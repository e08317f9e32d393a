#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nerolin {

// VB's text functions over UTF-8 texts. Positions and lengths are byte
// offsets counted from 1, which agree with character positions for every
// marker the engine looks for; Len and the *Chars variants count code points
// where a data value's characters matter. Invalid arguments raise error 5
// with VB's own description and the function's name as the source.

enum class CompareMode { kBinary = 0, kText = 1 };

// Position of `find` in `text` searching from `start` (from 1); 0 when not
// found or when `text` is empty; `start` itself when `find` is empty and
// start <= byte length + 1. Text comparison compares UCase of both sides.
// Raises error 5 when start < 1.
std::int64_t InStr(std::int64_t start, std::string_view text,
                   std::string_view find,
                   CompareMode mode = CompareMode::kBinary);
inline std::int64_t InStr(std::string_view text, std::string_view find,
                          CompareMode mode = CompareMode::kBinary) {
  return InStr(1, text, find, mode);
}

// Position of the last `find` that lies wholly within the first `start`
// bytes of `text` (-1: the whole text); 0 when not found, when `text` is
// empty or when `start` is past its end; `start` when `find` is empty.
// Raises error 5 when start is 0 or below -1.
std::int64_t InStrRev(std::string_view text, std::string_view find,
                      std::int64_t start = -1,
                      CompareMode mode = CompareMode::kBinary);

// Every occurrence of `find` replaced by `with`, left to right, without
// rescanning replaced text. An empty `find` leaves the text as it is.
std::string Replace(std::string_view text, std::string_view find,
                    std::string_view with,
                    CompareMode mode = CompareMode::kBinary);

// ASCII and Latin-1 letters (á, ñ, ü, ...); lengths never change, so
// positions in the result are positions in the argument. ß and ÿ keep their
// case (their partners are no two-byte Latin-1 letters), × and ÷ are no
// letters.
std::string UCase(std::string_view text);
std::string LCase(std::string_view text);

// Spaces (only " ") removed at the ends.
std::string_view Trim(std::string_view text);
std::string_view LTrim(std::string_view text);
std::string_view RTrim(std::string_view text);
// Spaces and tabs removed at the ends: how settings, dates and connection
// strings are read.
std::string_view TrimBlanks(std::string_view text);

// Byte-based, as the engine's markers need. Raise error 5 for a negative
// length or a start below 1.
std::string_view Left(std::string_view text, std::int64_t length);
std::string_view Right(std::string_view text, std::int64_t length);
std::string_view Mid(std::string_view text, std::int64_t start);
std::string_view Mid(std::string_view text, std::int64_t start,
                     std::int64_t length);

// Code-point-based, for data values: the last `count` characters (the whole
// text when it has fewer). Raises error 5 for a negative count.
std::string RightChars(std::string_view text, std::int64_t count);

// The pieces of `text` between the delimiters. An empty text gives no
// pieces; an empty delimiter gives the whole text as one piece. `limit`
// caps the number of pieces, the last one holding the rest of the text (-1:
// no cap, 0: no pieces). Raises error 5 for a limit below -1.
std::vector<std::string> Split(std::string_view text,
                               std::string_view delimiter = " ",
                               std::int64_t limit = -1,
                               CompareMode mode = CompareMode::kBinary);

// Number of characters (code points) of a UTF-8 text; a byte that starts no
// well-formed sequence counts as one character.
std::int64_t Len(std::string_view text);

// UCase(a) == UCase(b), without building the two texts.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// `text` with every "[" and "]" removed: a placeholder's name, the column a
// group tag names.
std::string WithoutBrackets(std::string_view text);

// Every CR LF in `text` from `from` on becomes "<BR>", as a report shows the
// line breaks of a value.
void LineBreaksToBr(std::string& text, std::size_t from = 0);

}  // namespace nerolin
