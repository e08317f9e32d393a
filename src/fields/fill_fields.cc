#include "fields/fill_fields.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/conversions.h"
#include "automation/format.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fields/amount_in_words.h"
#include "fields/images.h"
#include "fields/placeholder_call.h"
#include "fields/qr_code.h"
#include "fiscal/resolve_addenda.h"
#include "fiscal/statement_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/registry.h"
#include "nerolin/sum_fields.h"
#include "platform/files.h"
#include "template/sections.h"

namespace nerolin::fields {
namespace {

constexpr std::string_view kSource = "FillFields";
constexpr std::string_view kEngineProgId = "NerolinHTMLReport.clsMain";
constexpr std::string_view kItemsInfo = "rep_documentosrelacionados_itemsinfo";
constexpr std::string_view kPictureSourceDocument = "[PictureSourceDocument]";
constexpr std::string_view kMissingBracket = "Missing '[' !";

// Values that bring in brackets are worked out again, so a value that
// names its own placeholder, or two that name each other, would be worked
// out for ever and may double the text each time. Past either bound such a
// value counts as a failed evaluation.
constexpr int kMaxValuesBringingBrackets = 10'000;
constexpr std::size_t kMaxGrowthFromBrackets = std::size_t{16} << 20;

[[noreturn]] void Fail(std::string what) {
  throw AutomationError(errors::kInvalidArgument,
                        "Invalid procedure call or argument: " + what,
                        std::string(kSource));
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool HasBracket(std::string_view text) {
  if (text.size() >= 64) {
    return std::memchr(text.data(), '[', text.size()) != nullptr ||
           std::memchr(text.data(), ']', text.size()) != nullptr;
  }
  // Values are mostly short; a call per bracket would cost more. Below
  // sixteen bytes, eight at a time: a byte of `word` equals `c` exactly when
  // that byte of word ^ c...c is zero, which the borrow test finds without
  // false hits.
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  const auto holds = [](std::uint64_t word, unsigned char c) {
    const std::uint64_t x = word ^ (kOnes * c);
    return ((x - kOnes) & ~x & kHighBits) != 0;
  };
  const auto word_at = [&](std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, sizeof word);
    return word;
  };
  if (text.size() < 8) {
    bool found = false;
    for (const char c : text) found = found || c == '[' || c == ']';
    return found;
  }
  if (text.size() >= 16) {
    // Sixteen bytes at a time; the last block may overlap the one before
    // it.
    const __m128i opening = _mm_set1_epi8('[');
    const __m128i closing = _mm_set1_epi8(']');
    for (std::size_t at = 0;; at += 16) {
      if (at + 16 > text.size()) at = text.size() - 16;
      const __m128i block =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
      if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, opening),
                                         _mm_cmpeq_epi8(block, closing))) !=
          0) {
        return true;
      }
      if (at + 16 == text.size()) return false;
    }
  }
  // The last word may overlap the one before it.
  for (std::size_t at = 0;; at += 8) {
    if (at + 8 > text.size()) at = text.size() - 8;
    const std::uint64_t word = word_at(at);
    if (holds(word, '[') || holds(word, ']')) return true;
    if (at + 8 == text.size()) return false;
  }
}

std::string WithoutBrackets(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '[' && c != ']') out.push_back(c);
  }
  return out;
}

std::string LineBreaksToBr(std::string_view text) {
  return Replace(text, "\r\n", "<BR>");
}

// The text of `placeholder` after position `start` up to the first `until`
// in the whole placeholder.
std::string_view TextUpTo(std::string_view placeholder, std::size_t start,
                          std::string_view until) {
  const std::size_t end = placeholder.find(until);
  if (start == std::string_view::npos || end == std::string_view::npos ||
      end < start) {
    Fail("no text between the markers of " + std::string(placeholder));
  }
  return placeholder.substr(start, end - start);
}

// The characters after the first `after` up to the first `until`.
std::string_view Between(std::string_view placeholder, std::string_view after,
                         std::string_view until) {
  const std::size_t at = placeholder.find(after);
  return TextUpTo(placeholder,
                  at == std::string_view::npos ? at : at + after.size(), until);
}

