#include "nerolin/cls_main.h"

#include "automation/conversions.h"
#include "component/component_state.h"
#include "component/report_engine.h"
#include "engine/report_files.h"
#include "engine/report_viewing.h"
#include "fields/extra_details.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_mod_wrapper.h"
#include "nerolin/registry.h"
#include "nerolin/sqlite_library.h"
#include "nerolin/sum_fields.h"
#include "render/recordset_renderer.h"
#include "render/sql_renderer.h"

namespace nerolin {

namespace {

constexpr std::string_view kSumFieldsProgId = "NerolinHTMLReport.SumFields";
constexpr std::string_view kSumFieldProgId = "NerolinHTMLReport.SumField";
constexpr std::string_view kHostLibraryProgId = "NerolinLib.clsMain";

// The recordset a caller handed over in a variant; null when it holds none.
std::shared_ptr<ado::Recordset> RecordsetIn(const Variant& value) {
  if (!value.IsObject()) return nullptr;
  return std::dynamic_pointer_cast<ado::Recordset>(value.AsObject());
}

// As RecordsetIn, raising 13 for anything else (a by-name call).
std::shared_ptr<ado::Recordset> RecordsetArgument(const Variant& value) {
  auto recordset = RecordsetIn(value);
  if (!recordset) {
    throw AutomationError(errors::kTypeMismatch,
                          "Type mismatch: rst takes a Recordset",
                          std::string(kComponentName));
  }
  return recordset;
}

// GetHTMLBasedOnRecordset and its twin called by name: the recordset, the
// two paths and the optional by-reference flag and id, written back.
template <class Render>
Variant RecordsetRender(Arguments& a, Render render) {
  const auto rst = RecordsetArgument(a[0]);
  bool is_extra_detail = a.size() > 3 && CBool(a[3]);
  std::string extra_detail_id = a.size() > 4 ? CStr(a[4]) : std::string();
  Variant result = render(rst, a[1], a[2], is_extra_detail, extra_detail_id);
  if (a.size() > 3) a[3] = Variant(is_extra_detail);
  if (a.size() > 4) a[4] = Variant(std::move(extra_detail_id));
  return result;
}

}  // namespace

struct clsMain::Impl : ReportEngine {
  Impl(clsMain* owner, std::shared_ptr<ComponentState> shared)
      : self(owner), shared_state(std::move(shared)) {}

  const std::string& ConnectionString() const override {
    return connection_string;
  }
  void SetConnectionString(std::string value) override {
    connection_string = std::move(value);
  }
  const std::string& objPrinterName() const override { return printer_name; }
  std::int16_t NbrCopies() const override { return copies; }
  void SetNbrCopies(std::int16_t value) override { copies = value; }
  const std::shared_ptr<ComponentState>& state() const override {
    return shared_state;
  }

  void OpenConnection() override { self->OpenConnection(); }

