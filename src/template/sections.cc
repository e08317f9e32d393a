#include "template/sections.h"

#include <utility>

#include "template/keyed_items.h"

namespace nerolin::tmpl {

namespace {

constexpr std::string_view kCollectionName = "Sections";

}  // namespace

const std::shared_ptr<nerolin::SumFields>& Section::SumFields() const {
  if (!sum_fields_) sum_fields_ = std::make_shared<nerolin::SumFields>();
  return sum_fields_;
}

std::shared_ptr<Section> Sections::Add(std::string key,
                                       std::string_view s_key) {
  auto section = std::make_shared<Section>();
  section->SetKey(std::move(key));
  AddItem(items_, section, s_key, kCollectionName);
  return section;
}

std::shared_ptr<Section> Sections::Item(std::string_view key) const {
  return ItemByKey(items_, key);
}

std::shared_ptr<Section> Sections::Item(std::int32_t position) const {
  return ItemAt(items_, position);
}

void Sections::Remove(std::string_view key) {
  RemoveByKey(items_, key, kCollectionName);
}

void Sections::Remove(std::int32_t position) {
  RemoveAt(items_, position, kCollectionName);
}

}  // namespace nerolin::tmpl
