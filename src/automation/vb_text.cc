#include "automation/vb_text.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "nerolin/automation_error.h"

namespace nerolin {
namespace {

// The lead byte of every two-byte sequence U+00C0..U+00FF.
constexpr unsigned char kLatin1Lead = 0xC3;

// Second bytes of the Latin-1 letters after kLatin1Lead: capitals À..Þ are
// 0x80..0x9E, small letters à..þ are 0xA0..0xBE, each pair 0x20 apart. × and
// ÷ sit at the same place in both halves and are no letters; ß (0x9F) and
// ÿ (0xBF) have no partner of the same length and stay as they are.
constexpr unsigned char kMultiplication = 0x97;
constexpr unsigned char kDivision = 0xB7;

bool IsSmallLatin1(unsigned char second) {
  return second >= 0xA0 && second <= 0xBE && second != kDivision;
}

bool IsCapitalLatin1(unsigned char second) {
  return second >= 0x80 && second <= 0x9E && second != kMultiplication;
}

// The upper-case form of `byte` when the byte before it is `previous`. The
// case of a UTF-8 text changes byte by byte because every letter that changes
// keeps its length; a continuation byte is a Latin-1 letter exactly when it
// follows kLatin1Lead, which can only ever be a lead byte.
unsigned char UpperByte(unsigned char previous, unsigned char byte) {
  if (byte >= 'a' && byte <= 'z') {
    return static_cast<unsigned char>(byte - 0x20);
  }
  if (previous == kLatin1Lead && IsSmallLatin1(byte)) {
    return static_cast<unsigned char>(byte - 0x20);
  }
  return byte;
}

unsigned char LowerByte(unsigned char previous, unsigned char byte) {
  if (byte >= 'A' && byte <= 'Z') {
    return static_cast<unsigned char>(byte + 0x20);
  }
  if (previous == kLatin1Lead && IsCapitalLatin1(byte)) {
    return static_cast<unsigned char>(byte + 0x20);
  }
  return byte;
}

unsigned char At(std::string_view text, std::size_t index) {
  return static_cast<unsigned char>(text[index]);
}

// `text` with each byte mapped, given the byte before it, by UpperByte or
// LowerByte.
template <unsigned char (*kMap)(unsigned char, unsigned char)>
std::string MappedCopy(std::string_view text) {
  std::string mapped(text);
  unsigned char previous = 0;
  for (char& c : mapped) {
    const auto byte = static_cast<unsigned char>(c);
    c = static_cast<char>(kMap(previous, byte));
    previous = byte;
  }
  return mapped;
}

[[noreturn]] void RaiseInvalidArgument(const char* function) {
  throw AutomationError(errors::kInvalidArgument, function);
}

// Length in bytes of the character that starts at text[index]; a byte that
// starts no well-formed sequence counts as a character of its own, so that
// counting always moves forward.
std::size_t CharLength(std::string_view text, std::size_t index) {
  unsigned char lead = At(text, index);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (index + length > text.size()) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((At(text, index + i) & 0xC0) != 0x80) return 1;
  }
  return length;
}

// Finds one search text in texts, by binary or by text comparison. Text
// comparison folds a search text that is not ASCII once, and each byte of
// the searched text as it is compared, with the byte before it as context, so
// that no copy of the searched text is made and a search costs the distance it
// scans.
class Matcher {
 public:
  Matcher(std::string_view find, CompareMode mode)
      : text_mode_(mode == CompareMode::kText),
        ascii_(text_mode_ &&
               std::all_of(find.begin(), find.end(),
                           [](char c) {
                             return static_cast<unsigned char>(c) < 0x80;
                           })),
        find_(find) {
    if (text_mode_ && !ascii_) {
      folded_ = UCase(find);
      find_ = folded_;
    }
  }
  Matcher(const Matcher&) = delete;
  Matcher& operator=(const Matcher&) = delete;

