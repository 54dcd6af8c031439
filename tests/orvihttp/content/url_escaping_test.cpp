#include "orvihttp/content/url_escaping.h"

#include <gtest/gtest.h>

#include "orvihttp/http/uri_decoding.h"

TEST(EscapeHtml, MarkupCharactersBecomeReferences) {
  EXPECT_EQ(EscapeHtml("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
  EXPECT_EQ(EscapeHtml("plain \xE9 text"), "plain \xE9 text");
  EXPECT_EQ(EscapeHtml("&amp;"), "&amp;amp;");
}

TEST(EncodeUrlPath, KeepsOnlyUnreservedBytes) {
  EXPECT_EQ(EncodeUrlPath("/a-b.c_d~e/F9", true), "/a-b.c_d~e/F9");
  EXPECT_EQ(EncodeUrlPath("/a/b", false), "%2Fa%2Fb");
  EXPECT_EQ(EncodeUrlPath(" #?%&+=;:@!*'()\"<>", true),
            "%20%23%3F%25%26%2B%3D%3B%3A%40%21%2A%27%28%29%22%3C%3E");
  EXPECT_EQ(EncodeUrlPath(std::string("\x01\x7F", 2), true), "%01%7F");
}

TEST(EncodeUrlPath, HighBytesBecomeUtf8OfTheirLatin1Character) {
  EXPECT_EQ(EncodeUrlPath("\xE9", true), "%C3%A9");
  EXPECT_EQ(EncodeUrlPath("\x80\xFF\xC3", true), "%C2%80%C3%BF%C3%83");
}

TEST(EncodeUrlPath, TheServersDecodingGivesEveryNameBack) {
  std::string everyByte;
  for (int byte = 1; byte < 256; ++byte) everyByte.push_back(static_cast<char>(byte));
  const std::string names[] = {everyByte, "a b#c?d%e&f.txt", "caf\xE9 cr\xE8me.txt",
                               "100%",    "+plus+",          "%41"};
  for (const std::string& name : names) {
    DecodedUri decoded = DecodeRequestUri("/docs/" + EncodeUrlPath(name, false));
    EXPECT_FALSE(decoded.malformed);
    EXPECT_EQ(decoded.query, "");
    EXPECT_EQ(decoded.path, "/docs/" + name);
  }
}
