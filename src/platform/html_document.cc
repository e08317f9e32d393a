#include "platform/html_document.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>

#include "nerolin/automation_error.h"
#include "platform/text_search.h"

namespace nerolin::platform {

namespace {

constexpr const char* kSource = "HtmlDocument";

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct NodeFree {
  void operator()(xmlNode* node) const { xmlFreeNode(node); }
};
struct XmlFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
struct OutputClose {
  void operator()(xmlOutputBuffer* output) const {
    xmlOutputBufferClose(output);
  }
};

using XmlText = std::unique_ptr<xmlChar, XmlFree>;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Where the text's first element starts, when that element is its own
// <html>: only blanks, a byte-order mark, declarations (the document type
// line), comments and processing instructions may stand before it.
std::optional<std::size_t> HtmlElementStart(std::string_view text) {
  std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  // Every turn moves past at least one character, so the loop ends.
  while (at < text.size()) {
    if (IsBlank(text[at])) {
      ++at;
      continue;
    }
    const std::string_view rest = text.substr(at);
    if (rest.front() != '<') return std::nullopt;
    std::string_view closer;
    if (rest.starts_with("<!--")) {
      closer = "-->";
    } else if (rest.starts_with("<!") || rest.starts_with("<?")) {
      closer = ">";
    } else {
      if (rest.size() < 5 || !EqualsIgnoringCase(rest.substr(1, 4), "html")) {
        return std::nullopt;
      }
      if (rest.size() == 5 || IsBlank(rest[5]) || rest[5] == '>' ||
          rest[5] == '/') {
        return at;
      }
      return std::nullopt;
    }
    const std::size_t end = rest.find(closer, 2);
    if (end == std::string_view::npos) return std::nullopt;
    at += end + closer.size();
  }
  return std::nullopt;
}

// The first position at or after `from` holding a character that `wanted`
// accepts (the text's size when there is none), for `from` that never
// decreases from one call to the next: each call goes on from the last
// answer, so that all calls together read the text once.
template <class Wanted>
class ForwardSearch {
 public:
  ForwardSearch(std::string_view text, Wanted wanted)
      : text_(text), wanted_(wanted) {}

  std::size_t From(std::size_t from) {
    if (from <= found_ && searched_) return found_;
    found_ = from;
    searched_ = true;
    while (found_ < text_.size() && !wanted_(text_[found_])) ++found_;
    return found_;
  }

