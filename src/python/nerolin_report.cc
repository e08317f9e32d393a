// The Python module nerolin_report: the engine's host-facing members over
// the public classes, the bundled SQLite host data library, recordsets from
// SQL or from Python rows, errors as nerolin_report.AutomationError and the
// engine's messages delivered to a Python callable.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <pybind11/eval.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "nerolin/message_sink.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "nerolin/variant.h"
#include "python/python_values.h"

namespace nerolin::python {
namespace {

constexpr char kAutomationErrorClass[] = R"(
class AutomationError(Exception):
    """A failure of the engine: its number, description and source."""

    def __init__(self, number, description, source=""):
        super().__init__(number, description, source)
        self.number = number
        self.description = description
        self.source = source

    def __str__(self):
        return f"Error {self.number}: {self.description}"
)";

// The component state every engine shares is not locked, so a Python
// thread must be alone inside the engine. Rendering runs without the GIL,
// which lets the other threads go on with their own Python work meanwhile;
// the GIL is given up before the lock is taken, so that a thread waiting
// for the lock never holds up the thread inside (whose message handler
// needs the GIL). That handler runs inside the engine and may call the
// module again on the same thread, so the lock may be taken again there.
std::recursive_mutex& EngineLock() {
  static std::recursive_mutex lock;
  return lock;
}

template <class Call>
auto InEngine(Call&& call) {
  py::gil_scoped_release no_gil;
  std::lock_guard<std::recursive_mutex> alone(EngineLock());
  return call();
}

py::object ResultToPython(const Variant& result) {
  if (result.IsEmpty() || result.IsNull()) return py::none();
  return TextToPython(result.IsString() ? result.AsString() : CStr(result));
}

// A connection string that names exactly `path`: quoted, so that blanks,
// "=" and ";" in the path are read as part of it.
std::string DataSourceFor(std::string_view path) {
  std::string text = "Data Source=\"";
  for (char c : path) {
    if (c == '"') text.push_back('"');
    text.push_back(c);
  }
  text.push_back('"');
  return text;
}

std::shared_ptr<ado::Recordset> RowsArgument(py::handle rows) {
  if (py::isinstance<ado::Recordset>(rows)) {
    return rows.cast<std::shared_ptr<ado::Recordset>>();
  }
  return RecordsetFromRows(rows, {});
}

class PythonMessageSink : public MessageSink {
 public:
  explicit PythonMessageSink(py::object handler)
      : handler_(std::move(handler)) {}

  ~PythonMessageSink() override {
    // The process-wide state outlives the interpreter; by then the handler
    // can only be let go.
    if (!Py_IsInitialized()) {
      handler_.release();
      return;
    }
    py::gil_scoped_acquire gil;
    handler_ = py::object();
  }

  void Show(std::string_view text, std::string_view title,
            MessageIcon icon) override {
    py::gil_scoped_acquire gil;
    try {
      handler_(TextToPython(text), TextToPython(title), icon);
    } catch (py::error_already_set& failure) {
      // The engine goes on after a message, so a handler that fails must
      // not end the report either; Python reports it as unraisable.
      failure.discard_as_unraisable("nerolin_report message handler");
    }
  }

 private:
  py::object handler_;
};

void SetMessageHandler(py::object handler) {
  std::shared_ptr<MessageSink> sink;
  if (!handler.is_none()) {
    if (!PyCallable_Check(handler.ptr())) {
      throw py::type_error("the message handler must be callable or None");
    }
    sink = std::make_shared<PythonMessageSink>(std::move(handler));
  }
  InEngine([&] { ComponentState::Process()->set_message_sink(sink); });
}

void DefineAutomationError(py::module_& module) {
  py::dict scope;
  scope["__builtins__"] = py::module_::import("builtins");
  scope["__name__"] = module.attr("__name__");
  py::exec(kAutomationErrorClass, scope);
  py::object error_class = scope["AutomationError"];
  module.attr("AutomationError") = error_class;
  // Kept for the life of the process, as the translator may run until the
  // end.
  static PyObject* error_type = error_class.release().ptr();
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const AutomationError& error) {
      py::object value = py::handle(error_type)(
          error.number(), TextToPython(error.description()),
          TextToPython(error.source()));
      PyErr_SetObject(error_type, value.ptr());
    }
  });
}