  // The first match that starts at or after `from`.
  std::size_t Find(std::string_view text, std::size_t from) const {
    if (!text_mode_) return text.find(find_, from);
    if (find_.size() > text.size()) return std::string_view::npos;
    const std::size_t last = text.size() - find_.size();
    if (ascii_ && !find_.empty()) {
      // Most places differ in their first byte.
      const char first = UpperAscii(find_[0]);
      for (std::size_t at = from; at <= last; ++at) {
        if (UpperAscii(text[at]) == first && MatchesAt(text, at)) return at;
      }
      return std::string_view::npos;
    }
    for (std::size_t at = from; at <= last; ++at) {
      if (MatchesAt(text, at)) return at;
    }
    return std::string_view::npos;
  }

  // The last match that lies wholly within `text`.
  std::size_t FindLast(std::string_view text) const {
    if (!text_mode_) return text.rfind(find_);
    if (find_.size() > text.size()) return std::string_view::npos;
    for (std::size_t at = text.size() - find_.size() + 1; at-- > 0;) {
      if (MatchesAt(text, at)) return at;
    }
    return std::string_view::npos;
  }

 private:
  static char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }

  // In text mode only.
  bool MatchesAt(std::string_view text, std::size_t at) const {
    if (ascii_) {
      // Upper-casing turns no byte outside ASCII into an ASCII one, so an
      // ASCII search text, kept unfolded, matches where its letters match
      // without their case, whatever stands before them.
      for (std::size_t i = 0; i < find_.size(); ++i) {
        if (UpperAscii(text[at + i]) != UpperAscii(find_[i])) return false;
      }
      return true;
    }
    unsigned char previous = at > 0 ? At(text, at - 1) : 0;
    for (std::size_t i = 0; i < find_.size(); ++i) {
      const unsigned char byte = At(text, at + i);
      if (UpperByte(previous, byte) != At(find_, i)) return false;
      previous = byte;
    }
    return true;
  }

  bool text_mode_;
  bool ascii_;  // in text mode, the search text is ASCII
  std::string folded_;
  std::string_view find_;
};

}  // namespace

std::int64_t InStr(std::int64_t start, std::string_view text,
                   std::string_view find, CompareMode mode) {
  if (start < 1) RaiseInvalidArgument("InStr");
  const auto size = static_cast<std::int64_t>(text.size());
  if (text.empty() || start > size + 1) return 0;
  if (find.empty()) return start;
  if (start > size) return 0;
  std::size_t found =
      Matcher(find, mode).Find(text, static_cast<std::size_t>(start - 1));
  if (found == std::string_view::npos) return 0;
  return static_cast<std::int64_t>(found) + 1;
}

std::int64_t InStrRev(std::string_view text, std::string_view find,
                      std::int64_t start, CompareMode mode) {
  if (start == 0 || start < -1) RaiseInvalidArgument("InStrRev");
  const auto size = static_cast<std::int64_t>(text.size());
  if (start == -1) start = size;
  if (text.empty() || start > size) return 0;
  if (find.empty()) return start;
  // Only the first `start` bytes take part: a match must end by then.
  std::string_view window = text.substr(0, static_cast<std::size_t>(start));
  std::size_t found = Matcher(find, mode).FindLast(window);
  if (found == std::string_view::npos) return 0;
  return static_cast<std::int64_t>(found) + 1;
}

std::string Replace(std::string_view text, std::string_view find,
                    std::string_view with, CompareMode mode) {
  if (find.empty()) return std::string(text);
  Matcher matcher(find, mode);
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  // Each round moves past one match, so the loop ends after at most
  // text.size() / find.size() rounds.
  for (;;) {
    std::size_t found = matcher.Find(text, copied);
    if (found == std::string_view::npos) break;
    result.append(text.substr(copied, found - copied));
    result.append(with);
    copied = found + find.size();
  }
  result.append(text.substr(copied));
  return result;
}

