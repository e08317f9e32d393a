// FillFields over one block of template text, for a row of rows held in
// memory, with the host library double. The options byte sets:
//   bit 0     FindMatchIfFieldDoesntExists
//   bits 1-2  the section: none, the detail, a group keeping totals, the
//             report
//   bit 3     an image base URL
//   bit 4     the second row instead of the first
//   bit 5     the rows moved past their end
//   bit 6     the appending FillFields instead of the in-place one
// FillFields never raises; the appending one raises only what the message
// sink raises, and this one raises nothing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "component/component_state.h"
#include "fields/fill_fields.h"
#include "fuzz/fuzz_support.h"
#include "nerolin/recordset.h"
#include "template/sections.h"

namespace {

using nerolin::ComponentState;
using nerolin::Variant;
using nerolin::tmpl::Section;

std::shared_ptr<Section> SectionFor(std::uint8_t kind) {
  auto section = std::make_shared<Section>();
  switch (kind) {
    case 1:
      section->SetName("DETAIL");
      section->SetGroupType(nerolin::tmpl::kDetailSection);
      return section;
    case 2:
      section->SetName("Cliente");
      section->SetGroupType(nerolin::tmpl::kGroupSection);
      section->SumFields()->Add("Total", "Total")->SetTotal(Variant(1566.5));
      section->SumFields()->Add("Cantidad", "Cantidad");
      return section;
    case 3:
      section->SetName("Report");
      section->SetGroupType(nerolin::tmpl::kReportSection);
      return section;
    default:
      return nullptr;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  nerolin::fuzz::RegisterNestedEngineDouble();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const nerolin::fuzz::Input input = nerolin::fuzz::SplitInput(data, size);
  const std::uint8_t options = input.options;

  auto state = std::make_shared<ComponentState>();
  state->set_message_sink(
      std::make_shared<nerolin::fuzz::DiscardingMessageSink>());
  state->set_host_library(std::make_shared<nerolin::fuzz::HostLibraryDouble>());
  state->set_find_match_if_field_doesnt_exists(options & 0x01);
  state->set_template_folder(nerolin::fuzz::ScratchFolder() + "/");
  if (options & 0x08) state->set_image_base_url("https://example.invalid/");

  auto rows = nerolin::ado::Recordset::Create(nerolin::fuzz::DocumentRows(),
                                              "SELECT * FROM docDocument");
  if (options & 0x10) rows->MoveNext();
  if (options & 0x20) rows->MoveLast(), rows->MoveNext();
  const std::shared_ptr<Section> section = SectionFor((options >> 1) & 0x03);

  if (options & 0x40) {
    std::string out = "<p>";
    nerolin::fields::FillFields(out, state, input.text, rows, section.get());
  } else {
    std::string block(input.text);
    nerolin::fields::FillFields(state, block, rows, section.get());
  }
  return 0;
}
