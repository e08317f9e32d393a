// The template split over any text, under both policies for an empty group
// text, and the marker search beside it: only error 5 or 457 may come out.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nerolin/automation_error.h"
#include "template/template_split.h"

namespace {

void Split(std::string_view text, nerolin::tmpl::OnEmptyGroupText policy) {
  try {
    const nerolin::tmpl::SplitResult result = SplitTemplate(text, policy);
    // Every section's text comes from the template.
    for (const auto& section : result.sections) {
      if (section->TextHeader().size() > text.size() ||
          section->TextFooter().size() > text.size()) {
        std::abort();
      }
    }
  } catch (const nerolin::AutomationError& error) {
    if (error.number() != 5 && error.number() != 457) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Split(text, nerolin::tmpl::OnEmptyGroupText::kFail);
  Split(text, nerolin::tmpl::OnEmptyGroupText::kContinueAfterClosingTag);
  try {
    nerolin::tmpl::ExtractBetween(text, "<DETAIL>", "</DETAIL>");
  } catch (const nerolin::AutomationError& error) {
    if (error.number() != 5) std::abort();
  }
  return 0;
}
