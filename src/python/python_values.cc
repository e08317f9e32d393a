#include "python/python_values.h"

#include <Python.h>
#include <climits>
#include <cstdint>
#include <datetime.h>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "nerolin/automation_error.h"
#include "nerolin/variant.h"

namespace nerolin::python {
namespace {

constexpr std::string_view kSource = "nerolin_report";
// The largest amount SQLite's MONEY columns turn into Currency; beyond it
// they stay Double, and so do Decimals.
constexpr std::int64_t kCurrencyLimit = 922337203685477;

// Types looked up once and kept for the life of the process: releasing them
// at exit would run after the interpreter has gone.
PyObject* decimal_type = nullptr;
PyObject* mapping_type = nullptr;
PyObject* round_half_even = nullptr;
PyObject* currency_limit = nullptr;

PyObject* KeptAttribute(const char* module, const char* name) {
  py::object value = py::module_::import(module).attr(name);
  return value.release().ptr();
}

[[noreturn]] void Fail(std::int32_t number, std::string description) {
  throw AutomationError(number, std::move(description), std::string(kSource));
}

template <class... Parts>
std::string Join(const Parts&... parts) {
  std::string text;
  (text.append(parts), ...);
  return text;
}

std::string TypeNameOf(py::handle value) {
  return Py_TYPE(value.ptr())->tp_name;
}

Variant IntegerVariant(long long value) {
  if (value >= INT32_MIN && value <= INT32_MAX) {
    return Variant(static_cast<std::int32_t>(value));
  }
  return Variant(static_cast<std::int64_t>(value));
}

// An OLE date holds what Python's types can say, apart from years before
// 100 and the fraction of a second (dropped, as SQLite's dates drop it).
Variant DateVariant(int year, int month, int day, int hour, int minute,
                    int second) {
  if (year < 100) {
    Fail(errors::kInvalidArgument,
         "the year " + std::to_string(year) + " is before the year 100");
  }
  return Variant(Date::FromParts(year, month, day, hour, minute, second));
}

Variant CurrencyVariant(py::handle decimal) {
  py::object value = py::reinterpret_borrow<py::object>(decimal);
  if (!value.attr("is_finite")().cast<bool>() ||
      value.attr("copy_abs")() > py::handle(currency_limit)) {
    return Variant(py::float_(value).cast<double>());
  }
  py::object scaled = value.attr("scaleb")(4).attr("to_integral_value")(
      py::arg("rounding") = py::handle(round_half_even));
  return Variant(Currency{py::int_(scaled).cast<std::int64_t>()});
}

struct TypedValue {
  Variant value;
  // kEmpty for None, which says nothing about its column's type.
  ado::DataType type;
};

TypedValue ValueFromPython(py::handle value) {
  PyObject* object = value.ptr();
  if (object == Py_None) return {Variant::Null(), ado::DataType::kEmpty};
  if (PyBool_Check(object)) {
    return {Variant(object == Py_True), ado::DataType::kBoolean};
  }
  if (PyLong_Check(object)) {
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(object, &overflow);
    if (overflow != 0) {
      Fail(errors::kOverflow, "the int " + py::str(value).cast<std::string>() +
                                  " does not fit in 64 bits");
    }
    return {IntegerVariant(number), ado::DataType::kInteger};
  }
  if (PyFloat_Check(object)) {
    return {Variant(PyFloat_AS_DOUBLE(object)), ado::DataType::kDouble};
  }
  if (PyUnicode_Check(object)) {
    return {Variant(TextFromPython(value)), ado::DataType::kVarWChar};
  }
  if (PyDateTime_Check(object)) {
    return {DateVariant(
                PyDateTime_GET_YEAR(object), PyDateTime_GET_MONTH(object),
                PyDateTime_GET_DAY(object), PyDateTime_DATE_GET_HOUR(object),
                PyDateTime_DATE_GET_MINUTE(object),
                PyDateTime_DATE_GET_SECOND(object)),
            ado::DataType::kDate};
  }
  if (PyDate_Check(object)) {
    return {
        DateVariant(PyDateTime_GET_YEAR(object), PyDateTime_GET_MONTH(object),
                    PyDateTime_GET_DAY(object), 0, 0, 0),
        ado::DataType::kDate};
  }
  if (PyTime_Check(object)) {
    // A time alone is a time of the day zero, as OLE dates write it.
    return {
        Variant(Date::FromParts(1899, 12, 30, PyDateTime_TIME_GET_HOUR(object),
                                PyDateTime_TIME_GET_MINUTE(object),
                                PyDateTime_TIME_GET_SECOND(object))),
        ado::DataType::kDate};
  }
  const int is_decimal = PyObject_IsInstance(object, decimal_type);
  if (is_decimal < 0) throw py::error_already_set();
  if (is_decimal == 1)
    return {CurrencyVariant(value), ado::DataType::kCurrency};
  Fail(errors::kTypeMismatch,
       "a " + TypeNameOf(value) + " cannot be a value of a row");
}

ado::DataType ColumnType(ado::DataType column, ado::DataType value) {
  if (value == ado::DataType::kEmpty || value == column) return column;
  if (column == ado::DataType::kEmpty) return value;
  const bool numbers =
      (column == ado::DataType::kInteger || column == ado::DataType::kDouble) &&
      (value == ado::DataType::kInteger || value == ado::DataType::kDouble);
  return numbers ? ado::DataType::kDouble : ado::DataType::kVariant;
}

bool IsMapping(py::handle row) {
  if (PyDict_Check(row.ptr())) return true;
  const int is_mapping = PyObject_IsInstance(row.ptr(), mapping_type);
  if (is_mapping < 0) throw py::error_already_set();
  return is_mapping == 1;
}

// The one place that hands rows over to the engine's recordset.
std::shared_ptr<ado::Recordset> MakeRecordset(
    std::vector<ado::Column> columns,
    const std::vector<std::vector<Variant>>& rows, std::string source) {
  ado::RowSetBuilder builder(std::move(columns));
  for (const std::vector<Variant>& row : rows) {
    for (const Variant& value : row) builder.Add(value);
    builder.EndRow();
  }
  ado::RowSet set = builder.Finish();
  return ado::Recordset::Create(std::move(set), std::move(source));
}

}  // namespace

void InitValueConversions() {
  PyDateTime_IMPORT;
  if (PyDateTimeAPI == nullptr) throw py::error_already_set();
  decimal_type = KeptAttribute("decimal", "Decimal");
  round_half_even = KeptAttribute("decimal", "ROUND_HALF_EVEN");
  mapping_type = KeptAttribute("collections.abc", "Mapping");
  currency_limit = py::handle(decimal_type)(kCurrencyLimit).release().ptr();
}

py::str TextToPython(std::string_view text) {
  PyObject* str = PyUnicode_DecodeUTF8(
      text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (str == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(str);
}

std::string TextFromPython(py::handle text) {
  PyObject* bytes =
      PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape");
  if (bytes == nullptr) throw py::error_already_set();
  py::bytes owned = py::reinterpret_steal<py::bytes>(bytes);
  return std::string(PyBytes_AS_STRING(bytes),
                     static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
}

std::string PathFromPython(py::handle path) {
  PyObject* fs_path = PyOS_FSPath(path.ptr());
  if (fs_path == nullptr) throw py::error_already_set();
  py::object owned = py::reinterpret_steal<py::object>(fs_path);
  if (PyBytes_Check(fs_path)) {
    return std::string(PyBytes_AS_STRING(fs_path),
                       static_cast<std::size_t>(PyBytes_GET_SIZE(fs_path)));
  }
  return TextFromPython(owned);
}

std::shared_ptr<ado::Recordset> RecordsetFromRows(py::handle rows,
                                                  std::string source) {
  PyObject* iterator = PyObject_GetIter(rows.ptr());
  if (iterator == nullptr) {
    PyErr_Clear();
    Fail(errors::kTypeMismatch,
         "the rows are a " + TypeNameOf(rows) + ", not a sequence of mappings");
  }
  py::iterator row_iterator = py::reinterpret_steal<py::iterator>(iterator);
  std::vector<ado::Column> columns;
  std::unordered_map<std::string, std::size_t> positions;
  std::vector<std::vector<Variant>> values;
  for (py::handle row : row_iterator) {
    const std::string where = Join("row ", std::to_string(values.size()));
    if (!IsMapping(row)) {
      Fail(errors::kTypeMismatch,
           Join(where, " is a ", TypeNameOf(row), ", not a mapping"));
    }
    const bool first = values.empty();
    std::vector<Variant> line(columns.size());
    std::size_t filled = 0;
    for (py::handle key : row.attr("keys")()) {
      if (!PyUnicode_Check(key.ptr())) {
        Fail(errors::kTypeMismatch,
             Join(where, ": the column name ",
                  py::repr(key).cast<std::string>(), " is no str"));
      }
      std::string name = TextFromPython(key);
      std::size_t position = columns.size();
      if (first) {
        positions.emplace(name, position);
        columns.push_back({name, ado::DataType::kEmpty});
        line.emplace_back();
      } else if (auto found = positions.find(name); found != positions.end()) {
        position = found->second;
      } else {
        Fail(errors::kInvalidArgument,
             Join(where, " has the column \"", name, "\", which row 0 lacks"));
      }
      TypedValue value;
      try {
        value = ValueFromPython(py::object(row[key]));
      } catch (const AutomationError& error) {
        Fail(error.number(),
             Join(where, ", column \"", name, "\": ", error.description()));
      }
      columns[position].type = ColumnType(columns[position].type, value.type);
      line[position] = std::move(value.value);
      ++filled;
    }
    if (filled != columns.size()) {
      for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i].IsEmpty()) {
          Fail(errors::kInvalidArgument,
               Join(where, " lacks the column \"", columns[i].name, "\""));
        }
      }
    }
    values.push_back(std::move(line));
  }
  // A column of Null alone reads as an untyped SQLite column of Nulls does.
  for (ado::Column& column : columns) {
    if (column.type == ado::DataType::kEmpty) {
      column.type = ado::DataType::kVarWChar;
    }
  }
  return MakeRecordset(std::move(columns), values, std::move(source));
}

}  // namespace nerolin::python