  Variant GetHTML(const Variant& sql, const Variant& html_source_file,
                  const Variant& html_destination_file) override {
    return render::RenderSql(*this, sql, html_source_file,
                             html_destination_file);
  }
  Variant GetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                  const Variant& html_source_file,
                                  const Variant& html_destination_file,
                                  bool& is_extra_detail,
                                  std::string& extra_detail_id) override {
    return render::RenderRecordset(*this, rst, html_source_file,
                                   html_destination_file, is_extra_detail,
                                   extra_detail_id);
  }
  Variant SDKGetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                     const Variant& html_source_file,
                                     const Variant& html_destination_file,
                                     bool& is_extra_detail,
                                     std::string& extra_detail_id) override {
    return render::RenderRecordset(*this, rst, html_source_file,
                                   html_destination_file, is_extra_detail,
                                   extra_detail_id);
  }
  void CreateExtraDetailsIfExists(std::string& html_text,
                                  std::string& model_path,
                                  std::shared_ptr<ado::Recordset>& rst,
                                  Variant& html_source_file) override {
    fields::CreateExtraDetails(*this, html_text, model_path, rst,
                               html_source_file,
                               fields::ExtraDetailMode::kStandard);
  }
  void SDKCreateExtraDetailsIfExists(std::string& html_text,
                                     std::string& model_path, Variant& rst,
                                     Variant& html_source_file) override {
    fields::CreateExtraDetails(*this, html_text, model_path, RecordsetIn(rst),
                               html_source_file, fields::ExtraDetailMode::kSdk);
  }
  void WebBrowserPreviewReport(const std::string& file) override {
    engine::WebBrowserPreviewReport(*this, file);
  }

  clsMain* self;
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
  RegisterClass(
      kModWrapperProgId,
      [](const std::shared_ptr<ComponentState>& creator) -> ObjectRef {
        return clsModWrapper::Create(creator);
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
    : impl_(std::make_unique<Impl>(this, std::move(state))) {}

clsMain::~clsMain() = default;

const std::string& clsMain::ConnectionString() const {
  return impl_->connection_string;
}
void clsMain::SetConnectionString(std::string value) {
  impl_->SetConnectionString(std::move(value));
}

const std::string& clsMain::objPrinterName() const {
  return impl_->printer_name;
}
void clsMain::SetobjPrinterName(std::string value) {
  impl_->printer_name = std::move(value);
}

std::int16_t clsMain::NbrCopies() const { return impl_->copies; }
void clsMain::SetNbrCopies(std::int16_t value) { impl_->SetNbrCopies(value); }

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

void clsMain::SetDiagnosticListener(
    std::shared_ptr<DiagnosticListener> listener) {
  impl_->shared_state->set_diagnostic_listener(std::move(listener));
}

ReportEngine& clsMain::AsReportEngine() { return *impl_; }

Variant clsMain::GetHTML(const Variant& sql, const Variant& html_source_file,
                         const Variant& html_destination_file) {
  return impl_->GetHTML(sql, html_source_file, html_destination_file);
}

Variant clsMain::GetHTMLBasedOnRecordset(
    const std::shared_ptr<ado::Recordset>& rst, const Variant& html_source_file,
    const Variant& html_destination_file, bool& is_extra_detail,
    std::string& extra_detail_id) {
  return impl_->GetHTMLBasedOnRecordset(rst, html_source_file,
                                        html_destination_file, is_extra_detail,
                                        extra_detail_id);
}

Variant clsMain::GetHTMLBasedOnRecordset(
    const std::shared_ptr<ado::Recordset>& rst, const Variant& html_source_file,
    const Variant& html_destination_file) {
  bool is_extra_detail = false;
  std::string extra_detail_id;
  return GetHTMLBasedOnRecordset(rst, html_source_file, html_destination_file,
                                 is_extra_detail, extra_detail_id);
}

Variant clsMain::SDKGetHTMLBasedOnRecordset(
    const std::shared_ptr<ado::Recordset>& rst, const Variant& html_source_file,
    const Variant& html_destination_file, bool& is_extra_detail,
    std::string& extra_detail_id) {
  return impl_->SDKGetHTMLBasedOnRecordset(rst, html_source_file,
                                           html_destination_file,
                                           is_extra_detail, extra_detail_id);
}

Variant clsMain::GetHTML3(const Variant& sql, const Variant& html_source) {
  return render::RenderSqlOverTemplateText(*impl_, sql, html_source);
}

Variant clsMain::GetHTML2(Variant& ps_connection_string, Variant& sql,
                          Variant& html_source_file,
                          Variant& html_destination_file) {
  return engine::GetHTML2(*impl_, ps_connection_string, sql, html_source_file,
                          html_destination_file);
}

std::string clsMain::GenerateReport(std::string_view ps_connection_string,
                                    std::string& sql,
                                    std::string& html_source_file,
                                    std::string& html_destination_file) {
  return engine::GenerateReport(*impl_, ps_connection_string, sql,
                                html_source_file, html_destination_file);
}

std::string clsMain::GenerateReportBasedOnRecordset(
    std::shared_ptr<ado::Recordset>& rst, std::string& html_source_file,
    std::string& html_destination_file) {
  return engine::GenerateReportBasedOnRecordset(*impl_, rst, html_source_file,
                                                html_destination_file);
}

std::string clsMain::SDKGenerateReportBasedOnRecordset(
    Variant& rst, Variant& html_source_file, Variant& html_destination_file) {
  return engine::SDKGenerateReportBasedOnRecordset(
      *impl_, rst, html_source_file, html_destination_file);
}

std::string clsMain::CreateExtraDetailsIfExists(
    std::string& html_text, std::string& model_path,
    std::shared_ptr<ado::Recordset>& rst, Variant& html_source_file) {
  impl_->CreateExtraDetailsIfExists(html_text, model_path, rst,
                                    html_source_file);
  return html_text;
}

std::string clsMain::SDKCreateExtraDetailsIfExists(std::string& html_text,
                                                   std::string& model_path,
                                                   Variant& rst,
                                                   Variant& html_source_file) {
  impl_->SDKCreateExtraDetailsIfExists(html_text, model_path, rst,
                                       html_source_file);
  return html_text;
}

void clsMain::OpenReport(const std::string& sFile, bool webBrowserPreview) {
  engine::OpenReport(*impl_, sFile, webBrowserPreview);
}

void clsMain::PrintReport(const std::string& sFile) {
  engine::PrintReport(*impl_, sFile);
}

void clsMain::WebBrowserPreviewReport(const std::string& sFile) {
  impl_->WebBrowserPreviewReport(sFile);
}

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
          .Property("URLImages", nullptr,
                    [](M& m, InvokeKind, Arguments& a) {
                      m.SetURLImages(CStr(a[0]));
                      return Variant();
                    })
          .Method("GetHTML", 3, 3,
                  [](M& m, InvokeKind, Arguments& a) {
                    return m.GetHTML(a[0], a[1], a[2]);
                  })
          .Method("GetHTMLBasedOnRecordset", 3, 5,
                  [](M& m, InvokeKind, Arguments& a) {
                    return RecordsetRender(a, [&](auto&&... args) {
                      return m.GetHTMLBasedOnRecordset(args...);
                    });
                  })
          .Method("SDKGetHTMLBasedOnRecordset", 3, 5,
                  [](M& m, InvokeKind, Arguments& a) {
                    return RecordsetRender(a, [&](auto&&... args) {
                      return m.SDKGetHTMLBasedOnRecordset(args...);
                    });
                  })
          .Method("GetHTML2", 4, 4,
                  [](M& m, InvokeKind, Arguments& a) {
                    return m.GetHTML2(a[0], a[1], a[2], a[3]);
                  })
          .Method("GenerateReport", 4, 4,
                  [](M& m, InvokeKind, Arguments& a) {
                    const std::string connection = CStr(a[0]);
                    std::string sql = CStr(a[1]);
                    std::string source = CStr(a[2]);
                    std::string destination = CStr(a[3]);
                    Variant result(
                        m.GenerateReport(connection, sql, source, destination));
                    a[1] = Variant(std::move(sql));
                    a[2] = Variant(std::move(source));
                    a[3] = Variant(std::move(destination));
                    return result;
                  })
          .Method("GenerateReportBasedOnRecordset", 3, 3,
                  [](M& m, InvokeKind, Arguments& a) {
                    auto rst = RecordsetArgument(a[0]);
                    std::string source = CStr(a[1]);
                    std::string destination = CStr(a[2]);
                    Variant result(m.GenerateReportBasedOnRecordset(
                        rst, source, destination));
                    a[0] = Variant(ObjectRef(rst));
                    a[1] = Variant(std::move(source));
                    a[2] = Variant(std::move(destination));
                    return result;
                  })
          .Method("SDKGenerateReportBasedOnRecordset", 3, 3,
                  [](M& m, InvokeKind, Arguments& a) {
                    return Variant(
                        m.SDKGenerateReportBasedOnRecordset(a[0], a[1], a[2]));
                  })
          .Method("CreateExtraDetailsIfExists", 4, 4,
                  [](M& m, InvokeKind, Arguments& a) {
                    std::string html = CStr(a[0]);
                    std::string model_path = CStr(a[1]);
                    auto rst = RecordsetArgument(a[2]);
                    Variant result(m.CreateExtraDetailsIfExists(
                        html, model_path, rst, a[3]));
                    a[0] = Variant(std::move(html));
                    a[1] = Variant(std::move(model_path));
                    a[2] = Variant(ObjectRef(rst));
                    return result;
                  })
          .Method("SDKCreateExtraDetailsIfExists", 4, 4,
                  [](M& m, InvokeKind, Arguments& a) {
                    std::string html = CStr(a[0]);
                    std::string model_path = CStr(a[1]);
                    Variant result(m.SDKCreateExtraDetailsIfExists(
                        html, model_path, a[2], a[3]));
                    a[0] = Variant(std::move(html));
                    a[1] = Variant(std::move(model_path));
                    return result;
                  })
          .Method("GetHTML3", 2, 2,
                  [](M& m, InvokeKind, Arguments& a) {
                    return m.GetHTML3(a[0], a[1]);
                  })
          .Method("OpenReport", 1, 2,
                  [](M& m, InvokeKind, Arguments& a) {
                    m.OpenReport(CStr(a[0]), a.size() > 1 && CBool(a[1]));
                    return Variant();
                  })
          .Method("PrintReport", 1, 1,
                  [](M& m, InvokeKind, Arguments& a) {
                    m.PrintReport(CStr(a[0]));
                    return Variant();
                  })
          .Method("WebBrowserPreviewReport", 1, 1,
                  [](M& m, InvokeKind, Arguments& a) {
                    m.WebBrowserPreviewReport(CStr(a[0]));
                    return Variant();
                  });
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin
