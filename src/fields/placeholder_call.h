#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nerolin::fields {

// The value a plain placeholder "[name]" shows for `name`, or nothing when
// no one knows the name.
using NameLookup =
    std::function<std::optional<std::string>(std::string_view name)>;

// The arguments of `placeholder` when it is exactly "[FUNCTION(arguments)]"
// with `function` in any letter case: the text between the parentheses split
// at each ",", each piece trimmed ("[QR( Url , H )]" gives "Url" and "H").
// Nothing when the placeholder has any other shape, text before the name or
// after the ")", or a "(" or ")" among its arguments, so that a placeholder
// which holds another function form is never taken for this one.
// REQUIRES: `function` is upper-case ASCII.
std::optional<std::vector<std::string_view>> CallArguments(
    std::string_view placeholder, std::string_view function);

}  // namespace nerolin::fields