std::string UCase(std::string_view text) { return MappedCopy<UpperByte>(text); }

std::string LCase(std::string_view text) { return MappedCopy<LowerByte>(text); }

std::string_view LTrim(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view()
                                         : text.substr(first);
}

std::string_view RTrim(std::string_view text) {
  std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view()
                                        : text.substr(0, last + 1);
}

std::string_view Trim(std::string_view text) { return RTrim(LTrim(text)); }

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view Left(std::string_view text, std::int64_t length) {
  if (length < 0) RaiseInvalidArgument("Left");
  return text.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(
                            length, static_cast<std::int64_t>(text.size()))));
}

std::string_view Right(std::string_view text, std::int64_t length) {
  if (length < 0) RaiseInvalidArgument("Right");
  const auto size = static_cast<std::int64_t>(text.size());
  if (length >= size) return text;
  return text.substr(static_cast<std::size_t>(size - length));
}

std::string_view Mid(std::string_view text, std::int64_t start) {
  if (start < 1) RaiseInvalidArgument("Mid");
  if (start > static_cast<std::int64_t>(text.size())) return {};
  return text.substr(static_cast<std::size_t>(start - 1));
}

std::string_view Mid(std::string_view text, std::int64_t start,
                     std::int64_t length) {
  if (start < 1 || length < 0) RaiseInvalidArgument("Mid");
  std::string_view rest = Mid(text, start);
  return rest.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(
                            length, static_cast<std::int64_t>(rest.size()))));
}

std::string RightChars(std::string_view text, std::int64_t count) {
  if (count < 0) RaiseInvalidArgument("Right");
  std::int64_t skip = Len(text) - count;
  std::size_t index = 0;
  for (; skip > 0; --skip) index += CharLength(text, index);
  return std::string(text.substr(index));
}

std::vector<std::string> Split(std::string_view text,
                               std::string_view delimiter, std::int64_t limit,
                               CompareMode mode) {
  if (limit < -1) RaiseInvalidArgument("Split");
  std::vector<std::string> pieces;
  if (text.empty() || limit == 0) return pieces;
  if (delimiter.empty() || limit == 1) {
    pieces.emplace_back(text);
    return pieces;
  }
  Matcher matcher(delimiter, mode);
  std::size_t begin = 0;
  // Every round consumes one delimiter, and the cap stops it earlier.
  while (limit == -1 || static_cast<std::int64_t>(pieces.size()) < limit - 1) {
    std::size_t found = matcher.Find(text, begin);
    if (found == std::string_view::npos) break;
    pieces.emplace_back(text.substr(begin, found - begin));
    begin = found + delimiter.size();
  }
  pieces.emplace_back(text.substr(begin));
  return pieces;
}

std::int64_t Len(std::string_view text) {
  std::int64_t count = 0;
  for (std::size_t index = 0; index < text.size();
       index += CharLength(text, index)) {
    ++count;
  }
  return count;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Member names are mostly written as declared.
  if (a == b) return true;
  unsigned char previous_a = 0;
  unsigned char previous_b = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char byte_a = At(a, i);
    unsigned char byte_b = At(b, i);
    if (UpperByte(previous_a, byte_a) != UpperByte(previous_b, byte_b)) {
      return false;
    }
    previous_a = byte_a;
    previous_b = byte_b;
  }
  return true;
}

std::string WithoutBrackets(std::string_view text) {
  std::string out(text);
  std::erase_if(out, [](char c) { return c == '[' || c == ']'; });
  return out;
}

void LineBreaksToBr(std::string& text, std::size_t from) {
  const std::string_view tail = std::string_view(text).substr(from);
  // Most values hold no CR at all.
  if (tail.find('\r') == std::string_view::npos ||
      tail.find("\r\n") == std::string_view::npos) {
    return;
  }
  std::string replaced = Replace(tail, "\r\n", "<BR>");
  text.resize(from);
  text += replaced;
}

}  // namespace nerolin
