#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "nerolin/object.h"
#include "printing/print_service.h"

namespace nerolin::printing {

// A printer's or a job's device settings, read-only: the fields of the
// DEVMODE record up to the display frequency. A fresh object is all zeros
// and empty texts. Private to the component (no ProgID).
//
// Members by name, in slot order: DeviceName, SpecVersion, DriverVersion,
// Fields, Orientation, PaperSize, PaperLength, PaperWidth, ScaleFactor,
// Copies, DefaultSource, PrintQuality, Color, Duplex, YResolution,
// TTOption, Collate, FormName, LogPixels, BitsPerPel, PelsWidth, PelsHeight,
// NUP, DisplayFrequency; all property gets.
class CDevMode : public Object {
 public:
  // Copies `settings` into the record; null leaves the record unchanged.
  // Only the printer classes load settings.
  void LoadFromPointer(const DeviceSettings* settings);

  const DeviceSettings& settings() const { return settings_; }

  // The texts are cut at their first NUL character; a text without one is
  // trimmed of spaces.
  std::string DeviceName() const;
  std::string FormName() const;
  std::int16_t SpecVersion() const { return settings_.spec_version; }
  std::int16_t DriverVersion() const { return settings_.driver_version; }
  std::int32_t Fields() const { return settings_.fields; }
  std::int16_t Orientation() const { return settings_.orientation; }
  std::int16_t PaperSize() const { return settings_.paper_size; }
  std::int16_t PaperLength() const { return settings_.paper_length; }
  std::int16_t PaperWidth() const { return settings_.paper_width; }
  std::int16_t ScaleFactor() const { return settings_.scale; }
  std::int16_t Copies() const { return settings_.copies; }
  std::int16_t DefaultSource() const { return settings_.default_source; }
  std::int16_t PrintQuality() const { return settings_.print_quality; }
  std::int16_t Color() const { return settings_.color; }
  std::int16_t Duplex() const { return settings_.duplex; }
  std::int16_t YResolution() const { return settings_.y_resolution; }
  std::int16_t TTOption() const { return settings_.tt_option; }
  std::int16_t Collate() const { return settings_.collate; }
  std::int16_t LogPixels() const { return settings_.log_pixels; }
  std::int32_t BitsPerPel() const { return settings_.bits_per_pel; }
  std::int32_t PelsWidth() const { return settings_.pels_width; }
  std::int32_t PelsHeight() const { return settings_.pels_height; }
  std::int32_t NUP() const { return settings_.nup; }
  std::int32_t DisplayFrequency() const { return settings_.display_frequency; }

  std::string_view TypeName() const override { return "CDevMode"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  DeviceSettings settings_;
};

// A fixed-width record text as the device settings show it: cut at the
// first NUL character, or trimmed of spaces when it has none.
std::string RecordText(std::string_view text);

}  // namespace nerolin::printing
