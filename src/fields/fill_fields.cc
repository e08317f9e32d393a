#include "fields/fill_fields.h"

#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fields/placeholder_value.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "platform/text_search.h"

namespace nerolin::fields {
namespace {

constexpr std::string_view kSource = "FillFields";
constexpr std::string_view kItemsInfo = "rep_documentosrelacionados_itemsinfo";
constexpr std::string_view kMissingBracket = "Missing '[' !";

// Values that bring in brackets are worked out again, so a value that
// names its own placeholder, or two that name each other, would be worked
// out for ever and may double the text each time. Past either bound such a
// value counts as a failed evaluation.
constexpr int kMaxValuesBringingBrackets = 10'000;
constexpr std::size_t kMaxGrowthFromBrackets = std::size_t{16} << 20;

// Names the related-documents table of a detail block after the row's line.
void NumberItemsInfoTables(std::string& block,
                           const std::shared_ptr<ado::Recordset>& recordset) {
  if (!ado::RecordsetHasField(recordset.get(), "LineNumber")) return;
  try {
    const std::string line = TextOf(recordset->Value(Variant("LineNumber")));
    block = Replace(block, kItemsInfo, std::string(kItemsInfo) + line);
  } catch (const std::exception&) {
    // A row without a readable line number leaves the names as written.
  }
}

// One fill of a block onto the end of a text, by the rule: the first "["
// left, the first "]" after it (a "]" before that "[" is plain text), the
// placeholder's value in place of every occurrence from there on, and
// again from the same place, where the text before it holds no "[" any
// more.
class BlockFill {
 public:
  // REQUIRES: `block` does not lie within `out`; both outlive the fill.
  BlockFill(const std::shared_ptr<ComponentState>& state,
            std::string_view block, std::string& out,
            const std::shared_ptr<ado::Recordset>& recordset,
            const tmpl::Section* section)
      : state_(state),
        block_(block),
        out_(out),
        base_(out.size()),
        recordset_(recordset),
        section_(section),
        diagnose_(state->diagnostics_wanted()) {}

  // Adds the filled block to the text. False, with the block as the rule
  // left it added, after the "Missing '[' !" stop.
  bool Run() {
    out_.append(block_);
    int values_bringing_brackets = 0;
    for (std::size_t open = out_.find('[', base_); open != std::string::npos;
         open = out_.find('[', open)) {
      const std::size_t close = out_.find(']', open);
      if (close == std::string::npos) {
        state_->ShowMessage(kMissingBracket, {}, MessageIcon::kInformation);
        return false;
      }
      // Kept in a buffer of the fill's own: the text it stood in changes.
      placeholder_.assign(out_, open, close - open + 1);
      const std::string& placeholder = placeholder_;
      std::string value = Evaluate(placeholder);
      if (value.find('[') != std::string::npos) {
        // A value that names its own placeholder, or two that name each
        // other, would be worked out for ever.
        const std::size_t count = platform::CountText(out_, placeholder, open);
        const std::size_t grown = out_.size() - base_ -
                                  placeholder.size() * count +
                                  value.size() * count;
        if (++values_bringing_brackets > kMaxValuesBringingBrackets ||
            grown > block_.size() + kMaxGrowthFromBrackets) {
          value = Failed(WithoutBrackets(placeholder),
                         "its value brings in placeholders without end");
        }
      }
      platform::ReplaceAll(out_, placeholder, value, open);
    }
    return true;
  }

 private:
  // The value of `placeholder`, "??name??" when it cannot be worked out.
  std::string Evaluate(const std::string& placeholder) {
    // The first "]" closes it, so only a "[" can stand within its name.
    std::string_view name =
        std::string_view(placeholder).substr(1, placeholder.size() - 2);
    std::string unbracketed;
    if (name.find('[') != std::string_view::npos) {
      unbracketed = WithoutBrackets(placeholder);
      name = unbracketed;
    }
    try {
      return PlaceholderValue(state_, recordset_, section_, placeholder, name);
    } catch (const std::exception&) {
      return Failed(
          name, diagnose_ ? AsAutomationError(std::current_exception(), kSource)
                                .description()
                          : std::string());
    }
  }

  std::string Failed(std::string_view name, std::string_view reason) const {
    if (diagnose_) {
      state_->Diagnose(DiagnosticKind::kPlaceholderFailed, name, reason,
                       block_);
    }
    return "??" + std::string(name) + "??";
  }

  const std::shared_ptr<ComponentState>& state_;
  const std::string_view block_;
  std::string& out_;
  const std::size_t base_;  // where the block starts in `out_`
  const std::shared_ptr<ado::Recordset>& recordset_;
  const tmpl::Section* section_;
  const bool diagnose_;
  std::string placeholder_;
};

// Fills `block` (numbered for the row) onto the end of `out`.
bool FillOnto(std::string& out, const std::shared_ptr<ComponentState>& state,
              std::string_view block,
              const std::shared_ptr<ado::Recordset>& recordset,
              const tmpl::Section* section) {
  std::string numbered;
  if (block.find(kItemsInfo) != std::string_view::npos) {
    numbered.assign(block);
    NumberItemsInfoTables(numbered, recordset);
    block = numbered;
  }
  return BlockFill(state, block, out, recordset, section).Run();
}

}  // namespace

Variant FillFields(const std::shared_ptr<ComponentState>& state,
                   std::string& block,
                   const std::shared_ptr<ado::Recordset>& recordset,
                   const tmpl::Section* section) {
  const std::string source = std::move(block);
  block.clear();
  if (!FillOnto(block, state, source, recordset, section)) return Variant();
  return Variant(block);
}

void FillFields(std::string& out, const std::shared_ptr<ComponentState>& state,
                std::string_view block,
                const std::shared_ptr<ado::Recordset>& recordset,
                const tmpl::Section* section) {
  const std::size_t base = out.size();
  try {
    if (!FillOnto(out, state, block, recordset, section)) out.resize(base);
  } catch (...) {
    out.resize(base);
    throw;
  }
}

}  // namespace nerolin::fields
