#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <pybind11/pybind11.h>

#include "nerolin/recordset.h"

namespace nerolin::python {

namespace py = pybind11;

// Readies the conversions of date and time values.
// REQUIRES: called once, from the module's initialisation.
void InitValueConversions();

// Engine text (UTF-8) as a Python str. Bytes that are not UTF-8 become lone
// surrogates ("surrogateescape"), so that encoding the str back the same way
// gives the engine's bytes again.
py::str TextToPython(std::string_view text);

// A str as UTF-8, lone surrogates turned back into the bytes they stand for.
std::string TextFromPython(py::handle text);

// A file-system path given as str, bytes or os.PathLike. Raises TypeError
// for anything else.
std::string PathFromPython(py::handle path);

// A recordset over `rows`: an iterable of mappings from column name (str)
// to value, positioned on its first row. The columns are the keys of the
// first mapping, in its order; every later mapping must have the same keys.
// Values: None (Null), bool (Boolean), int (Long, or LongLong beyond 32
// bits), float (Double), str (String), datetime.datetime, datetime.date and
// datetime.time (Date, to the second), decimal.Decimal (Currency, rounded
// half to even at the fourth decimal; Double beyond Currency's range). Each
// column's type is the one its values share (an int and a float column is
// Double; a column of None alone is text; mixed values are Variant).
// Raises AutomationError 13 for rows that are no iterable of mappings, a
// column name that is no str or a value of another type, 5 for a mapping
// whose keys differ from the first one's and 6 for an int beyond 64 bits;
// the description names the row (from 0) and the column.
std::shared_ptr<ado::Recordset> RecordsetFromRows(py::handle rows,
                                                  std::string source);

}  // namespace nerolin::python
