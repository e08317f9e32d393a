#include "nerolin/sum_fields.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "nerolin/variant.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

TEST(SumField, TotalIsStoredAsText) {
  struct Case {
    const char* label;
    Variant value;
    const char* stored;
  };
  const Case cases[] = {
      {"null restarts at zero", Variant::Null(), "0"},
      {"long", Variant(std::int32_t{12}), "12"},
      {"double", Variant(2.5), "2.5"},
      {"negative", Variant(std::int32_t{-3}), "-3"},
      {"empty", Variant(), ""},
      {"text", Variant("abc"), "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SumField total;
    total.SetTotal(c.value);
    EXPECT_EQ(total.Total(), Variant(c.stored));
    total.Put("Total", c.value);
    EXPECT_EQ(total.Get("total"), Variant(c.stored));
  }
}

TEST(SumField, KeyAndNameByName) {
  SumField total;
  total.Put("Key", Variant("k"));
  total.Put("NAME", Variant("Importe"));
  EXPECT_EQ(total.Get("key"), Variant("k"));
  EXPECT_EQ(total.Get("Name"), Variant("Importe"));
  EXPECT_EQ(total.Key(), "k");
  EXPECT_EQ(total.Name(), "Importe");
  EXPECT_AUTOMATION_ERROR(total.Put("Name", Variant::Null()),
                          errors::kInvalidUseOfNull);
  EXPECT_AUTOMATION_ERROR(total.Get("Value"), errors::kNoSuchMember);
}

TEST(SumFields, AddStartsTotalsAtZeroInOrder) {
  SumFields sums;
  std::shared_ptr<SumField> first = sums.Add("A", "A");
  std::shared_ptr<SumField> second = sums.Add("B");  // no collection key
  EXPECT_EQ(first->Key(), "A");
  EXPECT_EQ(first->Total(), Variant("0"));
  EXPECT_EQ(second->Key(), "B");
  EXPECT_EQ(sums.Count(), 2);
  EXPECT_EQ(sums.Item(1), first);
  EXPECT_EQ(sums.Item(2), second);
  EXPECT_EQ(sums.Item("a"), first);
  EXPECT_EQ(sums.Item("B"), nullptr);
}

TEST(SumFields, MissingItemsAreNullNeverErrors) {
  SumFields sums;
  sums.Add("A", "A");
  EXPECT_EQ(sums.Item("Z"), nullptr);
  EXPECT_EQ(sums.Item(0), nullptr);
  EXPECT_EQ(sums.Item(2), nullptr);
  EXPECT_EQ(sums.ItemByVariant(Variant::Null()), nullptr);
  EXPECT_EQ(sums.ItemByVariant(Variant(1e20)), nullptr);
  EXPECT_NE(sums.ItemByVariant(Variant(1.0)), nullptr);
}

TEST(SumFields, DuplicateKeyFails) {
  SumFields sums;
  sums.Add("A", "Importe");
  EXPECT_AUTOMATION_ERROR_MSG(sums.Add("B", "IMPORTE"), errors::kDuplicateKey,
                              "IMPORTE");
  EXPECT_EQ(sums.Count(), 1);
}

TEST(SumFields, RemoveByKeyOrPositionAndMissingFails) {
  SumFields sums;
  sums.Add("A", "A");
  sums.Add("B", "B");
  sums.Add("C", "C");
  sums.Remove("b");
  EXPECT_EQ(sums.Item(2)->Key(), "C");
  sums.RemoveByVariant(Variant(std::int32_t{1}));
  EXPECT_EQ(sums.Item("C"), sums.Item(1));
  EXPECT_AUTOMATION_ERROR_MSG(sums.Remove("A"), errors::kInvalidArgument,
                              "\"A\"");
  EXPECT_AUTOMATION_ERROR(sums.Remove(2), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(sums.RemoveByVariant(Variant::Null()),
                          errors::kInvalidArgument);
  EXPECT_EQ(sums.Count(), 1);
}

TEST(SumFields, ReachableByName) {
  SumFields sums;
  Variant added = sums.Call("Add", {Variant("Importe"), Variant("Importe")});
  ASSERT_TRUE(added.IsObject());
  EXPECT_EQ(added.AsObject()->TypeName(), "SumField");
  EXPECT_EQ(added.AsObject()->Get("Total"), Variant("0"));
  sums.Call("add", {Variant("Unkeyed")});
  EXPECT_EQ(sums.Get("Count"), Variant(std::int32_t{2}));

  EXPECT_EQ(sums.Call("Item", {Variant("importe")}).AsObject(),
            added.AsObject());
  Variant missing = sums.Get("Item", {Variant("Otro")});
  ASSERT_TRUE(missing.IsObject());
  EXPECT_EQ(missing.AsObject(), nullptr);

  Variant items = sums.Call("NewEnum");
  ASSERT_TRUE(items.IsArray());
  ASSERT_EQ(items.AsArray().size(), 2u);
  EXPECT_EQ(items.AsArray()[0].AsObject(), added.AsObject());

  sums.Call("Remove", {Variant(std::int32_t{2})});
  EXPECT_AUTOMATION_ERROR(sums.Call("Remove", {Variant("Otro")}),
                          errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(sums.Call("Add"), errors::kWrongArgumentCount);
  EXPECT_AUTOMATION_ERROR(sums.DefaultValue(), errors::kWrongArgumentCount);
  EXPECT_EQ(sums.TypeName(), "SumFields");
}

}  // namespace
}  // namespace nerolin
