// Faults injected at the host-library seam: a double over the real SQLite
// library of the demo database counts every call the engine makes on the
// library and its data layer, and replaces one of them with a failure. Each
// run must end in the failure form of the method that met the fault: an
// AutomationError or a result, and a report file that is the fault-free one
// or else comes with a message or diagnostic saying what failed. A crash
// ends the test; a hang ends it through the watchdog, naming the run.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "cli/demo_build.h"
#include "component/component_state.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/object.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "support/test_support.h"

namespace nerolin::testing {
namespace {

namespace fs = std::filesystem;

enum class Fault { kRaise, kNull, kClosedRecordset, kEmptyRecordset };

const char* NameOf(Fault fault) {
  switch (fault) {
    case Fault::kRaise:
      return "raise";
    case Fault::kNull:
      return "Null";
    case Fault::kClosedRecordset:
      return "closed recordset";
    case Fault::kEmptyRecordset:
      return "empty recordset";
  }
  return "?";
}

// Counts the calls of one run and says which of them fails, and how.
class FaultPlan {
 public:
  // From now on the call numbered `at` (from 1; 0 for none) fails.
  void Arm(Fault fault, long at) {
    fault_ = fault;
    at_ = at;
    calls_ = 0;
    failed_call_.clear();
  }
  long calls() const { return calls_; }

  // Counts a call; true when it is the one that fails.
  bool Fails(std::string_view type_name, std::string_view member) {
    if (++calls_ != at_) return false;
    failed_call_ = std::string(type_name) + "." + std::string(member);
    return true;
  }
  // Whether what the failing call gave is one of the answers the library
  // contract allows for it: Null from a look-up (no row, no setting), a
  // recordset without rows from GetRecordset. The report is then whole for
  // that answer, and no message is due.
  bool FailureIsAnAnswer() const {
    const std::string_view member =
        std::string_view(failed_call_).substr(failed_call_.find('.') + 1);
    if (fault_ == Fault::kEmptyRecordset) return member == "GetRecordset";
    if (fault_ != Fault::kNull) return false;
    static constexpr std::string_view kMayAnswerNull[] = {
        "DLookup",
        "ExecuteScalar",
        "GetDefaultValue",
        "OwnedBusinessEntityID",
        "FieldExists",
        "FieldExistsInTable",
        "GetSQLForThisDBEngine",
        "FormatCurrency",
        "GetPath"};
    return std::find(std::begin(kMayAnswerNull), std::end(kMayAnswerNull),
                     member) != std::end(kMayAnswerNull);
  }
  // The member that failed ("" when none did).
  const std::string& failed_call() const { return failed_call_; }

  // What the failing call gives instead of its real result.
  Variant Failure() const {
    if (fault_ == Fault::kRaise) {
      throw AutomationError(sqlite::kErrorsInCommand,
                            "Injected fault in " + failed_call_ + ", call " +
                                std::to_string(calls_),
                            std::string(sqlite::kSource));
    }
    if (fault_ == Fault::kNull) return Variant::Null();
    auto rows = ado::Recordset::Create({});
    if (fault_ == Fault::kClosedRecordset) rows->Close();
    return Variant(std::move(rows));
  }

 private:
  Fault fault_ = Fault::kRaise;
  long at_ = 0;
  long calls_ = 0;
  std::string failed_call_;
};

// The real library or data layer, reached by name through the plan. The
// library's Datalayer comes back wrapped as well, so that calls on the data
// layer count and fail like the library's own.
class FaultyObject : public Object {
 public:
  FaultyObject(ObjectRef real, ObjectRef real_layer,
               std::shared_ptr<FaultPlan> plan)
      : real_(std::move(real)),
        real_layer_(std::move(real_layer)),
        plan_(std::move(plan)) {}

  std::string_view TypeName() const override { return real_->TypeName(); }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override {
    if (plan_->Fails(TypeName(), member)) return plan_->Failure();
    Variant result = real_->Invoke(member, kind, args);
    if (real_layer_ && result.IsObject() && result.AsObject() == real_layer_) {
      if (!layer_) {
        layer_ = std::make_shared<FaultyObject>(real_layer_, nullptr, plan_);
      }
      return Variant(layer_);
    }
    return result;
  }
  Variant DefaultValue() override { return real_->DefaultValue(); }

