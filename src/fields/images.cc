#include "fields/images.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "platform/base64.h"
#include "platform/files.h"
#include "platform/text_search.h"

namespace nerolin::fields {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The host setting that switches embedding off; failures of the pass are
// reported under the same name.
constexpr std::string_view kSettingKey = "ConvertImagesToBase64";

// A step of ImageToBase64 that failed on `path` and was passed over, for
// whoever listens. Call only inside a catch block.
void ReportSkippedStep(const ComponentState& state, std::string_view step,
                       std::string_view path) noexcept {
  if (!state.diagnostics_wanted()) return;
  try {
    state.Diagnose(DiagnosticKind::kStepSkipped,
                   std::string(step) + " " + std::string(path),
                   AsAutomationError(std::current_exception(), "ImageToBase64")
                       .description());
  } catch (...) {
    // The step is passed over all the same.
  }
}

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Finds a pattern without regard to case, giving the same answers as InStr
// with text comparison. It jumps between occurrences of one byte of the
// pattern that has no other case (the "<" of "<img ", the "=" of "src="), so
// a search over a long report costs about what memchr costs.
class CaselessFinder {
 public:
  explicit CaselessFinder(std::string_view pattern) : pattern_(pattern) {
    // A non-ASCII first byte could be a continuation byte whose case depends
    // on the byte before the match; such patterns take the general search.
    if (pattern.empty() || static_cast<unsigned char>(pattern[0]) >= 0x80) {
      return;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      const auto byte = static_cast<unsigned char>(pattern[i]);
      if (byte < 0x80 && !IsAsciiLetter(byte)) {
        anchor_ = i;
        break;
      }
    }
    // The byte after the anchor, when it is ASCII: either case of a letter
    // (`| 0x20` folds both to the small letter), any other byte only itself.
    // Upper-casing changes no other byte into ASCII, so a place where that
    // byte does not follow the anchor holds no match.
    if (anchor_ != kNone && anchor_ + 1 < pattern.size()) {
      const auto next = static_cast<unsigned char>(pattern[anchor_ + 1]);
      if (next < 0x80) {
        pair_ = true;
        next_fold_ = IsAsciiLetter(next) ? 0x20 : 0;
        next_ = static_cast<char>(next | next_fold_);
      }
    }
  }

  // The first match that starts at or after `from`; kNone when there is
  // none.
  std::size_t Find(std::string_view text, std::size_t from) const {
    if (pattern_.empty() || from >= text.size() ||
        pattern_.size() > text.size() - from) {
      return kNone;
    }
    if (anchor_ == kNone) {
      const std::int64_t found = InStr(static_cast<std::int64_t>(from) + 1,
                                       text, pattern_, CompareMode::kText);
      return found == 0 ? kNone : static_cast<std::size_t>(found - 1);
    }
    const char key = pattern_[anchor_];
    const std::size_t last_start = text.size() - pattern_.size();
    if (pair_) {
      // The anchor and the byte after it are tested together: most "<" of
      // a report are passed over without the full comparison. Each round
      // moves `at` forward by at least one byte.
      for (std::size_t at = platform::FindBytePair(text, from + anchor_, key,
                                                   next_, next_fold_);
           at != kNone;
           at = platform::FindBytePair(text, at + 1, key, next_, next_fold_)) {
        const std::size_t start = at - anchor_;
        if (start > last_start) return kNone;
        if (EqualsIgnoreCase(text.substr(start, pattern_.size()), pattern_)) {
          return start;
        }
      }
      return kNone;
    }
    // Every round moves `at` forward by at least one byte.
    for (std::size_t at = from + anchor_; at - anchor_ <= last_start; ++at) {
      const void* hit = std::memchr(text.data() + at, key, text.size() - at);
      if (hit == nullptr) return kNone;
      at =
          static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
      const std::size_t start = at - anchor_;
      if (start > last_start) return kNone;
      if (EqualsIgnoreCase(text.substr(start, pattern_.size()), pattern_)) {
        return start;
      }
    }
    return kNone;
  }

 private:
  std::string_view pattern_;
  std::size_t anchor_ = kNone;
  // Whether the byte after the anchor is ASCII, what it must fold to and
  // how it is folded.
  bool pair_ = false;
  char next_ = 0;
  unsigned char next_fold_ = 0;
};

struct Replaced {
  std::string text;
  // Where the byte the caller asked about went; the end of the replacement
  // when that byte was part of a replaced occurrence.
  std::size_t position = 0;
};

// Every occurrence of `old_text` (without regard to case) replaced by
// `new_text`, left to right, without rescanning replaced text: what Replace
// with text comparison gives, built in one allocation.
Replaced ReplaceCaseless(std::string_view text, std::string_view old_text,
                         std::string_view new_text, std::size_t position) {
  Replaced result;
  if (old_text.empty()) {
    result.text.assign(text);
    result.position = position;
    return result;
  }
  const CaselessFinder finder(old_text);
  std::vector<std::size_t> starts;
  // Each round moves past one occurrence.
  for (std::size_t at = finder.Find(text, 0); at != kNone;
       at = finder.Find(text, at + old_text.size())) {
    starts.push_back(at);
  }
  result.text.reserve(text.size() - starts.size() * old_text.size() +
                      starts.size() * new_text.size());
  std::size_t copied = 0;
  bool placed = false;
  for (const std::size_t start : starts) {
    if (!placed && position < start) {
      result.position = result.text.size() + (position - copied);
      placed = true;
    }
    result.text.append(text.substr(copied, start - copied));
    result.text.append(new_text);
    copied = start + old_text.size();
    if (!placed && position < copied) {
      result.position = result.text.size();
      placed = true;
    }
  }
  if (!placed) result.position = result.text.size() + (position - copied);
  result.text.append(text.substr(copied));
  return result;
}

// The html with the src attribute from `src_position` through
// `quote_position` replaced everywhere by the data URI of the picture;
// nothing when the picture gives no text, whose URI would show no picture
// where the file's path might still find one.
std::optional<Replaced> EmbedPicture(ComponentState& state,
                                     std::string_view picture_path,
                                     std::string_view html,
                                     std::size_t src_position,
                                     std::size_t quote_position,
                                     std::size_t tag_position) {
  const std::string base64 = ImageToBase64(state, picture_path);
  if (base64.empty()) return std::nullopt;
  const std::string subtype = RightChars(picture_path, 3);
  std::string attribute;
  attribute.reserve(base64.size() + subtype.size() + 32);
  attribute.append("src=\"data:image/")
      .append(subtype)
      .append(";base64,")
      .append(base64)
      .append("\"");
  return ReplaceCaseless(
      html, html.substr(src_position, quote_position - src_position + 1),
      attribute, tag_position);
}

// A file the pass may read a picture from. A text that cannot name a file
// here (a NUL byte, too long) names none; checking first also keeps the
// system from testing the path cut short at a NUL.
bool IsPictureFile(const std::string& path) {
  try {
    platform::CheckFileName(path);
  } catch (const AutomationError&) {
    return false;
  }
  return platform::IsVisibleOrdinaryFile(path);
}

// Where the picture of a src value is: the path as written (relative to the
// working folder), then under the template's folder. Hosts on Windows write
// "img\logo.gif"; when the path holds a backslash and neither place has a
// file, the same two places are tried with every "\" read as "/". The
// template's folder is left as it is: it is the folder of a template this
// system has opened. "" when no place has the file.
std::string FindPicture(const std::string& path, std::string_view base_folder) {
  std::array<std::string, 4> candidates;
  candidates[0] = path;
  if (!base_folder.empty()) candidates[1] = std::string(base_folder) + path;
  if (path.find('\\') != std::string::npos) {
    std::string slashed = path;
    for (char& c : slashed) {
      if (c == '\\') c = '/';
    }
    if (!base_folder.empty()) {
      candidates[3] = std::string(base_folder) + slashed;
    }
    candidates[2] = std::move(slashed);
  }
  for (const std::string& candidate : candidates) {
    if (!candidate.empty() && IsPictureFile(candidate)) return candidate;
  }
  return {};
}

// The template's folder with its separator: up to and including the last
// "/" or "\"; "" when there is none.
std::string_view BaseFolder(std::string_view template_path) {
  const std::size_t last = template_path.find_last_of("/\\");
  return last == kNone ? std::string_view() : template_path.substr(0, last + 1);
}

// Whether the host has switched embedding off. A setting that is absent
// reads as Empty, which is false; a text other than True, False or a
// number raises 13.
bool EmbeddingSwitchedOff(ComponentState& state) {
  hostlib::HostLibrary library = state.Library();
  return CBool(library.GetValue(library.GetDefaultValue(kSettingKey)));
}

std::size_t CountTags(std::string_view html, const CaselessFinder& tag) {
  std::size_t count = 0;
  for (std::size_t at = tag.Find(html, 0); at != kNone;
       at = tag.Find(html, at + 1)) {
    ++count;
  }
  return count;
}

// Where a picture tag's src value stands, and the path it names.
struct SourceAttribute {
  std::size_t src;          // the "src=" itself
  std::size_t close_quote;  // the double quote that ends the value
  std::string path;         // trimmed, without "file:"
};

// The src of the picture tag at `tag`. Only the tag's own src counts;
// nothing for a tag without one, or whose value is not in double quotes.
std::optional<SourceAttribute> SourceOf(std::string_view html, std::size_t tag,
                                        const CaselessFinder& src_finder) {
  const std::size_t tag_end = html.find('>', tag);
  const std::size_t src = src_finder.Find(html.substr(0, tag_end), tag);
  if (src == kNone) return std::nullopt;
  const std::size_t open_quote = src + 4;
  if (open_quote >= html.size() || html[open_quote] != '"') return std::nullopt;
  const std::size_t close_quote = html.find('"', open_quote + 1);
  if (close_quote == kNone) {
    throw AutomationError(errors::kInvalidArgument,
                          "Invalid procedure call or argument: the src "
                          "value of the picture tag at byte " +
                              std::to_string(tag + 1) +
                              " has no closing double quote",
                          "EmbedImages");
  }
  // An embedded picture's value is kilobytes of base64; the anchored
  // search crosses it at memchr speed.
  return SourceAttribute{
      src, close_quote,
      ReplaceCaseless(
          Trim(html.substr(open_quote + 1, close_quote - open_quote - 1)),
          "file:", "", 0)
          .text};
}

// The report with its local pictures embedded: `source` itself while none
// is, otherwise `owned`, which holds the text.
std::string_view EmbedLocalPictures(ComponentState& state,
                                    std::string_view source,
                                    std::string_view template_path,
                                    std::string& owned) {
  const std::string_view base_folder = BaseFolder(template_path);
  const CaselessFinder tag_finder("<img ");
  const CaselessFinder src_finder("src=");
  // Most reports embed nothing, and are not copied.
  std::string_view html = source;
  // A replacement embeds at least the tag at hand, and what it writes holds
  // no "<img ", so there can be no more replacements than tags; the cap
  // keeps a pathological report from cycling. The tags are counted when a
  // first picture is found, in the report as it came: most reports embed
  // none and need no count.
  std::optional<std::size_t> replacements_left;
  std::size_t from = 0;
  for (;;) {
    const std::size_t tag = tag_finder.Find(html, from);
    if (tag == kNone) break;
    from = tag + 1;
    const std::optional<SourceAttribute> attribute =
        SourceOf(html, tag, src_finder);
    if (!attribute) continue;
    const std::string& path = attribute->path;
    if (path.find("http://") != std::string::npos ||
        path.find("https://") != std::string::npos) {
      continue;
    }
    // Read anew for every local picture: the host may change it meanwhile.
    if (EmbeddingSwitchedOff(state)) break;
    if (LCase(Trim(Left(path, 10))) == "data:image") continue;
    const std::string picture = FindPicture(path, base_folder);
    if (picture.empty()) continue;
    if (!replacements_left) replacements_left = CountTags(html, tag_finder);
    if (*replacements_left == 0) break;
    --*replacements_left;
    // Replacing every occurrence may move the tag when the same attribute
    // text also stands earlier in the report; the search goes on after the
    // tag wherever it now is.
    std::optional<Replaced> replaced = EmbedPicture(
        state, picture, html, attribute->src, attribute->close_quote, tag);
    if (!replaced) continue;
    from = replaced->position + 1;
    owned = std::move(replaced->text);
    html = owned;
  }
  return html;
}

}  // namespace

