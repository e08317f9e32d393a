#include "render/recordset_renderer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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
#include "render/render_steps.h"
#include "render/template_reader.h"
#include "template/sections.h"
#include "template/template_split.h"

namespace nerolin::render {

namespace {

constexpr std::string_view kNoRows = "No hay registro";
constexpr std::string_view kVoucherTypeField = "TipoComprobante33";
constexpr std::string_view kConsignmentNoteField = "IsConsignmentNote";
constexpr std::string_view kTransportComplement = "complementocartaporte";

// The fiscal rule for which rows a detail shows: consignment-note rows of an
// ordinary voucher belong to the transport complement's sub-report, while a
// transfer voucher shows all its rows in the main detail.
// rst.Value(name) without a copy; a column the rows lack raises as Value
// does.
const Variant& ColumnValue(ado::Recordset& rst, std::string_view name) {
  const std::int64_t column = rst.FindColumn(name);
  if (column < 0) {
    // Value raises here (a closed recordset, no such field).
    rst.Value(Variant(name));
    throw AutomationError(
        errors::kItemNotFound,
        std::string(StandardDescription(errors::kItemNotFound)),
        "ADODB.Recordset");
  }
  return rst.ValueAt(static_cast<std::size_t>(column));
}

class DetailFilter {
 public:
  DetailFilter(ComponentState& state, bool is_extra_detail,
               std::string_view extra_detail_id)
      : state_(state),
        is_extra_detail_(is_extra_detail),
        extra_detail_id_(extra_detail_id) {}

  bool Passes(const std::shared_ptr<ado::Recordset>& rst) {
    // The host is asked for every row, as the rows may come from any
    // object it hands over; an answer of Null counts as "has the field".
    const std::optional<bool> has_voucher_type =
        state_.Library().FieldExists(kVoucherTypeField, rst);
    if (has_voucher_type.has_value() && !*has_voucher_type) return true;

    static const Variant kFalse(false);
    const Variant& voucher_type = ColumnValue(*rst, kVoucherTypeField);
    if (is_extra_detail_) return InTransportComplement(*rst);
    if (voucher_type.IsNull() || IsTransfer(voucher_type)) return true;
    const Variant& note = ColumnValue(*rst, kConsignmentNoteField);
    // A Boolean equals False exactly when it is False; the column is one
    // for every row of a document, so the general comparison is kept for
    // other values.
    if (note.type() == VarType::kBoolean) return !note.AsBoolean();
    return Equals(note, kFalse);
  }

 private:
  // `voucher_type = "T -Traslado" Or voucher_type = "T - Traslado"`. Two
  // texts compare byte by byte; a number, date, Boolean or Empty equals no
  // such text; an object compares as its value does.
  static bool IsTransfer(const Variant& voucher_type) {
    static const Variant kTransfer("T - Traslado");
    static const Variant kTransferWithoutSpace("T -Traslado");
    if (voucher_type.IsString()) {
      const std::string& text = voucher_type.AsString();
      return text == kTransferWithoutSpace.AsString() ||
             text == kTransfer.AsString();
    }
    // An array raises as the comparison does.
    if (!voucher_type.IsObject() && !voucher_type.IsArray()) return false;
    // The object's value is asked for once: asking may open the rows again,
    // which frees the value read from them.
    const Variant value = Unwrap(voucher_type);
    return Equals(value, kTransferWithoutSpace) || Equals(value, kTransfer);
  }

  bool InTransportComplement(ado::Recordset& rst) {
    const bool complement = KindOfExtraDetail() == kTransportComplement;
    // Both sides are read, so rows without the note column fail here
    // whatever the kind.
    const bool note = IsTrue(ColumnValue(rst, kConsignmentNoteField));
    return complement && note;
  }

  // The part of the extra-detail id before its first "_".
  std::string_view KindOfExtraDetail() const {
    const std::size_t underscore = extra_detail_id_.find('_');
    if (underscore == std::string_view::npos) {
      throw AutomationError(
          errors::kInvalidArgument,
          std::string(StandardDescription(errors::kInvalidArgument)) +
              ": the extra-detail id \"" + std::string(extra_detail_id_) +
              "\" has no \"_\" after the kind of extra detail",
          "NerolinHTMLReport");
    }
    return extra_detail_id_.substr(0, underscore);
  }

