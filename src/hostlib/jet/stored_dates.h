#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "automation/date_text.h"
#include "nerolin/variant.h"

// Dates as the host's databases store them in text ("yyyy-mm-dd hh:nn:ss"),
// shared by the data libraries and the Jet rewrite of #date# literals.
namespace nerolin::jet {

// A civil date and time of day as the database stores it in text.
using CivilDateTime = DateParts;

// Whether the parts name a real day from year 100 to 9999 and a time of
// day (hour 0-23, minute and second 0-59).
bool IsValidDateTime(const CivilDateTime& parts);

// Reads "yyyy-mm-dd", optionally followed by " " or "T" and "hh:nn" or
// "hh:nn:ss" (a fraction of a second is read and dropped). Nothing when the
// text is no valid date or holds anything more.
std::optional<CivilDateTime> ParseIsoDateTime(std::string_view text);

// The OLE date of valid parts.
Date ToDate(const CivilDateTime& parts);

// "yyyy-mm-dd", followed by " hh:nn:ss" unless the time is midnight.
// REQUIRES: IsValidDateTime(parts).
std::string IsoDateTimeText(const CivilDateTime& parts);

}  // namespace nerolin::jet
