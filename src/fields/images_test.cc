#include "fields/images.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "automation/vb_text.h"
#include "component/component_state.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/sqlite_library.h"
#include "platform/base64.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::fields {
namespace {

using ::nerolin::testing::MakeTestDatabase;
using ::nerolin::testing::TempDir;

constexpr const char* kTitle = "ConvertImagesToBase64";

// Bytes that look like the start of a PNG and hold every byte value.
std::string PictureBytes(std::size_t size) {
  std::string bytes = "\x89PNG\r\n\x1A\n";
  for (std::size_t i = 0; bytes.size() < size; ++i) {
    bytes += static_cast<char>(i * 7 % 256);
  }
  return bytes;
}

std::string DataUri(std::string_view subtype, std::string_view bytes) {
  return "src=\"data:image/" + std::string(subtype) + ";base64," +
         platform::Base64Encode(bytes) + "\"";
}

// `text` after the twelve replacements of the accented letters, one after
// the other.
std::string AccentsReplacedInTurn(std::string text) {
  const char* const kTable[][2] = {
      {"ñ", "&ntilde;"}, {"á", "&aacute;"}, {"é", "&eacute;"},
      {"í", "&iacute;"}, {"ó", "&oacute;"}, {"ú", "&uacute;"},
      {"Ñ", "&Ntilde;"}, {"Á", "&Aacute;"}, {"É", "&Eacute;"},
      {"Í", "&Iacute;"}, {"Ó", "&Oacute;"}, {"Ú", "&Uacute;"},
  };
  for (const auto& row : kTable) text = Replace(text, row[0], row[1]);
  return text;
}

std::string EncodeAccents(std::string text) {
  EncodeAccentsInPlace(text);
  return text;
}

// The bytes of every data URI in `html`, in order; a URI whose base64 does
// not decode gives nothing.
std::vector<std::optional<std::string>> EmbeddedPictures(
    std::string_view html) {
  std::vector<std::optional<std::string>> pictures;
  for (std::size_t at = html.find(";base64,"); at != std::string_view::npos;
       at = html.find(";base64,", at + 1)) {
    const std::size_t start = at + 8;
    pictures.push_back(platform::Base64Decode(
        html.substr(start, html.find('"', start) - start)));
  }
  return pictures;
}

// A fresh component state over a real host database, its messages kept.
class ImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_->set_message_sink(messages_);
    UseDatabase("");
    picture_ = PictureBytes(3000);
    picture_path_ = dir_.Write("logo.png", picture_);
  }

  // The host library over a database with `inserts` run on it.
  void UseDatabase(std::string_view inserts) {
    auto library = sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(MakeTestDatabase(
        dir_, inserts, "host" + std::to_string(++databases_) + ".db"));
    state_->set_host_library(library);
  }

  void UseSetting(std::string_view value) {
    UseDatabase("INSERT INTO engParameter VALUES ('ConvertImagesToBase64', '" +
                std::string(value) + "');");
  }

  std::string Embed(std::string_view html,
                    std::string_view template_path = {}) {
    return EmbedImages(*state_, std::string(html), template_path);
  }

  TempDir dir_;
  std::shared_ptr<ComponentState> state_ = std::make_shared<ComponentState>();
  std::shared_ptr<CapturingMessageSink> messages_ =
      std::make_shared<CapturingMessageSink>();
  int databases_ = 0;
  std::string picture_;
  std::string picture_path_;
};

TEST_F(ImagesTest, ALocalPictureBecomesADataUriOfItsBytes) {
  const std::string html = "<p><img src=\"" + picture_path_ + "\" alt=x></p>";
  EXPECT_EQ(Embed(html), "<p><img " + DataUri("png", picture_) + " alt=x></p>");
  EXPECT_TRUE(messages_->messages.empty());
}

TEST_F(ImagesTest, TagsNamingNoLocalPictureStayWhileAccentsAreEncoded) {
  dir_.Write(".hidden.png", picture_);
  const std::string kSources[] = {
      "http://example.com/" + picture_path_,
      "https://example.com/logo.png",
      "file:https://example.com/logo.png",
      "data:image/png;base64,AAAA",
      "  DATA:Image/gif;base64,AAAA",
      "missing.png",
      "",
      dir_.File(".hidden.png"),
      dir_.path().string(),
  };
  for (const std::string& source : kSources) {
    SCOPED_TRACE(source);
    const std::string tag = "<img src=\"" + source + "\">";
    EXPECT_EQ(Embed(tag + "Ñandú", dir_.File("t.html")),
              tag + "&Ntilde;and&uacute;");
  }
  EXPECT_TRUE(messages_->messages.empty());
}