  ComponentState& state_;
  bool is_extra_detail_;
  std::string_view extra_detail_id_;
};

std::string Render(ReportEngine& engine,
                   const std::shared_ptr<ado::Recordset>& rst,
                   const std::string& template_path,
                   const std::string& destination, bool is_extra_detail,
                   std::string_view extra_detail_id) {
  const std::shared_ptr<ComponentState>& state = engine.state();
  const std::string template_text = ReadTemplate(template_path);
  const tmpl::SplitResult split = tmpl::SplitTemplate(template_text);
  DeleteExistingFile(destination);
  if (!rst) {
    throw AutomationError(
        errors::kObjectNotSet,
        std::string(StandardDescription(errors::kObjectNotSet)) +
            ": no recordset was given to render " + template_path,
        "NerolinHTMLReport");
  }
  if (rst->Eof()) return std::string(kNoRows);

  std::shared_ptr<tmpl::Section> report_section;
  std::vector<std::shared_ptr<tmpl::Section>> groups;  // collection order
  std::vector<std::shared_ptr<tmpl::Section>> details;
  for (const std::shared_ptr<tmpl::Section>& section : split.sections) {
    switch (section->GroupType()) {
      case tmpl::kReportSection:
        report_section = section;
        break;
      case tmpl::kGroupSection:
        groups.push_back(section);
        break;
      case tmpl::kDetailSection:
        details.push_back(section);
        break;
    }
  }
  std::vector<std::string> group_columns;
  group_columns.reserve(groups.size());
  for (const auto& group : groups) {
    group_columns.push_back(WithoutBrackets(group->FieldGroup()));
  }

  std::string report;
  report.reserve(template_text.size());
  AppendFilled(report, state, report_section->TextHeader(), rst, nullptr);

  DetailFilter filter(*state, is_extra_detail, extra_detail_id);
  std::vector<fields::BlockFiller> detail_blocks;
  detail_blocks.reserve(details.size());
  for (const auto& detail : details) {
    detail_blocks.emplace_back(detail->TextHeader());
  }
  const std::size_t rows = static_cast<std::size_t>(rst->RecordCount());
  const std::size_t rows_start = report.size();
  bool sized = false;
  std::size_t round = 0;
  // Each round moves one row on. A host library that moves the cursor back
  // or opens the rows again (it is handed them for every row) would walk
  // them again without end.
  while (!rst->Eof()) {
    if (round++ == rows) RaiseRowWalkOverrun(template_path, rows);
    // Group values are only read, so that a group column the rows lack
    // fails the run as it would when grouping.
    for (std::size_t i = groups.size(); i-- > 0;) {
      GroupValue(*rst, group_columns[i], *groups[i]);
    }
    for (std::size_t i = 0; i < details.size(); ++i) {
      if (filter.Passes(rst)) {
        detail_blocks[i].FillOnto(report, state, rst, details[i].get());
      }
    }
    rst->MoveNext();
    if (!sized) {
      // Room for rows like the first, so that a long report is not copied
      // again and again as it grows.
      sized = true;
      const std::size_t per_row = report.size() - rows_start;
      if (rows > 1 && per_row < (std::size_t{1} << 20)) {
        report.reserve(report.size() + per_row * (rows - 1) / 8 * 9 +
                       template_text.size());
      }
    }
  }

  // Footers show the first row; a cursor that cannot go back leaves them
  // without a current row.
  try {
    rst->MoveFirst();
  } catch (const AutomationError&) {
  }
  for (std::size_t i = groups.size(); i-- > 0;) {
    AppendFilled(report, state, groups[i]->TextFooter(), rst, groups[i].get());
  }
  AppendFilled(report, state, report_section->TextFooter(), rst,
               report_section.get());
  return fields::EmbedImages(*state, std::move(report), template_path);
}

}  // namespace

Variant RenderRecordset(ReportEngine& engine,
                        const std::shared_ptr<ado::Recordset>& rst,
                        const Variant& html_source_file,
                        const Variant& html_destination_file,
                        bool is_extra_detail,
                        std::string_view extra_detail_id) {
  const ReportValuesScope report_values(*engine.state());
  try {
    const std::string template_path = ParameterText(html_source_file);
    if (template_path.empty()) return {};
    return Variant(Render(engine, rst, template_path,
                          TextOf(html_destination_file), is_extra_detail,
                          extra_detail_id));
  } catch (...) {
    ReportFailure(*engine.state(), std::current_exception());
  }
  return {};
}

}  // namespace nerolin::render
