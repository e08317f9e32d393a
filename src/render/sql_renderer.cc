#include "render/sql_renderer.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "component/report_engine.h"
#include "fields/fill_fields.h"
#include "fields/images.h"
#include "nerolin/automation_error.h"
#include "nerolin/recordset.h"
#include "nerolin/sum_fields.h"
#include "platform/files.h"
#include "render/group_query.h"
#include "render/render_steps.h"
#include "render/template_reader.h"
#include "template/sections.h"
#include "template/template_split.h"

namespace nerolin::render {

namespace {

constexpr std::string_view kNoRows = "No hay registro";
// Any text that may hold an extra-detail element holds this word.
constexpr std::string_view kExtraDetailWord = "extradetail";

struct Group {
  std::shared_ptr<tmpl::Section> section;
  // The column the group reads: the tag's field without brackets over a
  // template file, as written over a template text.
  std::string column;
};

// One run of GetHTML or GetHTML3 over its template text.
class SqlRender {
 public:
  SqlRender(ReportEngine& engine, GroupDialect dialect)
      : engine_(engine), state_(engine.state()), dialect_(dialect) {}

  // Fills `template_text` from the rows of `sql`. `template_path` is the
  // template file (empty for a template given as text), `destination` the
  // report file handed to the extra-detail step. Sets `result` as soon as
  // the report (or "No hay registro") is known, so that a failure in the
  // final close leaves it in place.
  void Run(std::string_view sql, const std::string& template_text,
           const std::string& template_path, const Variant& destination,
           Variant& result);

 private:
  void TakeSections(const tmpl::SplitResult& split);
  std::string Walk();
  void EmitEndedGroupFooters(std::string& report);
  void EmitHeadersAndDetail(std::string& report);
  void AppendDetail(std::string& report, const tmpl::Section& detail,
                    fields::BlockFiller& block);
  void WorkOutTotals(std::size_t group_index);
  std::size_t CursorRowAfterExtraDetails();

  ReportEngine& engine_;
  const std::shared_ptr<ComponentState>& state_;
  GroupDialect dialect_;

  // The statement without its own ordering; group totals extend it.
  std::string statement_;
  std::string template_path_;
  std::string model_path_;
  Variant destination_;
  std::shared_ptr<ado::Recordset> rows_;

  std::shared_ptr<tmpl::Section> report_section_;
  // Sections in collection order; groups also listed with their columns.
  std::vector<std::shared_ptr<tmpl::Section>> sections_;
  std::vector<Group> groups_;
  // Each detail section's block, in collection order.
  std::vector<fields::BlockFiller> detail_blocks_;

