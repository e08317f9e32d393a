#include "fields/amount_in_words.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "support/test_support.h"

namespace nerolin::fields {
namespace {

TEST(AmountInWords, WritesAmountsAsInvoicesPrintThem) {
  const struct {
    Variant amount;
    std::string currency;
    std::string words;
  } kCases[] = {
      {Variant(60982.36), "",
       "SESENTA MIL NOVECIENTOS OCHENTA Y DOS PESOS 36/100 M.N."},
      {Variant("60982.36"), "MXN",
       "SESENTA MIL NOVECIENTOS OCHENTA Y DOS PESOS 36/100 M.N."},
      {Variant(0.0), "", "CERO PESOS 00/100 M.N."},
      {Variant(1.0), "", "UN PESO 00/100 M.N."},
      {Variant(21.0), "", "VEINTIÚN PESOS 00/100 M.N."},
      {Variant(100.0), "", "CIEN PESOS 00/100 M.N."},
      {Variant(101.0), "", "CIENTO UN PESOS 00/100 M.N."},
      {Variant(115.0), "", "CIENTO QUINCE PESOS 00/100 M.N."},
      {Variant(1000.0), "", "MIL PESOS 00/100 M.N."},
      {Variant(1001.0), "", "MIL UN PESOS 00/100 M.N."},
      {Variant("2,021.50"), "", "DOS MIL VEINTIÚN PESOS 50/100 M.N."},
      // The cents round as FORMAT "0.00" rounds them.
      {Variant(0.005), "", "CERO PESOS 01/100 M.N."},
      {Variant(0.995), "", "UN PESO 00/100 M.N."},
      {Variant("0.995"), "", "UN PESO 00/100 M.N."},
      {Variant(999999.99), "",
       "NOVECIENTOS NOVENTA Y NUEVE MIL NOVECIENTOS NOVENTA Y NUEVE PESOS "
       "99/100 M.N."},
      {Variant(999999.995), "", "UN MILLÓN DE PESOS 00/100 M.N."},
      {Variant(1000000.0), "", "UN MILLÓN DE PESOS 00/100 M.N."},
      {Variant(2000000.0), "", "DOS MILLONES DE PESOS 00/100 M.N."},
      {Variant(1000001.0), "", "UN MILLÓN UN PESOS 00/100 M.N."},
      {Variant(1500000.0), "", "UN MILLÓN QUINIENTOS MIL PESOS 00/100 M.N."},
      {Variant(21000000.0), "", "VEINTIÚN MILLONES DE PESOS 00/100 M.N."},
      {Variant(1e12), "", "UN BILLÓN DE PESOS 00/100 M.N."},
      {Variant(-1234.5), "",
       "MENOS MIL DOSCIENTOS TREINTA Y CUATRO PESOS 50/100 M.N."},
      {Variant(-1.0), "", "MENOS UN PESO 00/100 M.N."},
      {Variant(-0.004), "", "CERO PESOS 00/100 M.N."},
      {Variant(1.0), "USD", "UN DÓLAR 00/100 USD"},
      {Variant(1250.75), " usd ",
       "MIL DOSCIENTOS CINCUENTA DÓLARES 75/100 USD"},
      {Variant(1.5), "EUR", "UN EURO 50/100 EUR"},
      {Variant(3000000.0), "EUR", "TRES MILLONES DE EUROS 00/100 EUR"},
      {Variant(2.0), "GBP", "DOS GBP 00/100 GBP"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(TextOf(c.amount) + " " + c.currency);
    EXPECT_EQ(AmountInWords(c.amount, c.currency), c.words);
  }
}

TEST(AmountInWords, NoAmountGivesNoTextAndANonNumberFails) {
  EXPECT_EQ(AmountInWords(Variant(), "USD"), "");
  EXPECT_EQ(AmountInWords(Variant::Null(), ""), "");
  EXPECT_EQ(AmountInWords(Variant(""), ""), "");
  EXPECT_AUTOMATION_ERROR(AmountInWords(Variant("doce"), ""),
                          errors::kTypeMismatch);
  EXPECT_AUTOMATION_ERROR(AmountInWords(Variant("15/03/2024"), ""),
                          errors::kTypeMismatch);
  EXPECT_EQ(AmountInWords(Variant(999999999999999.0), "").substr(0, 26),
            "NOVECIENTOS NOVENTA Y NUEV");
  EXPECT_AUTOMATION_ERROR(AmountInWords(Variant(1e15), ""), errors::kOverflow);
  EXPECT_AUTOMATION_ERROR(AmountInWords(Variant(-1e300), ""),
                          errors::kOverflow);
}

TEST(AmountInWordsPlaceholder, LooksUpTheAmountAndItsCurrency) {
  const std::map<std::string, std::string, std::less<>> values = {
      {"Total", "1.00"}, {"Moneda", "USD"}, {"SinMoneda", ""},
      {"Vacio", ""},     {"Texto", "abc"},
  };
  const NameLookup look_up =
      [&](std::string_view name) -> std::optional<std::string> {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
  using Arguments = std::vector<std::string_view>;
  EXPECT_EQ(AmountInWordsPlaceholder(Arguments{"Total"}, look_up),
            "UN PESO 00/100 M.N.");
  EXPECT_EQ(AmountInWordsPlaceholder(Arguments{"Total", "Moneda"}, look_up),
            "UN DÓLAR 00/100 USD");
  EXPECT_EQ(AmountInWordsPlaceholder(Arguments{"Total", ""}, look_up),
            "UN PESO 00/100 M.N.");
  EXPECT_EQ(AmountInWordsPlaceholder(Arguments{"Total", "SinMoneda"}, look_up),
            "UN PESO 00/100 M.N.");
  EXPECT_EQ(AmountInWordsPlaceholder(Arguments{"Vacio", "Moneda"}, look_up),
            "");
  for (const Arguments& arguments :
       {Arguments{"Nope"}, Arguments{"Total", "Nope"},
        Arguments{"Vacio", "Nope"}, Arguments{""},
        Arguments{"Total", "Moneda", "x"}}) {
    SCOPED_TRACE(arguments.size());
    EXPECT_AUTOMATION_ERROR(AmountInWordsPlaceholder(arguments, look_up),
                            errors::kInvalidArgument);
  }
  EXPECT_AUTOMATION_ERROR(AmountInWordsPlaceholder(Arguments{"Texto"}, look_up),
                          errors::kTypeMismatch);
}

}  // namespace
}  // namespace nerolin::fields
