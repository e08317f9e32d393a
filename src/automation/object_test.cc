#include "nerolin/object.h"

#include <gtest/gtest.h>

#include "component/component_state.h"
#include "nerolin/automation_error.h"
#include "nerolin/collection.h"
#include "nerolin/registry.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

// A small class reachable by name: a read-write property, a method with an
// optional argument and one that assigns to its by-reference argument.
class Counter : public Object {
 public:
  std::string_view TypeName() const override { return "Counter"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override {
    static const MemberTable<Counter> table =
        MemberTable<Counter>()
            .Property(
                "Value",
                [](Counter& c, InvokeKind, Arguments&) {
                  return Variant(c.value);
                },
                [](Counter& c, InvokeKind, Arguments& a) {
                  c.value = a[0].AsLong();
                  return Variant();
                })
            .Method("Add", 1, 2,
                    [](Counter& c, InvokeKind, Arguments& a) {
                      c.value +=
                          a[0].AsLong() * (a.size() > 1 ? a[1].AsLong() : 1);
                      return Variant(c.value);
                    })
            .Method("Take", 1, 1, [](Counter& c, InvokeKind, Arguments& a) {
              a[0] = Variant(c.value);
              c.value = 0;
              return Variant();
            });
    return table.Invoke(*this, member, kind, args);
  }
  std::int32_t value = 0;
};

TEST(ObjectInvoke, FindsMembersWithoutRegardToCase) {
  Counter counter;
  counter.Put("VALUE", Variant(5));
  EXPECT_EQ(counter.Get("value"), Variant(5));
  EXPECT_EQ(counter.Call("aDd", {Variant(2), Variant(3)}), Variant(11));
  EXPECT_EQ(counter.Call("Add", {Variant(1)}), Variant(12));
}

TEST(ObjectInvoke, ByReferenceArgumentsReachTheCaller) {
  Counter counter;
  counter.value = 7;
  Arguments args{Variant()};
  counter.Invoke("Take", InvokeKind::kMethod, args);
  EXPECT_EQ(args[0], Variant(7));
  EXPECT_EQ(counter.value, 0);
}

TEST(ObjectInvoke, UnknownMembersKindsAndArgumentCountsRaise) {
  Counter counter;
  EXPECT_AUTOMATION_ERROR_MSG(counter.Call("Nope"), errors::kNoSuchMember,
                              "Counter.Nope");
  // A method cannot be assigned to.
  EXPECT_AUTOMATION_ERROR(counter.Put("Add", Variant(1)),
                          errors::kNoSuchMember);
  EXPECT_AUTOMATION_ERROR(counter.Call("Add"), errors::kWrongArgumentCount);
  EXPECT_AUTOMATION_ERROR(counter.Call("Add", {1, 2, 3}),
                          errors::kWrongArgumentCount);
  EXPECT_AUTOMATION_ERROR(counter.Get("Value", {Variant(1)}),
                          errors::kWrongArgumentCount);
  EXPECT_AUTOMATION_ERROR(counter.DefaultValue(), errors::kNoSuchMember);
}

TEST(AutomationError, CarriesStandardDescriptions) {
  AutomationError error(errors::kInvalidUseOfNull);
  EXPECT_EQ(error.description(), "Invalid use of Null");
  EXPECT_STREQ(error.what(), "Error 94: Invalid use of Null");
  EXPECT_EQ(AutomationError(errors::kBofOrEof).description(),
            "Either BOF or EOF is True, or the current record has been "
            "deleted. Requested operation requires a current record.");
  AutomationError own(-2147221381, "La cadena de conexión no fué establecida",
                      "NerolinHTMLReport");
  EXPECT_EQ(own.number(), -2147221381);
  EXPECT_EQ(own.source(), "NerolinHTMLReport");
}

TEST(Registry, CreatesRegisteredClassesByProgIdWithoutRegardToCase) {
  std::shared_ptr<ComponentState> seen;
  RegisterClass("Test.Counter",
                [&seen](const std::shared_ptr<ComponentState>& s) {
                  seen = s;
                  return std::make_shared<Counter>();
                });
  EXPECT_TRUE(IsClassRegistered("TEST.COUNTER"));
  ObjectRef plain = CreateObject("test.counter");
  EXPECT_EQ(plain->TypeName(), "Counter");
  EXPECT_EQ(seen, nullptr);

  auto state = std::make_shared<ComponentState>();
  CreateObject("Test.Counter", state);
  EXPECT_EQ(seen, state);
}

TEST(Registry, UnknownProgIdsAndEmptyFactoriesRaise429) {
  EXPECT_AUTOMATION_ERROR_MSG(CreateObject("No.SuchClass"),
                              errors::kCantCreateObject, "No.SuchClass");
  RegisterClass("Test.Nothing",
                [](const std::shared_ptr<ComponentState>&) { return nullptr; });
  EXPECT_AUTOMATION_ERROR(CreateObject("Test.Nothing"),
                          errors::kCantCreateObject);
}

TEST(Collection, KeepsInsertionOrderAndFindsKeysWithoutRegardToCase) {
  Collection items;
  items.Add(Variant("a"), "Uno");
  items.Add(Variant("b"));
  items.Add(Variant("c"), "Año");
  EXPECT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Item(2), Variant("b"));
  EXPECT_EQ(items.Item("uno"), Variant("a"));
  EXPECT_EQ(items.Item("AÑO"), Variant("c"));
  std::vector<Variant> seen(items.begin(), items.end());
  EXPECT_EQ(seen, (std::vector<Variant>{"a", "b", "c"}));
}

TEST(Collection, DuplicateKeysAndMissingItemsRaise) {
  Collection items;
  items.Add(Variant(1), "k");
  EXPECT_AUTOMATION_ERROR(items.Add(Variant(2), "K"), errors::kDuplicateKey);
  EXPECT_EQ(items.Count(), 1);
  EXPECT_AUTOMATION_ERROR(items.Item("x"), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(items.Item(0), errors::kSubscriptOutOfRange);
  EXPECT_AUTOMATION_ERROR(items.Item(2), errors::kSubscriptOutOfRange);
  EXPECT_AUTOMATION_ERROR(items.Remove("x"), errors::kInvalidArgument);
  EXPECT_EQ(items.Lookup("x"), nullptr);
}

TEST(Collection, RemoveKeepsKeysPointingAtTheirItems) {
  Collection items;
  items.Add(Variant("a"), "a");
  items.Add(Variant("b"), "b");
  items.Add(Variant("c"), "c");
  items.Remove(1);
  EXPECT_EQ(items.Item("c"), Variant("c"));
  EXPECT_EQ(items.Item(1), Variant("b"));
  items.Remove("B");
  EXPECT_EQ(items.Count(), 1);
  EXPECT_FALSE(items.Contains("b"));
  // A removed key may be used again.
  items.Add(Variant("b2"), "b");
  EXPECT_EQ(items.Item("b"), Variant("b2"));
}

}  // namespace
}  // namespace nerolin
