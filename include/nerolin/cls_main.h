#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/object.h"
#include "nerolin/variant.h"

namespace nerolin {

class ComponentState;
class ReportEngine;

// The component's own error: a connection was needed and ConnectionString
// is empty.
inline constexpr std::int32_t kErrNoConnectionString = -2147221381;
inline constexpr std::string_view kNoConnectionStringText =
    "La cadena de conexión no fué establecida";
// The name the component's errors carry as their source.
inline constexpr std::string_view kComponentName = "NerolinHTMLReport";

// Registers the component's public classes under "NerolinHTMLReport.clsMain",
// "NerolinHTMLReport.SumFields" and "NerolinHTMLReport.SumField", and the
// bundled SQLite host data library under "NerolinLib.clsMain" unless a host
// has registered its own there. Idempotent; clsMain::Create calls it.
void RegisterComponentClasses();

// The report engine a host creates to produce reports. Every instance has
// its own ConnectionString, objPrinterName and NbrCopies; the host data
// library slot, FindMatchIfFieldDoesntExists and URLImages are shared by
// every instance of the process (or, for an engine created from inside
// another one, by every instance sharing its creator's state). Members are
// reachable by name through Invoke, with the parameter orders of the typed
// methods below.
class clsMain : public Object {
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

  // The component state this engine shares.
  const std::shared_ptr<ComponentState>& state() const;

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
