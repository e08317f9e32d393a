#pragma once

// What the renderer tests share: an engine over a real SQLite host
// library, the messages it shows, and a recording of the statements it runs.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "nerolin/cls_main.h"
#include "nerolin/message_sink.h"
#include "nerolin/object.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::render::testing {

// The host's data layer, passed through, keeping every statement it is
// asked to run and every recordset it hands out.
class RecordingDatalayer : public Object {
 public:
  explicit RecordingDatalayer(ObjectRef inner) : inner_(std::move(inner)) {}

  std::string_view TypeName() const override { return inner_->TypeName(); }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override {
    if (EqualsIgnoreCase(member, "GetRecordset") && !args.empty()) {
      statements.push_back(TextOf(args[0]));
    }
    Variant result = inner_->Invoke(member, kind, args);
    if (EqualsIgnoreCase(member, "GetRecordset") && result.IsObject()) {
      recordsets.push_back(
          std::dynamic_pointer_cast<ado::Recordset>(result.AsObject()));
    }
    return result;
  }

  std::vector<std::string> statements;
  std::vector<std::shared_ptr<ado::Recordset>> recordsets;

 private:
  ObjectRef inner_;
};

// The host library, passed through, with its Datalayer recorded.
class RecordingLibrary : public Object {
 public:
  explicit RecordingLibrary(std::shared_ptr<sqlite::HostDataLibrary> inner)
      : inner_(std::move(inner)),
        datalayer_(std::make_shared<RecordingDatalayer>(inner_->Datalayer())) {}

  std::string_view TypeName() const override { return inner_->TypeName(); }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override {
    if (EqualsIgnoreCase(member, "Datalayer")) return Variant(datalayer_);
    return inner_->Invoke(member, kind, args);
  }

  RecordingDatalayer& datalayer() { return *datalayer_; }

 private:
  std::shared_ptr<sqlite::HostDataLibrary> inner_;
  std::shared_ptr<RecordingDatalayer> datalayer_;
};

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_->set_message_sink(sink_);
    engine_ = clsMain::Create(state_);
  }

  // A database of data/schema.sql and `script`, assigned as the host
  // library through a recorder.
  void UseDatabase(std::string_view script,
                   std::string_view file_name = "host.db") {
    auto library = sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(
        nerolin::testing::MakeTestDatabase(dir_, script, file_name));
    library_ = std::make_shared<RecordingLibrary>(library);
    engine_->SetNerolinLib(library_);
  }

  std::string WriteTemplate(std::string_view text,
                            std::string_view name = "t.html") {
    return dir_.Write(name, text);
  }

  // The rows of `sql` as the host hands them over.
  std::shared_ptr<ado::Recordset> Rows(std::string_view sql) {
    return state_->Library().GetRecordset(sql);
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& message : sink_->messages) {
      EXPECT_EQ(message.title, "");
      EXPECT_EQ(message.icon, MessageIcon::kInformation);
      texts.push_back(message.text);
    }
    return texts;
  }

  // The statements run since the library was assigned.
  const std::vector<std::string>& Statements() {
    return library_->datalayer().statements;
  }

  nerolin::testing::TempDir dir_;
  std::shared_ptr<ComponentState> state_ = std::make_shared<ComponentState>();
  std::shared_ptr<CapturingMessageSink> sink_ =
      std::make_shared<CapturingMessageSink>();
  std::shared_ptr<clsMain> engine_;
  std::shared_ptr<RecordingLibrary> library_;
};

// The text of a result that must be a String.
inline std::string Text(const Variant& result) {
  EXPECT_TRUE(result.IsString()) << "result is not text";
  return result.IsString() ? result.AsString() : std::string();
}

}  // namespace nerolin::render::testing
