#include "fields/qr_code.h"

#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/base64.h"
#include "support/test_support.h"

namespace nerolin::fields {
namespace {

constexpr std::string_view kVerificationUrl =
    "https://verificacfdi.facturaelectronica.sat.gob.mx/default.aspx?"
    "id=5FB2822E-396D-4725-8521-CDC4BDD20CCF&re=AAA010101AAA&"
    "rr=XAXX010101000&tt=60982.360000&fe=A1b2C3d4";

std::size_t Count(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// Checks that `svg` draws exactly the dark modules of `symbol` inside the
// quiet zone, each row's runs as few rectangles as they can be.
void ExpectDrawsTheSymbol(const std::string& svg, const QrSymbol& symbol) {
  const int side = symbol.size() + 2 * kQrQuietZone;
  const std::string size = std::to_string(side);
  EXPECT_TRUE(
      svg.starts_with("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "viewBox=\"0 0 " +
                      size + " " + size + "\""));
  EXPECT_NE(svg.find("shape-rendering=\"crispEdges\""), std::string::npos);
  EXPECT_NE(svg.find("<rect width=\"" + size + "\" height=\"" + size +
                     "\" fill=\"#fff\"/>"),
            std::string::npos);
  EXPECT_EQ(Count(svg, "<path"), 1u);
  EXPECT_EQ(Count(svg, "<"), 4u);  // svg, rect, path, the closing svg

  std::vector<std::vector<int>> drawn(side, std::vector<int>(side, 0));
  const std::regex run("M(\\d+) (\\d+)h(\\d+)v1h-(\\d+)z");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), run);
       it != std::sregex_iterator(); ++it) {
    const int x = std::stoi((*it)[1]), y = std::stoi((*it)[2]);
    const int width = std::stoi((*it)[3]);
    ASSERT_EQ(width, std::stoi((*it)[4]));
    ASSERT_LE(x + width, side);
    ASSERT_LT(y, side);
    // A run that could have gone on, or starts where another ends.
    EXPECT_FALSE(x + width < side && drawn[y][x + width] != 0) << x << "," << y;
    EXPECT_FALSE(x > 0 && drawn[y][x - 1] != 0) << x << "," << y;
    for (int i = x; i < x + width; ++i) ++drawn[y][i];
  }
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const int row = y - kQrQuietZone, column = x - kQrQuietZone;
      const bool dark = row >= 0 && column >= 0 && row < symbol.size() &&
                        column < symbol.size() && symbol.Dark(row, column);
      ASSERT_EQ(drawn[y][x], dark ? 1 : 0) << x << "," << y;
    }
  }
}

TEST(QrSymbol, DrawsOnePathInsideTheQuietZone) {
  const QrSymbol hello = QrSymbol::Encode("HELLO", QrLevel::kM);
  EXPECT_EQ(hello.version(), 1);
  EXPECT_EQ(hello.size(), 21);
  // The finder pattern's corner.
  EXPECT_TRUE(hello.Dark(0, 0));
  EXPECT_FALSE(hello.Dark(1, 1));
  ExpectDrawsTheSymbol(QrSvg(hello), hello);

  const QrSymbol url = QrSymbol::Encode(kVerificationUrl, QrLevel::kM);
  EXPECT_EQ(url.version(), 9);
  ExpectDrawsTheSymbol(QrSvg(url), url);
}

TEST(QrSymbol, TheLevelDecidesTheVersionAndTheLimit) {
  EXPECT_EQ(QrSymbol::Encode(kVerificationUrl, QrLevel::kL).version(), 8);
  EXPECT_EQ(QrSymbol::Encode(kVerificationUrl, QrLevelNamed("q")).version(),
            11);
  EXPECT_EQ(QrSymbol::Encode(kVerificationUrl, QrLevelNamed("H")).version(),
            13);
  for (const std::string_view bad : {"", "X", "MM", "m "}) {
    SCOPED_TRACE(bad);
    EXPECT_AUTOMATION_ERROR(QrLevelNamed(bad), errors::kInvalidArgument);
  }
  // Bytes go in as they are, a zero byte and bytes past ASCII included.
  EXPECT_EQ(QrSymbol::Encode(std::string("a\0\xFF", 3), QrLevel::kM).size(),
            21);
  EXPECT_EQ(QrSymbol::Encode(std::string(2953, 'a'), QrLevel::kL).version(),
            40);
  EXPECT_AUTOMATION_ERROR(QrSymbol::Encode(std::string(2954, 'a'), QrLevel::kL),
                          errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(QrSymbol::Encode(std::string(1274, 'a'), QrLevel::kH),
                          errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(QrSymbol::Encode("", QrLevel::kM),
                          errors::kInvalidArgument);
}

TEST(QrSymbol, AReaderGetsTheTextBack) {
  // The symbol as a PGM picture, four pixels a module, quiet zone included.
  const QrSymbol symbol = QrSymbol::Encode(kVerificationUrl, QrLevel::kM);
  constexpr int kScale = 4;
  const int side = (symbol.size() + 2 * kQrQuietZone) * kScale;
  std::string pgm =
      "P5\n" + std::to_string(side) + " " + std::to_string(side) + "\n255\n";
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const int row = y / kScale - kQrQuietZone;
      const int column = x / kScale - kQrQuietZone;
      const bool dark = row >= 0 && column >= 0 && row < symbol.size() &&
                        column < symbol.size() && symbol.Dark(row, column);
      pgm.push_back(dark ? '\0' : '\xFF');
    }
  }
  const testing::TempDir dir;
  const std::string path = dir.Write("qr.pgm", pgm);
  const testing::ProgramRun run =
      testing::RunProgram({"zbarimg", "--quiet", "--raw", path});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, std::string(kVerificationUrl) + "\n");
}

TEST(QrCodePlaceholder, GivesTheValuesPictureAsADataUri) {
  const std::map<std::string, std::string, std::less<>> values = {
      {"Url", std::string(kVerificationUrl)},
      {"Vacio", ""},
      {"Largo", std::string(3000, 'a')},
  };
  const NameLookup look_up =
      [&](std::string_view name) -> std::optional<std::string> {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
  using Arguments = std::vector<std::string_view>;
  constexpr std::string_view kPrefix = "data:image/svg+xml;base64,";
  const std::string medium = QrCodePlaceholder(Arguments{"Url"}, look_up);
  ASSERT_TRUE(medium.starts_with(kPrefix));
  EXPECT_EQ(
      platform::Base64Decode(std::string_view(medium).substr(kPrefix.size())),
      QrSvg(QrSymbol::Encode(kVerificationUrl, QrLevel::kM)));
  EXPECT_EQ(QrCodePlaceholder(Arguments{"Url", "h"}, look_up),
            QrDataUri(kVerificationUrl, QrLevel::kH));
  EXPECT_EQ(QrCodePlaceholder(Arguments{"Vacio"}, look_up), "");
  EXPECT_EQ(QrDataUri("", QrLevel::kH), "");
  for (const Arguments& arguments :
       {Arguments{"Nope"}, Arguments{""}, Arguments{"Url", ""},
        Arguments{"Url", "Z"}, Arguments{"Url", "M", "x"},
        Arguments{"Largo"}}) {
    SCOPED_TRACE(arguments.size());
    EXPECT_AUTOMATION_ERROR(QrCodePlaceholder(arguments, look_up),
                            errors::kInvalidArgument);
  }
}

}  // namespace
}  // namespace nerolin::fields
