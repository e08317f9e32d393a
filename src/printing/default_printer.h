#pragma once

#include <string>

namespace nerolin::printing {

// The device name of the first installed printer, in the print service's
// order, whose CPrinterInfo reads IsDefault true; empty when none does.
// Each printer met before the default is refreshed (record and jobs).
std::string GetDefaultPrinterName();

// Makes the printer `name` the current user's default printer through a
// CPrinterInfo (DeviceName, then IsDefault = true). A name that matches no
// printer changes nothing; nothing is reported either way.
void SetDefaultPrinterByName(const std::string& name);

}  // namespace nerolin::printing
