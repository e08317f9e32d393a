#include "fiscal/call_by_name.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "nerolin/automation_error.h"
#include "nerolin/message_sink.h"

namespace nerolin::fiscal {
namespace {

// Records each call; "Join" joins its arguments, "Fail" raises, any other
// member does not exist.
class Recorder : public Object {
 public:
  std::string_view TypeName() const override { return "Recorder"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override {
    if (member == "Fail") {
      throw AutomationError(errors::kInvalidUseOfNull, "Invalid use of Null",
                            "Recorder");
    }
    if (member != "Join") ThrowNoSuchMember(TypeName(), member);
    kinds.push_back(kind);
    std::string joined;
    for (Variant& arg : args) {
      joined += TextOf(arg) + "|";
      arg = Variant("changed");
    }
    return Variant(joined);
  }
  std::vector<InvokeKind> kinds;
};

class CallByNameExTest : public ::testing::Test {
 protected:
  CallByNameExTest() { state_.set_message_sink(sink_); }

  ComponentState state_;
  std::shared_ptr<CapturingMessageSink> sink_ =
      std::make_shared<CapturingMessageSink>();
  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(CallByNameExTest, PassesTheArrayInOrderWithTheCallType) {
  const Variant three(VariantArray{Variant("a"), Variant(2), Variant("c")});
  EXPECT_EQ(CallByNameEx(state_, recorder_, "Join", 1, three),
            Variant("a|2|c|"));
  // The member writes to its copy, not to the caller's array.
  EXPECT_EQ(three.AsArray()[0], Variant("a"));
  EXPECT_EQ(CallByNameEx(state_, recorder_, "Join", 2, Variant(VariantArray{})),
            Variant(""));
  EXPECT_EQ(CallByNameEx(state_, recorder_, "Join", 1), Variant(""));
  EXPECT_EQ(recorder_->kinds, (std::vector<InvokeKind>{InvokeKind::kMethod,
                                                       InvokeKind::kPropertyGet,
                                                       InvokeKind::kMethod}));
  EXPECT_TRUE(sink_->messages.empty());
}

TEST_F(CallByNameExTest, ArgumentsThatAreNoArrayCallNothing) {
  EXPECT_TRUE(
      CallByNameEx(state_, recorder_, "Join", 1, Variant("a, b")).IsEmpty());
  EXPECT_TRUE(
      CallByNameEx(state_, recorder_, "Nothing", 1, Variant(3)).IsEmpty());
  EXPECT_TRUE(recorder_->kinds.empty());
  EXPECT_TRUE(sink_->messages.empty());
}

TEST_F(CallByNameExTest, FailuresAreShownAndGiveEmpty) {
  struct Case {
    ObjectRef object;
    std::string member;
    std::int32_t call_type;
    std::string text;
  };
  const std::vector<Case> cases = {
      {recorder_, "Missing", 1, "Missing"},
      {recorder_, "Fail", 1, "Invalid use of Null"},
      {recorder_, "Join", 3, "call type 3"},
      {nullptr, "Join", 1, "Object variable or With block variable not set"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    sink_->messages.clear();
    EXPECT_TRUE(CallByNameEx(state_, c.object, c.member, c.call_type,
                             Variant(VariantArray{}))
                    .IsEmpty());
    ASSERT_EQ(sink_->messages.size(), 1u);
    EXPECT_NE(sink_->messages[0].text.find(c.text), std::string::npos)
        << sink_->messages[0].text;
    EXPECT_EQ(sink_->messages[0].title, "CallByNameEx");
    EXPECT_EQ(sink_->messages[0].icon, MessageIcon::kInformation);
  }
}

}  // namespace
}  // namespace nerolin::fiscal
