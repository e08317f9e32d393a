#pragma once

// What the fuzz targets share: a scratch folder, a message sink that drops
// what it is shown, rows held in memory and a host library double that
// answers every member the engine calls by name, without a database, a
// network or a file outside the scratch folder.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/message_sink.h"
#include "nerolin/object.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin::fuzz {

// A folder of its own under the temporary folder, made on first use and
// removed with all it holds when the process exits normally. Ends without a
// separator.
const std::string& ScratchFolder();

// Writes `bytes` to ScratchFolder()/`name` and returns the path.
std::string WriteScratchFile(std::string_view name, std::string_view bytes);

// A few bytes that start like a PNG picture.
std::string PictureBytes();

// The input as an options byte (0 when the input is empty) and the text
// after it.
struct Input {
  std::uint8_t options = 0;
  std::string_view text;
};
Input SplitInput(const std::uint8_t* data, std::size_t size);

class DiscardingMessageSink : public MessageSink {
 public:
  void Show(std::string_view, std::string_view, MessageIcon) override {}
};

// Two document lines with the columns templates name: ID, DocumentItemID,
// Serie, Folio, Fecha, Total, Cantidad, ValorUnitario, Descripcion (with a
// line break), CurrencyID, Symbol, Alignment, PictureSourceDocument, Foto
// (a picture in the scratch folder), LineNumber, Nota (Null) and
// RetentionComplementTypeID.
ado::RowSet DocumentRows();

// The host library and its own data layer in one object. Look-ups answer
// from a few fixed tables; a stored statement is asked for by a key that
// looks like one (it holds "(" or "{" or "SELECT"), and is the key itself,
// so the input reaches the statement and call paths. The setting
// ConvertImagesToBase64 answers `convert_images`; DownloadURLImage copies a
// picture into the scratch folder for a URL ending in ".png" and fails
// otherwise.
class HostLibraryDouble : public Object {
 public:
  explicit HostLibraryDouble(Variant convert_images = Variant("0"))
      : convert_images_(std::move(convert_images)) {}

  std::string_view TypeName() const override { return "clsMain"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  Variant convert_images_;
};

// Registers under the engine's ProgID a nested engine double whose GetHTML
// gives the statement it was asked for, so that an HTML placeholder brings
// brackets back into the block without reading or writing a file.
void RegisterNestedEngineDouble();

}  // namespace nerolin::fuzz