TEST_F(ImagesTest, TheHostSettingSwitchesEmbeddingOffWhenItReadsTrue) {
  const struct {
    const char* value;  // nullptr: no such setting
    bool embedded;
  } kCases[] = {
      {nullptr, true}, {"False", true}, {"0", true},   {"True", false},
      {"true", false}, {"1", false},    {"-1", false},
  };
  const std::string html = "<img src=\"" + picture_path_ + "\">ó";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value ? c.value : "(absent)");
    if (c.value) {
      UseSetting(c.value);
    } else {
      UseDatabase("");
    }
    EXPECT_EQ(Embed(html),
              c.embedded ? "<img " + DataUri("png", picture_) + ">&oacute;"
                         : "<img src=\"" + picture_path_ + "\">&oacute;");
  }
  EXPECT_TRUE(messages_->messages.empty());
}

TEST_F(ImagesTest, ASettingThatIsNoTruthValueIsReportedAndGivesNoReport) {
  UseSetting("sí");
  EXPECT_EQ(Embed("<img src=\"" + picture_path_ + "\">"), "");
  ASSERT_EQ(messages_->messages.size(), 1u);
  EXPECT_EQ(messages_->messages[0].title, kTitle);
  EXPECT_NE(messages_->messages[0].text.find("\"sí\""), std::string::npos)
      << messages_->messages[0].text;
}

TEST_F(ImagesTest, EveryOccurrenceOfTheAttributeTextIsEmbeddedInOneStep) {
  // Only Logo.png exists; the second tag's text differs in case only, so the
  // first replacement covers it, and so it covers text outside any tag.
  const std::string logo = dir_.Write("Logo.png", picture_);
  const std::string lower = dir_.File("logo.PNG");
  const std::string html = "<img src=\"" + logo + "\"><IMG SRC=\"" + lower +
                           "\"><pre>Src=\"" + logo + "\"</pre>";
  const std::string uri = DataUri("png", picture_);
  EXPECT_EQ(Embed(html),
            "<img " + uri + "><IMG " + uri + "><pre>" + uri + "</pre>");
}

TEST_F(ImagesTest, ARelativePathIsLookedUpInTheTemplateFolder) {
  std::filesystem::create_directory(dir_.path() / "img");
  const std::string gif = PictureBytes(500);
  dir_.Write("img/logo.gif", gif);
  const std::string template_path = dir_.File("factura.html");
  const struct {
    std::string html;
    std::string template_path;
    std::string expected;
  } kCases[] = {
      {"<img src=\"img/logo.gif\">", template_path,
       "<img " + DataUri("gif", gif) + ">"},
      // A path written on Windows.
      {"<img src=\"img\\logo.gif\">", template_path,
       "<img " + DataUri("gif", gif) + ">"},
      {"<img src=\"" + dir_.path().string() + "\\img\\logo.gif\">", "",
       "<img " + DataUri("gif", gif) + ">"},
      {"<img src=\"img/logo.gif\">", "", "<img src=\"img/logo.gif\">"},
      {"<img src=\"img/logo.gif\">", "factura.html",
       "<img src=\"img/logo.gif\">"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.html + " under " + c.template_path);
    EXPECT_EQ(Embed(c.html, c.template_path), c.expected);
  }
}

TEST_F(ImagesTest, TagAttributeAndFilePrefixAreFoundInAnyCase) {
  const std::string uri = DataUri("png", picture_);
  const std::string kTags[] = {
      "<IMG SRC=\"" + picture_path_ + "\">",
      "<Img Src=\"file:" + picture_path_ + "\">",
      "<img src=\" FILE:" + picture_path_ + " \">",
      "<img src=\"file:file:" + picture_path_ + "\">",
  };
  for (const std::string& tag : kTags) {
    SCOPED_TRACE(tag);
    EXPECT_EQ(Embed(tag), tag.substr(0, 5) + uri + ">");
  }
}

TEST_F(ImagesTest, ATagIsFoundAtAnyPlaceAmongLookAlikes) {
  // Markup is searched sixteen places at a time: the tag must be found
  // whatever its offset, right up to the end of the report, past "<" and
  // "<i" that start no tag.
  const std::string uri = DataUri("png", picture_);
  for (std::size_t padding = 0; padding < 40; ++padding) {
    for (const std::string& tag :
         {std::string("<img "), std::string("<iMG ")}) {
      const std::string before =
          std::string(padding, '<') + "<i><I>" + std::string(padding % 3, 'i');
      const std::string html = before + tag + "src=\"" + picture_path_ + "\">";
      SCOPED_TRACE(html);
      std::string expected = before;
      expected.append(tag).append(uri).append(">");
      EXPECT_EQ(Embed(html), expected);
    }
  }
  EXPECT_EQ(Embed(std::string(50, '<') + "<img"),
            std::string(50, '<') + "<img");
}