 private:
  ObjectRef real_;
  ObjectRef real_layer_;
  std::shared_ptr<FaultPlan> plan_;
  std::shared_ptr<FaultyObject> layer_;
};

// Ends the process when one run outlasts its limit: a hung engine would
// otherwise hold the suite until it is killed, naming no run.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  void Arm(std::string run) {
    std::lock_guard lock(mutex_);
    run_ = std::move(run);
    deadline_ = std::chrono::steady_clock::now() + kRunLimit;
  }
  void Disarm() {
    std::lock_guard lock(mutex_);
    run_.clear();
  }

 private:
  // Far above a run's few milliseconds, and above a sanitizer build's too.
  static constexpr std::chrono::seconds kRunLimit{30};

  void Watch() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (!run_.empty() && std::chrono::steady_clock::now() >= deadline_) {
        std::fprintf(stderr, "HANG: %s ran longer than %lld s\n", run_.c_str(),
                     static_cast<long long>(kRunLimit.count()));
        std::_Exit(1);
      }
      wake_.wait_for(lock, std::chrono::milliseconds(200));
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::string run_;
  std::chrono::steady_clock::time_point deadline_;
  bool stop_ = false;
  std::thread thread_;
};

std::size_t FirstDifference(std::string_view a, std::string_view b) {
  return std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
         a.begin();
}

enum class Method { kGenerateReportBasedOnRecordset, kGetHTML };

struct Document {
  std::string name;
  std::string sql;
  std::string template_path;
};

struct Outcome {
  long calls = 0;
  std::optional<std::string> report;  // the file's content, when it exists
  std::string escaped;  // what other than an AutomationError left the method
  bool told = false;    // a message or diagnostic was given
};

class HostLibraryFault : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(cli::BuildAndRenderDemo(dir_->path().string(), out, err), 0)
        << err.str();
    real_ = sqlite::HostDataLibrary::Create();
    real_->Datalayer()->CreateConnection(dir_->File("demo.db"));
    plan_ = std::make_shared<FaultPlan>();
    library_ = std::make_shared<FaultyObject>(real_, real_->Datalayer(), plan_);
    for (auto rows = real_->Datalayer()->GetRecordset(
             "SELECT Name, SQL FROM demoReport ORDER BY Position");
         !rows->Eof(); rows->MoveNext()) {
      Document document{
          TextOf(rows->Value("Name")), TextOf(rows->Value("SQL")), {}};
      const std::string module = TextOf(
          real_->Datalayer()->GetRecordset(document.sql)->Value("ModuleID"));
      document.template_path =
          TextOf(real_->DLookup("FileName", "engModulePrintFormat",
                                "FormatIsDefault<>0 AND ModuleID=" + module));
      documents_.push_back(std::move(document));
    }
    ASSERT_EQ(documents_.size(), 3u);
  }
  static void TearDownTestSuite() {
    documents_.clear();
    library_.reset();
    plan_.reset();
    real_.reset();
    delete dir_;
  }

  static Outcome Run(Method method, const Document& document, Fault fault,
                     long at) {
    plan_->Arm(fault, at);
    auto state = std::make_shared<ComponentState>();
    auto sink = std::make_shared<CapturingMessageSink>();
    auto listener = std::make_shared<RecordingDiagnosticListener>();
    state->set_message_sink(sink);
    state->set_diagnostic_listener(listener);
    auto engine = clsMain::Create(state);
    engine->SetNerolinLib(library_);
    engine->SetFindMatchIfFieldDoesntExists(true);
    const std::string report = dir_->File("report.html");
    fs::remove(report);

    Outcome outcome;
    try {
      if (method == Method::kGenerateReportBasedOnRecordset) {
        // The host's own rows, read before the engine is called.
        auto rows = real_->Datalayer()->GetRecordset(document.sql);
        std::string source = document.template_path;
        std::string destination = report;
        engine->GenerateReportBasedOnRecordset(rows, source, destination);
      } else {
        engine->GetHTML(Variant(document.sql), Variant(document.template_path),
                        Variant(report));
      }
    } catch (const AutomationError&) {
    } catch (const std::exception& error) {
      outcome.escaped = std::string(typeid(error).name()) + ": " + error.what();
    } catch (...) {
      outcome.escaped = "an exception of unknown type";
    }
    outcome.calls = plan_->calls();
    if (fs::exists(report)) outcome.report = ReadFile(report);
    outcome.told = !sink->messages.empty() || !listener->diagnostics.empty();
    return outcome;
  }

  // Runs `document` with the call numbered `at` failing and says what went
  // wrong, or "" when it ended in a failure form.
  std::string Check(Method method, const Document& document, Fault fault,
                    long at, const Outcome& fault_free) {
    const std::string run =
        std::string(method == Method::kGetHTML ? "GetHTML" : "Generate") + " " +
        document.name + ", " + NameOf(fault) + " at call " + std::to_string(at);
    watchdog_.Arm(run);
    const Outcome outcome = Run(method, document, fault, at);
    watchdog_.Disarm();
    const std::string where = run + " (" + plan_->failed_call() + ")";
    if (!outcome.escaped.empty()) return where + ": " + outcome.escaped;
    // A report lost or unlike the fault-free one must come with a word on
    // why.
    if (outcome.report != fault_free.report && !outcome.told &&
        !plan_->FailureIsAnAnswer()) {
      if (!outcome.report) return where + ": no report file, and no message";
      return where + ": a report unlike the fault-free one from byte " +
             std::to_string(FirstDifference(*outcome.report,
                                            fault_free.report.value_or(""))) +
             ", and no message";
    }
    return {};
  }

  // Every failed run, one a line (the first few of them).
  static std::string Listed(const std::vector<std::string>& failures) {
    std::string text;
    for (std::size_t i = 0; i < failures.size() && i < 20; ++i) {
      text += failures[i] + "\n";
    }
    return text;
  }

  static TempDir* dir_;
  static std::shared_ptr<sqlite::HostDataLibrary> real_;
  static std::shared_ptr<FaultPlan> plan_;
  static std::shared_ptr<FaultyObject> library_;
  static std::vector<Document> documents_;
  Watchdog watchdog_;
};