const std::shared_ptr<ado::Recordset>& RequireRecordset(
    const std::shared_ptr<ado::Recordset>& recordset) {
  if (!recordset) {
    throw AutomationError(errors::kObjectNotSet,
                          "Object variable not set: the block has no recordset",
                          std::string(kSource));
  }
  return recordset;
}

Variant RowValue(const std::shared_ptr<ado::Recordset>& recordset,
                 std::string_view field) {
  return RequireRecordset(recordset)->Value(Variant(field));
}

std::string GroupTotal(const tmpl::Section* section, std::string_view field) {
  if (section == nullptr) {
    throw AutomationError(errors::kObjectNotSet,
                          "Object variable not set: no group section holds "
                          "the total of " +
                              std::string(field),
                          std::string(kSource));
  }
  const std::shared_ptr<SumField> total = section->SumFields()->Item(field);
  if (!total) {
    throw AutomationError(errors::kObjectNotSet,
                          "Object variable not set: the group keeps no total "
                          "of " +
                              std::string(field),
                          std::string(kSource));
  }
  return total->TotalText();
}

class Evaluator {
 public:
  Evaluator(const std::shared_ptr<ComponentState>& state,
            const std::shared_ptr<ado::Recordset>& recordset,
            const tmpl::Section* section)
      : state_(state), recordset_(recordset), section_(section) {}

  // Whether `placeholder` names a value and no function: its value then
  // never holds a bracket and may be added with AppendPlainValue.
  // `holds_parenthesis` tells whether it holds a "(".
  bool IsPlain(std::string_view placeholder, bool holds_parenthesis) const {
    return !holds_parenthesis && !(placeholder == kPictureSourceDocument &&
                                   !state_->image_base_url().empty());
  }

  // The value of a plain placeholder (see IsPlain) named `name` added to
  // `out`: what Evaluate gives for it.
  void AppendPlainValue(std::string& out, std::string_view name) {
    const std::size_t from = out.size();
    fiscal::AppendResolvedAddenda(out, *state_, name, recordset_, section_);
    if (HasBracket(std::string_view(out).substr(from))) {
      // In place: what is kept never moves ahead of what is read.
      std::size_t kept = from;
      for (std::size_t i = from; i < out.size(); ++i) {
        if (out[i] != '[' && out[i] != ']') out[kept++] = out[i];
      }
      out.resize(kept);
    }
  }

  // The value of `placeholder` ("[...]"); raises when it cannot be worked
  // out. `*bracket_free` is set when the value is known to hold no bracket.
  std::string Evaluate(std::string_view placeholder, std::string_view name,
                       bool* bracket_free) {
    // Every function form holds "(", which upper-casing leaves alone.
    if (placeholder.find('(') == std::string_view::npos) {
      return PlainValue(placeholder, name, bracket_free);
    }
    const std::string upper = UCase(placeholder);
    // Only the whole placeholder, with no other function inside, makes these
    // forms, so they take nothing away from the forms below.
    if (const auto arguments = CallArguments(placeholder, "QR")) {
      return QrCodePlaceholder(*arguments, PlainLookup());
    }
    if (const auto arguments = CallArguments(placeholder, "IMPORTECONLETRA")) {
      return AmountInWordsPlaceholder(*arguments, PlainLookup());
    }
    if (Contains(upper, "FORMAT(")) return FormatValue(placeholder, upper);
    if (Contains(upper, "TRANSLATE(")) {
      const std::int32_t number =
          CLng(Variant(Trim(Between(placeholder, "(", ")"))));
      return LineBreaksToBr(GetTranslation(number));
    }
    if (Contains(upper, "SUM(")) {
      return LineBreaksToBr(
          GroupTotal(section_, Trim(Between(placeholder, "(", ")"))));
    }
    if (Contains(upper, "HTML(")) return NestedReport(placeholder);
    if (Contains(upper, "BASE64(")) return Picture(placeholder);
    return PlainValue(placeholder, name, bracket_free);
  }

 private:
  // Names looked up as a plain placeholder shows them; a name no one knows
  // gives nothing.
  NameLookup PlainLookup() {
    return [this](std::string_view name) -> std::optional<std::string> {
      std::string value = WithoutBrackets(
          fiscal::ResolveAddenda(*state_, name, recordset_, section_));
      if (value == "??" + WithoutBrackets(name) + "??") return std::nullopt;
      return value;
    };
  }

