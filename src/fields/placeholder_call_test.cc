#include "fields/placeholder_call.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace nerolin::fields {
namespace {

TEST(CallArguments, TakesOnlyTheWholePlaceholderWithPlainArguments) {
  using Arguments = std::vector<std::string_view>;
  const struct {
    std::string placeholder;
    std::optional<Arguments> arguments;
  } kCases[] = {
      {"[QR(Url)]", Arguments{"Url"}},
      {"[qr( Url , h )]", Arguments{"Url", "h"}},
      {"[QR()]", Arguments{""}},
      {"[QR(a,,b)]", Arguments{"a", "", "b"}},
      // Other shapes, and any placeholder that holds another form.
      {"[QR]", std::nullopt},
      {"[QR(Url)", std::nullopt},
      {"[QR(Url) ]", std::nullopt},
      {"[ QR(Url)]", std::nullopt},
      {"[XQR(Url)]", std::nullopt},
      {"[QRS(Url)]", std::nullopt},
      {"[QR (Url)]", std::nullopt},
      {"[QR(FORMAT(Total,0))]", std::nullopt},
      {"[QR(SUM(Total))]", std::nullopt},
      {"[QR(a)b(c)]", std::nullopt},
      {"[FORMAT(QR(Url),0)]", std::nullopt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.placeholder);
    EXPECT_EQ(CallArguments(c.placeholder, "QR"), c.arguments);
  }
}

}  // namespace
}  // namespace nerolin::fields
