#include "document/NodeNameEscaping.h"

#include <gtest/gtest.h>

using namespace document;

namespace {

TEST(NodeNameEscaping, OnlyTheDangerousCharactersChange) {
    EXPECT_EQ(EscapeNodeName("plain 日本語 'x' a&b & ;"), "plain 日本語 'x' a&b & ;");
    EXPECT_EQ(EscapeNodeName("a<b>c\"d"), "a&lt;b&gt;c&quot;d");
    // "&" only where it would read back as one of the four references.
    EXPECT_EQ(EscapeNodeName("&lt;&gt;&quot;&amp;&apos;&nbsp;"), "&amp;lt;&amp;gt;&amp;quot;&amp;amp;&apos;&nbsp;");
    EXPECT_EQ(EscapeNodeName("&&lt"), "&&lt");
    EXPECT_EQ(EscapeNodeName(""), "");
}

TEST(NodeNameEscaping, DecodesTheFourReferencesAndRoundTrips) {
    EXPECT_EQ(UnescapeNodeName("a&lt;b&gt;c&quot;d&amp;e"), "a<b>c\"d&e");
    EXPECT_EQ(UnescapeNodeName("&apos;&nbsp;&#60;&amp"), "&apos;&nbsp;&#60;&amp");
    EXPECT_EQ(UnescapeNodeName("&amp;lt;"), "&lt;");
    for (const char* name : {"", "&", "&&", "&lt;", "&&lt;", "&amp;amp;", "<<>>\"\"", "a&quot", "&quot;&", "x&lt"}) {
        EXPECT_EQ(UnescapeNodeName(EscapeNodeName(name)), name) << name;
    }
}

}  // namespace