  // The row the walk is on, counted from 0, and the number of rows.
  std::size_t walk_row_ = 0;
  std::size_t row_count_ = 0;
};

void SqlRender::TakeSections(const tmpl::SplitResult& split) {
  for (const std::shared_ptr<tmpl::Section>& section : split.sections) {
    sections_.push_back(section);
    if (section->GroupType() == tmpl::kDetailSection) {
      detail_blocks_.emplace_back(section->TextHeader());
    } else if (section->GroupType() == tmpl::kReportSection) {
      report_section_ = section;
    } else if (section->GroupType() == tmpl::kGroupSection) {
      groups_.push_back({section, dialect_ == GroupDialect::kTemplateFile
                                      ? WithoutBrackets(section->FieldGroup())
                                      : section->FieldGroup()});
    }
  }
}

void SqlRender::Run(std::string_view sql, const std::string& template_text,
                    const std::string& template_path,
                    const Variant& destination, Variant& result) {
  // The extra details of every row share the report's one budget.
  const ExtraDetailBudget extra_detail_budget(*state_);
  const ReportValuesScope report_values(*state_);
  template_path_ = template_path;
  model_path_ = platform::ParentFolder(template_path);
  destination_ = destination;
  const tmpl::SplitResult split = tmpl::SplitTemplate(
      template_text, dialect_ == GroupDialect::kTemplateFile
                         ? tmpl::OnEmptyGroupText::kContinueAfterClosingTag
                         : tmpl::OnEmptyGroupText::kFail);
  TakeSections(split);

  std::vector<std::string> group_fields;
  for (const Group& group : groups_) {
    group_fields.push_back(group.section->FieldGroup());
  }
  OrderedStatement ordered = OrderForGroups(sql, group_fields);
  statement_ = std::move(ordered.statement);

  if (dialect_ == GroupDialect::kTemplateFile) {
    DeleteExistingFile(TextOf(destination));
  }
  rows_ = state_->Library().GetRecordset(statement_ + ordered.order, true);
  if (dialect_ == GroupDialect::kTemplateFile && rows_->Eof()) {
    result = Variant(kNoRows);
  } else {
    result = Variant(fields::EmbedImages(*state_, Walk(), template_path_));
  }
  // A recordset that the reopen for the footers left closed stays so.
  if (rows_->State() == ado::kStateOpen) rows_->Close();
}

std::string SqlRender::Walk() {
  row_count_ = static_cast<std::size_t>(std::max(rows_->RecordCount(), 0));
  std::string report;
  report.reserve(report_section_->TextHeader().size() +
                 report_section_->TextFooter().size() + 4096);
  AppendFilled(report, state_, report_section_->TextHeader(), rows_, nullptr);

  walk_row_ = 0;
  // Without rows there is no group instance to close: a template given as
  // text, which gets no "No hay registro", shows its header and footer only.
  const bool had_rows = !rows_->Eof();
  while (!rows_->Eof()) {
    // Every round ends one row further on (the extra-detail step may move
    // the cursor forward, never back), so the walk ends after at most as
    // many rounds as there are rows.
    if (walk_row_ > row_count_) RaiseRowWalkOverrun(template_path_, row_count_);
    EmitEndedGroupFooters(report);
    EmitHeadersAndDetail(report);
    // An extra-detail step that ran the cursor to the end ends the walk.
    if (rows_->Eof()) break;
    rows_->MoveNext();
    ++walk_row_;
  }

  // The footers show the first row. A reopen that fails leaves them
  // without a current row, which their placeholders show.
  try {
    rows_->Close();
    rows_->Open();
  } catch (const AutomationError&) {
  }
  for (std::size_t i = groups_.size(); had_rows && i-- > 0;) {
    const auto& group = groups_[i].section;
    AppendFilled(report, state_, group->TextFooter(), rows_, group.get());
  }
  AppendFilled(report, state_, report_section_->TextFooter(), rows_,
               report_section_.get());
  return report;
}

// A group instance ends when the group's value in this row differs from
// the value at its last header; its footer shows the instance's last row.
// Inner groups come first. An instance whose value was empty has no footer.
void SqlRender::EmitEndedGroupFooters(std::string& report) {
  for (std::size_t i = groups_.size(); i-- > 0;) {
    const Group& group = groups_[i];
    const std::string& last = group.section->LastData();
    const std::string value =
        TextOf(GroupValue(*rows_, group.column, *group.section));
    if (Trim(value) == Trim(last) || last.empty()) continue;
    rows_->MovePrevious();
    AppendFilled(report, state_, group.section->TextFooter(), rows_,
                 group.section.get());
    rows_->MoveNext();
  }
}

void SqlRender::EmitHeadersAndDetail(std::string& report) {
  std::size_t group_index = 0;
  std::size_t detail_index = 0;
  for (const std::shared_ptr<tmpl::Section>& section : sections_) {
    // Sections after the detail have no row left to read when the
    // extra-detail step ran the cursor to the end.
    if (rows_->Eof()) return;
    if (section->GroupType() == tmpl::kDetailSection) {
      AppendDetail(report, *section, detail_blocks_[detail_index++]);
      continue;
    }
    if (section->GroupType() != tmpl::kGroupSection) continue;
    const Group& group = groups_[group_index];
    const std::string value =
        TextOf(GroupValue(*rows_, group.column, *section));
    if (Trim(value) != Trim(section->LastData())) {
      if (section->SumFields()->Count() > 0) WorkOutTotals(group_index);
      AppendFilled(report, state_, section->TextHeader(), rows_, section.get());
      section->SetLastData(value);
    }
    ++group_index;
  }
}

void SqlRender::AppendDetail(std::string& report, const tmpl::Section& detail,
                             fields::BlockFiller& block) {
  std::string html;
  block.FillOnto(html, state_, rows_, &detail);
  if (dialect_ == GroupDialect::kTemplateText) {
    report += html;
    return;
  }
  const bool may_move = html.find(kExtraDetailWord) != std::string::npos;
  std::string model_path = model_path_;
  std::shared_ptr<ado::Recordset> rows = rows_;
  Variant destination = destination_;
  engine_.CreateExtraDetailsIfExists(html, model_path, rows, destination);
  report += html;
  if (may_move) walk_row_ = CursorRowAfterExtraDetails();
}

// Where the walk goes on after an extra-detail step that may have moved the
// cursor. Its forward moves stand; a sub-report over the main rows leaves
// the cursor on the first row, and going on from there would walk the same
// rows again without end, so the cursor goes back to the walk's row. Only
// a text that holds an extra-detail element pays for the count.
std::size_t SqlRender::CursorRowAfterExtraDetails() {
  if (rows_->Eof()) return row_count_;
  std::size_t steps = 0;
  while (!rows_->Bof()) {
    if (steps > row_count_) break;
    rows_->MovePrevious();
    ++steps;
  }
  const std::size_t cursor_row = steps == 0 ? 0 : steps - 1;
  const std::size_t row = std::max(cursor_row, walk_row_);
  rows_->MoveFirst();
  for (std::size_t i = 0; i < row && !rows_->Eof(); ++i) rows_->MoveNext();
  return row;
}

// The totals of the group instance that starts at this row: one query per
// sum over the statement's rows that share this row's values of the group
// and of every group outside it.
void SqlRender::WorkOutTotals(std::size_t group_index) {
  std::string condition(JoiningWord(statement_, dialect_));
  for (std::size_t i = 0; i <= group_index; ++i) {
    const Group& group = groups_[i];
    const std::shared_ptr<ado::Field> field =
        rows_->GetField(Variant(group.column));
    AppendGroupTerm(condition, group.column, field->Value(), field->Type(),
                    dialect_);
  }
  // The last " AND ", or, when no group added a term, the end of the
  // joining word.
  condition.resize(condition.size() -
                   std::min<std::size_t>(5, condition.size()));
  const std::string query = statement_ + condition;

  for (const std::shared_ptr<SumField>& total :
       *groups_[group_index].section->SumFields()) {
    const std::shared_ptr<ado::Recordset> rows =
        state_->Library().GetRecordset(query);
    const Variant column(std::string(Trim(total->Name())));
    total->SetTotal(Variant(0));
    while (!rows->Eof()) {
      total->SetTotal(Add(rows->Value(column), total->Total()));
      rows->MoveNext();
    }
  }
}

}  // namespace

Variant RenderSql(ReportEngine& engine, const Variant& sql,
                  const Variant& html_source_file,
                  const Variant& html_destination_file) {
  // Every detail row's extra-detail step writes the report file again.
  ReportScope report(*engine.state());
  Variant result;
  try {
    const std::string template_path = ParameterText(html_source_file);
    if (template_path.empty()) return result;
    const std::shared_ptr<ComponentState>& state = engine.state();
    if (!state->Library().HasLibrary()) engine.OpenConnection();
    const std::string statement = ParameterText(sql);
    const std::string template_text = ReadTemplate(template_path);
    try {
      std::string folder = state->Library().GetPath(template_path);
      if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
        folder += '/';
      }
      state->set_template_folder(std::move(folder));
    } catch (const AutomationError&) {
      // The folder only serves nested templates; they resolve against the
      // previous folder instead.
    }
    SqlRender(engine, GroupDialect::kTemplateFile)
        .Run(statement, template_text, template_path, html_destination_file,
             result);
  } catch (...) {
    ReportFailure(*engine.state(), std::current_exception());
  }
  return result;
}

Variant RenderSqlOverTemplateText(ReportEngine& engine, const Variant& sql,
                                  const Variant& html_source) {
  Variant result;
  try {
    const std::shared_ptr<ComponentState>& state = engine.state();
    if (!state->Library().HasLibrary()) engine.OpenConnection();
    const std::string statement = ParameterText(sql);
    const std::string template_text = ParameterText(html_source);
    // Relative pictures resolve against the working folder: a template
    // given as text has no folder of its own.
    SqlRender(engine, GroupDialect::kTemplateText)
        .Run(statement, template_text, std::string(), Variant(), result);
  } catch (...) {
    ReportFailure(*engine.state(), std::current_exception());
  }
  return result;
}

}  // namespace nerolin::render
