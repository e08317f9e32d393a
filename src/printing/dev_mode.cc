#include "printing/dev_mode.h"

#include "automation/vb_text.h"

namespace nerolin::printing {

std::string RecordText(std::string_view text) {
  std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) return std::string(text.substr(0, nul));
  return std::string(Trim(text));
}

void CDevMode::LoadFromPointer(const DeviceSettings* settings) {
  if (settings) settings_ = *settings;
}

std::string CDevMode::DeviceName() const {
  return RecordText(settings_.device_name);
}

std::string CDevMode::FormName() const {
  return RecordText(settings_.form_name);
}

Variant CDevMode::Invoke(std::string_view member, InvokeKind kind,
                         Arguments& args) {
  using T = CDevMode;
  auto get = [](auto read) {
    return [read](T& d, InvokeKind, Arguments&) { return Variant(read(d)); };
  };
  static const MemberTable<T> table =
      MemberTable<T>()
          .Method("DeviceName", 0, 0, get([](T& d) { return d.DeviceName(); }))
          .Method("SpecVersion", 0, 0,
                  get([](T& d) { return d.SpecVersion(); }))
          .Method("DriverVersion", 0, 0,
                  get([](T& d) { return d.DriverVersion(); }))
          .Method("Fields", 0, 0, get([](T& d) { return d.Fields(); }))
          .Method("Orientation", 0, 0,
                  get([](T& d) { return d.Orientation(); }))
          .Method("PaperSize", 0, 0, get([](T& d) { return d.PaperSize(); }))
          .Method("PaperLength", 0, 0,
                  get([](T& d) { return d.PaperLength(); }))
          .Method("PaperWidth", 0, 0, get([](T& d) { return d.PaperWidth(); }))
          .Method("ScaleFactor", 0, 0,
                  get([](T& d) { return d.ScaleFactor(); }))
          .Method("Copies", 0, 0, get([](T& d) { return d.Copies(); }))
          .Method("DefaultSource", 0, 0,
                  get([](T& d) { return d.DefaultSource(); }))
          .Method("PrintQuality", 0, 0,
                  get([](T& d) { return d.PrintQuality(); }))
          .Method("Color", 0, 0, get([](T& d) { return d.Color(); }))
          .Method("Duplex", 0, 0, get([](T& d) { return d.Duplex(); }))
          .Method("YResolution", 0, 0,
                  get([](T& d) { return d.YResolution(); }))
          .Method("TTOption", 0, 0, get([](T& d) { return d.TTOption(); }))
          .Method("Collate", 0, 0, get([](T& d) { return d.Collate(); }))
          .Method("FormName", 0, 0, get([](T& d) { return d.FormName(); }))
          .Method("LogPixels", 0, 0, get([](T& d) { return d.LogPixels(); }))
          .Method("BitsPerPel", 0, 0, get([](T& d) { return d.BitsPerPel(); }))
          .Method("PelsWidth", 0, 0, get([](T& d) { return d.PelsWidth(); }))
          .Method("PelsHeight", 0, 0, get([](T& d) { return d.PelsHeight(); }))
          .Method("NUP", 0, 0, get([](T& d) { return d.NUP(); }))
          .Method("DisplayFrequency", 0, 0,
                  get([](T& d) { return d.DisplayFrequency(); }));
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin::printing
