#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace nerolin::platform {

// An HTML text parsed into a document tree that elements can be found in
// and removed from, and that can be written back as markup. Parsing
// forgives what browsers forgive (unclosed and stray tags, bare attribute
// values) and never fails on markup. Text goes in and comes out as UTF-8;
// bytes that are not UTF-8 pass through as they are.
//
// The root element is the text's own <html> element when the text starts
// with one (after blanks, a document type line and comments); no <head> or
// <body> is added to it. Any other text is a fragment, and the parser puts
// it inside an <html><body> of its own, as a browser does.
class HtmlDocument {
 public:
  // An element of the document. A handle: valid while its document lives,
  // removed or not.
  class Element {
   public:
    bool operator==(const Element&) const = default;

   private:
    friend class HtmlDocument;
    explicit Element(_xmlNode* node) : node_(node) {}
    _xmlNode* node_;
  };

  // Parses `html`. Raises AutomationError 7 when the parser cannot make a
  // document of it (a text past 2 GiB, no memory). An empty text is a
  // document without elements.
  explicit HtmlDocument(std::string_view html);
  ~HtmlDocument();
  HtmlDocument(HtmlDocument&&) noexcept;
  HtmlDocument& operator=(HtmlDocument&&) noexcept;

  // Every element whose `name` attribute is exactly `value`, in document
  // order. A snapshot: removing elements afterwards does not change it.
  std::vector<Element> ElementsByName(std::string_view value) const;

  // The value of the element's attribute `name` (matched without regard to
  // case), character references resolved; nothing when it has none.
  std::optional<std::string> Attribute(Element element,
                                       std::string_view name) const;

  // Takes the element, with all it holds, out of its parent. Elements inside
  // it stay valid handles (and can be removed from it in turn); removing an
  // element that has no parent any more does nothing.
  void Remove(Element element);

  // The markup of the root element and everything in it (its outer HTML);
  // what stands outside it, such as a document type line, is not written.
  // "" for a document without elements. Raises AutomationError 7 when the
  // markup cannot be written.
  std::string RootOuterHtml() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether some element of `html` may have a `name` attribute whose value is
// `value`, without parsing it: false only when no element can (the value is
// not in the text, and no name attribute spells anything with a character
// reference). Linear in the text.
bool MayHoldElementNamed(std::string_view html, std::string_view value);

// The root element of `html` exactly as written, when the text is a
// document whose root is its own <html> element and nothing but blanks and
// comments follows that element's end tag; nothing otherwise. Where it gives
// a text, that text is the root's outer HTML in the form the author wrote,
// which HtmlDocument would only normalise. Linear in the text.
std::optional<std::string_view> RootElementAsWritten(std::string_view html);

}  // namespace nerolin::platform
