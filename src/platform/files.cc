#include "platform/files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <iconv.h>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <utility>

#include <sys/resource.h>
#include <sys/stat.h>

#include "nerolin/automation_error.h"
#include "platform/text_search.h"
#include "platform/unique_fd.h"

namespace nerolin::platform {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

std::string SystemReason(int error_number) {
  return std::error_code(error_number, std::generic_category()).message();
}

[[noreturn]] void RaiseBadFileName(std::string_view why) {
  throw AutomationError(errors::kBadFileName,
                        "Bad file name or number: " + std::string(why), "");
}

[[noreturn]] void RaiseNotFound(const std::string& path) {
  throw AutomationError(errors::kFileNotFound, "File not found: " + path, "");
}

[[noreturn]] void RaiseAccess(const std::string& path,
                              std::string_view reason) {
  throw FileAccessError(path, std::string(reason));
}

// "256 MiB" for whole mebibytes, "N bytes" otherwise.
std::string SizeText(std::size_t bytes) {
  constexpr std::size_t kMebibyte = std::size_t{1} << 20;
  if (bytes >= kMebibyte && bytes % kMebibyte == 0) {
    return std::to_string(bytes / kMebibyte) + " MiB";
  }
  return std::to_string(bytes) + " bytes";
}

// For reading and deleting: a path that names nothing is "not found".
[[noreturn]] void RaiseForExisting(const std::string& path, int error_number) {
  if (error_number == ENOENT || error_number == ENOTDIR) RaiseNotFound(path);
  RaiseAccess(path, SystemReason(error_number));
}

// ---------------------------------------------------------------------------
// UTF-8

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

struct Decoded {
  char32_t code_point;
  std::size_t length;  // 0: no well-formed sequence starts here
};

// The code point at text[index], strictly: no overlong forms, no
// surrogates, nothing above U+10FFFF.
Decoded DecodeUtf8(std::string_view text, std::size_t index) {
  auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[i]);
  };
  const unsigned char lead = byte(index);
  if (lead < 0x80) return {lead, 1};
  std::size_t length;
  char32_t code_point;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    minimum = 0x10000;
  } else {
    return {0, 0};
  }
  if (index + length > text.size()) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(index + i);
    if ((next & 0xC0) != 0x80) return {0, 0};
    code_point = (code_point << 6) | (next & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return {0, 0};
  }
  return {code_point, length};
}

// True when the bytes are well-formed UTF-8 and at least one character
// takes more than one byte: plain ASCII reads the same either way.
bool IsMultiByteUtf8(std::string_view bytes) {
  bool multi_byte = false;
  for (std::size_t index = 0; index < bytes.size();) {
    Decoded decoded = DecodeUtf8(bytes, index);
    if (decoded.length == 0) return false;
    multi_byte = multi_byte || decoded.length > 1;
    index += decoded.length;
  }
  return multi_byte;
}

// `count` UTF-16 code units, unit(i) giving each, added to `out` as UTF-8;
// an unpaired surrogate becomes U+FFFD.
template <class Unit>
void AppendUtf16AsUtf8(std::string& out, std::size_t count, Unit unit) {
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t high = unit(i);
    if (high >= 0xD800 && high <= 0xDBFF && i + 1 < count) {
      const char32_t low = unit(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        ++i;
        AppendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
        continue;
      }
    }
    if (high >= 0xD800 && high <= 0xDFFF) {
      out += kReplacementCharacter;
    } else {
      AppendUtf8(out, high);
    }
  }
}

// ---------------------------------------------------------------------------
// Windows-1252

// The code page's upper half, built once from the system's converter. The
// five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// decode to the C1 control of the same number, as Windows itself decodes
// them, so that every byte survives a round trip.
struct CodePageTables {
  std::array<char32_t, 128> upper_half{};  // byte 0x80 + i -> code point
  // (code point, byte) for the upper half, sorted by code point.
  std::array<std::pair<char32_t, unsigned char>, 128> encode{};
  // The byte for U+0080 + i, '?' when the code page has none: the Latin-1
  // letters of Spanish text take no search.
  std::array<char, 128> latin1_upper_half{};
};

