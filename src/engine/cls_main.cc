#include "nerolin/cls_main.h"

#include "automation/conversions.h"
#include "component/component_state.h"
#include "component/report_engine.h"
#include "nerolin/automation_error.h"
#include "nerolin/registry.h"
#include "nerolin/sqlite_library.h"
#include "nerolin/sum_fields.h"

namespace nerolin {

namespace {

constexpr std::string_view kEngineProgId = "NerolinHTMLReport.clsMain";
constexpr std::string_view kSumFieldsProgId = "NerolinHTMLReport.SumFields";
constexpr std::string_view kSumFieldProgId = "NerolinHTMLReport.SumField";
constexpr std::string_view kHostLibraryProgId = "NerolinLib.clsMain";

}  // namespace

struct clsMain::Impl : ReportEngine {
  explicit Impl(std::shared_ptr<ComponentState> shared)
      : shared_state(std::move(shared)) {}

  const std::string& ConnectionString() const override {
    return connection_string;
  }
  const std::string& objPrinterName() const override { return printer_name; }
  std::int16_t NbrCopies() const override { return copies; }
  const std::shared_ptr<ComponentState>& state() const override {
    return shared_state;
  }

  std::shared_ptr<ComponentState> shared_state;
  std::string connection_string;
  std::string printer_name;
  std::int16_t copies = 0;
};

void RegisterComponentClasses() {
  RegisterClass(
      kEngineProgId,
      [](const std::shared_ptr<ComponentState>& creator) -> ObjectRef {
        return clsMain::Create(creator ? creator : ComponentState::Process());
      });
  RegisterClass(kSumFieldsProgId, [](const std::shared_ptr<ComponentState>&) {
    return std::make_shared<SumFields>();
  });
  RegisterClass(kSumFieldProgId, [](const std::shared_ptr<ComponentState>&) {
    return std::make_shared<SumField>();
  });
  if (!IsClassRegistered(kHostLibraryProgId)) RegisterSqliteHostLibrary();
}

std::shared_ptr<clsMain> clsMain::Create() {
  return Create(ComponentState::Process());
}

std::shared_ptr<clsMain> clsMain::Create(
    std::shared_ptr<ComponentState> state) {
  // Registered before the first engine works, so that a nested report and
  // OpenConnection find their classes.
  static const bool registered = [] {
    RegisterComponentClasses();
    return true;
  }();
  (void)registered;
  return std::shared_ptr<clsMain>(new clsMain(std::move(state)));
}

clsMain::clsMain(std::shared_ptr<ComponentState> state)
    : impl_(std::make_unique<Impl>(std::move(state))) {}

clsMain::~clsMain() = default;

const std::string& clsMain::ConnectionString() const {
  return impl_->connection_string;
}
void clsMain::SetConnectionString(std::string value) {
  impl_->connection_string = std::move(value);
}

const std::string& clsMain::objPrinterName() const {
  return impl_->printer_name;
}
void clsMain::SetobjPrinterName(std::string value) {
  impl_->printer_name = std::move(value);
}

std::int16_t clsMain::NbrCopies() const { return impl_->copies; }
void clsMain::SetNbrCopies(std::int16_t value) { impl_->copies = value; }

void clsMain::SetNerolinLib(ObjectRef library) {
  impl_->shared_state->set_host_library(std::move(library));
}

void clsMain::SetFindMatchIfFieldDoesntExists(bool on) {
  impl_->shared_state->set_find_match_if_field_doesnt_exists(on);
}

void clsMain::SetURLImages(std::string_view url) {
  std::string base(url);
  if (base.empty() || base.back() != '/') base.push_back('/');
  impl_->shared_state->set_image_base_url(std::move(base));
}

const std::shared_ptr<ComponentState>& clsMain::state() const {
  return impl_->shared_state;
}

ReportEngine& clsMain::AsReportEngine() { return *impl_; }

void clsMain::OpenConnection() {
  if (impl_->connection_string.empty()) {
    throw AutomationError(kErrNoConnectionString,
                          std::string(kNoConnectionStringText),
                          std::string(kComponentName));
  }
  ComponentState& shared = *impl_->shared_state;
  shared.set_host_library(
      CreateObject(kHostLibraryProgId, impl_->shared_state));
  shared.Library().CreateConnection(impl_->connection_string);
}

Variant clsMain::Invoke(std::string_view member, InvokeKind kind,
                        Arguments& args) {
  using M = clsMain;
  static const MemberTable<M> table =
      MemberTable<M>()
          .Property(
              "ConnectionString",
              [](M& m, InvokeKind, Arguments&) {
                return Variant(m.ConnectionString());
              },
              [](M& m, InvokeKind, Arguments& a) {
                m.SetConnectionString(CStr(a[0]));
                return Variant();
              })
          .Property(
              "objPrinterName",
              [](M& m, InvokeKind, Arguments&) {
                return Variant(m.objPrinterName());
              },
              [](M& m, InvokeKind, Arguments& a) {
                m.SetobjPrinterName(CStr(a[0]));
                return Variant();
              })
          .Property(
              "NbrCopies",
              [](M& m, InvokeKind, Arguments&) {
                return Variant(m.NbrCopies());
              },
              [](M& m, InvokeKind, Arguments& a) {
                m.SetNbrCopies(CInt(a[0]));
                return Variant();
              })
          .Property("NerolinLib", nullptr,
                    [](M& m, InvokeKind, Arguments& a) {
                      Variant value = a[0];
                      if (!value.IsObject()) {
                        throw AutomationError(
                            errors::kTypeMismatch,
                            "Type mismatch: NerolinLib takes an object",
                            std::string(kComponentName));
                      }
                      m.SetNerolinLib(value.AsObject());
                      return Variant();
                    })
          .Property("FindMatchIfFieldDoesntExists", nullptr,
                    [](M& m, InvokeKind, Arguments& a) {
                      m.SetFindMatchIfFieldDoesntExists(CBool(a[0]));
                      return Variant();
                    })
          .Property("URLImages", nullptr, [](M& m, InvokeKind, Arguments& a) {
            m.SetURLImages(CStr(a[0]));
            return Variant();
          });
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin
