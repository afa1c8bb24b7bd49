#include "text/CharArray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> extract(std::u16string_view document, std::u16string_view tag, bool unescape) {
    CCharArrayW list;
    const int added = list.extract_elements(document, tag, unescape);
    EXPECT_EQ(added, list.count());
    return list.items();
}

TEST(TransformExtractElementsTest, ContentsOfEveryElementUniqueOnly) {
    const std::u16string_view page = u"<tags><tag a=\"1\">x&amp;amp;y</tag><tagline>no</tagline>"
                                     u"<tag>x&amp;amp;y</tag><tag/><tag b=\"/\"/><tag>x&amp;y</tag>"
                                     u"<tag\n>z</tag><tag></tag><tag>unterminated";
    using List = std::vector<std::u16string>;
    EXPECT_EQ(extract(page, u"tag", false), (List{u"x&amp;amp;y", u"x&amp;y", u"z"}));
    EXPECT_EQ(extract(page, u"tag", true), (List{u"x&y", u"z"}));
    EXPECT_EQ(extract(page, u"tagline", false), (List{u"no"}));
    EXPECT_EQ(extract(page, u"none", false), List{});
    EXPECT_EQ(extract(page, u"", false), List{});
}

} // namespace
