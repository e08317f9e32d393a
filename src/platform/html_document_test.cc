#include "platform/html_document.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace nerolin::platform {
namespace {

// The id attributes of the elements named `name`, in the order found.
std::vector<std::string> IdsNamed(const HtmlDocument& document,
                                  std::string_view name) {
  std::vector<std::string> ids;
  for (const auto element : document.ElementsByName(name)) {
    ids.push_back(document.Attribute(element, "id").value_or("(none)"));
  }
  return ids;
}

TEST(HtmlDocument, RootMarkupComesBackWithoutWhatStandsOutsideIt) {
  const struct {
    const char* html;
    const char* root;
  } cases[] = {
      // The document type line and comments around the root go; no head or
      // body is added to a root that has none.
      {"<!DOCTYPE html>\r\n<!-- f --><html><table><tr><td>1</td></tr></table>"
       "</html><!-- end -->\r\n",
       "<html><table><tr><td>1</td></tr></table></html>"},
      {"\xEF\xBB\xBF  <HTML lang=es><HEAD><TITLE>T</TITLE></HEAD><BODY "
       "class=c><P>x</BODY></HTML>",
       "<html lang=\"es\"><head><title>T</title></head><body class=\"c\"><p>x"
       "</p></body></html>"},
      // Line breaks inside the root stay.
      {"<html>\r\n<body><div>a</div>\r\n<div>b</div></body>\r\n</html>",
       "<html>\r\n<body><div>a</div>\r\n<div>b</div></body>\r\n</html>"},
      // Markup after the root's end tag is taken into it, as browsers do.
      {"<html><body>a</body></html><div>b</div>",
       "<html><body>a</body><div>b</div></html>"},
      // A fragment gets the root a browser gives it; its siblings stay
      // siblings.
      {"<div>a</div><div>b</div>",
       "<html><body><div>a</div><div>b</div></body></html>"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(HtmlDocument(c.html).RootOuterHtml(), c.root);
  }
}

TEST(HtmlDocument, TextAndScriptsSurviveTheRoundTrip) {
  const struct {
    const char* html;
    const char* root;
  } cases[] = {
      // References become characters; markup characters stay escaped.
      {"<html><body>A&ntilde;o &aacute; \xC3\xA9 \xE2\x82\xAC &amp; &lt;b&gt; "
       "&#169;</body></html>",
       "<html><body>A\xC3\xB1o \xC3\xA1 \xC3\xA9 \xE2\x82\xAC &amp; &lt;b&gt; "
       "\xC2\xA9</body></html>"},
      // Script and style text is kept whole, end-tag look-alikes included.
      {"<html><body><script>if (a<b) x='</div>';</script><style>td "
       "{-ms-word-break: break-all;}</style></body></html>",
       "<html><body><script>if (a<b) x='</div>';</script><style>td "
       "{-ms-word-break: break-all;}</style></body></html>"},
      // Bytes that are not UTF-8 are passed on, not dropped.
      {"<html><body>a\xFF b</body></html>",
       "<html><body>a\xFF b</body></html>"},
      {"<html><body><br/><img src=a.png><input disabled></body></html>",
       "<html><body><br><img src=\"a.png\"><input disabled></body></html>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(HtmlDocument(c.html).RootOuterHtml(), c.root);
  }
}

TEST(HtmlDocument, ElementsByNameMatchTheValueExactlyInDocumentOrder) {
  const HtmlDocument document(
      "<html><body>"
      "<div name=\"complementretention\" id=\"1\">"
      "<span NAME=complementretention ID=2>in</span></div>"
      "<p name=\"ComplementRetention\" id=\"9\">case</p>"
      "<table><tr><td name='complementretention' id=\"3\">t</td></tr></table>"
      "<p name=\"complementretention\">no id</p>"
      "<p id=\"complementretention\">id only</p>"
      "</body></html>");
  EXPECT_EQ(IdsNamed(document, "complementretention"),
            (std::vector<std::string>{"1", "2", "3", "(none)"}));
  EXPECT_TRUE(document.ElementsByName("complement").empty());
}

TEST(HtmlDocument, AttributesAreReadWithReferencesResolved) {
  const HtmlDocument document(
      "<html><body><div name=\"n\" TITLE=\"&quot;a&quot; &amp; b\" data-x='' "
      "hidden>x</div></body></html>");
  const auto element = document.ElementsByName("n").at(0);
  EXPECT_EQ(document.Attribute(element, "title"), "\"a\" & b");
  EXPECT_EQ(document.Attribute(element, "Data-X"), "");
  EXPECT_EQ(document.Attribute(element, "hidden"), "");
  EXPECT_EQ(document.Attribute(element, "id"), std::nullopt);
}

TEST(HtmlDocument, RemovingTakesTheWholeElementAndLeavesOtherHandlesValid) {
  HtmlDocument document(
      "<html><body><div name=\"b\" id=\"outer\">a<p name=\"b\" id=\"inner\">"
      "x</p></div><p name=\"b\" id=\"last\">y</p><i>z</i></body></html>");
  const auto blocks = document.ElementsByName("b");
  ASSERT_EQ(blocks.size(), 3u);
  document.Remove(blocks[0]);
  // The inner block went with the outer one, yet can still be read and
  // removed from it.
  EXPECT_EQ(document.Attribute(blocks[1], "id"), "inner");
  document.Remove(blocks[1]);
  document.Remove(blocks[0]);
  EXPECT_EQ(
      document.RootOuterHtml(),
      "<html><body><p name=\"b\" id=\"last\">y</p><i>z</i></body></html>");
  EXPECT_EQ(IdsNamed(document, "b"), std::vector<std::string>{"last"});
}

TEST(HtmlDocument, RemovingTheRootLeavesNoMarkup) {
  HtmlDocument document("<html name=\"r\"><body>x</body></html>");
  document.Remove(document.ElementsByName("r").at(0));
  EXPECT_EQ(document.RootOuterHtml(), "");
}

TEST(HtmlDocument, LargeAndDeepDocumentsComeBackWhole) {
  // One text past the parser's ordinary 10 MB limit, as an embedded picture
  // makes it.
  const std::string picture(12 << 20, 'A');
  const std::string wide = "<html><body><img src=\"data:image/png;base64," +
                           picture + "\"><p>" + picture + "</p></body></html>";
  EXPECT_EQ(HtmlDocument(wide).RootOuterHtml(), wide);

  std::string deep = "<html><body>";
  constexpr int kDepth = 50000;
  for (int i = 0; i < kDepth; ++i) deep += "<div>";
  deep += "x";
  for (int i = 0; i < kDepth; ++i) deep += "</div>";
  deep += "</body></html>";
  EXPECT_EQ(HtmlDocument(deep).RootOuterHtml(), deep);
}

TEST(HtmlDocument, MayHoldElementNamedOnlyWhenAMatchIsPossible) {
  const struct {
    const char* html;
    bool may;
  } cases[] = {
      {"<html><body><p name=\"other\">x</p></body></html>", false},
      {"<p name=\"complementretention\">", true},
      // The value anywhere, even in text, is enough.
      {"<p>complementretention</p>", true},
      // A name spelt with references, however the value is quoted.
      {"<p name=\"c&#111;mplementretention\">", true},
      {"<p NAME = 'c&#x6F;mplementretention'>", true},
      {"<p name=c&#111;mplementretention>", true},
      // References elsewhere do not count.
      {"<p title=\"&amp;\" name=\"x\">&amp; a=&lt;</p>", false},
      {"<p data-name=x title=\"a=&amp;\">", false},
      // What only looks like a name attribute counts, to be safe.
      {"<p title=\"name=&amp;\">", true},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(MayHoldElementNamed(c.html, "complementretention"), c.may);
  }
}

TEST(HtmlDocument, RootElementAsWrittenOnlyForAWholeRoot) {
  const struct {
    const char* html;
    std::optional<std::string_view> root;
  } cases[] = {
      {"<!DOCTYPE html>\r\n<!-- a --><HTML lang=es>\r\n<p>x</HTML >\r\n"
       "<!-- end -->\r\n",
       "<HTML lang=es>\r\n<p>x</HTML >"},
      {"<html><body><!-- c --></body></html>",
       "<html><body><!-- c --></body></html>"},
      // Markup after the end tag belongs in the root: the parser's business.
      {"<html><body>a</body></html><div>b</div>", std::nullopt},
      {"<html><body>a</body></html>tail", std::nullopt},
      {"<html><body>a</body>", std::nullopt},
      {"<div>a</div>", std::nullopt},
      {"<htmlx>a</htmlx>", std::nullopt},
      {"<html><body>a</body></html><!-- open", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(RootElementAsWritten(c.html), c.root);
  }
}

}  // namespace
}  // namespace nerolin::platform