TEST_F(ImagesTest, TagsWithoutADoubleQuotedSrcAreSkippedAndLaterOnesEmbedded) {
  const std::string second = dir_.Write("b.jpeg", picture_);
  const std::string skipped = "<img alt=\"logo\"><img src='" + picture_path_ +
                              "'><img src=" + picture_path_ +
                              "><img alt=\"x\">src=\"" + picture_path_ + "\"";
  EXPECT_EQ(Embed(skipped + "<img src=\"" + second + "\">"),
            skipped + "<img " + DataUri("peg", picture_) + ">");
}

TEST_F(ImagesTest, FailuresOfThePassAreReportedAndGiveNoReport) {
  const struct {
    const char* name;
    bool with_library;
    std::string html;
    std::string message;
  } kCases[] = {
      {"unclosed quote", true, "<p>x</p><img src=\"" + picture_path_ + ">Ñandú",
       "Invalid procedure call or argument: the src value of the picture tag "
       "at byte 9 has no closing double quote"},
      {"no host library", false, "<img src=\"" + picture_path_ + "\">",
       "Object variable or With block variable not set (no host data "
       "library)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    messages_->messages.clear();
    if (!c.with_library) state_->set_host_library(nullptr);
    EXPECT_EQ(Embed(c.html), "");
    ASSERT_EQ(messages_->messages.size(), 1u);
    EXPECT_EQ(messages_->messages[0].text, c.message);
    EXPECT_EQ(messages_->messages[0].title, kTitle);
    EXPECT_EQ(messages_->messages[0].icon, MessageIcon::kInformation);
  }
}

TEST_F(ImagesTest, PathsThatCannotNameAFileLeaveTheirTagAlone) {
  const std::string kPaths[] = {
      std::string(5000, 'a') + ".png",
      dir_.File(std::string(300, 'b') + ".png"),
      // The text up to the NUL names a file; the path as a whole does not.
      picture_path_ + std::string(1, '\0') + ".png",
      dir_.File("\xFF\xFE missing.png"),
  };
  const std::string later = "<img src=\"" + picture_path_ + "\">";
  for (const std::string& path : kPaths) {
    SCOPED_TRACE(path.size());
    const std::string tag = "<img src=\"" + path + "\">";
    EXPECT_EQ(Embed(tag + later),
              tag + "<img " + DataUri("png", picture_) + ">");
  }
  EXPECT_TRUE(messages_->messages.empty());
}

TEST_F(ImagesTest, OddFileNamesAndLargePicturesAreEmbeddedWhole) {
  const std::string odd = dir_.Write("\xFF\xFE\xE9.png", picture_);
  const std::string large = PictureBytes(20u << 20);
  const std::string large_path = dir_.Write("large.png", large);
  const std::string result =
      Embed("<img src=\"" + odd + "\"><img src=\"" + large_path + "\">");
  const auto pictures = EmbeddedPictures(result);
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[0], picture_);
  EXPECT_TRUE(pictures[1] == large) << "the large picture changed";
}

TEST_F(ImagesTest, APictureThatGivesNoTextLeavesItsTagAlone) {
  const std::string big = dir_.Write("big.png", "");
  std::filesystem::resize_file(big, kMaxPictureSize + 1);
  const std::string fifo = dir_.File("pipe.png");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir_.Write("empty.png", ""), big, fifo}) {
    SCOPED_TRACE(path);
    const std::string html = "<img src=\"" + path + "\">";
    EXPECT_EQ(Embed(html), html);
    EXPECT_EQ(ImageToBase64(*state_, path), "");
  }
  EXPECT_TRUE(messages_->messages.empty());
}

TEST_F(ImagesTest, APictureIsReplacedAsReplaceWithTextComparisonReplaces) {
  const std::string tag = "<img src=\"fotos/Ñandú.png\">";
  const std::string htmls[] = {
      tag + "<IMG SRC=\"FOTOS/ñANDÚ.PNG\"><img src=\"fotos/Ñandú.png2\">",
      "src=\"fotos/Ñandú.png\"" + tag + "src=\"fotos/Ñandú.png\"",
      tag + "\xC3src=\"fotos/Ñandú.png\"",
  };
  std::filesystem::create_directory(dir_.path() / "fotos");
  dir_.Write("fotos/Ñandú.png", picture_);
  for (const std::string& html : htmls) {
    SCOPED_TRACE(html);
    const std::size_t src = html.find("<img ") + 5;
    const std::size_t quote = html.find('"', src + 5);
    EXPECT_EQ(Embed(html, dir_.File("t.html")),
              AccentsReplacedInTurn(
                  Replace(html, html.substr(src, quote - src + 1),
                          DataUri("png", picture_), CompareMode::kText)));
  }
  EXPECT_TRUE(messages_->messages.empty());
}

