// Joining a folder and a relative path.
#include <gtest/gtest.h>

#include <string>

#include "platform/shell/shell_path.h"

namespace {

TEST(ShellPathTest, CombinesFolderAndPath) {
  struct Case {
    const char16_t* folder;  // first argument (nullptr for NULL)
    const char16_t* more;    // second argument
    const char16_t* result;  // expected text
  };
  const Case cases[] = {
      {u"/opt/plug", u"sub\\x.so", u"/opt/plug/sub/x.so"},
      {u"C:\\Plug\\", u"x", u"C:/Plug/x"},
      {u"/opt/plug", u".\\a\\..\\b", u"/opt/plug/b"},
      {u"/opt/plug", u"..\\..\\..\\x", u"/x"},           // ".." stays at the root
      {u"/opt/plug", u"/etc/x", u"/etc/x"},              // absolute: taken as it is
      {u"/opt/plug", u"\\etc\\.\\x", u"/etc/x"},
      {u"/opt/plug", u"D:\\y", u"D:/y"},
      {u"C:\\a", u"..\\..", u"C:/"},
      {u"\\\\srv\\share\\a", u"..\\..\\b", u"//srv/share/b"},
      {u"a\\b", u"..\\..\\..\\c", u"../c"},              // relative: ".." kept
      {u"a", u"..", u"."},
      {u"/", u"x", u"/x"},                               // not the server "x"
      {u"/opt//plug/", u"sub/", u"/opt/plug/sub/"},      // trailing separator kept
      {u"/opt/plug", nullptr, u"/opt/plug"},
      {u"/opt/plug", u"", u"/opt/plug"},
      {nullptr, u"a\\.\\b", u"a/b"},
      {u"", u"x", u"x"},
  };
  for (const Case& c : cases) {
    WCHAR out[MAX_PATH];
    SCOPED_TRACE(std::string(c.result, c.result + std::char_traits<char16_t>::length(c.result)));
    ASSERT_EQ(PathCombineW(out, c.folder, c.more), out);
    EXPECT_EQ(std::u16string(out), c.result);
  }
}

TEST(ShellPathTest, RefusesResultsPastMaxPathAndMissingArguments) {
  WCHAR out[MAX_PATH];
  // "/" + 258 characters: 259, fits with its terminator; one more does not.
  std::u16string name(258, u'n');
  ASSERT_EQ(PathCombineW(out, u"/", name.c_str()), out);
  EXPECT_EQ(std::u16string(out).size(), 259u);
  name += u'n';
  out[0] = u'z';
  EXPECT_EQ(PathCombineW(out, u"/", name.c_str()), nullptr);
  EXPECT_EQ(out[0], 0);
  // Folding happens before the check: a long detour that ends short fits.
  std::u16string detour = std::u16string(300, u'd') + u"\\..\\x";
  ASSERT_EQ(PathCombineW(out, u"/f", detour.c_str()), out);
  EXPECT_EQ(std::u16string(out), u"/f/x");

  out[0] = u'z';
  EXPECT_EQ(PathCombineW(out, nullptr, nullptr), nullptr);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(PathCombineW(nullptr, u"/a", u"b"), nullptr);
  // The buffer may be the folder itself.
  WCHAR same[MAX_PATH] = u"/opt/plug";
  ASSERT_EQ(PathCombineW(same, same, u"..\\lib"), same);
  EXPECT_EQ(std::u16string(same), u"/opt/lib");
}

}  // namespace
