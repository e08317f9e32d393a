#include "platform/files.h"

#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "nerolin/automation_error.h"
#include "support/test_support.h"

namespace nerolin::platform {
namespace {

namespace fs = std::filesystem;
using nerolin::testing::ReadFile;
using nerolin::testing::RunInChild;
using nerolin::testing::TempDir;

// The bytes a report file gets for `utf8`, without the CR LF every report
// file ends with.
std::string AsWritten(std::string_view utf8) {
  TempDir dir;
  const std::string path = dir.File("r.html");
  WriteReportFile(path, utf8);
  std::string bytes = ReadFile(path);
  EXPECT_TRUE(bytes.ends_with("\r\n"));
  bytes.resize(bytes.size() - 2);
  return bytes;
}

TEST(Files, Windows1252ConvertsBothWays) {
  struct Case {
    std::string_view utf8;
    std::string_view ansi;
  };
  const Case cases[] = {
      {"áéíóúñÑü", "\xE1\xE9\xED\xF3\xFA\xF1\xD1\xFC"},
      {"€ 10", "\x80 10"},
      {"“x” – …", "\x93x\x94 \x96 \x85"},
      {"a\r\nb", "a\r\nb"},
      // Undefined in the code page: kept as the C1 control of that number.
      {"\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "\x81\x8D\x8F\x90\x9D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(AsWritten(c.utf8), c.ansi);
    EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8);
  }
}

// Long ASCII runs are skipped in blocks; a character anywhere in or after
// them is still converted.
TEST(Files, WriteReportFileFindsACharacterAtEveryPlaceInALongText) {
  TempDir dir;
  const std::string path = dir.File("r.html");
  for (std::size_t at = 0; at <= 200; ++at) {
    SCOPED_TRACE(at);
    std::string utf8(200, 'a');
    std::string ansi = utf8;
    utf8.insert(at, "\xC3\xA9");
    ansi.insert(at, "\xE9");
    WriteReportFile(path, utf8);
    EXPECT_EQ(ReadFile(path), ansi + "\r\n");
  }
}

TEST(Files, WriteReportFileWritesQuestionMarksForWhatTheCodePageLacks) {
  EXPECT_EQ(AsWritten("日本"), "??");
  EXPECT_EQ(AsWritten("a𝄞b"), "a?b");
  EXPECT_EQ(AsWritten("Ā ő"), "? ?");
  // Each byte that starts no well-formed sequence is one "?".
  EXPECT_EQ(AsWritten("x\xC3(\xE2\x82y"), "x?(??y");
  EXPECT_EQ(AsWritten("\xED\xA0\x80"), "???");  // an encoded surrogate
  EXPECT_EQ(AsWritten("\xC0\xAF"), "??");       // an overlong "/"
}

TEST(Files, DecodeAnsiLinesDropsCrAndCrLfAndKeepsLoneLf) {
  EXPECT_EQ(DecodeAnsiLines("a\r\nb\rc\nd\r\n\ne\r"), "abc\nd\ne");
  EXPECT_EQ(DecodeAnsiLines(""), "");
}

TEST(Files, DecodeAnsiLinesTakesMultiByteUtf8WithoutMarkAsUtf8) {
  struct Case {
    std::string_view name;
    std::string_view bytes;
    std::string_view expected;
  };
  const Case cases[] = {
      {"utf8", "a\xC3\xB1o\r\n€", "año€"},
      {"ansi", "a\xF1o\r\n\x80", "año€"},
      {"ascii", "plain\r\n", "plain"},
      // Valid UTF-8 bytes here and there, but not the whole file.
      {"mixed", "\xC3\xB1\xF1", "Ã±ñ"},
      // A byte-order mark leaves the decision to the code page.
      {"bom", "\xEF\xBB\xBF\xC3\xB1", "ï»¿Ã±"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeAnsiLines(c.bytes), c.expected);
  }
}

TEST(Files, DecodeUtf8TextDropsTheMarkAndKeepsLineBreaks) {
  EXPECT_EQ(DecodeUtf8Text("\xEF\xBB\xBF"
                           "a\r\nñ\n"),
            "a\r\nñ\n");
  EXPECT_EQ(DecodeUtf8Text("no mark"), "no mark");
  EXPECT_EQ(DecodeUtf8Text("x\xFFy"), "x\uFFFDy");
}

TEST(Files, DecodeUtf16TextDecodesByItsMark) {
  struct Case {
    std::string_view name;
    std::string bytes;
    std::string_view expected;
  };
  using std::string_literals::operator""s;
  const Case cases[] = {
      {"le",
       "\xFF\xFE"
       "a\0\r\0\n\0\xF1\0\xAC\x20"s,
       "a\r\nñ€"},
      {"be", "\xFE\xFF\0a\0\r\0\n\0\xF1\x20\xAC"s, "a\r\nñ€"},
      {"pair", "\xFF\xFE\x34\xD8\x1E\xDD"s, "𝄞"},
      {"lone",
       "\xFF\xFE\x34\xD8"
       "a\0\x1E\xDD"s,
       "\uFFFDa\uFFFD"},
      {"odd",
       "\xFF\xFE"
       "a\0b"s,
       "a\uFFFD"},
      {"mark-only", "\xFE\xFF"s, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeUtf16Text(c.bytes), c.expected);
  }
}

TEST(Files, Utf16AndUtf8ConvertEachOther) {
  EXPECT_EQ(Utf16FromUtf8("añ€𝄞"), u"añ€𝄞");
  EXPECT_EQ(Utf8FromUtf16(u"añ€𝄞"), "añ€𝄞");
  // A byte that starts nothing well formed, and a lone surrogate.
  EXPECT_EQ(Utf16FromUtf8("a\xC0\xAF"
                          "b"),
            u"a\uFFFD\uFFFDb");
  EXPECT_EQ(Utf8FromUtf16(std::u16string{u'a', char16_t{0xD834}, u'b'}),
            "a\uFFFDb");
}

TEST(Files, WriteReportFileWritesAnsiAndOneCrLf) {
  TempDir dir;
  const std::string path = dir.File("r.html");
  WriteReportFile(path, "<p>Año € 日</p>");
  EXPECT_EQ(ReadFile(path), "<p>A\xF1o \x80 ?</p>\r\n");
  WriteReportFile(path, "x");
  EXPECT_EQ(ReadFile(path), "x\r\n");
}

TEST(Files, AReportIsWrittenInTheCharsetItDeclares) {
  TempDir dir;
  const std::string path = dir.File("r.html");
  const std::string body = "<p>1/2” 90° ±5% €12 — Ω Año</p>";
  const std::string ansi =
      "<p>1/2\x94 90\xB0 \xB1"
      "5% \x80"
      "12 \x97 ? A\xF1o</p>";
  const struct {
    std::string head;
    bool utf8;
  } kCases[] = {
      {"<meta charset=\"utf-8\">", true},
      {"<META CHARSET=UTF8>", true},
      {"<meta http-equiv=\"Content-Type\" "
       "content=\"text/html; charset=UTF-8\">",
       true},
      {"<meta charset='windows-1252'><meta charset=\"utf-8\">", false},
      {"<meta charset=\"iso-8859-1\">", false},
      {"<meta name=\"charset\" content=\"utf-8\">", false},
      {"", false},
      {std::string(1024, ' ') + "<meta charset=\"utf-8\">", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.head);
    EXPECT_EQ(DeclaresUtf8(c.head + body), c.utf8);
    WriteReportFile(path, c.head + body);
    EXPECT_EQ(ReadFile(path), c.head + (c.utf8 ? body : ansi) + "\r\n");
  }
}

TEST(Files, WriteReportFileRewritesAnExistingFileInPlace) {
  TempDir dir;
  const std::string target = dir.Write("target.html", "old and longer text");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const std::string link = dir.File("link.html");
  fs::create_symlink(target, link);
  struct stat before {};
  ASSERT_EQ(::stat(target.c_str(), &before), 0);

  WriteReportFile(link, "new");

  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "new\r\n");
  struct stat after {};
  ASSERT_EQ(::stat(target.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
}

// A write that fails part way through a longer old file leaves what was
// written, without the old content after it.
TEST(Files, WriteReportFileThatFailsLeavesNoOldTail) {
  TempDir dir;
  const std::string path = dir.Write("r.html", std::string(10000, 'o'));
  const std::string text(8000, 'n');
  // Writes past 4,096 bytes fail with EFBIG while the limit holds.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const sighandler_t old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit low = saved;
  low.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
  bool raised = false;
  try {
    WriteReportFile(path, text);
  } catch (const AutomationError& error) {
    raised = error.number() == errors::kPathFileAccess;
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);

  EXPECT_TRUE(raised);
  EXPECT_EQ(ReadFile(path), text.substr(0, 4096));
}

TEST(Files, WriteReportFileRaisesWhenTheFileCannotBeWritten) {
  TempDir dir;
  const std::string missing_folder = dir.File("none/r.html");
  EXPECT_AUTOMATION_ERROR_MSG(WriteReportFile(missing_folder, "x"),
                              errors::kPathFileAccess, missing_folder);
  EXPECT_FALSE(fs::exists(missing_folder));
  EXPECT_AUTOMATION_ERROR_MSG(WriteReportFile(dir.path().string(), "x"),
                              errors::kPathFileAccess, "Is a directory");
  EXPECT_AUTOMATION_ERROR(WriteReportFile("", "x"), errors::kBadFileName);
  if (fs::exists("/dev/full")) {
    EXPECT_AUTOMATION_ERROR_MSG(WriteReportFile("/dev/full", "x"),
                                errors::kPathFileAccess,
                                "/dev/full (No space left on device)");
  }
}

// A full disk never leaves a partial report: a new file goes, an old one
// stays whole when the new text cannot take its place.
TEST(Files, WriteReportFileOnAFullDiskLeavesNoPartialFile) {
  TempDir dir;
  const std::string fresh = dir.File("new.html");
  const std::string old = dir.Write("old.html", "complete old report");
  EXPECT_EQ(RunInChild(
                [&] {
                  int written = 0;
                  for (const std::string& path : {fresh, old}) {
                    try {
                      WriteReportFile(path, std::string(8000, 'n'));
                      ++written;
                    } catch (const AutomationError&) {
                    }
                  }
                  return written;
                },
                4096),
            0);
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_EQ(ReadFile(old), "complete old report");
}

TEST(Files, WriteReportFileTakesDevicesAndFifosThatAreRead) {
  TempDir dir;
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_AUTOMATION_ERROR_MSG(WriteReportFile(fifo, "x"),
                              errors::kPathFileAccess,
                              "No such device or address");
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  WriteReportFile(fifo, "x");
  char got[8] = {};
  EXPECT_EQ(::read(reader, got, sizeof got), 3);
  ::close(reader);
  EXPECT_NO_THROW(WriteReportFile("/dev/null", "x"));
}

TEST(Files, MissingFilesRaiseFileNotFoundWithThePath) {
  TempDir dir;
  const std::string missing = dir.File("missing.html");
  EXPECT_AUTOMATION_ERROR_MSG(ReadBytes(missing), errors::kFileNotFound,
                              "File not found: " + missing);
  EXPECT_AUTOMATION_ERROR(DeleteFile(missing), errors::kFileNotFound);
  EXPECT_AUTOMATION_ERROR(ReadBytes(""), errors::kBadFileName);
  EXPECT_AUTOMATION_ERROR(DeleteFile(""), errors::kBadFileName);
  EXPECT_AUTOMATION_ERROR_MSG(ReadBytes(dir.path().string()),
                              errors::kPathFileAccess, dir.path().string());
}

TEST(Files, ReadBytesReturnsEveryByte) {
  TempDir dir;
  std::string bytes(200'000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(i * 7);
  }
  EXPECT_EQ(ReadBytes(dir.Write("big.bin", bytes)), bytes);
}

TEST(Files, IsOrdinaryFileFollowsLinksToRegularFiles) {
  TempDir dir;
  const std::string file = dir.Write("f.html", "x");
  fs::create_symlink(file, dir.File("to-file"));
  fs::create_symlink(dir.File("gone"), dir.File("dangling"));
  EXPECT_TRUE(IsOrdinaryFile(file));
  EXPECT_TRUE(IsOrdinaryFile(dir.File("to-file")));
  EXPECT_FALSE(IsOrdinaryFile(dir.File("dangling")));
  EXPECT_FALSE(IsOrdinaryFile(dir.path().string()));
  EXPECT_FALSE(IsOrdinaryFile(dir.File("gone")));
  EXPECT_FALSE(IsOrdinaryFile(""));
  // Pictures are not read from hidden files.
  EXPECT_TRUE(IsVisibleOrdinaryFile(dir.File("to-file")));
  EXPECT_FALSE(IsVisibleOrdinaryFile(dir.Write(".hidden.png", "x")));
  EXPECT_FALSE(IsVisibleOrdinaryFile(dir.path().string() + "/"));
}

TEST(Files, NamesTheSystemCannotTakeAreBadFileNames) {
  const std::string too_long(PATH_MAX, 'a');
  const std::string long_part = "/tmp/" + std::string(NAME_MAX + 1, 'b');
  for (const std::string& path :
       {std::string(), std::string("a\0b", 3), too_long, long_part}) {
    SCOPED_TRACE(path.size());
    EXPECT_AUTOMATION_ERROR(CheckFileName(path), errors::kBadFileName);
    EXPECT_AUTOMATION_ERROR(ReadBytes(path), errors::kBadFileName);
    EXPECT_FALSE(IsVisibleOrdinaryFile(path));
  }
  EXPECT_NO_THROW(CheckFileName("/tmp/" + std::string(NAME_MAX, 'c')));
  EXPECT_NO_THROW(CheckFileName("\xFF\xFEodd bytes.png"));
}

TEST(Files, JoinPathPutsOneSeparatorBetween) {
  EXPECT_EQ(JoinPath("/srv/models", "tmpx.html"), "/srv/models/tmpx.html");
  EXPECT_EQ(JoinPath("/srv/models/", "\\tmpx.html"), "/srv/models/tmpx.html");
  EXPECT_EQ(JoinPath("C:\\models\\", "rel.html"), "C:\\models\\rel.html");
  EXPECT_EQ(JoinPath("", "rel.html"), "rel.html");
}

TEST(Files, OwnModuleFolderIsTheFolderOfThisProgram) {
  // Linked statically, the engine's code lives in the test program.
  EXPECT_EQ(OwnModuleFolder(),
            fs::read_symlink("/proc/self/exe").parent_path().string());
}

TEST(Files, DeleteFileRemovesTheFile) {
  TempDir dir;
  const std::string file = dir.Write("f.html", "x");
  DeleteFile(file);
  EXPECT_FALSE(fs::exists(file));
}

TEST(Files, ParentFolderSplitsAtTheLastSeparatorOfEitherKind) {
  struct Case {
    std::string_view path;
    std::string_view expected;
  };
  const Case cases[] = {
      {"/srv/models/invoice.html", "/srv/models"},
      {"C:\\Models\\invoice.html", "C:\\Models"},
      {"C:\\Models/sub\\x.html", "C:\\Models/sub"},
      {"models/", "models"},
      {"invoice.html", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ParentFolder(c.path), c.expected);
  }
}

}  // namespace
}  // namespace nerolin::platform
