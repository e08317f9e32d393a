#include "engine/report_files.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
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
// the method goes on with the next one. The report does not show what was
// left out, so the reason goes to the diagnostics channel under the step's
// name. Nothing leaves it.
template <class Step>
void Attempt(ReportEngine& engine, std::string_view step_name,
             Step&& step) noexcept {
  try {
    step();
  } catch (...) {
    const ComponentState& state = *engine.state();
    if (!state.diagnostics_wanted()) return;
    try {
      state.Diagnose(
          DiagnosticKind::kStepSkipped, step_name,
          AsAutomationError(std::current_exception(), kComponentName).what());
    } catch (...) {
      // The step is abandoned all the same.
    }
  }
}

// The test of a conditional step. A test that fails lets the steps it
// guards run, as if it had held.
template <class Test>
bool Holds(ReportEngine& engine, std::string_view test_name,
           Test&& test) noexcept {
  bool holds = true;
  Attempt(engine, test_name, [&] { holds = test(); });
  return holds;
}

// The finished report to its file, a skip-on-failure step. A file that
// cannot be written has been told as such by WriteReportFile, so it is not a
// skipped step as well; only a write that names no file is one.
void WriteFinishedReport(ReportEngine& engine, const std::string& path,
                         std::string_view text) noexcept {
  if (path.empty()) {
    Attempt(engine, "WriteReportFile", [&] {
      WriteReportFile(*engine.state(), path, text,
                      ReportFileWrite::kWholeReport);
    });
    return;
  }
  try {
    WriteReportFile(*engine.state(), path, text, ReportFileWrite::kWholeReport);
  } catch (...) {
    // Told already.
  }
}