void DefineRecordset(py::module_& module) {
  py::class_<ado::Recordset, std::shared_ptr<ado::Recordset>>(
      module, "Recordset",
      "Rows for the engine: the result of a statement (SqliteLibrary."
      "recordset) or rows built from Python values (nerolin_report."
      "recordset).")
      .def_property_readonly(
          "columns",
          [](const ado::Recordset& self) {
            const std::vector<ado::Column> columns =
                InEngine([&] { return self.Columns(); });
            py::list list;
            for (const ado::Column& column : columns) {
              list.append(py::make_tuple(TextToPython(column.name),
                                         static_cast<int>(column.type)));
            }
            return list;
          },
          "(name, ADO data type number) for each column, in order.")
      .def_property_readonly(
          "record_count",
          [](const ado::Recordset& self) {
            return InEngine([&] { return self.RecordCount(); });
          })
      .def_property_readonly("source", [](const ado::Recordset& self) {
        return TextToPython(InEngine([&] { return self.Source(); }));
      });

  module.def(
      "recordset",
      [](py::handle rows, const std::string& source) {
        return RecordsetFromRows(rows, source);
      },
      py::arg("rows"), py::arg("source") = "",
      "A recordset over a sequence of mappings from column name to value "
      "(None, bool, int, float, str, datetime, date, time, Decimal).");
}

void DefineSqliteLibrary(py::module_& module) {
  py::class_<sqlite::HostDataLibrary, std::shared_ptr<sqlite::HostDataLibrary>>(
      module, "SqliteLibrary",
      "The bundled host data library over a SQLite database, opened "
      "read-only.")
      .def(py::init([](py::handle database) {
             const std::string path = PathFromPython(database);
             return InEngine([&] {
               std::shared_ptr<sqlite::HostDataLibrary> library =
                   sqlite::HostDataLibrary::Create();
               library->Datalayer()->CreateConnection(DataSourceFor(path));
               return library;
             });
           }),
           py::arg("database"))
      .def(
          "recordset",
          [](sqlite::HostDataLibrary& self, const std::string& sql) {
            return InEngine(
                [&] { return self.Datalayer()->GetRecordset(sql); });
          },
          py::arg("sql"), "The rows of `sql`, as a host hands them over.");
}

// A text property of the engine, read and written under the engine lock.
void TextProperty(py::class_<clsMain, std::shared_ptr<clsMain>>& engine,
                  const char* name, const std::string& (clsMain::*get)() const,
                  void (clsMain::*set)(std::string)) {
  engine.def_property(
      name,
      [get](const clsMain& self) {
        return TextToPython(InEngine([&] { return (self.*get)(); }));
      },
      [set](clsMain& self, const std::string& value) {
        InEngine([&] { (self.*set)(value); });
      });
}

