#include "engine/report_files.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "component/report_engine.h"
#include "engine/retention_filter.h"
#include "fiscal/statement_text.h"
#include "hostlib/host_library.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "nerolin/diagnostics.h"
#include "platform/files.h"
#include "platform/text_search.h"

namespace nerolin::engine {

namespace {

constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kInternalError = 51;

// Picture tags that a template leaves behind when a document has no picture.
constexpr std::string_view kEmptyImageTag120 =
    "<img border=\"0\" src=\"\" width=\"120\">";
constexpr std::string_view kEmptyImageTag100 =
    "<img border=\"0\" src=\"\" width=\"100\">";

// Recordsets over this view belong to financial operations, whose module
// lives in docFinancialOperation rather than docDocument.
constexpr std::string_view kOperationPrintView =
    "vwVADDocFinancialOperationPrint";
constexpr std::string_view kRetentionTypeField = "RetentionComplementTypeID";

// Runs one step of a report-file method: a step that fails is abandoned and
// the method goes on with the next one. Nothing leaves it.
template <class Step>
void Attempt(Step&& step) noexcept {
  try {
    step();
  } catch (...) {
    // The method's result is whatever the steps that worked made of it.
  }
}

// The test of a conditional step. A test that fails lets the steps it
// guards run, as if it had held.
template <class Test>
bool Holds(Test&& test) noexcept {
  bool holds = true;
  Attempt([&] { holds = test(); });
  return holds;
}

// Removes every occurrence of `tag` in place, in one pass from left to
// right; like Replace(text, tag, ""), the text that a removal joins is not
// searched again for the same tag.
void RemoveAll(std::string& text, std::string_view tag) {
  std::size_t found = platform::FindText(text, tag, 0);
  if (found == std::string::npos) return;
  std::size_t out = found;
  // `out` never passes `in`, so the part still to be searched is intact.
  for (std::size_t in = found + tag.size();;) {
    found = platform::FindText(text, tag, in);
    const std::size_t end = found == std::string::npos ? text.size() : found;
    std::copy(text.begin() + in, text.begin() + end, text.begin() + out);
    out += end - in;
    if (found == std::string::npos) break;
    in = found + tag.size();
  }
  text.resize(out);
}

// The 100-pixel tag is looked for in what the removal of the 120-pixel tags
// left, so one that only appears once those are gone goes too.
void RemoveEmptyImageTags(std::string& text) {
  RemoveAll(text, kEmptyImageTag120);
  RemoveAll(text, kEmptyImageTag100);
}

// Attempt for a look-up that decides whether the print format's steps run:
// when it fails they are left out, which the report does not show, so the
// reason goes to the diagnostics channel.
template <class LookUp>
void AttemptLookUp(ReportEngine& engine, std::string_view what,
                   LookUp&& look_up) noexcept {
  try {
    look_up();
  } catch (const std::exception& error) {
    Attempt([&] {
      engine.state()->Diagnose(DiagnosticKind::kStepSkipped, what,
                               error.what());
    });
  } catch (...) {
    Attempt([&] {
      engine.state()->Diagnose(DiagnosticKind::kStepSkipped, what,
                               "a failure of unknown kind");
    });
  }
}

hostlib::HostLibrary Library(ReportEngine& engine) {
  return engine.state()->Library();
}

ado::Recordset& RecordsetOf(const std::shared_ptr<ado::Recordset>& rst) {
  if (!rst) {
    throw AutomationError(errors::kObjectNotSet, "Object variable not set: rst",
                          std::string(kComponentName));
  }
  return *rst;
}

std::shared_ptr<ado::Recordset> RecordsetIn(const Variant& rst) {
  std::shared_ptr<ado::Recordset> recordset;
  if (rst.IsObject()) {
    recordset = std::dynamic_pointer_cast<ado::Recordset>(rst.AsObject());
  }
  if (!recordset) {
    throw AutomationError(errors::kTypeMismatch,
                          "Type mismatch: rst holds no Recordset",
                          std::string(kComponentName));
  }
  return recordset;
}

// The ID of the recordset's current row, as it goes into a criteria.
std::string CurrentId(ado::Recordset& rst) {
  return TextOf(rst.Value(Variant("ID")));
}

// The print format of `module`, when it has one, or 0.
std::int16_t PrintFormatOf(ReportEngine& engine, std::int32_t module,
                           bool default_only) {
  std::int16_t print_format = 0;
  if (module > 0) {
    AttemptLookUp(engine, "PrintFormatID", [&] {
      print_format = Library(engine).DLookUpValueInteger(
          "PrintFormatID", "engModulePrintFormat",
          (default_only ? "FormatIsDefault<>0 AND ModuleID=" : "ModuleID=") +
              std::to_string(module));
    });
  }
  return print_format;
}

std::string FileNameOf(ReportEngine& engine, std::int16_t print_format) {
  return TextOf(
      Library(engine).DLookup("FileName", "engModulePrintFormat",
                              "PrintFormatID=" + std::to_string(print_format)));
}

}  // namespace

Variant GetHTML2(ReportEngine& engine, Variant& connection_string, Variant& sql,
                 Variant& html_source_file, Variant& html_destination_file) {
  try {
    engine.SetConnectionString(CStr(connection_string));
    engine.OpenConnection();
    return engine.GetHTML(sql, html_source_file, html_destination_file);
  } catch (const AutomationError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw AutomationError(kOutOfMemory, "Out of memory in GetHTML2",
                          std::string(kComponentName));
  } catch (const std::exception& error) {
    throw AutomationError(
        kInternalError,
        std::string("Internal error in GetHTML2: ") + error.what(),
        std::string(kComponentName));
  }
}

std::string GenerateReport(ReportEngine& engine,
                           std::string_view connection_string, std::string& sql,
                           std::string& html_source_file,
                           std::string& html_destination_file) {
  ReportScope report(*engine.state());
  // A library already in the slot is used as it is; the connection string
  // given is then not even stored.
  Attempt([&] {
    if (engine.state()->host_library()) return;
    engine.SetConnectionString(std::string(connection_string));
    engine.OpenConnection();
  });
  std::string text;
  Attempt([&] {
    text = CStr(engine.GetHTML(Variant(sql), Variant(html_source_file),
                               Variant(html_destination_file)));
  });
  Attempt([&] { RemoveEmptyImageTags(text); });
  Attempt([&] {
    WriteReportFile(*engine.state(), html_destination_file, text,
                    ReportFileWrite::kWholeReport);
  });
  return text;
}

std::string GenerateReportBasedOnRecordset(ReportEngine& engine,
                                           std::shared_ptr<ado::Recordset>& rst,
                                           std::string& html_source_file,
                                           std::string& html_destination_file) {
  ReportScope report(*engine.state());
  std::string text;
  Attempt([&] {
    bool is_extra_detail = false;
    std::string extra_detail_id;
    text = CStr(engine.GetHTMLBasedOnRecordset(
        rst, Variant(html_source_file), Variant(html_destination_file),
        is_extra_detail, extra_detail_id));
  });
  Attempt([&] { RemoveEmptyImageTags(text); });
  Attempt([&] {
    WriteReportFile(*engine.state(), html_destination_file, text,
                    ReportFileWrite::kWholeReport);
  });

  const bool financial_operation = Holds([&] {
    return RecordsetOf(rst).Source().find(kOperationPrintView) !=
           std::string::npos;
  });
  std::int32_t module = 0;
  AttemptLookUp(engine, "ModuleID", [&] {
    const std::string id = fiscal::SqlLiteral(CurrentId(RecordsetOf(rst)));
    module = financial_operation
                 ? Library(engine).DLookUpValueLong(
                       "ModuleID", "docFinancialOperation",
                       "FinancialOperationID=" + id)
                 : Library(engine).DLookUpValueLong("ModuleID", "docDocument",
                                                    "DocumentID=" + id);
  });
  const std::int16_t print_format = PrintFormatOf(engine, module, true);
  if (print_format > 0) {
    Attempt([&] { html_source_file = FileNameOf(engine, print_format); });
    std::string model_path;
    Attempt([&] { model_path = platform::ParentFolder(html_source_file); });
    Attempt([&] {
      Variant destination(html_destination_file);
      text =
          engine.CreateExtraDetailsIfExists(text, model_path, rst, destination);
    });
  }

  if (Holds([&] {
        return Library(engine)
            .FieldExists(kRetentionTypeField, rst)
            .value_or(false);
      })) {
    Attempt([&] {
      text = FilterRetentionComplements(text, rst, html_destination_file,
                                        *engine.state());
    });
  }
  return text;
}

std::string SDKGenerateReportBasedOnRecordset(ReportEngine& engine,
                                              Variant& rst,
                                              Variant& html_source_file,
                                              Variant& html_destination_file) {
  ReportScope report(*engine.state());
  std::string text;
  Attempt([&] {
    bool is_extra_detail = false;
    std::string extra_detail_id;
    text = CStr(engine.SDKGetHTMLBasedOnRecordset(
        RecordsetIn(rst), html_source_file, html_destination_file,
        is_extra_detail, extra_detail_id));
  });
  Attempt([&] { RemoveEmptyImageTags(text); });
  Attempt([&] {
    WriteReportFile(*engine.state(), CStr(html_destination_file), text,
                    ReportFileWrite::kWholeReport);
  });

  // Every recordset is taken for a document here, and any print format of
  // its module will do.
  std::int32_t module = 0;
  AttemptLookUp(engine, "ModuleID", [&] {
    module = Library(engine).DLookUpValueLong(
        "ModuleID", "docDocument",
        "DocumentID=" + fiscal::SqlLiteral(CurrentId(*RecordsetIn(rst))));
  });
  const std::int16_t print_format = PrintFormatOf(engine, module, false);
  if (print_format > 0) {
    Attempt(
        [&] { html_source_file = Variant(FileNameOf(engine, print_format)); });
    std::string model_path;
    Attempt(
        [&] { model_path = platform::ParentFolder(TextOf(html_source_file)); });
    Attempt([&] {
      text = engine.SDKCreateExtraDetailsIfExists(text, model_path, rst,
                                                  html_destination_file);
    });
  }

  if (Holds([&] {
        return Library(engine)
            .FieldExists(kRetentionTypeField, rst)
            .value_or(false);
      })) {
    Attempt([&] {
      text = FilterRetentionComplements(
          text, RecordsetIn(rst), CStr(html_destination_file), *engine.state());
    });
  }
  return text;
}

}  // namespace nerolin::engine