char32_t DecodeThroughIconv(iconv_t converter, unsigned char byte) {
  char in_byte = static_cast<char>(byte);
  char* in = &in_byte;
  std::size_t in_left = 1;
  char out_bytes[8];
  char* out = out_bytes;
  std::size_t out_left = sizeof(out_bytes);
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  if (iconv(converter, &in, &in_left, &out, &out_left) ==
      static_cast<std::size_t>(-1)) {
    return byte;
  }
  std::string_view utf8(out_bytes, sizeof(out_bytes) - out_left);
  Decoded decoded = utf8.empty() ? Decoded{0, 0} : DecodeUtf8(utf8, 0);
  return decoded.length == utf8.size() && decoded.length > 0
             ? decoded.code_point
             : char32_t{byte};
}

CodePageTables BuildCodePageTables() {
  iconv_t converter = iconv_open("UTF-8", "WINDOWS-1252");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    const int error_number = errno;
    throw AutomationError(
        errors::kInvalidArgument,
        "Invalid procedure call or argument: the system cannot convert "
        "Windows-1252 text (iconv: " +
            SystemReason(error_number) + ")",
        "");
  }
  CodePageTables tables;
  for (unsigned int i = 0; i < 128; ++i) {
    const auto byte = static_cast<unsigned char>(0x80 + i);
    tables.upper_half[i] = DecodeThroughIconv(converter, byte);
    tables.encode[i] = {tables.upper_half[i], byte};
  }
  iconv_close(converter);
  std::sort(tables.encode.begin(), tables.encode.end());
  for (unsigned int i = 0; i < 128; ++i) {
    const char32_t code_point = 0x80 + i;
    auto it = std::lower_bound(
        tables.encode.begin(), tables.encode.end(), code_point,
        [](const auto& entry, char32_t value) { return entry.first < value; });
    tables.latin1_upper_half[i] =
        it == tables.encode.end() || it->first != code_point
            ? '?'
            : static_cast<char>(it->second);
  }
  return tables;
}

const CodePageTables& Tables() {
  static const CodePageTables tables = BuildCodePageTables();
  return tables;
}

// The Windows-1252 byte for `code_point`, or '?' when the code page cannot
// hold it.
char EncodeAnsi(const CodePageTables& tables, char32_t code_point) {
  if (code_point < 0x80) return static_cast<char>(code_point);
  if (code_point < 0x100) return tables.latin1_upper_half[code_point - 0x80];
  auto it = std::lower_bound(
      tables.encode.begin(), tables.encode.end(), code_point,
      [](const auto& entry, char32_t value) { return entry.first < value; });
  if (it == tables.encode.end() || it->first != code_point) return '?';
  return static_cast<char>(it->second);
}

// CR and CR LF end a line and go; a lone LF stays. The same bytes in
// Windows-1252 and UTF-8, so this runs before decoding.
std::string JoinLines(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') {
      out += bytes[i];
    } else if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      ++i;
    }
  }
  return out;
}

void RequirePath(const std::string& path) { CheckFileName(path); }

}  // namespace

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t index = 0; index < bytes.size();) {
    Decoded decoded = DecodeUtf8(bytes, index);
    if (decoded.length == 0) {
      out += kReplacementCharacter;
      ++index;
    } else {
      out.append(bytes.substr(index, decoded.length));
      index += decoded.length;
    }
  }
  return out;
}

FileAccessError::FileAccessError(const std::string& path, std::string reason)
    : AutomationError(errors::kPathFileAccess,
                      "Path/File access error: " + path + " (" + reason + ")",
                      ""),
      reason_(std::move(reason)) {}

std::string ReadBytes(const std::string& path, std::size_t max_size) {
  RequirePath(path);
  // Without O_NONBLOCK a FIFO would hold the open until a writer came; what
  // the descriptor turns out to be is then looked at on the descriptor
  // itself, so that nothing can be swapped in after the look.
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) RaiseForExisting(path, errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) RaiseAccess(path, SystemReason(errno));
  if (S_ISDIR(info.st_mode)) RaiseAccess(path, SystemReason(EISDIR));
  if (!S_ISREG(info.st_mode)) RaiseAccess(path, "not a regular file");
  const auto size = static_cast<std::size_t>(std::max<off_t>(info.st_size, 0));
  if (size > max_size) {
    RaiseAccess(path, "the file is larger than " + SizeText(max_size));
  }
  std::string bytes;
  // One chunk more than the size, so that the read that finds the end
  // needs no second buffer.
  bytes.reserve(size + kReadChunk);
  // Ends at the end of the file, or at the limit for a file that grows
  // while it is read.
  for (;;) {
    const std::size_t old_size = bytes.size();
    bytes.resize(old_size + kReadChunk);
    const ssize_t got = ::read(file.get(), bytes.data() + old_size, kReadChunk);
    if (got < 0) {
      bytes.resize(old_size);
      if (errno == EINTR) continue;
      RaiseAccess(path, SystemReason(errno));
    }
    bytes.resize(old_size + static_cast<std::size_t>(got));
    if (got == 0) break;
    if (bytes.size() > max_size) {
      RaiseAccess(path, "the file is larger than " + SizeText(max_size));
    }
  }
  return bytes;
}