void DefineEngine(py::module_& module) {
  py::class_<clsMain, std::shared_ptr<clsMain>> engine(
      module, "Engine",
      "The report engine (clsMain). Every engine of the process shares the "
      "host data library, find_match_if_field_doesnt_exists and url_images.");
  engine.def(
      py::init([] { return InEngine([] { return clsMain::Create(); }); }));

  TextProperty(engine, "connection_string", &clsMain::ConnectionString,
               &clsMain::SetConnectionString);
  TextProperty(engine, "obj_printer_name", &clsMain::objPrinterName,
               &clsMain::SetobjPrinterName);
  engine.def_property(
      "nbr_copies",
      [](const clsMain& self) {
        return InEngine([&] { return self.NbrCopies(); });
      },
      [](clsMain& self, long long copies) {
        if (copies < INT16_MIN || copies > INT16_MAX) {
          throw AutomationError(errors::kOverflow, std::string(kComponentName));
        }
        InEngine([&] { self.SetNbrCopies(static_cast<std::int16_t>(copies)); });
      });
  engine.def_property(
      "nerolin_lib", nullptr,
      [](clsMain& self, std::shared_ptr<sqlite::HostDataLibrary> library) {
        InEngine([&] { self.SetNerolinLib(std::move(library)); });
      },
      "Write-only: the host data library every engine uses (None empties "
      "the slot).");
  engine.def_property(
      "find_match_if_field_doesnt_exists", nullptr,
      [](clsMain& self, bool on) {
        InEngine([&] { self.SetFindMatchIfFieldDoesntExists(on); });
      },
      "Write-only: look up the fields the rows lack in the host database.");
  engine.def_property(
      "url_images", nullptr,
      [](clsMain& self, const std::string& url) {
        InEngine([&] { self.SetURLImages(url); });
      },
      "Write-only: the base URL of document pictures.");

  engine.def(
      "get_html",
      [](clsMain& self, const std::string& sql, py::handle html_source_file,
         py::handle html_destination_file) {
        const Variant source(PathFromPython(html_source_file));
        const Variant destination(PathFromPython(html_destination_file));
        return ResultToPython(InEngine(
            [&] { return self.GetHTML(Variant(sql), source, destination); }));
      },
      py::arg("sql"), py::arg("html_source_file"),
      py::arg("html_destination_file") = "");
  engine.def(
      "get_html2",
      [](clsMain& self, const std::string& connection_string,
         const std::string& sql, py::handle html_source_file,
         py::handle html_destination_file) {
        Variant connection(connection_string);
        Variant statement(sql);
        Variant source(PathFromPython(html_source_file));
        Variant destination(PathFromPython(html_destination_file));
        return ResultToPython(InEngine([&] {
          return self.GetHTML2(connection, statement, source, destination);
        }));
      },
      py::arg("connection_string"), py::arg("sql"), py::arg("html_source_file"),
      py::arg("html_destination_file") = "");
  engine.def(
      "get_html3",
      [](clsMain& self, const std::string& sql,
         const std::string& html_source) {
        return ResultToPython(InEngine(
            [&] { return self.GetHTML3(Variant(sql), Variant(html_source)); }));
      },
      py::arg("sql"), py::arg("html_source"));
  engine.def(
      "generate_report",
      [](clsMain& self, const std::string& connection_string,
         const std::string& sql, py::handle html_source_file,
         py::handle html_destination_file) {
        std::string statement = sql;
        std::string source = PathFromPython(html_source_file);
        std::string destination = PathFromPython(html_destination_file);
        const std::string text = InEngine([&] {
          return self.GenerateReport(connection_string, statement, source,
                                     destination);
        });
        return py::make_tuple(TextToPython(text), TextToPython(source));
      },
      py::arg("connection_string"), py::arg("sql"), py::arg("html_source_file"),
      py::arg("html_destination_file"));
  engine.def(
      "render",
      [](clsMain& self, py::handle rows, py::handle html_source_file,
         py::handle html_destination_file,
         std::optional<std::string> extra_detail_id, bool sdk) {
        std::shared_ptr<ado::Recordset> rst = RowsArgument(rows);
        const Variant source(PathFromPython(html_source_file));
        const Variant destination(PathFromPython(html_destination_file));
        return ResultToPython(InEngine([&] {
          bool is_extra_detail = extra_detail_id.has_value();
          std::string id = extra_detail_id.value_or("");
          return sdk ? self.SDKGetHTMLBasedOnRecordset(rst, source, destination,
                                                       is_extra_detail, id)
                     : self.GetHTMLBasedOnRecordset(rst, source, destination,
                                                    is_extra_detail, id);
        }));
      },
      py::arg("rows"), py::arg("html_source_file"),
      py::arg("html_destination_file") = "", py::kw_only(),
      py::arg("extra_detail_id") = py::none(), py::arg("sdk") = false);
  engine.def(
      "generate",
      [](clsMain& self, py::handle rows, py::handle html_source_file,
         py::handle html_destination_file, bool sdk) {
        std::shared_ptr<ado::Recordset> rst = RowsArgument(rows);
        std::string source = PathFromPython(html_source_file);
        std::string destination = PathFromPython(html_destination_file);
        const std::string text = InEngine([&] {
          if (!sdk) {
            return self.GenerateReportBasedOnRecordset(rst, source,
                                                       destination);
          }
          Variant rst_variant(rst);
          Variant source_variant(source);
          Variant destination_variant(destination);
          std::string result = self.SDKGenerateReportBasedOnRecordset(
              rst_variant, source_variant, destination_variant);
          source = TextOf(source_variant);
          return result;
        });
        return py::make_tuple(TextToPython(text), TextToPython(source));
      },
      py::arg("rows"), py::arg("html_source_file"),
      py::arg("html_destination_file"), py::kw_only(), py::arg("sdk") = false);
  engine.def(
      "open_report",
      [](clsMain& self, py::handle file, bool web_browser_preview) {
        const std::string path = PathFromPython(file);
        InEngine([&] { self.OpenReport(path, web_browser_preview); });
      },
      py::arg("file"), py::arg("web_browser_preview") = false);
  engine.def(
      "print_report",
      [](clsMain& self, py::handle file) {
        const std::string path = PathFromPython(file);
        InEngine([&] { self.PrintReport(path); });
      },
      py::arg("file"));
  engine.def(
      "preview_report",
      [](clsMain& self, py::handle file) {
        const std::string path = PathFromPython(file);
        InEngine([&] { self.WebBrowserPreviewReport(path); });
      },
      py::arg("file"));
}

void DefineModule(py::module_& module) {
  module.doc() = "The Nerolin HTML report engine.";
  InitValueConversions();
  DefineAutomationError(module);

  py::enum_<MessageIcon>(module, "MessageIcon")
      .value("NONE", MessageIcon::kNone)
      .value("CRITICAL", MessageIcon::kCritical)
      .value("QUESTION", MessageIcon::kQuestion)
      .value("EXCLAMATION", MessageIcon::kExclamation)
      .value("INFORMATION", MessageIcon::kInformation);
  module.def("set_message_handler", &SetMessageHandler, py::arg("handler"),
             "Sends the engine's messages to handler(text, title, icon); "
             "None sends them to standard error again. One handler for the "
             "process, as the engines share it.");
  // The handler must go while the interpreter still runs.
  py::module_::import("atexit").attr("register")(
      py::cpp_function([] { SetMessageHandler(py::none()); }));

  DefineRecordset(module);
  DefineSqliteLibrary(module);
  DefineEngine(module);
}

}  // namespace
}  // namespace nerolin::python

PYBIND11_MODULE(nerolin_report, module) {
  nerolin::python::DefineModule(module);
}
