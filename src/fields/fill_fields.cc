#include "fields/fill_fields.h"

#include <cstddef>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

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

// Works out the placeholders of one block for the current row; a
// placeholder that cannot be worked out gives "??name??".
class RowValues {
 public:
  RowValues(const std::shared_ptr<ComponentState>& state,
            std::string_view block,
            const std::shared_ptr<ado::Recordset>& recordset,
            const tmpl::Section* section)
      : state_(state),
        block_(block),
        recordset_(recordset),
        section_(section),
        diagnose_(state->diagnostics_wanted()) {}

  // Adds the value of `placeholder`, of the form `form`, to `out`.
  void Append(std::string& out, std::string_view placeholder,
              const PlaceholderForm& form) {
    // The first "]" closes it, so only a "[" can stand within its name.
    std::string_view name = placeholder.substr(1, placeholder.size() - 2);
    std::string unbracketed;
    if (name.find('[') != std::string_view::npos) {
      unbracketed = WithoutBrackets(placeholder);
      name = unbracketed;
    }
    const std::size_t from = out.size();
    try {
      AppendPlaceholderValue(out, state_, recordset_, section_, placeholder,
                             name, form);
    } catch (const std::exception&) {
      out.resize(from);
      out += Failed(
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

  ComponentState& state() const { return *state_; }

 private:
  const std::shared_ptr<ComponentState>& state_;
  const std::string_view block_;
  const std::shared_ptr<ado::Recordset>& recordset_;
  const tmpl::Section* section_;
  const bool diagnose_;
};

// One fill of a block onto the end of a text, by the rule: the first "["
// left, the first "]" after it (a "]" before that "[" is plain text), the
// placeholder's value in place of every occurrence from there on, and
// again from the same place, where the text before it holds no "[" any
// more.
class BlockFill {
 public:
  // The first values the fill works out are `known`, in order.
  // REQUIRES: `block` does not lie within `out`; all outlive the fill.
  BlockFill(RowValues& values, std::string_view block, std::string& out,
            std::span<const std::string> known = {})
      : values_(values),
        block_(block),
        out_(out),
        base_(out.size()),
        known_(known) {}

  // Adds the filled block to the text. False, with the block as the rule
  // left it added, after the "Missing '[' !" stop.
  bool Run() {
    out_.append(block_);
    int values_bringing_brackets = 0;
    for (std::size_t open = out_.find('[', base_); open != std::string::npos;
         open = out_.find('[', open)) {
      const std::size_t close = out_.find(']', open);
      if (close == std::string::npos) {
        values_.state().ShowMessage(kMissingBracket, {},
                                    MessageIcon::kInformation);
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
          value =
              values_.Failed(WithoutBrackets(placeholder),
                             "its value brings in placeholders without end");
        }
      }
      platform::ReplaceAll(out_, placeholder, value, open);
    }
    return true;
  }

 private:
  std::string Evaluate(const std::string& placeholder) {
    if (!known_.empty()) {
      std::string value = known_.front();
      known_ = known_.subspan(1);
      return value;
    }
    std::string value;
    values_.Append(value, placeholder, FormOf(placeholder));
    return value;
  }

  RowValues& values_;
  const std::string_view block_;
  std::string& out_;
  const std::size_t base_;  // where the block starts in `out_`
  std::span<const std::string> known_;
  std::string placeholder_;
};

}  // namespace

// The plan: when every "[" opens a placeholder that holds no other "[" and
// closes before the block ends, the rule replaces each placeholder where it
// stands, in the block's order, by the value of its first occurrence, as long
// as no value brings in a "[" (a "]" changes nothing: the search for the next
// "]" starts inside a placeholder). So the block is cut into text and
// placeholders once, and a row's values are written between the pieces. A
// value that brings in a "[" hands the row over to the rule, with the values
// already worked out, so that none is worked out twice.
BlockFiller::BlockFiller(std::string_view block) : block_(block) {
  planned_ = block_.find(kItemsInfo) == std::string::npos;
  std::unordered_map<std::string_view, std::size_t> seen;
  std::size_t from = 0;
  while (planned_) {
    const std::size_t open = block_.find('[', from);
    if (open == std::string::npos) break;
    const std::size_t close = block_.find(']', open);
    if (close == std::string::npos || block_.find('[', open + 1) < close) {
      planned_ = false;
      break;
    }
    const std::string_view text =
        std::string_view(block_).substr(open, close - open + 1);
    const auto [entry, added] = seen.emplace(text, placeholders_.size());
    if (added) placeholders_.push_back({open, text.size(), FormOf(text)});
    pieces_.push_back({from, open - from, entry->second});
    from = close + 1;
  }
  tail_at_ = from;
  if (!planned_) {
    placeholders_.clear();
    pieces_.clear();
  }
}

void BlockFiller::FillOnto(std::string& out,
                           const std::shared_ptr<ComponentState>& state,
                           const std::shared_ptr<ado::Recordset>& recordset,
                           const tmpl::Section* section) {
  const std::size_t base = out.size();
  try {
    if (!Fill(out, state, recordset, section)) out.resize(base);
  } catch (...) {
    out.resize(base);
    throw;
  }
}

bool BlockFiller::Fill(std::string& out,
                       const std::shared_ptr<ComponentState>& state,
                       const std::shared_ptr<ado::Recordset>& recordset,
                       const tmpl::Section* section) {
  if (!planned_) {
    std::string numbered;
    std::string_view block = block_;
    if (block.find(kItemsInfo) != std::string_view::npos) {
      numbered.assign(block);
      NumberItemsInfoTables(numbered, recordset);
      block = numbered;
    }
    RowValues values(state, block, recordset, section);
    return BlockFill(values, block, out).Run();
  }
  RowValues values(state, block_, recordset, section);
  const std::size_t base = out.size();
  written_.clear();
  for (const Piece& piece : pieces_) {
    out.append(block_, piece.text_at, piece.text_size);
    if (piece.placeholder < written_.size()) {
      const auto [at, size] = written_[piece.placeholder];
      out.append(out, at, size);
      continue;
    }
    const Placeholder& placeholder = placeholders_[piece.placeholder];
    const std::size_t at = out.size();
    values.Append(
        out, std::string_view(block_).substr(placeholder.at, placeholder.size),
        placeholder.form);
    written_.emplace_back(at, out.size() - at);
    if (out.find('[', at) != std::string::npos) {
      std::vector<std::string> known;
      known.reserve(written_.size());
      for (const auto& [value_at, value_size] : written_) {
        known.push_back(out.substr(value_at, value_size));
      }
      out.resize(base);
      return BlockFill(values, block_, out, known).Run();
    }
  }
  out.append(block_, tail_at_);
  return true;
}

Variant FillFields(const std::shared_ptr<ComponentState>& state,
                   std::string& block,
                   const std::shared_ptr<ado::Recordset>& recordset,
                   const tmpl::Section* section) {
  BlockFiller filler(block);
  block.clear();
  if (!filler.Fill(block, state, recordset, section)) return Variant();
  return Variant(block);
}

void FillFields(std::string& out, const std::shared_ptr<ComponentState>& state,
                std::string_view block,
                const std::shared_ptr<ado::Recordset>& recordset,
                const tmpl::Section* section) {
  BlockFiller(block).FillOnto(out, state, recordset, section);
}

}  // namespace nerolin::fields
