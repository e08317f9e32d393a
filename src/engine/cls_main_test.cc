#include "nerolin/cls_main.h"

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "component/report_engine.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"
#include "nerolin/registry.h"
#include "nerolin/sum_fields.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

using testing::TempDir;

TEST(clsMain, StartsEmptyAndKeepsItsOwnFields) {
  auto state = std::make_shared<ComponentState>();
  auto first = clsMain::Create(state);
  auto second = clsMain::Create(state);
  EXPECT_EQ(first->ConnectionString(), "");
  EXPECT_EQ(first->objPrinterName(), "");
  EXPECT_EQ(first->NbrCopies(), 0);
  first->Put("connectionstring", Variant("Data Source=a.db"));
  first->Put("objPrinterName", Variant("Oficina"));
  first->Put("NbrCopies", Variant(3));
  EXPECT_EQ(first->Get("ConnectionString"), Variant("Data Source=a.db"));
  EXPECT_EQ(first->AsReportEngine().objPrinterName(), "Oficina");
  EXPECT_EQ(first->Get("NbrCopies"), Variant(std::int16_t{3}));
  EXPECT_EQ(second->ConnectionString(), "");
  EXPECT_EQ(second->NbrCopies(), 0);
}

TEST(clsMain, SharedSettingsReachEveryInstance) {
  auto state = std::make_shared<ComponentState>();
  auto first = clsMain::Create(state);
  // Any object serves as the library; one that holds no state.
  ObjectRef host_object = std::make_shared<SumFields>();
  first->PutRef("NerolinLib", Variant(host_object));
  first->Put("FindMatchIfFieldDoesntExists", Variant(true));
  first->Put("URLImages", Variant("http://fotos.example/img"));

  auto second = clsMain::Create(state);
  EXPECT_EQ(second->state()->host_library(), host_object);
  EXPECT_TRUE(second->state()->find_match_if_field_doesnt_exists());
  EXPECT_EQ(second->state()->image_base_url(), "http://fotos.example/img/");
}

TEST(clsMain, URLImagesEndsWithOneSlash) {
  auto engine = clsMain::Create(std::make_shared<ComponentState>());
  const struct {
    const char* given;
    const char* stored;
  } cases[] = {
      {"", "/"}, {"http://x/", "http://x/"}, {"/srv/fotos", "/srv/fotos/"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    engine->SetURLImages(c.given);
    EXPECT_EQ(engine->state()->image_base_url(), c.stored);
  }
}

TEST(clsMain, WriteOnlyPropertiesCannotBeRead) {
  auto engine = clsMain::Create(std::make_shared<ComponentState>());
  EXPECT_AUTOMATION_ERROR(engine->Get("URLImages"), errors::kNoSuchMember);
  EXPECT_AUTOMATION_ERROR(engine->Get("FindMatchIfFieldDoesntExists"),
                          errors::kNoSuchMember);
  EXPECT_AUTOMATION_ERROR(engine->Get("NerolinLib"), errors::kNoSuchMember);
  EXPECT_AUTOMATION_ERROR(engine->PutRef("NerolinLib", Variant("texto")),
                          errors::kTypeMismatch);
  EXPECT_AUTOMATION_ERROR(engine->Put("NbrCopies", Variant(40000)),
                          errors::kOverflow);
}

TEST(clsMain, NerolinLibStoresTheObjectAndNothingElse) {
  auto state = std::make_shared<ComponentState>();
  auto engine = clsMain::Create(state);
  auto library = CreateObject("NerolinLib.clsMain");
  engine->SetNerolinLib(library);
  EXPECT_EQ(state->host_library(), library);
  // No connection was opened: the library's data members still refuse.
  EXPECT_AUTOMATION_ERROR(
      state->Library().DatalayerDLookup("1", "engParameter", ""),
      errors::kObjectClosed);
  engine->SetNerolinLib(nullptr);
  EXPECT_FALSE(state->Library().HasLibrary());
}

TEST(clsMainOpenConnection, EmptyConnectionStringRaisesAndCreatesNothing) {
  auto state = std::make_shared<ComponentState>();
  auto engine = clsMain::Create(state);
  try {
    engine->OpenConnection();
    ADD_FAILURE() << "expected the component's error";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.number(), -2147221381);
    EXPECT_EQ(error.description(), "La cadena de conexión no fué establecida");
    EXPECT_EQ(error.source(), "NerolinHTMLReport");
  }
  EXPECT_FALSE(state->Library().HasLibrary());
}

