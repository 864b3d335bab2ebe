#include "analyze/page_markup.h"

#include <string>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(PageMarkup, TextAndAttributeValuesAreEscapedByDefault) {
    Markup out;
    out.open("td", {{"class", "text"}, {"title", "a\"><script>'"}})
        .text("<b>&\"'")
        .close("td")
        .element("span", {}, "x<y")
        .empty_element("line", {{"x1", 64.0, 1}, {"y1", -6.25, 2}, {"d", "M1 2"}})
        .void_element("meta", {{"content", "a&b"}});
    EXPECT_EQ(out.str(),
              "<td class=\"text\" title=\"a&quot;&gt;&lt;script&gt;&#39;\">"
              "&lt;b&gt;&amp;&quot;&#39;</td><span>x&lt;y</span>"
              "<line x1=\"64.0\" y1=\"-6.25\" d=\"M1 2\"></line>"
              "<meta content=\"a&amp;b\"/>");
}

TEST(PageMarkup, MarkupGoesInOnlyThroughRawOrAFragment) {
    Markup fragment;
    fragment.raw("<i>the form's</i>").text("<i>");
    Markup out;
    out.raw("<p>").append(fragment).text("'s").raw("</p>");
    EXPECT_EQ(out.str(), "<p><i>the form's</i>&lt;i&gt;&#39;s</p>");
    EXPECT_EQ(out.take(), "<p><i>the form's</i>&lt;i&gt;&#39;s</p>");
    EXPECT_EQ(out.str(), "");
}

TEST(PageMarkup, FormattedTextOfAnyLength) {
    EXPECT_EQ(formatted("Score %d (%.1f%%)", 3, 37.5), "Score 3 (37.5%)");
    const std::string long_text(600, 'x');
    EXPECT_EQ(formatted("<%s>", long_text.c_str()), "<" + long_text + ">");
}

TEST(PageMarkup, EscapingMakesAnyBytesValidUtf8Text) {
    EXPECT_EQ(html_escape("<&\"'>"), "&lt;&amp;&quot;&#39;&gt;");
    const std::string replacement = "\xef\xbf\xbd";
    // Valid sequences of two, three and four bytes stay.
    EXPECT_EQ(html_escape("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"),
              "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    // A lone byte 128-255, a sequence cut short, an overlong form, a
    // surrogate and a code point beyond U+10FFFF: one U+FFFD per bad byte.
    EXPECT_EQ(html_escape("a\x80"
                          "b"),
              "a" + replacement + "b");
    EXPECT_EQ(html_escape("\xc3<"), replacement + "&lt;");
    EXPECT_EQ(html_escape("\xe2\x82"), replacement + replacement);
    EXPECT_EQ(html_escape("\xc0\xaf"), replacement + replacement);
    EXPECT_EQ(html_escape("\xed\xa0\x80"), replacement + replacement + replacement);
    EXPECT_EQ(html_escape("\xf4\x90\x80\x80"),
              replacement + replacement + replacement + replacement);
    // Control characters other than tab, line feed and carriage return,
    // C1 controls and noncharacters are no text of a page.
    EXPECT_EQ(html_escape(std::string("\x01\t\n\r\x7f", 5)), replacement + "\t\n\r" + replacement);
    EXPECT_EQ(html_escape(std::string("\0", 1)), replacement);
    EXPECT_EQ(html_escape("\xc2\x85\xef\xbf\xbe"), replacement + replacement);
}

} // namespace
} // namespace quillmark