  std::string PlainValue(std::string_view placeholder, std::string_view name,
                         bool* bracket_free) {
    if (placeholder == kPictureSourceDocument &&
        !state_->image_base_url().empty()) {
      return PictureUrl();
    }
    std::string value =
        fiscal::ResolveAddenda(*state_, name, recordset_, section_);
    *bracket_free = true;
    if (!HasBracket(value)) return value;
    return WithoutBrackets(value);
  }

  std::string FormatValue(std::string_view placeholder,
                          const std::string& upper) {
    std::string value;
    const std::size_t sum = upper.find("SUM(");
    if (sum != std::string::npos) {
      value = GroupTotal(section_, Trim(TextUpTo(placeholder, sum + 4, ")")));
    } else {
      value = fiscal::ResolveAddenda(
          *state_, WithoutBrackets(Between(placeholder, "(", ",")), recordset_,
          section_);
    }
    if (value.empty()) return value;

    const std::string_view argument = Between(placeholder, ",", ")]");
    std::string formatted;
    if (UCase(Trim(argument)) == "SYMBOL") {
      const std::string symbol = TextOf(RowValue(recordset_, "Symbol"));
      const bool after =
          Equals(RowValue(recordset_, "Alignment"), Variant("R"));
      formatted = Format(Variant(value), "Standard");
      formatted = after ? formatted + symbol : symbol + formatted;
    } else if (LCase(argument) == "currency") {
      hostlib::HostLibrary library = state_->Library();
      if (library.FieldExists("CurrencyID", recordset_).value_or(false)) {
        const Variant currency = library.GetValue(Variant(ObjectRef(
            RequireRecordset(recordset_)->GetField(Variant("CurrencyID")))));
        formatted = library.FormatCurrency(CDbl(Variant(value)), currency);
      } else {
        formatted = Format(Variant(value), "Currency");
      }
    } else {
      formatted = Format(Variant(value), argument);
    }
    return LineBreaksToBr(formatted);
  }

  std::string NestedReport(std::string_view placeholder) {
    const NestedReportCall call = HtmlPlaceholderCall(
        placeholder, RowValue(recordset_, "ID"), state_->template_folder());
    const NestedReportScope nesting(*state_, call.template_path);
    const ObjectRef engine = CreateObject(kEngineProgId, state_);
    engine->PutRef("NerolinLib", Variant(state_->host_library()));
    return TextOf(engine->Call(
        "GetHTML", {Variant(call.statement), Variant(call.template_path),
                    Variant(call.destination)}));
  }

  std::string Picture(std::string_view placeholder) {
    const std::string field(Trim(Between(placeholder, "(", ")")));
    if (!ado::RecordsetHasField(recordset_.get(), field)) return {};
    const std::string path = TextOf(RowValue(recordset_, field));
    if (!platform::IsVisibleOrdinaryFile(path)) return {};
    // A URI without text would show no picture either.
    const std::string base64 = ImageToBase64(*state_, path);
    if (base64.empty()) return {};
    return "data:image/" + RightChars(path, 3) + ";base64," + base64;
  }

  std::string PictureUrl() {
    const std::string stored =
        TextOf(RowValue(recordset_, "PictureSourceDocument"));
    if (stored.empty()) return {};
    // Stored paths come from Windows: only "\" separates the file name.
    const std::size_t slash = stored.rfind('\\');
    const std::string_view file =
        slash == std::string::npos ? std::string_view(stored)
                                   : std::string_view(stored).substr(slash + 1);
    return LineBreaksToBr(state_->image_base_url() + std::string(file));
  }

  const std::shared_ptr<ComponentState>& state_;
  const std::shared_ptr<ado::Recordset>& recordset_;
  const tmpl::Section* section_;
};

// Replaces every occurrence of `placeholder` in `block` at or after `from`
// by `value`, in one pass over the text.
void ReplaceFrom(std::string& block, std::size_t from,
                 std::string_view placeholder, std::string_view value) {
  std::size_t next = block.find(placeholder, from + placeholder.size());
  if (next == std::string::npos) {
    block.replace(from, placeholder.size(), value);
    return;
  }
  std::string out;
  out.reserve(block.size() + value.size() * 2);
  out.append(block, 0, from);
  std::size_t copied = from;
  for (std::size_t at = from; at != std::string::npos;
       at = block.find(placeholder, at + placeholder.size())) {
    out.append(block, copied, at - copied);
    out.append(value);
    copied = at + placeholder.size();
  }
  out.append(block, copied, std::string::npos);
  block = std::move(out);
}

std::size_t CountFrom(std::string_view block, std::size_t from,
                      std::string_view placeholder) {
  std::size_t count = 0;
  for (std::size_t at = block.find(placeholder, from);
       at != std::string_view::npos;
       at = block.find(placeholder, at + placeholder.size())) {
    ++count;
  }
  return count;
}

// Where the brackets of a block stand, found in one pass. A detail block
// is filled with the same text for row after row; its plan is found once
// and kept (see PlanFor).
struct BracketPlan {
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;
  struct Open {
    std::uint32_t at;     // of the "["
    std::uint32_t close;  // the first "]" after it, or kNone
    // The first "[" (its index) that opens the same placeholder text; its
    // own index when none before it does.
    std::uint32_t first;
    bool parenthesis;  // a "(" between the "[" and its "]"
  };
  std::vector<Open> opens;  // every "[", in order
  bool items_info = false;

  explicit BracketPlan(std::string_view block) {
    std::vector<std::uint32_t> closes;
    for (std::size_t at = 0; at < block.size(); ++at) {
      const char c = block[at];
      if (c == '[') {
        opens.push_back(Open{static_cast<std::uint32_t>(at), kNone, 0, false});
      } else if (c == ']') {
        closes.push_back(static_cast<std::uint32_t>(at));
      }
    }
    std::unordered_map<std::string_view, std::uint32_t> firsts;
    std::size_t close_index = 0;
    for (std::size_t i = 0; i < opens.size(); ++i) {
      Open& open = opens[i];
      open.first = static_cast<std::uint32_t>(i);
      while (close_index < closes.size() && closes[close_index] <= open.at) {
        ++close_index;
      }
      if (close_index == closes.size()) continue;
      open.close = closes[close_index];
      const std::string_view placeholder =
          block.substr(open.at, open.close - open.at + 1);
      open.parenthesis = placeholder.find('(') != std::string_view::npos;
      open.first = firsts.emplace(placeholder, open.first).first->second;
    }
    items_info = Contains(block, kItemsInfo);
  }
};

// Blocks up to this size have their plans kept, the last few per thread.
constexpr std::size_t kMaxKeptPlanBlock = std::size_t{64} << 10;
constexpr std::size_t kKeptPlans = 4;

// The plan of a block for one fill: a kept one when the same text was
// filled lately, else a new one, kept when the block is small. A kept plan
// in use is not replaced: a value may fill blocks of its own (a nested
// report) meanwhile.
class PlanFor {
 public:
  explicit PlanFor(std::string_view block) {
    if (block.size() > std::numeric_limits<std::uint32_t>::max()) {
      Fail("a block of more than 4 GB");
    }
    std::array<Kept, kKeptPlans>& kept = KeptPlans();
    for (Kept& entry : kept) {
      if (entry.plan && entry.text == block) {
        Use(entry);
        return;
      }
    }
    own_ = std::make_unique<BracketPlan>(block);
    plan_ = own_.get();
    if (block.size() > kMaxKeptPlanBlock) return;
    // The one least lately kept of those not in use.
    for (std::size_t tries = 0; tries < kKeptPlans; ++tries) {
      Kept& candidate = kept[next_kept_];
      next_kept_ = (next_kept_ + 1) % kKeptPlans;
      if (candidate.users > 0) continue;
      candidate.text.assign(block);
      candidate.plan = std::move(own_);
      Use(candidate);
      return;
    }
  }
  ~PlanFor() {
    if (used_ != nullptr) --used_->users;
  }
  PlanFor(const PlanFor&) = delete;
  PlanFor& operator=(const PlanFor&) = delete;

