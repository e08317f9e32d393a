#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/automation_error.h"
#include "nerolin/export.h"
#include "nerolin/object.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {

class ComponentState;
class DiagnosticListener;
class ReportEngine;

// Registers the component's public classes under "NerolinHTMLReport.clsMain",
// "NerolinHTMLReport.SumFields", "NerolinHTMLReport.SumField" and
// "NerolinHTMLReport.clsModWrapper", and the bundled SQLite host data library
// under "NerolinLib.clsMain" unless a host has registered its own there.
// Idempotent; clsMain::Create calls it.
NEROLIN_EXPORT void RegisterComponentClasses();

// The report engine a host creates to produce reports. Every instance has
// its own ConnectionString, objPrinterName and NbrCopies; the host data
// library slot, FindMatchIfFieldDoesntExists and URLImages are shared by
// every instance of the process (or, for an engine created from inside
// another one, by every instance sharing its creator's state). Members are
// reachable by name through Invoke, with the parameter orders of the typed
// methods below.
class NEROLIN_EXPORT clsMain : public Object {
 public:
  // A new engine on the process-wide component state.
  static std::shared_ptr<clsMain> Create();
  // A new engine sharing `state` (a nested report; tests).
  static std::shared_ptr<clsMain> Create(std::shared_ptr<ComponentState> state);

  ~clsMain() override;

  // Connection string handed to the host data library by the methods that
  // open a connection themselves. "" at start.
  const std::string& ConnectionString() const;
  void SetConnectionString(std::string value);

  // Printer to print or preview on. "" at start.
  const std::string& objPrinterName() const;
  void SetobjPrinterName(std::string value);

  // Copies PrintReport prints. 0 at start.
  std::int16_t NbrCopies() const;
  void SetNbrCopies(std::int16_t value);

  // Stores `library` in the shared host data library slot, releasing what
  // it held. Nothing else: no connection is opened.
  void SetNerolinLib(ObjectRef library);

  // Turns the shared look-up of fields the rows lack on or off. Write-only.
  void SetFindMatchIfFieldDoesntExists(bool on);

  // Sets the shared base URL of document pictures; "/" is appended unless it
  // is already last ("" stores "/"). Write-only.
  void SetURLImages(std::string_view url);

  // Rendering. Each renderer reports its own failures through the message
  // sink and returns Empty (or what it had so far); none raises.

  // The template file filled from the rows of `sql`, with real grouping,
  // group totals and extra details in every detail.
  Variant GetHTML(const Variant& sql, const Variant& html_source_file,
                  const Variant& html_destination_file);
  // The template file filled from an open recordset; "No hay registro" when
  // it has no rows. `is_extra_detail` and `extra_detail_id` say that the
  // call renders the sub-report of an extra-detail element.
  Variant GetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                  const Variant& html_source_file,
                                  const Variant& html_destination_file,
                                  bool& is_extra_detail,
                                  std::string& extra_detail_id);
  Variant GetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                  const Variant& html_source_file,
                                  const Variant& html_destination_file);
  // The same, as a second entry point.
  Variant SDKGetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                     const Variant& html_source_file,
                                     const Variant& html_destination_file,
                                     bool& is_extra_detail,
                                     std::string& extra_detail_id);
  // A template given as text filled from the rows of `sql`.
  Variant GetHTML3(const Variant& sql, const Variant& html_source);

  // Report files.

  // Sets ConnectionString, opens a connection (always) and returns GetHTML's
  // result. Every error reaches the caller.
  Variant GetHTML2(Variant& ps_connection_string, Variant& sql,
                   Variant& html_source_file, Variant& html_destination_file);
  // Render, clean and write the report file; never raise (a failing step is
  // skipped). The recordset forms may change `html_source_file` to the
  // document's print format.
  std::string GenerateReport(std::string_view ps_connection_string,
                             std::string& sql, std::string& html_source_file,
                             std::string& html_destination_file);
  std::string GenerateReportBasedOnRecordset(
      std::shared_ptr<ado::Recordset>& rst, std::string& html_source_file,
      std::string& html_destination_file);
  std::string SDKGenerateReportBasedOnRecordset(Variant& rst,
                                                Variant& html_source_file,
                                                Variant& html_destination_file);

  // Replace the extra-detail elements of a rendered report by their
  // sub-reports and write the result to `html_source_file`; never raise.
  std::string CreateExtraDetailsIfExists(std::string& html_text,
                                         std::string& model_path,
                                         std::shared_ptr<ado::Recordset>& rst,
                                         Variant& html_source_file);
  std::string SDKCreateExtraDetailsIfExists(std::string& html_text,
                                            std::string& model_path,
                                            Variant& rst,
                                            Variant& html_source_file);

  // Opening, printing and previewing a report file. Every error reaches the
  // caller as an AutomationError, after the default printer swapped for
  // objPrinterName has been put back.

  // With `webBrowserPreview` WebBrowserPreviewReport; otherwise the desktop
  // opens `sFile` with its registered program (its result not looked at).
  void OpenReport(const std::string& sFile, bool webBrowserPreview = false);
  // Prints `sFile` silently NbrCopies times on objPrinterName, which is the
  // default printer for the duration (0 copies is made 1 and kept; a
  // negative count prints nothing). Returns once the jobs have completed.
  // Raises 482 when objPrinterName is not empty and could not be made the
  // default.
  void PrintReport(const std::string& sFile);
  // Shows `sFile` in the window captioned "Vista previa de impresión",
  // placed at 1,1 with 700 by 700; the window stays open.
  void WebBrowserPreviewReport(const std::string& sFile);

  // The component state this engine shares.
  const std::shared_ptr<ComponentState>& state() const;

  // Not part of the member table: installs `listener` on the component
  // state this engine shares (every engine on that state reports to it),
  // replacing the one installed; null removes it. It hears each failure
  // that a member got past (see nerolin/diagnostics.h).
  void SetDiagnosticListener(std::shared_ptr<DiagnosticListener> listener);

  // This engine as its own routines call it.
  ReportEngine& AsReportEngine();

  // Not part of the member table: the report methods that need a
  // connection call it. Raises kErrNoConnectionString when ConnectionString is
  // "" (creating nothing); otherwise puts a new "NerolinLib.clsMain" in the
  // shared slot and calls its Datalayer.CreateConnection with ConnectionString.
  // Errors of the creation and of CreateConnection pass to the caller.
  void OpenConnection();

  std::string_view TypeName() const override { return "clsMain"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  struct Impl;
  explicit clsMain(std::shared_ptr<ComponentState> state);

  std::unique_ptr<Impl> impl_;
};

}  // namespace nerolin
