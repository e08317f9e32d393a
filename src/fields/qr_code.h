#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fields/placeholder_call.h"

namespace nerolin::fields {

// How much of a QR symbol may be lost and still be read: about 7, 15, 25
// and 30 percent.
enum class QrLevel { kL, kM, kQ, kH };

// The level "L", "M", "Q" or "H" (any case) names. Raises 5 for any other
// text.
QrLevel QrLevelNamed(std::string_view name);

// A QR symbol: its square of modules, without the quiet zone.
class QrSymbol {
 public:
  // The smallest symbol that holds `bytes` in 8-bit mode, byte for byte, at
  // `level`. Raises 5 when `bytes` is empty or longer than the largest
  // symbol holds at that level (2,953 bytes at L, 2,331 at M, 1,663 at Q,
  // 1,273 at H).
  static QrSymbol Encode(std::string_view bytes, QrLevel level);

  // 1 to 40; the symbol is 17 + 4 * version modules wide.
  int version() const { return version_; }
  int size() const { return size_; }
  // Whether the module in `row` and `column` (from 0, top left) is dark.
  // REQUIRES: both are below size().
  bool Dark(int row, int column) const {
    return dark_[static_cast<std::size_t>(row) * size_ + column];
  }

 private:
  QrSymbol(int version, int size, std::vector<bool> dark)
      : version_(version), size_(size), dark_(std::move(dark)) {}

  int version_;
  int size_;
  std::vector<bool> dark_;
};

// The modules of the quiet zone around a symbol.
inline constexpr int kQrQuietZone = 4;

// `symbol` as an SVG picture whose user unit is one module: a white square
// of size() + 8 modules (the symbol inside a quiet zone of four), and the
// dark modules as one black path, each row's run of dark modules one
// rectangle. It has no size of its own: the page sets it.
std::string QrSvg(const QrSymbol& symbol);

// `text` as a QR picture at `level` in a data URI
// ("data:image/svg+xml;base64,..."); "" for "". Raises as QrSymbol::Encode.
std::string QrDataUri(std::string_view text, QrLevel level);

// The value of "[QR(name)]" or "[QR(name,level)]" (see CallArguments): the
// QR picture of the value `look_up` gives for `name`, at the level named
// (M when none is), as QrDataUri writes it. Raises 5 when there are no or
// more than two arguments, the name is empty, the level unknown or the
// look-up fails, and what QrDataUri raises.
std::string QrCodePlaceholder(const std::vector<std::string_view>& arguments,
                              const NameLookup& look_up);

}  // namespace nerolin::fields
