#include "render/render_steps.h"

#include <string>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "fields/fill_fields.h"
#include "nerolin/automation_error.h"
#include "nerolin/message_sink.h"
#include "platform/files.h"
#include "template/sections.h"

namespace nerolin::render {

void ReportFailure(const ComponentState& state,
                   const std::exception_ptr& failure) {
  const std::string description =
      AsAutomationError(failure, kComponentName).description();
  try {
    state.ShowMessage(description, {}, MessageIcon::kInformation);
  } catch (...) {
    // A host's sink that fails has nowhere else to report; the renderer's
    // result still stands.
  }
}

void DeleteExistingFile(const std::string& path) {
  if (path.empty() || !platform::IsOrdinaryFile(path)) return;
  platform::DeleteFile(path);
}

void AppendFilled(std::string& report,
                  const std::shared_ptr<ComponentState>& state,
                  const std::string& block,
                  const std::shared_ptr<ado::Recordset>& rst,
                  const tmpl::Section* section) {
  fields::FillFields(report, state, block, rst, section);
}

Variant GroupValue(ado::Recordset& rst, const std::string& column,
                   const tmpl::Section& group) {
  try {
    return rst.Value(Variant(column));
  } catch (const AutomationError& error) {
    if (error.number() != errors::kItemNotFound) throw;
    throw AutomationError(error.number(),
                          error.description() + ": the group \"" +
                              group.Name() + "\" reads the column \"" + column +
                              "\", which the rows do not have",
                          error.source());
  }
}

std::string ParameterText(const Variant& value) { return CStr(value); }

void RaiseRowWalkOverrun(const std::string& template_path, std::size_t rows) {
  throw AutomationError(errors::kInvalidArgument,
                        "The row walk of " + template_path +
                            " went past the last of its " +
                            std::to_string(rows) + " rows",
                        "NerolinHTMLReport");
}

}  // namespace nerolin::render
