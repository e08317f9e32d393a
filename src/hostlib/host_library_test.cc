#include "hostlib/host_library.h"

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "nerolin/automation_error.h"
#include "support/test_support.h"

namespace nerolin::hostlib {
namespace {

// A library double that records each call and answers from a script: the
// seam where a host's own library object plugs in.
class FakeLibrary : public Object {
 public:
  struct Call {
    std::string object;  // "lib" or "dl"
    std::string member;
    Arguments args;
  };

  class Layer : public Object {
   public:
    explicit Layer(FakeLibrary* owner) : owner_(owner) {}
    std::string_view TypeName() const override { return "Datalayer"; }
    Variant Invoke(std::string_view member, InvokeKind,
                   Arguments& args) override {
      return owner_->Answer("dl", member, args);
    }

   private:
    FakeLibrary* owner_;
  };

  std::string_view TypeName() const override { return "clsMain"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override {
    if (member == "Datalayer" && kind == InvokeKind::kPropertyGet) {
      ++datalayer_reads;
      return Variant(std::make_shared<Layer>(this));
    }
    return Answer("lib", member, args);
  }

  Variant Answer(std::string object, std::string_view member, Arguments& args) {
    calls.push_back({std::move(object), std::string(member), args});
    if (member == "CreateConnection" || member == "ExecuteScalar" ||
        member == "GetSQLForThisDBEngine") {
      args[0] = Variant("changed");
    }
    if (member == "DownloadURLImage") args[2] = Variant("/tmp/picture.png");
    if (member == "Dispose") args[0] = Variant(ObjectRef());
    return answer;
  }

  Variant answer;
  int datalayer_reads = 0;
  std::vector<Call> calls;
};

TEST(HostLibrary, CallsMembersByNameWithArgumentsInOrder) {
  auto fake = std::make_shared<FakeLibrary>();
  HostLibrary library(fake);
  fake->answer = Variant("x");
  library.DLookup("Nombre", "orgCustomer", "ID=1");
  library.DatalayerDLookup("Valor", "vwCFDAddendas", "ID=2");
  library.GetDefaultValueText("ProductID", "docDocumentItem",
                              "DocumentItemID=3");
  library.FormatCurrency(12.5, Variant(1));
  ASSERT_EQ(fake->calls.size(), 4u);
  EXPECT_EQ(fake->calls[0].object, "lib");
  EXPECT_EQ(fake->calls[0].args, (Arguments{"Nombre", "orgCustomer", "ID=1"}));
  EXPECT_EQ(fake->calls[1].object, "dl");
  EXPECT_EQ(fake->calls[1].member, "DLookup");
  EXPECT_EQ(fake->calls[2].member, "GetDefaultValue");
  EXPECT_EQ(fake->calls[2].args.size(), 3u);
  EXPECT_EQ(fake->calls[3].args, (Arguments{Variant(12.5), Variant(1)}));
}

TEST(HostLibrary, ReadsDatalayerAnewBeforeEachCall) {
  auto fake = std::make_shared<FakeLibrary>();
  HostLibrary library(fake);
  library.DatalayerDLookup("a", "b", "c");
  library.DatalayerDLookup("a", "b", "c");
  library.DLookup("a", "b", "c");
  EXPECT_EQ(fake->datalayer_reads, 2);
}

TEST(HostLibrary, ByReferenceArgumentsComeBack) {
  auto fake = std::make_shared<FakeLibrary>();
  HostLibrary library(fake);
  std::string connection = "Data Source=x.db";
  library.CreateConnection(connection);
  EXPECT_EQ(connection, "changed");
  std::string sql = "SELECT 1";
  library.ExecuteScalar(sql);
  EXPECT_EQ(sql, "changed");
  std::string url = "http://x/y.png", local;
  fake->answer = Variant("");
  EXPECT_EQ(library.DownloadURLImage(url, "/opt/nerolin", local), "");
  EXPECT_EQ(local, "/tmp/picture.png");
  Variant recordset(Variant("something"));
  library.Dispose(recordset);
  EXPECT_TRUE(recordset.IsObject());
}

TEST(HostLibrary, NullAnswersStayDistinguishable) {
  auto fake = std::make_shared<FakeLibrary>();
  HostLibrary library(fake);
  Variant rs;
  fake->answer = Variant::Null();
  EXPECT_EQ(library.FieldExists("ID", rs), std::nullopt);
  EXPECT_EQ(library.FieldExistsInTable("ID", "docDocument"), std::nullopt);
  EXPECT_EQ(library.GetPath("/a/b.html"), "");
  fake->answer = Variant(true);
  EXPECT_EQ(library.FieldExists("ID", rs), true);
  fake->answer = Variant(std::int16_t{0});
  EXPECT_EQ(library.FieldExistsInTable("ID", "docDocument"), false);
}

TEST(HostLibrary, ConvertsLookUpValuesToIntegers) {
  auto fake = std::make_shared<FakeLibrary>();
  HostLibrary library(fake);
  fake->answer = Variant(2.5);
  EXPECT_EQ(library.DLookUpValueLong("ModuleID", "docDocument", "DocumentID=1"),
            2);
  fake->answer = Variant(70000);
  EXPECT_AUTOMATION_ERROR(
      library.DLookUpValueInteger("PrintFormatID", "engModulePrintFormat", ""),
      errors::kOverflow);
  fake->answer = Variant::Null();
  EXPECT_AUTOMATION_ERROR(library.DLookUpValueLong("a", "b", "c"),
                          errors::kInvalidUseOfNull);
}

TEST(HostLibrary, RaisesWithoutALibraryOrARecordset) {
  HostLibrary none(nullptr);
  EXPECT_FALSE(none.HasLibrary());
  EXPECT_AUTOMATION_ERROR(none.DLookup("a", "b", "c"), errors::kObjectNotSet);
  EXPECT_AUTOMATION_ERROR(none.GetRecordset("SELECT 1"), errors::kObjectNotSet);

  auto fake = std::make_shared<FakeLibrary>();
  HostLibrary library(fake);
  fake->answer = Variant("not a recordset");
  EXPECT_AUTOMATION_ERROR_MSG(library.GetRecordset("SELECT 2"),
                              errors::kTypeMismatch, "SELECT 2");
}

TEST(HostLibrary, PassesTheTwoFlagsOnlyWhenAsked) {
  auto fake = std::make_shared<FakeLibrary>();
  HostLibrary library(fake);
  fake->answer = Variant(ado::Recordset::Create({}));
  library.GetRecordset("SELECT 1");
  library.GetRecordset("SELECT 2", true);
  EXPECT_EQ(fake->calls[0].args.size(), 1u);
  EXPECT_EQ(fake->calls[1].args, (Arguments{"SELECT 2", true, true}));
}

// A library that, asked for a value, asks its caller's library for
// another one first, as a host's library may call back into the engine.
class CallingBackLibrary : public Object {
 public:
  std::string_view TypeName() const override { return "clsMain"; }
  Variant Invoke(std::string_view member, InvokeKind,
                 Arguments& args) override {
    if (member == "FieldExists") {
      kept_by_call = args[1];
      return Variant(true);
    }
    if (member != "DLookup") return Variant();
    const std::string criteria = TextOf(args[2]);
    if (criteria == "outer") {
      inner_answer = HostLibrary(self.lock()).DLookup("e", "d", "inner");
    }
    seen.push_back(TextOf(args[0]) + "|" + TextOf(args[1]) + "|" +
                   TextOf(args[2]));
    // What a library leaves in its arguments stays with the call.
    args[0] = Variant("changed by the library");
    return Variant(criteria + " answer");
  }