// Downloads go to the system's temporary folder; the tests point it at a
// folder of their own to see what is left there.
class ImageToBase64Test : public ImagesTest {
 protected:
  void SetUp() override {
    ImagesTest::SetUp();
    const char* old = std::getenv("TMPDIR");
    if (old) old_tmpdir_ = old;
    setenv("TMPDIR", downloads_.path().c_str(), 1);
  }
  void TearDown() override {
    if (old_tmpdir_) {
      setenv("TMPDIR", old_tmpdir_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  std::size_t FilesLeft() const {
    std::size_t count = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(downloads_.path())) {
      (void)entry;
      ++count;
    }
    return count;
  }

  TempDir downloads_;
  std::optional<std::string> old_tmpdir_;
};

TEST_F(ImageToBase64Test, ReadsThePictureOrTheCopyTheHostDownloads) {
  const std::string expected = platform::Base64Encode(picture_);
  const struct {
    std::string path;
    std::string result;
  } kCases[] = {
      {picture_path_, expected},
      {"file://" + picture_path_, expected},
      {"file:" + picture_path_, expected},
      {dir_.File("missing.png"), ""},
      {"file://" + dir_.File("missing.png"), ""},
      {"", ""},
      {dir_.path().string(), ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ImageToBase64(*state_, c.path), c.result);
    EXPECT_EQ(FilesLeft(), 0u);
  }
}

TEST_F(ImageToBase64Test, NeverRaisesWithoutAHostLibrary) {
  state_->set_host_library(nullptr);
  EXPECT_EQ(ImageToBase64(*state_, picture_path_),
            platform::Base64Encode(picture_));
  EXPECT_EQ(ImageToBase64(*state_, "file://" + picture_path_), "");
}

TEST_F(ImageToBase64Test, AStepThatFailsIsReportedToAListener) {
  state_->set_host_library(nullptr);
  auto listener = std::make_shared<RecordingDiagnosticListener>();
  state_->set_diagnostic_listener(listener);
  const std::string big = dir_.Write("big.png", "");
  std::filesystem::resize_file(big, kMaxPictureSize + 1);
  EXPECT_EQ(ImageToBase64(*state_, "file://" + picture_path_), "");
  EXPECT_EQ(ImageToBase64(*state_, big), "");
  std::vector<std::string> skipped;
  for (const Diagnostic& diagnostic : listener->diagnostics) {
    EXPECT_EQ(diagnostic.kind, DiagnosticKind::kStepSkipped);
    skipped.push_back(diagnostic.subject + ": " + diagnostic.detail);
  }
  const std::string kNoLibrary =
      "Object variable or With block variable not set (no host data library)";
  EXPECT_EQ(skipped,
            std::vector<std::string>(
                {"DownloadURLImage file://" + picture_path_ + ": " + kNoLibrary,
                 "ReadBytes " + big + ": Path/File access error: " + big +
                     " (the file is larger than 32 MiB)"}));
}

TEST(EncodeAccents, WritesTheTwelveLettersAsEntitiesAndNothingElse) {
  const struct {
    std::string text;
    std::string expected;
  } kCases[] = {
      {"Ñandú", "&Ntilde;and&uacute;"},
      {"ñáéíóúÑÁÉÍÓÚ",
       "&ntilde;&aacute;&eacute;&iacute;&oacute;&uacute;"
       "&Ntilde;&Aacute;&Eacute;&Iacute;&Oacute;&Uacute;"},
      {"ü Ü ¿ ¡ à ß ÿ", "ü Ü ¿ ¡ à ß ÿ"},
      {"", ""},
      // Stray bytes stay; a lead byte before a letter does not hide it.
      {"\xC3\xC3\xB1\xA1 x\xC3", "\xC3&ntilde;\xA1 x\xC3"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(EncodeAccents(c.text), c.expected);
  }
}

TEST(EncodeAccents, GivesWhatTheTwelveReplacementsInTurnGive) {
  // Every pair of bytes from a set that holds lead bytes, the second bytes
  // of the table's letters and their neighbours.
  const std::string bytes = "a;&\xC3\xC2\x80\x81\x91\xA1\xB1\xBA\xBF\xFF";
  std::string text;
  for (char first : bytes) {
    for (char second : bytes) {
      text += first;
      text += second;
    }
  }
  // At every alignment, pairs across every boundary of the scan's blocks
  // and in the bytes after the last whole block.
  for (std::size_t shift = 0; shift <= 16; ++shift) {
    const std::string shifted = std::string(shift, 'x') + text;
    // Cut before the last byte too: a lead byte may end the text.
    for (const std::string& given :
         {shifted, shifted.substr(0, shifted.size() - 1)}) {
      SCOPED_TRACE(given.size());
      EXPECT_EQ(EncodeAccents(given), AccentsReplacedInTurn(given));
    }
  }
}

}  // namespace
}  // namespace nerolin::fields