std::string DecodeAnsiLines(std::string_view bytes) {
  std::string joined = JoinLines(bytes);
  const bool has_bom = joined.starts_with(kUtf8Bom);
  if (!has_bom && IsMultiByteUtf8(joined)) return joined;
  return AnsiToUtf8(joined);
}

std::string DecodeUtf8Text(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  return SanitizeUtf8(bytes);
}

std::string DecodeUtf16Text(std::string_view bytes) {
  bool big_endian = false;
  std::size_t index = 0;
  if (bytes.size() >= 2) {
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    if (first == 0xFF && second == 0xFE) {
      index = 2;
    } else if (first == 0xFE && second == 0xFF) {
      big_endian = true;
      index = 2;
    }
  }
  const std::size_t units = (bytes.size() - index) / 2;
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  AppendUtf16AsUtf8(out, units, [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[index + 2 * i]);
    const auto b = static_cast<unsigned char>(bytes[index + 2 * i + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  });
  if (index + 2 * units < bytes.size()) out += kReplacementCharacter;
  return out;
}

std::string Utf8FromUtf16(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  AppendUtf16AsUtf8(out, units.size(),
                    [&](std::size_t i) -> char32_t { return units[i]; });
  return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t index = 0; index < text.size();) {
    const Decoded decoded = DecodeUtf8(text, index);
    if (decoded.length == 0) {
      out += static_cast<char16_t>(0xFFFD);
      ++index;
      continue;
    }
    index += decoded.length;
    char32_t c = decoded.code_point;
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 | (c >> 10));
      out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
  }
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  const CodePageTables& tables = Tables();
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 4);
  for (char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      AppendUtf8(out, tables.upper_half[byte - 0x80]);
    }
  }
  return out;
}

namespace {

// `utf8` in Windows-1252 added to `out`: a character the code page cannot
// hold, and a byte that starts no well-formed sequence, become "?". One
// pass; ASCII runs are copied whole.
void AppendAnsi(std::string& out, std::string_view utf8) {
  const CodePageTables& tables = Tables();
  out.reserve(out.size() + utf8.size());
  for (std::size_t index = 0; index < utf8.size();) {
    const std::size_t run_end = AsciiRunEnd(utf8, index);
    out.append(utf8.substr(index, run_end - index));
    index = run_end;
    if (index == utf8.size()) break;
    const Decoded decoded = DecodeUtf8(utf8, index);
    if (decoded.length == 0) {
      out += '?';
      ++index;
    } else {
      out += EncodeAnsi(tables, decoded.code_point);
      index += decoded.length;
    }
  }
}

// Writes all of `bytes` to `fd`; raises naming `path`.
void WriteAll(int fd, std::string_view bytes, const std::string& path) {
  std::size_t written = 0;
  // Every round writes at least one byte or raises.
  while (written < bytes.size()) {
    const ssize_t done =
        ::write(fd, bytes.data() + written, bytes.size() - written);
    if (done < 0) {
      if (errno == EINTR) continue;
      RaiseAccess(path, SystemReason(errno));
    }
    if (done == 0) RaiseAccess(path, "the write made no progress");
    written += static_cast<std::size_t>(done);
  }
}

// Reports are converted and written this much at a time, so that a long
// report needs no second copy of itself.
constexpr std::size_t kWriteChunk = 256 * 1024;

// The bytes `utf8` takes in Windows-1252: AppendAnsi writes one for each
// character and for each byte that starts no well-formed sequence.
std::size_t AnsiLength(std::string_view utf8) {
  std::size_t length = 0;
  for (std::size_t index = 0; index < utf8.size();) {
    const std::size_t run_end = AsciiRunEnd(utf8, index);
    length += run_end - index;
    index = run_end;
    if (index == utf8.size()) break;
    const Decoded decoded = DecodeUtf8(utf8, index);
    ++length;
    index += decoded.length == 0 ? 1 : decoded.length;
  }
  return length;
}

struct Destination {
  int fd;
  bool created;  // by this write, which removes it again when it fails
};

// Opens the report file for writing without waiting: with O_NONBLOCK a FIFO
// that nobody reads fails with ENXIO instead of holding the open for ever.
// A file that does not exist is created exclusively, so that the write
// knows the file is its own to remove.
Destination OpenDestination(const std::string& path) {
  constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_CLOEXEC;
  int fd = ::open(path.c_str(), kFlags);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) return {fd, true};
    // A link to a file not made yet: the file goes where the link points.
    if (errno == EEXIST) fd = ::open(path.c_str(), kFlags | O_CREAT, 0666);
  }
  if (fd < 0) RaiseAccess(path, SystemReason(errno));
  return {fd, false};
}

