#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "component/component_state.h"
#include "fiscal/resolve_addenda.h"
#include "nerolin/message_sink.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "support/test_database.h"
#include "support/test_support.h"
#include "template/sections.h"

namespace nerolin::fiscal {

// A host database built from the schema and the test's rows, searched with
// FindMatchIfFieldDoesntExists on, and the messages shown meanwhile.
class FiscalTest : public ::testing::Test {
 protected:
  FiscalTest() {
    detail_.SetName("DETAIL");
    state_->set_message_sink(sink_);
  }

  void Connect(std::string_view rows, std::string_view name = "host.db") {
    auto library = sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(
        testing::MakeTestDatabase(dir_, rows, name));
    state_->set_host_library(library);
    state_->set_find_match_if_field_doesnt_exists(true);
  }

  // A one-row recordset.
  static std::shared_ptr<ado::Recordset> Row(std::vector<std::string> names,
                                             std::vector<Variant> values) {
    std::vector<ado::Column> columns;
    for (auto& name : names) columns.push_back({std::move(name)});
    return ado::Recordset::Create(ado::RowSet(std::move(columns), {values}));
  }
  // The header row of document `id`, and a detail row of its line.
  static std::shared_ptr<ado::Recordset> Document(int id) {
    return Row({"ID"}, {Variant(id)});
  }
  static std::shared_ptr<ado::Recordset> Line(int id, int item_id) {
    return Row({"ID", "DocumentItemID"}, {Variant(id), Variant(item_id)});
  }

  std::string Header(std::string_view name,
                     const std::shared_ptr<ado::Recordset>& row) {
    return ResolveAddenda(*state_, name, row, nullptr);
  }
  std::string Detail(std::string_view name,
                     const std::shared_ptr<ado::Recordset>& row) {
    return ResolveAddenda(*state_, name, row, &detail_);
  }

  testing::TempDir dir_;
  std::shared_ptr<ComponentState> state_ = std::make_shared<ComponentState>();
  std::shared_ptr<CapturingMessageSink> sink_ =
      std::make_shared<CapturingMessageSink>();
  tmpl::Section detail_;
};

}  // namespace nerolin::fiscal
