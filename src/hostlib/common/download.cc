#include "hostlib/common/download.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <unistd.h>
#include <vector>

#include <curl/curl.h>
#include <sys/stat.h>

#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"
#include "platform/unique_fd.h"

namespace nerolin::hostlib {

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

[[noreturn]] void Fail(std::int32_t number, std::string_view location,
                       std::string_view reason) {
  throw AutomationError(number,
                        "Cannot download \"" + std::string(location) +
                            "\": " + std::string(reason),
                        std::string(sqlite::kSource));
}

std::string ErrnoText(int error) { return std::strerror(error); }

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9');
}

// "scheme://" at the start of the text.
bool HasUrlScheme(std::string_view text) {
  std::size_t colon = text.find("://");
  if (colon == std::string_view::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    char c = text[i];
    if (!IsAsciiLetterOrDigit(c) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

// ".png" from ".../a.png?size=2"; "" when the last segment has no short
// alphanumeric extension.
std::string ExtensionOf(std::string_view location, bool is_url) {
  if (is_url) location = location.substr(0, location.find_first_of("?#"));
  std::size_t slash = location.find_last_of("/\\");
  std::string_view name =
      slash == std::string_view::npos ? location : location.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string_view extension = name.substr(dot + 1);
  if (extension.empty() || extension.size() > 8) return {};
  for (char c : extension) {
    if (!IsAsciiLetterOrDigit(c)) return {};
  }
  std::string suffix(1, '.');
  suffix.append(extension);
  return suffix;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out +=
          static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The local path of a file: URL.
std::string FileUrlPath(std::string_view url) {
  std::string_view rest = url.substr(5);  // after "file:"
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    std::size_t slash = rest.find('/');
    std::string_view host =
        slash == std::string_view::npos ? rest : rest.substr(0, slash);
    bool local = host.empty() ||
                 (host.size() == 9 && StartsWithIgnoreCase(host, "localhost"));
    if (!local) {
      Fail(errors::kPathFileAccess, url, "a file: URL must name this machine");
    }
    rest = slash == std::string_view::npos ? std::string_view()
                                           : rest.substr(slash);
  }
  std::string path = PercentDecoded(rest.substr(0, rest.find_first_of("?#")));
  if (path.empty()) Fail(errors::kBadFileName, url, "the URL names no file");
  return path;
}

// A new empty file in the temporary folder, removed again unless Keep()
// is called.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string_view extension,
                         std::string_view location) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) folder = "/tmp";
    std::string pattern =
        (folder / "nerolin-image-XXXXXX").string() + std::string(extension);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkstemps(name.data(), static_cast<int>(extension.size()));
    if (fd_ < 0) {
      Fail(errors::kPathFileAccess, location,
           "cannot create a temporary file in " + folder.string() + ": " +
               ErrnoText(errno));
    }
    path_.assign(name.data());
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Writes all of `size` bytes; false (errno set) on failure.
  bool Write(const char* data, std::size_t size) {
    while (size > 0) {
      ssize_t written = ::write(fd_, data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  // Closes the file and keeps it; returns its path.
  std::string Keep(std::string_view location) {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      Fail(errors::kPathFileAccess, location,
           "cannot write " + path_ + ": " + ErrnoText(errno));
    }
    kept_ = true;
    return path_;
  }

  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
  bool kept_ = false;
};

std::string CopyLocalFile(const std::string& source, std::string_view location,
                          const DownloadLimits& limits) {
  // O_NONBLOCK: a FIFO would otherwise hold the open until a writer came,
  // before the look at what the file is could refuse it.
  platform::UniqueFd input(
      ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (input.get() < 0) {
    int error = errno;
    Fail(error == ENOENT ? errors::kFileNotFound : errors::kPathFileAccess,
         location, ErrnoText(error));
  }
  struct stat info {};
  if (::fstat(input.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    Fail(errors::kPathFileAccess, location, "it is no regular file");
  }
  if (static_cast<std::uint64_t>(info.st_size) > limits.max_bytes) {
    Fail(errors::kPathFileAccess, location,
         "the file is larger than " + std::to_string(limits.max_bytes) +
             " bytes");
  }
  TemporaryFile copy(ExtensionOf(source, false), location);
  std::vector<char> buffer(kCopyChunk);
  std::uint64_t total = 0;
  // Ends at the end of the file; the size bound stops a file that grows.
  for (;;) {
    ssize_t got = ::read(input.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(errors::kPathFileAccess, location, ErrnoText(errno));
    }
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got);
    if (total > limits.max_bytes) {
      Fail(errors::kPathFileAccess, location, "the file grew past the limit");
    }
    if (!copy.Write(buffer.data(), static_cast<std::size_t>(got))) {
      Fail(errors::kPathFileAccess, location,
           "cannot write " + copy.path() + ": " + ErrnoText(errno));
    }
  }
  return copy.Keep(location);
}

struct HttpSink {
  TemporaryFile* file;
  std::uint64_t written = 0;
  std::uint64_t max_bytes = 0;
  bool too_large = false;
  int write_error = 0;
};

std::size_t WriteToSink(char* data, std::size_t size, std::size_t count,
                        void* user) {
  auto* sink = static_cast<HttpSink*>(user);
  std::size_t bytes = size * count;
  if (sink->written + bytes > sink->max_bytes) {
    sink->too_large = true;
    return 0;  // makes libcurl stop with a write error
  }
  if (!sink->file->Write(data, bytes)) {
    sink->write_error = errno;
    return 0;
  }
  sink->written += bytes;
  return bytes;
}

class CurlHandle {
 public:
  CurlHandle() : handle_(curl_easy_init()) {}
  ~CurlHandle() {
    if (handle_) curl_easy_cleanup(handle_);
  }
  CurlHandle(const CurlHandle&) = delete;
  CurlHandle& operator=(const CurlHandle&) = delete;
  CURL* get() const { return handle_; }

 private:
  CURL* handle_;
};

std::string FetchHttp(const std::string& url, const DownloadLimits& limits) {
  static std::once_flag curl_ready;
  std::call_once(curl_ready, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CurlHandle curl;
  if (!curl.get()) Fail(errors::kPathFileAccess, url, "libcurl is not usable");
  TemporaryFile file(ExtensionOf(url, true), url);
  HttpSink sink{&file};
  sink.max_bytes = limits.max_bytes;
  char error_text[CURL_ERROR_SIZE] = {};
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, limits.max_redirects);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limits.connect_timeout_ms);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, limits.total_timeout_ms);
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(limits.max_bytes));
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_USERAGENT, "NerolinHTMLReport");
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error_text);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteToSink);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  CURLcode rc = curl_easy_perform(h);
  if (rc != CURLE_OK) {
    std::string reason;
    if (sink.too_large || rc == CURLE_FILESIZE_EXCEEDED) {
      reason = "the picture is larger than " +
               std::to_string(limits.max_bytes) + " bytes";
    } else if (sink.write_error != 0) {
      reason =
          "cannot write " + file.path() + ": " + ErrnoText(sink.write_error);
    } else {
      reason = error_text[0] ? error_text : curl_easy_strerror(rc);
    }
    Fail(errors::kPathFileAccess, url, reason);
  }
  return file.Keep(url);
}

}  // namespace

std::string DownloadToTemporaryFile(std::string_view location,
                                    std::string_view own_folder,
                                    const DownloadLimits& limits) {
  if (location.empty()) {
    Fail(errors::kBadFileName, location, "no path or URL was given");
  }
  if (StartsWithIgnoreCase(location, "http://") ||
      StartsWithIgnoreCase(location, "https://")) {
    return FetchHttp(std::string(location), limits);
  }
  if (StartsWithIgnoreCase(location, "file:")) {
    return CopyLocalFile(FileUrlPath(location), location, limits);
  }
  if (HasUrlScheme(location)) {
    Fail(errors::kPathFileAccess, location,
         "only http, https and file URLs can be downloaded");
  }
  std::string path(location);
  std::error_code error;
  if (path.front() != '/' && !own_folder.empty() &&
      !std::filesystem::exists(path, error)) {
    std::string under(own_folder);
    if (under.back() != '/' && under.back() != '\\') under += '/';
    under += path;
    if (std::filesystem::exists(under, error)) path = std::move(under);
  }
  return CopyLocalFile(path, location, limits);
}

}  // namespace nerolin::hostlib
