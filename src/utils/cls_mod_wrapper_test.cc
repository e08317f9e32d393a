#include "nerolin/cls_mod_wrapper.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "component/component_state.h"
#include "nerolin/cls_main.h"
#include "nerolin/message_sink.h"
#include "nerolin/registry.h"
#include "nerolin/sqlite_library.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

// Document 7 is related to three documents, one of them without a folio;
// document 8 to one whose folio is empty text.
constexpr std::string_view kRelations = R"sql(
INSERT INTO docRel (ID, LineNumber, CFDIFolioFiscal, Folio) VALUES
  (7, 1, 'A', '1'), (7, 2, NULL, '2'), (7, 3, 'B', '3'), (8, 1, '', '4');
)sql";

class ConcatRelatedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto library = sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(
        testing::MakeTestDatabase(dir_, kRelations));
    state_->set_host_library(library);
    state_->set_message_sink(sink_);
  }

  testing::TempDir dir_;
  std::shared_ptr<ComponentState> state_ = std::make_shared<ComponentState>();
  std::shared_ptr<CapturingMessageSink> sink_ =
      std::make_shared<CapturingMessageSink>();
  std::shared_ptr<clsModWrapper> wrapper_ = clsModWrapper::Create(state_);
};

TEST_F(ConcatRelatedTest, JoinsTheFirstColumnSkippingNulls) {
  struct Case {
    std::string field, where, order_by;
    Variant separator;
    Variant expected;
  };
  const std::vector<Case> cases = {
      {"CFDIFolioFiscal", "ID = 7", "LineNumber", Variant(", "),
       Variant("A, B")},
      {"Folio, CFDIFolioFiscal", "ID = 7", "", Variant("; "),
       Variant("1; 2; 3")},
      // ORDER BY without WHERE.
      {"Folio", "", "Folio DESC", Variant(", "), Variant("4, 3, 2, 1")},
      {"LineNumber", "ID = 7", "", Variant(0), Variant("10203")},
      // No rows, only Nulls, one empty text: nothing longer than the
      // separator was joined.
      {"Folio", "ID = 99", "", Variant(", "), Variant::Null()},
      {"CFDIFolioFiscal", "ID = 7 AND LineNumber = 2", "", Variant(", "),
       Variant::Null()},
      {"CFDIFolioFiscal", "ID = 8", "", Variant(", "), Variant::Null()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field + " WHERE " + c.where + " ORDER BY " + c.order_by);
    EXPECT_EQ(wrapper_->ConcatRelated(c.field, "docRel", c.where, c.order_by,
                                      c.separator),
              c.expected);
  }
  EXPECT_TRUE(sink_->messages.empty());
}

TEST_F(ConcatRelatedTest, FailuresAreShownAndGiveNull) {
  EXPECT_TRUE(wrapper_->ConcatRelated("Folio", "NoSuchTable").IsNull());
  state_->set_host_library(nullptr);
  EXPECT_TRUE(wrapper_->ConcatRelated("Folio", "docRel").IsNull());
  ASSERT_EQ(sink_->messages.size(), 2u);
  EXPECT_EQ(sink_->messages[0].text.rfind(
                "Error " + std::to_string(sqlite::kErrorsInCommand) + ": ", 0),
            0u)
      << sink_->messages[0].text;
  EXPECT_NE(sink_->messages[0].text.find("SELECT Folio FROM NoSuchTable"),
            std::string::npos);
  EXPECT_EQ(sink_->messages[1].text.rfind("Error 91: ", 0), 0u);
  for (const auto& message : sink_->messages) {
    EXPECT_EQ(message.title, "ConcatRelated()");
    EXPECT_EQ(message.icon, MessageIcon::kExclamation);
  }
}

// A host library that fails in a way SQLite's cannot: with an exception
// that is no AutomationError.
class FailingLibrary : public Object {
 public:
  std::string_view TypeName() const override { return "FailingLibrary"; }
  Variant Invoke(std::string_view, InvokeKind, Arguments&) override {
    throw std::runtime_error("the host's disk is gone");
  }
};

TEST_F(ConcatRelatedTest, ForeignFailuresAreShownAsInternalErrors) {
  state_->set_host_library(std::make_shared<FailingLibrary>());
  EXPECT_TRUE(wrapper_->ConcatRelated("Folio", "docRel").IsNull());
  ASSERT_EQ(sink_->messages.size(), 1u);
  EXPECT_EQ(sink_->messages[0].text, "Error 51: the host's disk is gone");
}

TEST_F(ConcatRelatedTest, IsReachableByName) {
  RegisterComponentClasses();
  const ObjectRef object = CreateObject(kModWrapperProgId, state_);
  EXPECT_EQ(object->TypeName(), "clsModWrapper");
  EXPECT_EQ(
      object->Call("concatrelated", {Variant("CFDIFolioFiscal"),
                                     Variant("docRel"), Variant("ID = 7")}),
      Variant("A, B"));
  EXPECT_EQ(object->Call("ConcatRelated",
                         {Variant("Folio"), Variant("docRel"),
                          Variant("ID = 7"), Variant(""), Variant("-")}),
            Variant("1-2-3"));
  EXPECT_AUTOMATION_ERROR(object->Call("ConcatRelated", {Variant("Folio")}),
                          errors::kWrongArgumentCount);
  EXPECT_AUTOMATION_ERROR(object->Call("Concat", {}), errors::kNoSuchMember);
}

}  // namespace
}  // namespace nerolin