  const BracketPlan& operator*() const { return *plan_; }
  const BracketPlan* operator->() const { return plan_; }

 private:
  struct Kept {
    std::string text;
    std::unique_ptr<BracketPlan> plan;
    int users = 0;
  };
  static std::array<Kept, kKeptPlans>& KeptPlans() {
    thread_local std::array<Kept, kKeptPlans> kept;
    return kept;
  }
  void Use(Kept& entry) {
    ++entry.users;
    used_ = &entry;
    plan_ = entry.plan.get();
  }

  static thread_local std::size_t next_kept_;
  std::unique_ptr<BracketPlan> own_;
  const BracketPlan* plan_ = nullptr;
  Kept* used_ = nullptr;
};

thread_local std::size_t PlanFor::next_kept_ = 0;

// One run of FillFields over one block, whose result goes onto the end of
// a text.
//
// The rule works on the block in place: the first "[" left, the first "]"
// after it, the value, every occurrence from there on replaced, and again
// from the same place. While no value holds a bracket and no placeholder
// holds a "[" of its own, that is one walk over the block from left to
// right, each distinct placeholder worked out where it first stands and
// its value reused where it stands again, with no text searched twice: the
// fast path, which writes straight onto the end of the text. The first
// value or placeholder that breaks the condition hands the block, in
// exactly the state the rule would have brought it to, over to the rule
// itself, on a text of its own.
class BlockFiller {
 public:
  // REQUIRES: `source` does not lie within `out`, and both outlive the
  // filler.
  // REQUIRES: `plan` is the plan of `source`.
  BlockFiller(const std::shared_ptr<ComponentState>& state,
              std::string_view source, const BracketPlan& plan,
              std::string& out,
              const std::shared_ptr<ado::Recordset>& recordset,
              const tmpl::Section* section)
      : state_(state),
        source_(source),
        plan_(plan),
        out_(out),
        base_(out.size()),
        evaluator_(state, recordset, section),
        original_size_(source.size()) {}

  // True when the block is filled; false when a "[" has no "]" after it
  // (the message is shown). Either way `out` holds, after what it held
  // before, the block as the rule has left it.
  bool Run();

 private:
  struct Pending {
    std::string placeholder;
    std::string name;
    std::string value;
  };

  // The value of `placeholder`, "??name??" when it cannot be worked out.
  // `*bracket_free` is set when the value is known to hold no bracket.
  std::string ValueOf(std::string_view placeholder, std::string_view name,
                      bool* bracket_free) {
    *bracket_free = false;
    try {
      return evaluator_.Evaluate(placeholder, name, bracket_free);
    } catch (const std::exception&) {
      FailedInFlight(name);
      *bracket_free = false;
      std::string failed;
      failed.append("??").append(name).append("??");
      return failed;
    }
  }

  // The diagnostic of a placeholder named `name` that gave its failure
  // result for the exception in flight. (A name that nothing knows is told
  // by the look-up itself.)
  void FailedInFlight(std::string_view name) const {
    if (!state_->diagnostics_wanted()) return;
    state_->Diagnose(
        DiagnosticKind::kPlaceholderFailed, name,
        AsAutomationError(std::current_exception(), kSource).description(),
        source_);
  }

  // The rule in place on `block` from `open` (no "[" before it), starting
  // with the value of the placeholder at `open` when it is already worked
  // out.
  bool ByTheRule(std::string& block, std::size_t open, Pending* pending);
  void Place(std::string& block, std::size_t open,
             const std::string& placeholder, const std::string& name,
             std::string value);
  bool MissingBracket() {
    state_->ShowMessage(kMissingBracket, {}, MessageIcon::kInformation);
    return false;
  }

  const std::shared_ptr<ComponentState>& state_;
  const std::string_view source_;
  const BracketPlan& plan_;
  std::string& out_;
  // Where the block starts in `out_`.
  const std::size_t base_;
  Evaluator evaluator_;
  const std::size_t original_size_;
  int values_bringing_brackets_ = 0;
};

