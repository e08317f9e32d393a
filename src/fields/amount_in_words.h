#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fields/placeholder_call.h"
#include "nerolin/variant.h"

namespace nerolin::fields {

// `amount` in Spanish words, upper case, as Mexican invoices print it:
// "SESENTA MIL NOVECIENTOS OCHENTA Y DOS PESOS 36/100 M.N.". The whole part
// in words ("UN", "VEINTIÚN", "CIENTO UN", "UN MILLÓN"), "DE" after whole
// millions ("UN MILLÓN DE PESOS", but "UN MILLÓN QUINIENTOS MIL PESOS"),
// the currency's name (singular for exactly one), the cents as two digits
// over 100, and the currency's mark. "MENOS " leads a negative amount.
//
// `currency` is an ISO code, any case, blanks around: MXN or "" gives
// PESO(S) and "M.N.", USD DÓLAR(ES) and "USD", EUR EURO(S) and "EUR", any
// other code the code as the name and as the mark. The cents are the
// amount rounded as Format(amount, "0.00") rounds it. Text is UTF-8.
//
// Empty, Null and "" give "". Raises 13 when `amount` is no number, 6 when
// its whole part has more than 15 digits.
std::string AmountInWords(const Variant& amount, std::string_view currency);

// The value of "[IMPORTECONLETRA(name)]" or
// "[IMPORTECONLETRA(name,currency)]" (see CallArguments): AmountInWords of
// the value `look_up` gives for `name`, in the currency whose code
// `look_up` gives for `currency` (MXN when there is no such argument or
// it is empty). Raises 5 when there are no or more than two arguments, the
// name is empty or either look-up fails, and what AmountInWords raises.
std::string AmountInWordsPlaceholder(
    const std::vector<std::string_view>& arguments, const NameLookup& look_up);

}  // namespace nerolin::fields
