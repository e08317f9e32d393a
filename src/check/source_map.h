#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nerolin::check {

// A place in a template file as its author sees it in an editor.
struct SourcePosition {
  std::size_t line = 1;    // from 1
  std::size_t column = 1;  // from 1, in characters
};

// A template file read as the renderers read it, with the way back from a
// place in the text they work on to the line and column of the file. The
// ANSI reading drops CR and CR LF and joins the lines, and every reading
// decodes to UTF-8, so neither byte offsets nor the text's own line breaks
// tell where the author wrote something.
class SourceMap {
 public:
  // `bytes` (the whole file) decoded by render::DecodeTemplate.
  explicit SourceMap(std::string_view bytes);

  // The text the renderers work on.
  const std::string& text() const { return text_; }

  // Where the character at byte `offset` of text() stands in the file (the
  // end of the text stands after its last character). Lines end at CR LF,
  // CR and LF, as editors show them.
  SourcePosition PositionOf(std::size_t offset) const;

 private:
  std::string text_;
  // Where each line of the file starts in text(), in order. A line that
  // the reading joined to the one before it starts where that one's text
  // ends, so two lines may start at the same offset.
  std::vector<std::size_t> line_starts_;
  // The last answer, from which a later place on the same line is counted
  // on: findings come in order, and a template may be one long line.
  mutable std::size_t cached_offset_ = 0;
  mutable std::size_t cached_line_ = 0;  // index into line_starts_
  mutable std::size_t cached_column_ = 1;
};

}  // namespace nerolin::check
