#include "fields/qr_code.h"

#include <cerrno>
#include <memory>
#include <optional>
#include <qrencode.h>
#include <string>
#include <string_view>
#include <vector>

#include "automation/vb_text.h"
#include "nerolin/automation_error.h"
#include "platform/base64.h"

namespace nerolin::fields {
namespace {

constexpr std::string_view kSource = "QR";
// What version 40 holds at level L.
constexpr std::size_t kMaxBytes = 2953;

[[noreturn]] void Fail(std::string what) {
  throw AutomationError(errors::kInvalidArgument,
                        "Invalid procedure call or argument: " + what,
                        std::string(kSource));
}

QRecLevel LibraryLevel(QrLevel level) {
  switch (level) {
    case QrLevel::kL:
      return QR_ECLEVEL_L;
    case QrLevel::kM:
      return QR_ECLEVEL_M;
    case QrLevel::kQ:
      return QR_ECLEVEL_Q;
    case QrLevel::kH:
      break;
  }
  return QR_ECLEVEL_H;
}

struct QrcodeFree {
  void operator()(QRcode* code) const { QRcode_free(code); }
};

}  // namespace

QrLevel QrLevelNamed(std::string_view name) {
  const std::string upper = UCase(name);
  if (upper == "L") return QrLevel::kL;
  if (upper == "M") return QrLevel::kM;
  if (upper == "Q") return QrLevel::kQ;
  if (upper == "H") return QrLevel::kH;
  Fail("\"" + std::string(name) +
       "\" is no QR error-correction level (L, M, Q or H)");
}

QrSymbol QrSymbol::Encode(std::string_view bytes, QrLevel level) {
  if (bytes.empty()) Fail("a QR code needs at least one byte");
  const auto too_long = [&] {
    Fail("a text of " + std::to_string(bytes.size()) +
         " bytes is too long for a QR code at that level");
  };
  // Past what the largest symbol holds at any level, the length may not
  // even fit the library's int.
  if (bytes.size() > kMaxBytes) too_long();
  errno = 0;
  // Version 0 asks for the smallest symbol that holds the data.
  const std::unique_ptr<QRcode, QrcodeFree> code(
      QRcode_encodeData(static_cast<int>(bytes.size()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), 0,
                        LibraryLevel(level)));
  if (!code) {
    if (errno == ERANGE) too_long();
    Fail("the text could not be encoded as a QR code");
  }
  const int size = code->width;
  std::vector<bool> dark(static_cast<std::size_t>(size) * size);
  for (std::size_t i = 0; i < dark.size(); ++i) dark[i] = code->data[i] & 1;
  return QrSymbol(code->version, size, std::move(dark));
}

std::string QrSvg(const QrSymbol& symbol) {
  const std::string side = std::to_string(symbol.size() + 2 * kQrQuietZone);
  std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + side + " " +
      side + "\" shape-rendering=\"crispEdges\"><rect width=\"" + side +
      "\" height=\"" + side + "\" fill=\"#fff\"/><path fill=\"#000\" d=\"";
  for (int row = 0; row < symbol.size(); ++row) {
    for (int column = 0; column < symbol.size();) {
      if (!symbol.Dark(row, column)) {
        ++column;
        continue;
      }
      const int start = column;
      while (column < symbol.size() && symbol.Dark(row, column)) ++column;
      const std::string run = std::to_string(column - start);
      svg.append("M")
          .append(std::to_string(start + kQrQuietZone))
          .append(" ")
          .append(std::to_string(row + kQrQuietZone))
          .append("h")
          .append(run)
          .append("v1h-")
          .append(run)
          .append("z");
    }
  }
  svg += "\"/></svg>";
  return svg;
}

std::string QrDataUri(std::string_view text, QrLevel level) {
  if (text.empty()) return {};
  return "data:image/svg+xml;base64," +
         platform::Base64Encode(QrSvg(QrSymbol::Encode(text, level)));
}

std::string QrCodePlaceholder(const std::vector<std::string_view>& arguments,
                              const NameLookup& look_up) {
  if (arguments.empty() || arguments.size() > 2 || arguments[0].empty()) {
    Fail("a QR code takes a name and, after a comma, a level");
  }
  const QrLevel level =
      arguments.size() == 2 ? QrLevelNamed(arguments[1]) : QrLevel::kM;
  const std::optional<std::string> value = look_up(arguments[0]);
  if (!value) Fail("no value is known for " + std::string(arguments[0]));
  return QrDataUri(*value, level);
}

}  // namespace nerolin::fields