// Room for `length` bytes over the start of the regular file `fd` of
// `old_size` bytes, taken before its first byte is overwritten: a full disk
// or the process's file-size limit then fails the rewrite while the old text
// is still whole. Where the file system cannot reserve without growing the
// file, the part past the old end is allocated by growing it, and cut off
// again on failure.
void ReserveRewrite(int fd, off_t old_size, off_t length,
                    const std::string& path) {
  struct rlimit limit {};
  if (length > old_size && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
      limit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(length) > limit.rlim_cur) {
    RaiseAccess(path, SystemReason(EFBIG));
  }
  int error = 0;
  do {
    error = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) == 0 ? 0 : errno;
  } while (error == EINTR);
  if (error == EOPNOTSUPP || error == ENOSYS) {
    error = length > old_size
                ? ::posix_fallocate(fd, old_size, length - old_size)
                : 0;
  }
  if (error != 0) {
    // A file grown for the room goes back to its old end; its text was
    // never touched.
    (void)::ftruncate(fd, old_size);
    RaiseAccess(path, SystemReason(error));
  }
}

void ClearNonBlocking(int fd, const std::string& path) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    RaiseAccess(path, SystemReason(errno));
  }
}

// Writes `text` converted to Windows-1252 through `buffer`, then CR LF;
// `as_is` writes the bytes as they are (a UTF-8 report, or all ASCII, which
// is its own Windows-1252).
void WriteAnsi(int fd, std::string_view text, bool as_is, std::string& buffer,
               const std::string& path) {
  if (as_is) {
    WriteAll(fd, text, path);
  } else {
    // Each piece ends before a byte that continues no sequence, so that no
    // character is split and an ill-formed sequence is cut as in one pass.
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = std::min(text.size(), start + kWriteChunk);
      while (end < text.size() &&
             (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        ++end;
      }
      buffer.clear();
      AppendAnsi(buffer, text.substr(start, end - start));
      WriteAll(fd, buffer, path);
      start = end;
    }
  }
  WriteAll(fd, "\r\n", path);
}

// The charset a report names in a <meta> tag (charset="..." or an
// http-equiv Content-Type's "charset=...") within its first
// kCharsetPrescan bytes, lower-cased; "" when it names none. The first
// declaration counts, as a browser's prescan takes it.
constexpr std::size_t kCharsetPrescan = 1024;

std::string DeclaredCharset(std::string_view text) {
  std::string head(text.substr(0, kCharsetPrescan));
  for (char& c : head) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (std::size_t meta = head.find("<meta"); meta != std::string::npos;
       meta = head.find("<meta", meta + 5)) {
    const std::size_t end = std::min(head.find('>', meta), head.size());
    const std::string_view tag =
        std::string_view(head).substr(meta, end - meta);
    std::size_t at = tag.find("charset");
    if (at == std::string_view::npos) continue;
    at += 7;
    const auto skip = [&](std::string_view chars) {
      while (at < tag.size() && chars.find(tag[at]) != std::string_view::npos) {
        ++at;
      }
    };
    skip(" \t\r\n");
    if (at >= tag.size() || tag[at] != '=') continue;
    ++at;
    skip(" \t\r\n\"'");
    const std::size_t label = at;
    while (at < tag.size() && std::string_view(" \t\r\n\"';/>").find(tag[at]) ==
                                  std::string_view::npos) {
      ++at;
    }
    return std::string(tag.substr(label, at - label));
  }
  return {};
}

}  // namespace

