#include "hostlib/common/download.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "nerolin/automation_error.h"
#include "support/private_display.h"
#include "support/test_support.h"

namespace nerolin::hostlib {
namespace {

using ::nerolin::testing::ReadFile;
using ::nerolin::testing::TempDir;

// A one-thread HTTP/1.0 server on 127.0.0.1 that answers from a table of
// paths. It polls with a short timeout so that it stops soon after the
// test is done, whatever the client did.
class LoopbackServer {
 public:
  struct Reply {
    std::string status = "200 OK";
    std::string headers;
    std::string body;
  };

  explicit LoopbackServer(std::map<std::string, Reply> replies)
      : replies_(std::move(replies)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address),
                      &size) != 0) {
      ADD_FAILURE() << "cannot listen on 127.0.0.1";
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }

  ~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
  }

  std::string Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }

 private:
  void Serve() {
    // At most one minute, whatever happens.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 50) <= 0) continue;
      int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      Answer(client);
      ::close(client);
    }
  }

  void Answer(int client) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos &&
           request.size() < 16384) {
      pollfd readable{client, POLLIN, 0};
      if (::poll(&readable, 1, 2000) <= 0) return;
      ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t start = request.find(' ') + 1;
    std::string path = request.substr(start, request.find(' ', start) - start);
    path = path.substr(0, path.find('?'));
    auto found = replies_.find(path);
    Reply reply = found != replies_.end() ? found->second
                                          : Reply{"404 Not Found", "", "none"};
    std::string response = "HTTP/1.0 " + reply.status + "\r\nContent-Length: " +
                           std::to_string(reply.body.size()) + "\r\n" +
                           reply.headers + "\r\n" + reply.body;
    std::size_t sent = 0;
    while (sent < response.size()) {
      ssize_t n = ::send(client, response.data() + sent, response.size() - sent,
                         MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
  }

  std::map<std::string, Reply> replies_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The temporary file a download made, read and removed.
std::string TakeDownload(const std::string& path) {
  std::string bytes = ReadFile(path);
  std::filesystem::remove(path);
  return bytes;
}

TEST(DownloadToTemporaryFile, CopiesLocalPathsAndFileUrls) {
  TempDir dir;
  std::string picture = dir.Write("logo.png", std::string("\x89PNG\0\1", 6));
  dir.Write("my logo.gif", "GIF89a");
  struct Case {
    std::string location;
    std::string own_folder;
    std::string bytes;
  };
  const Case cases[] = {
      {picture, "", std::string("\x89PNG\0\1", 6)},
      {"file://" + picture, "", std::string("\x89PNG\0\1", 6)},
      {"FILE://localhost" + picture, "", std::string("\x89PNG\0\1", 6)},
      {"file:" + dir.File("my%20logo.gif"), "", "GIF89a"},
      {"logo.png", dir.path().string(), std::string("\x89PNG\0\1", 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    std::string copy = DownloadToTemporaryFile(c.location, c.own_folder);
    EXPECT_NE(copy, picture);
    EXPECT_EQ(std::filesystem::path(copy).parent_path(),
              std::filesystem::temp_directory_path());
    EXPECT_EQ(std::filesystem::path(copy).extension(),
              std::filesystem::path(c.location).extension());
    EXPECT_EQ(TakeDownload(copy), c.bytes);
  }
}

TEST(DownloadToTemporaryFile, FailuresNameTheLocation) {
  TempDir dir;
  std::string missing = dir.File("absent.png");
  EXPECT_AUTOMATION_ERROR_MSG(DownloadToTemporaryFile(missing, ""),
                              errors::kFileNotFound,
                              "Cannot download \"" + missing + "\": ");
  EXPECT_AUTOMATION_ERROR_MSG(
      DownloadToTemporaryFile("file://server/share/a.png", ""),
      errors::kPathFileAccess, "must name this machine");
  EXPECT_AUTOMATION_ERROR_MSG(DownloadToTemporaryFile("ftp://host/a.png", ""),
                              errors::kPathFileAccess,
                              "only http, https and file URLs");
  EXPECT_AUTOMATION_ERROR_MSG(DownloadToTemporaryFile("", ""),
                              errors::kBadFileName, "no path or URL");
  EXPECT_AUTOMATION_ERROR_MSG(DownloadToTemporaryFile(dir.path().string(), ""),
                              errors::kPathFileAccess, "no regular file");
  std::string large = dir.Write("large.bmp", std::string(2048, 'x'));
  DownloadLimits small;
  small.max_bytes = 1024;
  EXPECT_AUTOMATION_ERROR_MSG(DownloadToTemporaryFile(large, "", small),
                              errors::kPathFileAccess,
                              "larger than 1024 bytes");
}

TEST(DownloadToTemporaryFile, FetchesHttpFromALoopbackServer) {
  // A temporary folder of the test's own, so that copies made by tests
  // running beside it are not counted as leftovers.
  nerolin::testing::TempDir temp;
  nerolin::testing::ScopedEnvironment environment;
  environment.Set("TMPDIR", temp.path().string());
  for (const char* proxy :
       {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
    ::unsetenv(proxy);
  }
  LoopbackServer server({
      {"/pics/logo.jpg", {"200 OK", "", "JFIF bytes"}},
      {"/moved", {"302 Found", "Location: /pics/logo.jpg\r\n", ""}},
      {"/big.png", {"200 OK", "", std::string(4096, 'p')}},
  });
  std::string copy =
      DownloadToTemporaryFile(server.Url("/pics/logo.jpg?v=2"), "");
  EXPECT_EQ(std::filesystem::path(copy).extension(), ".jpg");
  EXPECT_EQ(TakeDownload(copy), "JFIF bytes");
  EXPECT_EQ(TakeDownload(DownloadToTemporaryFile(server.Url("/moved"), "")),
            "JFIF bytes");

  auto leftovers = [] {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::temp_directory_path())) {
      if (entry.path().filename().string().starts_with("nerolin-image-") &&
          entry.path().extension() == ".png") {
        ++count;
      }
    }
    return count;
  };
  std::size_t before = leftovers();
  EXPECT_AUTOMATION_ERROR_MSG(
      DownloadToTemporaryFile(server.Url("/missing.png"), ""),
      errors::kPathFileAccess, "404");
  DownloadLimits small;
  small.max_bytes = 1000;
  EXPECT_AUTOMATION_ERROR_MSG(
      DownloadToTemporaryFile(server.Url("/big.png"), "", small),
      errors::kPathFileAccess, "larger than 1000 bytes");
  EXPECT_EQ(leftovers(), before);  // failed downloads leave no file
}

TEST(DownloadToTemporaryFile, RefusedConnectionFailsQuickly) {
  // A port that was just free: nothing listens there now.
  int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(probe);
  std::string url =
      "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/a.png";
  DownloadLimits quick;
  quick.connect_timeout_ms = 2000;
  quick.total_timeout_ms = 3000;
  EXPECT_AUTOMATION_ERROR_MSG(DownloadToTemporaryFile(url, "", quick),
                              errors::kPathFileAccess,
                              "Cannot download \"" + url + "\": ");
}

}  // namespace
}  // namespace nerolin::hostlib
