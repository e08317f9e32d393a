#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nerolin {
class ComponentState;
}

namespace nerolin::fields {

// Pictures of a finished report made part of its text, and the Spanish
// accented letters written as HTML entities.

// The largest picture that is embedded. A logo or a stamp is a few hundred
// kilobytes; a larger file is most likely no picture for a report, and its
// tag keeps pointing at it instead of swelling the report.
inline constexpr std::size_t kMaxPictureSize = std::size_t{32} << 20;

// The report with the double-quoted src of every "<img " tag that names a
// local picture replaced by a data URI, then passed through
// EncodeAccentsInPlace. A relative picture path is tried as written, then
// under the folder of `template_path` (up to its last "/" or "\"); a path
// that holds "\" is then tried in both places with every "\" read as "/".
// Tags whose path holds "http://" or "https://", that are embedded already,
// that name no file or whose path is no valid file name stay as they are; so
// do tags without a src= or with a value not in double quotes, and tags
// whose picture gives no text (see ImageToBase64). The host setting
// "ConvertImagesToBase64", read before each local picture, ends the pass
// when it reads true. On any other failure (no host library, a src value
// whose closing quote never comes) the description goes to the message
// sink under the title "ConvertImagesToBase64" and the result is "".
std::string EmbedImages(ComponentState& state, std::string html,
                        std::string_view template_path);

// The file EmbedImages reads for the picture path `path` of a report
// rendered from `template_path`: the path as written, then under the
// template's folder, then both with every "\" read as "/"; "" when none of
// them is a visible ordinary file.
std::string LocatePicture(const std::string& path,
                          std::string_view template_path);

// The base64 text (RFC 4648, no line breaks) of the file at `path`, or of
// the copy the host's DownloadURLImage makes when no file is there (the copy
// is deleted afterwards); "" when neither works, for an empty picture and
// for one of more than kMaxPictureSize bytes (measured before it is read).
// Never raises; a step that fails is reported to the diagnostics channel.
std::string ImageToBase64(ComponentState& state, std::string_view path);

// ñ á é í ó ú Ñ Á É Í Ó Ú in `text` as &ntilde; ... &Uacute;; nothing
// else changes. The text grows once.
void EncodeAccentsInPlace(std::string& text);

}  // namespace nerolin::fields