TempDir* HostLibraryFault::dir_ = nullptr;
std::shared_ptr<sqlite::HostDataLibrary> HostLibraryFault::real_;
std::shared_ptr<FaultPlan> HostLibraryFault::plan_;
std::shared_ptr<FaultyObject> HostLibraryFault::library_;
std::vector<Document> HostLibraryFault::documents_;

TEST_F(HostLibraryFault, EveryCallOfTheInvoiceRaising) {
  const Document& invoice = documents_[0];
  for (Method method :
       {Method::kGenerateReportBasedOnRecordset, Method::kGetHTML}) {
    const Outcome fault_free = Run(method, invoice, Fault::kRaise, 0);
    ASSERT_TRUE(fault_free.report.has_value());
    ASSERT_GT(fault_free.calls, 100);
    std::vector<std::string> failures;
    for (long at = 1; at <= fault_free.calls; ++at) {
      std::string failure =
          Check(method, invoice, Fault::kRaise, at, fault_free);
      if (!failure.empty()) failures.push_back(std::move(failure));
    }
    EXPECT_TRUE(failures.empty())
        << failures.size() << " of " << fault_free.calls << " runs failed:\n"
        << Listed(failures);
  }
}

TEST_F(HostLibraryFault, EverySeventhCallOfEachDocumentGivingAnOddResult) {
  constexpr long kStride = 7;
  for (const Document& document : documents_) {
    for (Method method :
         {Method::kGenerateReportBasedOnRecordset, Method::kGetHTML}) {
      const Outcome fault_free = Run(method, document, Fault::kRaise, 0);
      std::vector<std::string> failures;
      // Each variant starts one call further on, so that together they
      // reach three calls in every seven.
      long first = 1;
      for (Fault fault :
           {Fault::kNull, Fault::kClosedRecordset, Fault::kEmptyRecordset}) {
        for (long at = first++; at <= fault_free.calls; at += kStride) {
          std::string failure = Check(method, document, fault, at, fault_free);
          if (!failure.empty()) failures.push_back(std::move(failure));
        }
      }
      EXPECT_TRUE(failures.empty())
          << document.name << ": " << failures.size() << " runs failed:\n"
          << Listed(failures);
    }
  }
}

}  // namespace
}  // namespace nerolin::testing
