// EmbedImages (with its accent pass) over a finished report. The options
// byte sets:
//   bits 0-2  ConvertImagesToBase64: "0", "True", Null, "", a text that is
//             no truth value, Empty, the number 0, or no host library
//   bit 3     the template path written with "\" instead of "/"
// Pictures named relatively are looked for in the scratch folder, which
// holds logo.png, fotos/foto.png and a hidden .oculto.png. EmbedImages never
// raises.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "component/component_state.h"
#include "fields/images.h"
#include "fuzz/fuzz_support.h"

namespace {

using nerolin::Variant;

Variant SettingFor(std::uint8_t kind) {
  switch (kind) {
    case 0:
      return Variant("0");
    case 1:
      return Variant("True");
    case 2:
      return Variant::Null();
    case 3:
      return Variant("");
    case 4:
      return Variant("quizás");
    case 5:
      return Variant();
    default:
      return Variant(std::int32_t{0});
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string picture = nerolin::fuzz::PictureBytes();
  nerolin::fuzz::WriteScratchFile("logo.png", picture);
  nerolin::fuzz::WriteScratchFile("fotos/foto.png", picture);
  nerolin::fuzz::WriteScratchFile(".oculto.png", picture);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const nerolin::fuzz::Input input = nerolin::fuzz::SplitInput(data, size);
  const std::uint8_t setting = input.options & 0x07;

  nerolin::ComponentState state;
  state.set_message_sink(
      std::make_shared<nerolin::fuzz::DiscardingMessageSink>());
  if (setting != 7) {
    state.set_host_library(std::make_shared<nerolin::fuzz::HostLibraryDouble>(
        SettingFor(setting)));
  }
  const std::string template_path =
      nerolin::fuzz::ScratchFolder() +
      (input.options & 0x08 ? "\\plantilla.html" : "/plantilla.html");
  nerolin::fields::EmbedImages(state, std::string(input.text), template_path);
  return 0;
}