bool BlockFiller::Run() {
  const std::string_view source = source_;
  const std::vector<BracketPlan::Open>& opens = plan_.opens;
  // Where the value of each placeholder met so far was written, from the
  // start of the block, by the index of its "[" (kept for the first of
  // equal ones only). Blocks hold a handful of placeholders.
  struct Written {
    std::size_t at;
    std::size_t size;
  };
  constexpr std::size_t kOnTheStack = 32;
  std::array<Written, kOnTheStack> written_here;
  std::vector<Written> written_more;
  if (opens.size() > kOnTheStack) written_more.resize(opens.size());
  Written* const written =
      opens.size() > kOnTheStack ? written_more.data() : written_here.data();
  std::size_t pos = 0;  // source[0, pos) is done
  // Hands over to the rule at the "[" `index`: the block becomes what the
  // rule has made of it by now (what is done, and the rest with every
  // placeholder met so far replaced, in the order the rule replaced them),
  // on a text of its own so that replacing never copies what `out_` held
  // before.
  auto by_the_rule = [&](std::size_t index, Pending* pending) {
    const std::size_t open = opens[index].at;
    const std::size_t at = out_.size() - base_ + (open - pos);
    std::string block = out_.substr(base_);
    out_.resize(base_);
    std::string rest(source.substr(pos));
    for (std::size_t i = 0; i < index; ++i) {
      if (opens[i].first != i) continue;
      const std::string_view placeholder =
          source.substr(opens[i].at, opens[i].close - opens[i].at + 1);
      const std::size_t first = rest.find(placeholder);
      if (first != std::string::npos) {
        ReplaceFrom(
            rest, first, placeholder,
            std::string_view(block).substr(written[i].at, written[i].size));
      }
    }
    block.append(rest);
    const bool filled = ByTheRule(block, at, pending);
    out_.append(block);
    return filled;
  };
  for (std::size_t index = 0;; ++index) {
    if (index == opens.size()) {
      out_.append(source.substr(pos));
      return true;
    }
    const BracketPlan::Open& open = opens[index];
    if (open.close == BracketPlan::kNone) {
      // No placeholder can stand in the rest: it has no "]" after this
      // "[", and no "[" before it.
      out_.append(source.substr(pos));
      return MissingBracket();
    }
    // The first "[" after this one, inside the placeholder: the rule takes
    // over.
    if (index + 1 < opens.size() && opens[index + 1].at < open.close) {
      return by_the_rule(index, nullptr);
    }
    const std::string_view placeholder(source.data() + open.at,
                                       open.close - open.at + 1);
    if (open.first != index) {
      // Written earlier in this same block.
      const Written& value = written[open.first];
      out_.append(source.substr(pos, open.at - pos));
      out_.append(out_, base_ + value.at, value.size);
      pos = open.close + 1;
      continue;
    }
    const std::string_view name = placeholder.substr(1, placeholder.size() - 2);
    if (evaluator_.IsPlain(placeholder, open.parenthesis)) {
      // Written straight after the text before it; a plain value holds no
      // bracket, so the fast path goes on.
      out_.append(source.substr(pos, open.at - pos));
      const std::size_t at = out_.size();
      try {
        evaluator_.AppendPlainValue(out_, name);
      } catch (const std::exception&) {
        FailedInFlight(name);
        out_.resize(at);
        out_.append("??").append(name).append("??");
      }
      written[index] = Written{at - base_, out_.size() - at};
      pos = open.close + 1;
      continue;
    }
    bool bracket_free = false;
    std::string value = ValueOf(placeholder, name, &bracket_free);
    if (!bracket_free && HasBracket(value)) {
      Pending pending{std::string(placeholder), std::string(name),
                      std::move(value)};
      return by_the_rule(index, &pending);
    }
    out_.append(source.substr(pos, open.at - pos));
    written[index] = Written{out_.size() - base_, value.size()};
    out_.append(value);
    pos = open.close + 1;
  }
}

bool BlockFiller::ByTheRule(std::string& block, std::size_t open,
                            Pending* pending) {
  if (pending != nullptr) {
    Place(block, open, pending->placeholder, pending->name,
          std::move(pending->value));
  }
  // No "[" stands before `open`, so no placeholder can either: each search
  // starts where the last placeholder stood.
  for (;;) {
    open = block.find('[', open);
    if (open == std::string::npos) return true;
    // A "]" before this "[" is a stray one, plain text.
    const std::size_t close = block.find(']', open);
    if (close == std::string::npos) return MissingBracket();
    const std::string placeholder = block.substr(open, close - open + 1);
    const std::string name = WithoutBrackets(placeholder);
    bool bracket_free = false;
    Place(block, open, placeholder, name,
          ValueOf(placeholder, name, &bracket_free));
  }
}