  std::weak_ptr<Object> self;
  Variant inner_answer;
  Variant kept_by_call;
  std::vector<std::string> seen;
};

TEST(HostLibrary, CallsBackIntoTheEngineKeepTheirOwnArguments) {
  auto fake = std::make_shared<CallingBackLibrary>();
  fake->self = fake;
  HostLibrary library(fake);
  EXPECT_EQ(library.DLookup("Valor", "engParameter", "outer"),
            Variant("outer answer"));
  EXPECT_EQ(fake->inner_answer, Variant("inner answer"));
  EXPECT_EQ(fake->seen, (std::vector<std::string>{"e|d|inner",
                                                  "Valor|engParameter|outer"}));
  // The next call sees its own texts, not what the last one left.
  fake->seen.clear();
  library.DLookup("ParameterValue", "engParameter",
                  "ParameterName='DocSalesUnitPriceDecimals'");
  EXPECT_EQ(fake->seen, (std::vector<std::string>{
                            "ParameterValue|engParameter|"
                            "ParameterName='DocSalesUnitPriceDecimals'"}));
}

TEST(HostLibrary, ARecordsetPassedToTheLibraryIsNotHeldAfterTheCall) {
  auto fake = std::make_shared<CallingBackLibrary>();
  HostLibrary library(fake);
  auto recordset = ado::Recordset::Create({});
  const long before = recordset.use_count();
  EXPECT_EQ(library.FieldExists("ID", recordset), true);
  // The library's own copy aside, no argument list holds it any more.
  fake->kept_by_call = Variant();
  EXPECT_EQ(recordset.use_count(), before);
}

}  // namespace
}  // namespace nerolin::hostlib