 private:
  std::string_view text_;
  Wanted wanted_;
  std::size_t found_ = 0;
  bool searched_ = false;
};

// The node after `node` in document order, or null past the last one.
xmlNode* NextInDocument(xmlNode* node, const xmlDoc* doc, bool enter) {
  if (enter && node->type == XML_ELEMENT_NODE && node->children != nullptr) {
    return node->children;
  }
  while (node != nullptr && node->next == nullptr) {
    node = node->parent;
    if (node == reinterpret_cast<const xmlNode*>(doc)) return nullptr;
  }
  return node == nullptr ? nullptr : node->next;
}

const xmlAttr* FindAttribute(const xmlNode* node, std::string_view name) {
  for (const xmlAttr* attribute = node->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (EqualsIgnoringCase(reinterpret_cast<const char*>(attribute->name),
                           name)) {
      return attribute;
    }
  }
  return nullptr;
}

std::string AttributeText(const xmlAttr* attribute) {
  XmlText value(xmlNodeGetContent(
      reinterpret_cast<const xmlNode*>(const_cast<xmlAttr*>(attribute))));
  return value ? std::string(reinterpret_cast<const char*>(value.get()))
               : std::string();
}

int AppendOutput(void* context, const char* bytes, int length) {
  try {
    static_cast<std::string*>(context)->append(
        bytes, static_cast<std::size_t>(length));
    return length;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

}  // namespace

struct HtmlDocument::Impl {
  // Declared first so that it goes last: removed nodes still use the
  // document's name dictionary while they are freed.
  std::unique_ptr<xmlDoc, DocFree> doc;
  std::vector<std::unique_ptr<xmlNode, NodeFree>> removed;
};

HtmlDocument::HtmlDocument(std::string_view html)
    : impl_(std::make_unique<Impl>()) {
  if (html.size() > static_cast<std::size_t>(INT_MAX)) {
    throw AutomationError(errors::kOutOfMemory,
                          "Out of memory: an HTML text of " +
                              std::to_string(html.size()) +
                              " bytes is past what the HTML parser reads",
                          kSource);
  }
  // Recovery keeps script and style text whole up to their own end tag;
  // XML_PARSE_HUGE lifts the 10 MB limit on one text (a picture embedded as
  // a data URI) that would otherwise be cut short without a word.
  int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                HTML_PARSE_NONET | HTML_PARSE_NODEFDTD | XML_PARSE_HUGE;
  // A text whose root is its own <html> is parsed without implied elements,
  // so that the root's markup comes back as it was written; a fragment is
  // not, because the parser then nests siblings at the top in one another.
  if (HtmlElementStart(html)) options |= HTML_PARSE_NOIMPLIED;
  if (!html.empty()) {
    impl_->doc.reset(htmlReadMemory(html.data(), static_cast<int>(html.size()),
                                    nullptr, "UTF-8", options));
  }
  // The parser makes no document of a text without content.
  if (!impl_->doc) impl_->doc.reset(htmlNewDocNoDtD(nullptr, nullptr));
  if (!impl_->doc) {
    throw AutomationError(errors::kOutOfMemory,
                          "Out of memory while parsing an HTML text of " +
                              std::to_string(html.size()) + " bytes",
                          kSource);
  }
}

HtmlDocument::~HtmlDocument() = default;
HtmlDocument::HtmlDocument(HtmlDocument&&) noexcept = default;
HtmlDocument& HtmlDocument::operator=(HtmlDocument&&) noexcept = default;

std::vector<HtmlDocument::Element> HtmlDocument::ElementsByName(
    std::string_view value) const {
  std::vector<Element> found;
  xmlDoc* doc = impl_->doc.get();
  for (xmlNode* node = doc->children; node != nullptr;
       node = NextInDocument(node, doc, true)) {
    if (node->type != XML_ELEMENT_NODE) continue;
    const xmlAttr* name = FindAttribute(node, "name");
    if (name != nullptr && AttributeText(name) == value) {
      found.push_back(Element(node));
    }
  }
  return found;
}

std::optional<std::string> HtmlDocument::Attribute(
    Element element, std::string_view name) const {
  const xmlAttr* attribute = FindAttribute(element.node_, name);
  if (attribute == nullptr) return std::nullopt;
  return AttributeText(attribute);
}

void HtmlDocument::Remove(Element element) {
  xmlNode* node = element.node_;
  if (node->parent == nullptr) return;
  // Make room first, so that a failing allocation leaves the tree as it was.
  impl_->removed.reserve(impl_->removed.size() + 1);
  xmlUnlinkNode(node);
  impl_->removed.emplace_back(node);
}

std::string HtmlDocument::RootOuterHtml() const {
  xmlDoc* doc = impl_->doc.get();
  xmlNode* root = xmlDocGetRootElement(doc);
  if (root == nullptr) return {};
  std::string markup;
  std::unique_ptr<xmlOutputBuffer, OutputClose> output(
      xmlOutputBufferCreateIO(AppendOutput, nullptr, &markup, nullptr));
  if (!output) {
    throw AutomationError(errors::kOutOfMemory,
                          "Out of memory while writing an HTML document",
                          kSource);
  }
  htmlNodeDumpFormatOutput(output.get(), doc, root, "UTF-8", 0);
  xmlOutputBufferFlush(output.get());
  if (output->error != 0) {
    throw AutomationError(errors::kOutOfMemory,
                          "Out of memory while writing an HTML document of " +
                              std::to_string(markup.size()) + " bytes",
                          kSource);
  }
  return markup;
}

bool MayHoldElementNamed(std::string_view html, std::string_view value) {
  // Not find: the value's first letter is everywhere in a report, and find
  // stops at each one.
  if (FindText(html, value) != std::string_view::npos) return true;
  // Only a value written with character references can still match: look
  // at the value of every name attribute for a "&". Text that merely looks
  // like an attribute counts too, which errs on the safe side.
  ForwardSearch ampersand(html, [](char c) { return c == '&'; });
  ForwardSearch double_quote(html, [](char c) { return c == '"'; });
  ForwardSearch single_quote(html, [](char c) { return c == '\''; });
  ForwardSearch value_end(html, [](char c) { return IsBlank(c) || c == '>'; });
  for (std::size_t at = html.find('='); at != std::string_view::npos;
       at = html.find('=', at + 1)) {
    std::size_t before = at;
    while (before > 0 && IsBlank(html[before - 1])) --before;
    // Most attributes end in another letter than the "e" of "name".
    if (before < 4 || Lower(html[before - 1]) != 'e' ||
        !EqualsIgnoringCase(html.substr(before - 4, 4), "name")) {
      continue;
    }
    std::size_t start = at + 1;
    while (start < html.size() && IsBlank(html[start])) ++start;
    std::size_t end;
    if (start < html.size() && html[start] == '"') {
      end = double_quote.From(++start);
    } else if (start < html.size() && html[start] == '\'') {
      end = single_quote.From(++start);
    } else {
      end = value_end.From(start);
    }
    if (ampersand.From(start) < end) return true;
  }
  return false;
}

std::optional<std::string_view> RootElementAsWritten(std::string_view html) {
  const std::optional<std::size_t> start = HtmlElementStart(html);
  if (!start) return std::nullopt;
  std::string_view root = html.substr(*start);
  // Trailing blanks and comments go; every turn shortens the text.
  while (true) {
    while (!root.empty() && IsBlank(root.back())) root.remove_suffix(1);
    if (!root.ends_with("-->")) break;
    const std::size_t comment = root.rfind("<!--", root.size() - 3);
    if (comment == std::string_view::npos) return std::nullopt;
    root = root.substr(0, comment);
  }
  if (!root.ends_with('>')) return std::nullopt;
  const std::size_t tag = root.rfind('<');
  std::string_view end_tag = root.substr(tag);
  if (!end_tag.starts_with("</") || end_tag.size() < 7 ||
      !EqualsIgnoringCase(end_tag.substr(2, 4), "html")) {
    return std::nullopt;
  }
  for (const char c : end_tag.substr(6, end_tag.size() - 7)) {
    if (!IsBlank(c)) return std::nullopt;
  }
  return root;
}

}  // namespace nerolin::platform
