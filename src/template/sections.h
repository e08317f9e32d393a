#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/collection.h"
#include "nerolin/sum_fields.h"

namespace nerolin::tmpl {

// GroupType values of a section.
inline constexpr std::int32_t kReportSection = 1;
inline constexpr std::int32_t kGroupSection = 2;
inline constexpr std::int32_t kDetailSection = 3;

// One part of a split template: the report section (text before and after
// all blocks), a group section (its header and footer texts) or the detail
// section (the text repeated for every row).
class Section {
 public:
  const std::string& Key() const { return key_; }
  void SetKey(std::string key) { key_ = std::move(key); }

  // "Report", "DETAIL" or the group's name.
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // kReportSection, kGroupSection or kDetailSection.
  std::int32_t GroupType() const { return group_type_; }
  void SetGroupType(std::int32_t group_type) { group_type_ = group_type; }

  // Report header, group header or detail text.
  const std::string& TextHeader() const { return text_header_; }
  void SetTextHeader(std::string text) { text_header_ = std::move(text); }

  // Report footer or group footer text; empty for the detail section.
  const std::string& TextFooter() const { return text_footer_; }
  void SetTextFooter(std::string text) { text_footer_ = std::move(text); }

  // The group's field text as written in its tag ("[Cliente]"); empty for
  // the report and detail sections.
  const std::string& FieldGroup() const { return field_group_; }
  void SetFieldGroup(std::string field) { field_group_ = std::move(field); }

  // The group's column value at its last emitted header; kept by the
  // renderers that track group instances.
  const std::string& LastData() const { return last_data_; }
  void SetLastData(std::string data) { last_data_ = std::move(data); }

  // The group's running totals. An empty collection is made on the first
  // read, so the result is never null.
  const std::shared_ptr<nerolin::SumFields>& SumFields() const;

 private:
  std::string key_;
  std::string name_;
  std::int32_t group_type_ = 0;
  std::string text_header_;
  std::string text_footer_;
  std::string field_group_;
  std::string last_data_;
  // Made on first read, which may come through a const Section.
  mutable std::shared_ptr<nerolin::SumFields> sum_fields_;
};

// The sections of one template, in insertion order, optionally under text
// keys compared without regard to case; positions count from 1.
class Sections {
 public:
  // A new section with `key` as its Key, appended under the collection key
  // `s_key` when that is not empty, otherwise without a key. Raises 457
  // when `s_key` is already in use.
  std::shared_ptr<Section> Add(std::string key, std::string_view s_key = {});

  // The section under `key` or at `position` (from 1); null when there is
  // none. Never raises.
  std::shared_ptr<Section> Item(std::string_view key) const;
  std::shared_ptr<Section> Item(std::int32_t position) const;

  std::int32_t Count() const { return items_.Count(); }

  // Removes the section under `key` or at `position`. Raises 5 when there
  // is none.
  void Remove(std::string_view key);
  void Remove(std::int32_t position);

  // The sections in insertion order, for range-for.
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  KeyedCollection<std::shared_ptr<Section>> items_;
};

}  // namespace nerolin::tmpl