bool DeclaresUtf8(std::string_view text) {
  const std::string charset = DeclaredCharset(text);
  return charset == "utf-8" || charset == "utf8" ||
         charset == "unicode-1-1-utf-8";
}

bool WriteReportFile(const std::string& path, std::string_view text) {
  RequirePath(path);
  // A report that says it is UTF-8 goes out as it is; any other is
  // converted to Windows-1252. Anything but ASCII is converted a piece at a
  // time into a buffer taken before the file is touched: the conversion
  // itself cannot fail, so a failure here still leaves an old file as it
  // was.
  const bool as_is = DeclaresUtf8(text) || AsciiRunEnd(text, 0) == text.size();
  std::string buffer;
  if (!as_is) buffer.reserve(std::min(text.size(), kWriteChunk) + 8);
  // Rewritten in place rather than replaced, so that a link stays a link and
  // an existing file keeps its owner and mode. A regular file is cut to its
  // new length after the writes instead of being truncated on opening: ext4
  // starts writing back a file that was opened with O_TRUNC when it is
  // closed, which costs several times the write itself for a long report
  // written again and again. Anything else (a pipe, a device) cannot be cut,
  // as O_TRUNC did nothing to it.
  const Destination destination = OpenDestination(path);
  UniqueFd file(destination.fd);
  bool regular = false;
  bool overwriting = false;
  // What was written goes without what is left of the old content after it,
  // whether the writes ended or failed.
  const auto cut = [&] {
    const off_t end = ::lseek(file.get(), 0, SEEK_CUR);
    return end >= 0 && ::ftruncate(file.get(), end) == 0;
  };
  try {
    // A FIFO that has a reader takes every byte, however long it waits.
    ClearNonBlocking(file.get(), path);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
      RaiseAccess(path, SystemReason(errno));
    }
    regular = S_ISREG(info.st_mode);
    if (regular && !destination.created) {
      const std::size_t length = as_is ? text.size() : AnsiLength(text);
      ReserveRewrite(file.get(), info.st_size, static_cast<off_t>(length + 2),
                     path);
    }
    overwriting = true;
    WriteAnsi(file.get(), text, as_is, buffer, path);
    if (regular && !cut()) RaiseAccess(path, SystemReason(errno));
    // Delayed write errors (a full disk, a network file system) surface at
    // close.
    if (::close(file.Release()) != 0) RaiseAccess(path, SystemReason(errno));
  } catch (...) {
    if (destination.created) {
      ::unlink(path.c_str());
    } else if (regular && overwriting) {
      cut();
    }
    throw;
  }
  return destination.created;
}

bool IsOrdinaryFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && path.find('\0') == std::string::npos &&
         ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsVisibleOrdinaryFile(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  return name < path.size() && path[name] != '.' && IsOrdinaryFile(path);
}

void CheckFileName(std::string_view path) {
  if (path.empty()) RaiseBadFileName("the file name is empty");
  if (path.find('\0') != std::string_view::npos) {
    RaiseBadFileName("the file name holds a NUL character");
  }
  if (path.size() >= PATH_MAX) {
    RaiseBadFileName("the file name is longer than " +
                     std::to_string(PATH_MAX - 1) + " bytes");
  }
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end - start > NAME_MAX) {
      RaiseBadFileName("a part of the file name is longer than " +
                       std::to_string(NAME_MAX) + " bytes");
    }
    start = end + 1;
  }
}

void DeleteFile(const std::string& path) {
  RequirePath(path);
  if (::unlink(path.c_str()) != 0) RaiseForExisting(path, errno);
}

std::string ParentFolder(std::string_view path) {
  const std::size_t last = path.find_last_of("/\\");
  if (last == std::string_view::npos) return {};
  return std::string(path.substr(0, last));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  const std::size_t start = name.find_first_not_of("/\\");
  name.remove_prefix(start == std::string_view::npos ? name.size() : start);
  std::string path(folder);
  if (path.back() != '/' && path.back() != '\\') path.push_back('/');
  path.append(name);
  return path;
}

std::string OwnModuleFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&OwnModuleFolder), &info) == 0 ||
      info.dli_fname == nullptr) {
    return {};
  }
  std::error_code error;
  std::filesystem::path file = info.dli_fname;
  // The main program's own name may come back relative or bare; the kernel
  // knows its full path.
  if (!file.is_absolute()) {
    file = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
  }
  return file.parent_path().string();
}

}  // namespace nerolin::platform