TEST(clsMainOpenConnection, PutsAConnectedLibraryInTheSharedSlot) {
  TempDir dir;
  std::string db = testing::MakeTestDatabase(
      dir, "INSERT INTO engParameter VALUES ('Moneda', 'MXN');");
  auto state = std::make_shared<ComponentState>();
  auto engine = clsMain::Create(state);
  ObjectRef host_object = std::make_shared<SumFields>();
  engine->SetNerolinLib(host_object);
  engine->SetConnectionString("Data Source=" + db);
  engine->OpenConnection();
  EXPECT_NE(state->host_library(), host_object);  // replaced
  // A fresh instance uses the same library without a connection string.
  auto other = clsMain::Create(state);
  EXPECT_EQ(other->state()->Library().GetValue(
                other->state()->Library().GetDefaultValue("Moneda")),
            Variant("MXN"));
}

TEST(clsMainOpenConnection, LibraryErrorsReachTheCaller) {
  TempDir dir;
  auto state = std::make_shared<ComponentState>();
  auto engine = clsMain::Create(state);
  engine->SetConnectionString("Data Source=" + dir.File("missing.db"));
  EXPECT_AUTOMATION_ERROR_MSG(engine->OpenConnection(), -2147467259,
                              "missing.db");
}

TEST(clsMainDiagnostics, AHostHearsWhatFailedOnTheWay) {
  TempDir dir;
  std::string db = testing::MakeTestDatabase(
      dir, "INSERT INTO engParameter VALUES ('Moneda', 'MXN');");
  auto state = std::make_shared<ComponentState>();
  auto engine = clsMain::Create(state);
  auto listener = std::make_shared<RecordingDiagnosticListener>();
  engine->SetDiagnosticListener(listener);
  engine->SetConnectionString("Data Source=" + db);
  engine->OpenConnection();
  EXPECT_EQ(TextOf(engine->GetHTML3(Variant("SELECT * FROM engParameter"),
                                    Variant("[Nope]"))),
            "??Nope??");
  ASSERT_EQ(listener->diagnostics.size(), 1u);
  EXPECT_EQ(listener->diagnostics[0].kind, DiagnosticKind::kPlaceholderFailed);
  EXPECT_EQ(listener->diagnostics[0].subject, "Nope");

  engine->SetDiagnosticListener(nullptr);
  EXPECT_FALSE(state->diagnostics_wanted());
}

TEST(clsMainRegistry, PublicClassesAreCreatableByProgId) {
  RegisterComponentClasses();
  ObjectRef engine = CreateObject("NerolinHTMLReport.clsMain");
  EXPECT_EQ(engine->TypeName(), "clsMain");
  engine->Put("ConnectionString", Variant("x"));
  EXPECT_EQ(engine->Get("ConnectionString"), Variant("x"));
  EXPECT_EQ(std::static_pointer_cast<clsMain>(engine)->state(),
            ComponentState::Process());

  ObjectRef sums = CreateObject("NerolinHTMLReport.SumFields");
  Variant total = sums->Call("Add", {Variant("Importe"), Variant("Importe")});
  EXPECT_EQ(total.AsObject()->Get("Total"), Variant("0"));
  EXPECT_EQ(CreateObject("nerolinhtmlreport.sumfield")->TypeName(), "SumField");
}

TEST(clsMainRegistry, EngineCreatedFromInsideSharesItsCreatorsState) {
  RegisterComponentClasses();
  auto state = std::make_shared<ComponentState>();
  ObjectRef nested = CreateObject("NerolinHTMLReport.clsMain", state);
  EXPECT_EQ(std::static_pointer_cast<clsMain>(nested)->state(), state);
}

}  // namespace
}  // namespace nerolin
