#include "platform/text_search.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nerolin::platform {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The positions of `byte` from `from` on, added to `positions`.
void AddPositionsOfByte(std::string_view text, std::size_t from, char byte,
                        std::vector<std::size_t>& positions) {
  // Every round moves `from` past one occurrence.
  while (from < text.size()) {
    const void* hit = std::memchr(text.data() + from, byte, text.size() - from);
    if (hit == nullptr) break;
    from =
        static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    positions.push_back(from++);
  }
}

#if defined(__SSE2__)
__m128i Load16(std::string_view text, std::size_t at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
}

// One bit a byte of the sixteen compared, the first byte lowest.
unsigned BitsOf(__m128i compared) {
  return static_cast<unsigned>(_mm_movemask_epi8(compared));
}
#endif

}  // namespace

std::size_t FindText(std::string_view text, std::string_view what,
                     std::size_t from) {
  if (from > text.size()) return kNone;
  if (what.empty()) return from;
  // A first byte that stands rarely, as a placeholder's "[" does, is found
  // fastest a byte at a time; markup whose first byte stands everywhere
  // ("<") is left to memmem after a few false starts.
  for (int false_starts = 0; false_starts < 16; ++false_starts) {
    from = text.find(what.front(), from);
    if (from == kNone) return kNone;
    if (text.substr(from, what.size()) == what) return from;
    ++from;
  }
  const void* hit =
      memmem(text.data() + from, text.size() - from, what.data(), what.size());
  return hit == nullptr ? kNone
                        : static_cast<std::size_t>(
                              static_cast<const char*>(hit) - text.data());
}

std::size_t CountText(std::string_view text, std::string_view what,
                      std::size_t from) {
  std::size_t count = 0;
  for (std::size_t at = FindText(text, what, from);
       at != std::string_view::npos;
       at = FindText(text, what, at + what.size())) {
    ++count;
  }
  return count;
}

std::size_t ReplaceAll(std::string& text, std::string_view what,
                       std::string_view with, std::size_t from) {
  std::size_t at = FindText(text, what, from);
  if (at == kNone) return 0;
  std::size_t count = 0;
  if (with.size() <= what.size()) {
    // The text only shrinks: compact it in place. What is written never
    // passes what is still to be searched, which stays as it was.
    std::size_t out = at;
    std::size_t in = at;
    for (; at != kNone; at = FindText(text, what, in)) {
      std::memmove(text.data() + out, text.data() + in, at - in);
      out += at - in;
      std::memcpy(text.data() + out, with.data(), with.size());
      out += with.size();
      in = at + what.size();
      ++count;
    }
    std::memmove(text.data() + out, text.data() + in, text.size() - in);
    text.resize(out + text.size() - in);
    return count;
  }
  const std::size_t first = at;
  // Most texts hold the markup once: replaced where it stands.
  at = FindText(text, what, first + what.size());
  if (at == kNone) {
    text.replace(first, what.size(), with);
    return 1;
  }
  std::string tail(with);
  std::size_t copied = first + what.size();
  count = 1;
  for (; at != kNone; at = FindText(text, what, copied)) {
    tail.append(text, copied, at - copied);
    tail.append(with);
    copied = at + what.size();
    ++count;
  }
  tail.append(text, copied);
  text.replace(first, kNone, tail);
  return count;
}

std::size_t RemoveAll(std::string& text, std::string_view what,
                      std::size_t from) {
  std::size_t at = FindText(text, what, from);
  if (at == kNone) return kNone;
  const std::size_t first = at;
  std::size_t kept = at;
  // `kept` never passes what is still to be searched.
  while (at != kNone) {
    const std::size_t resume = at + what.size();
    const std::size_t next = FindText(text, what, resume);
    const std::size_t end = next == kNone ? text.size() : next;
    std::memmove(text.data() + kept, text.data() + resume, end - resume);
    kept += end - resume;
    at = next;
  }
  text.resize(kept);
  return first;
}

std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
#if defined(__SSE2__)
  // Sixty-four bytes a round: reports are mostly ASCII, and every report is
  // looked at whole before each write. The block that holds a non-ASCII
  // byte is left to the portable search, which finds it.
  for (; from + 64 <= text.size(); from += 64) {
    const __m128i any = _mm_or_si128(
        _mm_or_si128(Load16(text, from), Load16(text, from + 16)),
        _mm_or_si128(Load16(text, from + 32), Load16(text, from + 48)));
    if (BitsOf(any) != 0) break;
  }
#endif
  return portable::AsciiRunEnd(text, from);
}

std::size_t FindBytePair(std::string_view text, std::size_t from, char first,
                         char second, unsigned char fold) {
#if defined(__SSE2__)
  // Sixteen places a round, each tested for both bytes at once: in markup
  // a first byte such as "<" comes every few bytes, and a call per
  // occurrence would cost more than the test.
  const __m128i firsts = _mm_set1_epi8(first);
  const __m128i folds = _mm_set1_epi8(static_cast<char>(fold));
  const __m128i seconds = _mm_set1_epi8(second);
  // The byte after each of the sixteen places lies within the text.
  for (; from + 17 <= text.size(); from += 16) {
    const unsigned found = BitsOf(_mm_and_si128(
        _mm_cmpeq_epi8(Load16(text, from), firsts),
        _mm_cmpeq_epi8(_mm_or_si128(Load16(text, from + 1), folds), seconds)));
    if (found != 0)
      return from + static_cast<std::size_t>(std::countr_zero(found));
  }
#endif
  return portable::FindBytePair(text, from, first, second, fold);
}

std::vector<std::size_t> PositionsOfByte(std::string_view text, char byte) {
  std::vector<std::size_t> positions;
  std::size_t from = 0;
#if defined(__SSE2__)
  // Sixteen bytes a round: the byte may stand in every line of a report,
  // too often for a call per occurrence.
  const __m128i wanted = _mm_set1_epi8(byte);
  for (; from + 16 <= text.size(); from += 16) {
    for (unsigned found = BitsOf(_mm_cmpeq_epi8(Load16(text, from), wanted));
         found != 0; found &= found - 1) {
      positions.push_back(from +
                          static_cast<std::size_t>(std::countr_zero(found)));
    }
  }
#endif
  AddPositionsOfByte(text, from, byte, positions);
  return positions;
}

namespace portable {

std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  for (; from + 8 <= text.size(); from += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + from, sizeof word);
    if ((word & kHighBits) != 0) break;
  }
  while (from < text.size() && static_cast<unsigned char>(text[from]) < 0x80) {
    ++from;
  }
  return from;
}

std::size_t FindBytePair(std::string_view text, std::size_t from, char first,
                         char second, unsigned char fold) {
  // Every round moves `from` on by at least one byte; only places with a
  // byte after them are searched.
  while (from + 1 < text.size()) {
    const void* hit =
        std::memchr(text.data() + from, first, text.size() - 1 - from);
    if (hit == nullptr) return kNone;
    from =
        static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    if ((static_cast<unsigned char>(text[from + 1]) | fold) ==
        static_cast<unsigned char>(second)) {
      return from;
    }
    ++from;
  }
  return kNone;
}

std::vector<std::size_t> PositionsOfByte(std::string_view text, char byte) {
  std::vector<std::size_t> positions;
  AddPositionsOfByte(text, 0, byte, positions);
  return positions;
}

}  // namespace portable

}  // namespace nerolin::platform
