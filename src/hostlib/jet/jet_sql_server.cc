// The SQL Server forms of Jet's functions and date literals.

#include <cstddef>

#include "hostlib/jet/jet_server_sql.h"
#include "hostlib/jet/jet_tokens.h"

namespace nerolin::jet {

namespace {

using Arguments = std::vector<std::string>;

std::string Call(std::string_view name, const Arguments& arguments) {
  std::string call(name);
  call += '(';
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) call += ", ";
    call += arguments[i];
  }
  return call + ')';
}

std::optional<std::string> OneArgumentForm(std::string_view name,
                                           const std::string& x) {
  if (WordIs(name, "NZ")) return "ISNULL(" + x + ", '')";
  if (WordIs(name, "UCASE")) return "UPPER(" + x + ")";
  if (WordIs(name, "LCASE")) return "LOWER(" + x + ")";
  if (WordIs(name, "LEN")) return "LEN(" + x + ")";
  if (WordIs(name, "TRIM")) return "LTRIM(RTRIM(" + x + "))";
  if (WordIs(name, "CSTR")) return "CAST(" + x + " AS nvarchar(max))";
  if (WordIs(name, "CLNG")) return "CAST(ROUND(" + x + ", 0) AS int)";
  if (WordIs(name, "CINT")) return "CAST(ROUND(" + x + ", 0) AS smallint)";
  if (WordIs(name, "CDBL")) return "CAST(" + x + " AS float)";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> SqlServerCall(std::string_view name,
                                         const Arguments& arguments) {
  switch (arguments.size()) {
    case 0:
      if (WordIs(name, "DATE")) return "CAST(GETDATE() AS date)";
      if (WordIs(name, "NOW")) return "GETDATE()";
      return std::nullopt;
    case 1:
      return OneArgumentForm(name, arguments[0]);
    case 2:
      if (WordIs(name, "NZ")) return Call("ISNULL", arguments);
      if (WordIs(name, "MID")) {
        // T-SQL's SUBSTRING wants a length; this one reaches any end.
        return "SUBSTRING(" + arguments[0] + ", " + arguments[1] +
               ", 2147483647)";
      }
      if (WordIs(name, "INSTR")) {
        return Call("CHARINDEX", {arguments[1], arguments[0]});
      }
      return std::nullopt;
    case 3:
      if (WordIs(name, "MID")) return Call("SUBSTRING", arguments);
      if (WordIs(name, "INSTR")) {
        return Call("CHARINDEX", {arguments[2], arguments[1], arguments[0]});
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::string SqlServerDate(std::string_view stored) {
  // The two forms SQL Server reads the same whatever the session's
  // language and date format.
  if (stored.size() <= 10) {
    std::string compact;
    for (char c : stored) {
      if (c != '-') compact += c;
    }
    return "'" + compact + "'";
  }
  std::string iso(stored);
  iso[10] = 'T';
  return "'" + iso + "'";
}

}  // namespace nerolin::jet
