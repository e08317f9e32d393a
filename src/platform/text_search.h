#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nerolin::platform {

// Searches and in-place edits over whole reports. The passes that call them
// run over every byte of a report, most of it ASCII markup. The byte
// searches look at many bytes at a time where the processor allows; each
// gives exactly what its portable twin at the end gives.

// Where `what` first stands in `text` at or after `from`;
// std::string_view::npos when it does not (or `from` is past the end). An
// empty `what` stands at `from`.
//
// Looks for the first byte alone while it stands rarely (a placeholder's
// "["), and leaves the rest to memmem once it stands everywhere (markup's
// "<"), where a byte-at-a-time search would stop at every one.
std::size_t FindText(std::string_view text, std::string_view what,
                     std::size_t from = 0);

// How many times `what` (not empty) stands in `text` at or after `from`,
// without overlaps, counted left to right as a replacement would take them.
std::size_t CountText(std::string_view text, std::string_view what,
                      std::size_t from = 0);

// Replaces every occurrence of `what` at or after `from` by `with`, left to
// right, without searching replaced text again; returns how many. The text
// before `from` is not copied, and the text is unchanged if the work fails.
// REQUIRES: `what` is not empty.
std::size_t ReplaceAll(std::string& text, std::string_view what,
                       std::string_view with, std::size_t from = 0);

// Removes every occurrence of `what` at or after `from` in place, left to
// right, without searching the text a removal joins again; returns where
// the first one was, npos when there was none.
// REQUIRES: `what` is not empty.
std::size_t RemoveAll(std::string& text, std::string_view what,
                      std::size_t from = 0);

// The end of the run of ASCII bytes (below 0x80) that starts at `from`: the
// first byte at or after `from` that is not ASCII, or text.size().
// REQUIRES: from <= text.size().
std::size_t AsciiRunEnd(std::string_view text, std::size_t from);

// The first position p at or after `from` where text[p] is `first` and
// text[p + 1] OR-ed with `fold` is `second`; npos when there is none. With
// `fold` 0x20 and `second` a small ASCII letter, that letter matches in
// either case; with `fold` 0 the byte matches only itself.
std::size_t FindBytePair(std::string_view text, std::size_t from, char first,
                         char second, unsigned char fold);

// Every position of `byte` in `text`, in order.
std::vector<std::size_t> PositionsOfByte(std::string_view text, char byte);

// The same searches a byte or a word at a time: what the ones above do on a
// processor without SSE2, callable everywhere so that tests hold both to the
// same answers.
namespace portable {
std::size_t AsciiRunEnd(std::string_view text, std::size_t from);
std::size_t FindBytePair(std::string_view text, std::size_t from, char first,
                         char second, unsigned char fold);
std::vector<std::size_t> PositionsOfByte(std::string_view text, char byte);
}  // namespace portable

}  // namespace nerolin::platform