// The 100-pixel tag is looked for in what the removal of the 120-pixel tags
// left, so one that only appears once those are gone goes too.
void RemoveEmptyImageTags(std::string& text) {
  platform::RemoveAll(text, kEmptyImageTag120);
  platform::RemoveAll(text, kEmptyImageTag100);
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
std::string CurrentId(const std::shared_ptr<ado::Recordset>& rst) {
  return fiscal::SqlLiteral(TextOf(RecordsetOf(rst).Value(Variant("ID"))));
}

// The print format of `module`, when it has one, or 0.
std::int16_t PrintFormatOf(ReportEngine& engine, std::int32_t module,
                           bool default_only) {
  std::int16_t print_format = 0;
  if (module > 0) {
    Attempt(engine, "PrintFormatID", [&] {
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

// What GenerateReportBasedOnRecordset and its SDK twin do differently; the
// steps and their order are GenerateOverRecordset's. The standard member
// takes a recordset object and texts, as a C++ host holds them.
struct StandardMember {
  using Rows = std::shared_ptr<ado::Recordset>;
  using Path = std::string;

  static constexpr auto kRender = &ReportEngine::GetHTMLBasedOnRecordset;
  static constexpr std::string_view kRenderName = "GetHTMLBasedOnRecordset";
  static constexpr std::string_view kExtraDetailsName =
      "CreateExtraDetailsIfExists";
  // A recordset over kOperationPrintView is a financial operation's.
  static constexpr bool kTellsOperationsApart = true;
  // Only the module's default print format counts.
  static constexpr bool kDefaultFormatOnly = true;

  // The recordset as the steps take it; a missing one goes on as it is.
  static Rows Recordset(const Rows& rst) { return rst; }
  static const std::string& DestinationText(const Path& path) { return path; }
  static const std::string& SourceText(const Path& path) { return path; }
  // The destination goes as a copy: what the step may make of it stays
  // with the step.
  static void ExtraDetails(ReportEngine& engine, std::string& text,
                           std::string& model_path, Rows& rst,
                           const Path& destination) {
    Variant copy(destination);
    engine.CreateExtraDetailsIfExists(text, model_path, rst, copy);
  }
};

// The SDK member takes variants, as a host calling by name holds them. It
// looks every recordset up as a document, and any print format of the
// module will do.
struct SdkMember {
  using Rows = Variant;
  using Path = Variant;

  static constexpr auto kRender = &ReportEngine::SDKGetHTMLBasedOnRecordset;
  static constexpr std::string_view kRenderName = "SDKGetHTMLBasedOnRecordset";
  static constexpr std::string_view kExtraDetailsName =
      "SDKCreateExtraDetailsIfExists";
  static constexpr bool kTellsOperationsApart = false;
  static constexpr bool kDefaultFormatOnly = false;

  // Raises 13 when `rst` holds no recordset.
  static std::shared_ptr<ado::Recordset> Recordset(const Rows& rst) {
    return RecordsetIn(rst);
  }
  static std::string DestinationText(const Path& path) { return CStr(path); }
  static std::string SourceText(const Path& path) { return TextOf(path); }
  static void ExtraDetails(ReportEngine& engine, std::string& text,
                           std::string& model_path, Rows& rst,
                           Path& destination) {
    engine.SDKCreateExtraDetailsIfExists(text, model_path, rst, destination);
  }
};

// GenerateReportBasedOnRecordset and its SDK twin, as `Member` says.
template <class Member>
std::string GenerateOverRecordset(
    ReportEngine& engine, typename Member::Rows& rst,
    typename Member::Path& html_source_file,
    typename Member::Path& html_destination_file) {
  ReportScope report(*engine.state());
  std::string text;
  Attempt(engine, Member::kRenderName, [&] {
    bool is_extra_detail = false;
    std::string extra_detail_id;
    text = CStr((engine.*Member::kRender)(
        Member::Recordset(rst), Variant(html_source_file),
        Variant(html_destination_file), is_extra_detail, extra_detail_id));
  });
  RemoveEmptyImageTags(text);
  WriteFinishedReport(engine, Member::DestinationText(html_destination_file),
                      text);

  const bool financial_operation =
      Member::kTellsOperationsApart && Holds(engine, "Source", [&] {
        return RecordsetOf(Member::Recordset(rst))
                   .Source()
                   .find(kOperationPrintView) != std::string::npos;
      });
  std::int32_t module = 0;
  Attempt(engine, "ModuleID", [&] {
    const std::string id = CurrentId(Member::Recordset(rst));
    module = financial_operation
                 ? Library(engine).DLookUpValueLong(
                       "ModuleID", "docFinancialOperation",
                       "FinancialOperationID=" + id)
                 : Library(engine).DLookUpValueLong("ModuleID", "docDocument",
                                                    "DocumentID=" + id);
  });
  const std::int16_t print_format =
      PrintFormatOf(engine, module, Member::kDefaultFormatOnly);
  if (print_format > 0) {
    Attempt(engine, "FileName", [&] {
      html_source_file =
          typename Member::Path(FileNameOf(engine, print_format));
    });
    std::string model_path;
    Attempt(engine, "ParentFolder", [&] {
      model_path = platform::ParentFolder(Member::SourceText(html_source_file));
    });
    Attempt(engine, Member::kExtraDetailsName, [&] {
      Member::ExtraDetails(engine, text, model_path, rst,
                           html_destination_file);
    });
  }

  if (Holds(engine, "FieldExists", [&] {
        return Library(engine)
            .FieldExists(kRetentionTypeField, rst)
            .value_or(false);
      })) {
    Attempt(engine, "FilterRetentionComplements", [&] {
      text = FilterRetentionComplements(
          text, Member::Recordset(rst),
          Member::DestinationText(html_destination_file), *engine.state());
    });
  }
  return text;
}

}  // namespace

Variant GetHTML2(ReportEngine& engine, Variant& connection_string, Variant& sql,
                 Variant& html_source_file, Variant& html_destination_file) {
  try {
    engine.SetConnectionString(CStr(connection_string));
    engine.OpenConnection();
    return engine.GetHTML(sql, html_source_file, html_destination_file);
  } catch (...) {
    throw AsAutomationError(std::current_exception(), kComponentName);
  }
}

std::string GenerateReport(ReportEngine& engine,
                           std::string_view connection_string, std::string& sql,
                           std::string& html_source_file,
                           std::string& html_destination_file) {
  ReportScope report(*engine.state());
  // A library already in the slot is used as it is; the connection string
  // given is then not even stored.
  Attempt(engine, "OpenConnection", [&] {
    if (engine.state()->host_library()) return;
    engine.SetConnectionString(std::string(connection_string));
    engine.OpenConnection();
  });
  std::string text;
  Attempt(engine, "GetHTML", [&] {
    text = CStr(engine.GetHTML(Variant(sql), Variant(html_source_file),
                               Variant(html_destination_file)));
  });
  RemoveEmptyImageTags(text);
  WriteFinishedReport(engine, html_destination_file, text);
  return text;
}

std::string GenerateReportBasedOnRecordset(ReportEngine& engine,
                                           std::shared_ptr<ado::Recordset>& rst,
                                           std::string& html_source_file,
                                           std::string& html_destination_file) {
  return GenerateOverRecordset<StandardMember>(engine, rst, html_source_file,
                                               html_destination_file);
}

std::string SDKGenerateReportBasedOnRecordset(ReportEngine& engine,
                                              Variant& rst,
                                              Variant& html_source_file,
                                              Variant& html_destination_file) {
  return GenerateOverRecordset<SdkMember>(engine, rst, html_source_file,
                                          html_destination_file);
}

}  // namespace nerolin::engine