void BlockFiller::Place(std::string& block, std::size_t open,
                        const std::string& placeholder, const std::string& name,
                        std::string value) {
  if (Contains(value, "[")) {
    const std::size_t count = CountFrom(block, open, placeholder);
    const std::size_t grown =
        block.size() - placeholder.size() * count + value.size() * count;
    if (++values_bringing_brackets_ > kMaxValuesBringingBrackets ||
        grown > original_size_ + kMaxGrowthFromBrackets) {
      state_->Diagnose(DiagnosticKind::kPlaceholderFailed, name,
                       "its value brings in placeholders without end", source_);
      value = "??" + name + "??";
    }
  }
  ReplaceFrom(block, open, placeholder, value);
}

void NumberItemsInfoTables(std::string& block,
                           const std::shared_ptr<ado::Recordset>& recordset) {
  if (!Contains(block, kItemsInfo)) return;
  if (!ado::RecordsetHasField(recordset.get(), "LineNumber")) return;
  try {
    const std::string line = TextOf(recordset->Value(Variant("LineNumber")));
    block = Replace(block, kItemsInfo, std::string(kItemsInfo) + line);
  } catch (const std::exception&) {
    // A row without a readable line number leaves the names as written.
  }
}

}  // namespace

std::string GetTranslation(std::int32_t) { return "No transtlation available"; }

NestedReportCall HtmlPlaceholderCall(std::string_view placeholder,
                                     const Variant& row_id,
                                     std::string_view template_folder) {
  const std::string_view arguments = Trim(Between(placeholder, "(", ")"));
  const std::size_t comma = arguments.find(',');
  if (comma == std::string_view::npos) {
    Fail("the nested report " + std::string(placeholder) +
         " names no table after a comma");
  }
  const std::string_view template_name = arguments.substr(0, comma);
  const std::string_view table = Trim(arguments.substr(comma + 1));
  NestedReportCall call;
  call.statement = "SELECT * FROM [" + std::string(table) +
                   "] WHERE ID=" + fiscal::SqlLiteral(TextOf(row_id)) +
                   " ORDER By LineNumber";
  call.template_path = platform::JoinPath(template_folder, template_name);
  call.destination = platform::JoinPath(template_folder, "tmpx.html");
  return call;
}

Variant FillFields(const std::shared_ptr<ComponentState>& state,
                   std::string& block,
                   const std::shared_ptr<ado::Recordset>& recordset,
                   const tmpl::Section* section) {
  NumberItemsInfoTables(block, recordset);
  std::string source;
  source.swap(block);
  // The result is built in `block`; `source` stays as it came.
  block.reserve(source.size() + source.size() / 2);
  const PlanFor plan(source);
  if (!BlockFiller(state, source, *plan, block, recordset, section).Run()) {
    return Variant();
  }
  return Variant(block);
}

void AppendFilledFields(std::string& out,
                        const std::shared_ptr<ComponentState>& state,
                        std::string_view block,
                        const std::shared_ptr<ado::Recordset>& recordset,
                        const tmpl::Section* section) {
  const PlanFor plan(block);
  std::string numbered;
  std::unique_ptr<BracketPlan> numbered_plan;
  const BracketPlan* used = &*plan;
  if (plan->items_info) {
    // Numbered anew for every row: a plan of its own, not kept.
    numbered.assign(block);
    NumberItemsInfoTables(numbered, recordset);
    block = numbered;
    numbered_plan = std::make_unique<BracketPlan>(block);
    used = numbered_plan.get();
  }
  const std::size_t base = out.size();
  try {
    if (!BlockFiller(state, block, *used, out, recordset, section).Run()) {
      out.resize(base);
    }
  } catch (...) {
    out.resize(base);
    throw;
  }
}

}  // namespace nerolin::fields