std::string EmbedImages(ComponentState& state, std::string html,
                        std::string_view template_path) {
  std::string description;
  try {
    std::string owned;
    const std::string_view embedded =
        EmbedLocalPictures(state, html, template_path, owned);
    // The report itself when nothing was embedded, else the copy that
    // holds the pictures.
    if (embedded.data() != html.data()) html = std::move(owned);
    EncodeAccentsInPlace(html);
    return html;
  } catch (...) {
    description = AsAutomationError(std::current_exception(), "EmbedImages")
                      .description();
  }
  state.ShowMessage(description, kSettingKey, MessageIcon::kInformation);
  return {};
}

std::string LocatePicture(const std::string& path,
                          std::string_view template_path) {
  return FindPicture(path, BaseFolder(template_path));
}

std::string ImageToBase64(ComponentState& state, std::string_view path) {
  // Each step fails on its own: a failed download still lets a file at the
  // path be read, and a downloaded copy is deleted whatever happened.
  std::string file(path);
  std::string downloaded;
  try {
    if (!IsPictureFile(file)) {
      std::string url(path);
      std::string local_path;
      if (state.Library()
              .DownloadURLImage(url, platform::OwnModuleFolder(), local_path)
              .empty()) {
        downloaded = local_path;
        file = std::move(local_path);
      }
    }
  } catch (...) {
    ReportSkippedStep(state, "DownloadURLImage", path);
  }
  std::string base64;
  try {
    if (IsPictureFile(file)) {
      base64 =
          platform::Base64Encode(platform::ReadBytes(file, kMaxPictureSize));
    }
  } catch (...) {
    base64.clear();
    ReportSkippedStep(state, "ReadBytes", file);
  }
  if (!downloaded.empty()) {
    try {
      platform::DeleteFile(downloaded);
    } catch (...) {
      base64.clear();
      ReportSkippedStep(state, "DeleteFile", downloaded);
    }
  }
  return base64;
}

void EncodeAccentsInPlace(std::string& text) {
  // Every letter of the table is U+00C0..U+00FF, written as 0xC3 and one
  // more byte that is never 0xC3; the entities hold no such byte. So the
  // letters are exactly the lead bytes followed by a second byte of the
  // table, and one pass gives what the twelve replacements one after the
  // other give.
  static constexpr std::array<std::string_view, 64> kEntities = [] {
    std::array<std::string_view, 64> entities{};
    entities[0xB1 - 0x80] = "&ntilde;";
    entities[0xA1 - 0x80] = "&aacute;";
    entities[0xA9 - 0x80] = "&eacute;";
    entities[0xAD - 0x80] = "&iacute;";
    entities[0xB3 - 0x80] = "&oacute;";
    entities[0xBA - 0x80] = "&uacute;";
    entities[0x91 - 0x80] = "&Ntilde;";
    entities[0x81 - 0x80] = "&Aacute;";
    entities[0x89 - 0x80] = "&Eacute;";
    entities[0x8D - 0x80] = "&Iacute;";
    entities[0x93 - 0x80] = "&Oacute;";
    entities[0x9A - 0x80] = "&Uacute;";
    return entities;
  }();
  constexpr std::size_t kEntitySize = 8;  // every entity, for 2 bytes
  const auto entity_at = [&](std::size_t at) -> std::string_view {
    if (at + 1 >= text.size()) return {};
    const auto second = static_cast<unsigned char>(text[at + 1]);
    if (second < 0x80 || second >= 0xC0) return {};
    return kEntities[second - 0x80];
  };
  std::vector<std::size_t> letters = platform::PositionsOfByte(text, '\xC3');
  std::erase_if(letters, [&](std::size_t at) { return entity_at(at).empty(); });
  if (letters.empty()) return;
  // From the end backwards: each piece moves right, over bytes already
  // moved or replaced, and what is still to read stays in place.
  const std::size_t old_size = text.size();
  const std::size_t new_size = old_size + letters.size() * (kEntitySize - 2);
  text.reserve(new_size);
  text.resize(new_size);
  char* const data = text.data();
  std::size_t read_end = old_size;
  std::size_t write_end = new_size;
  for (std::size_t i = letters.size(); i-- > 0;) {
    const std::size_t at = letters[i];
    const std::size_t tail = read_end - (at + 2);
    write_end -= tail;
    std::memmove(data + write_end, data + at + 2, tail);
    const std::string_view entity =
        kEntities[static_cast<unsigned char>(data[at + 1]) - 0x80];
    write_end -= kEntitySize;
    std::memcpy(data + write_end, entity.data(), kEntitySize);
    read_end = at;
  }
}

}  // namespace nerolin::fields
