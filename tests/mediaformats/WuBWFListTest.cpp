// The tagged field list: set, delete and copy.
#include "mediaformats/WuBWFList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct List : WuBWFList {
  List() : WuBWFList{} {}
  ~List() { WuBWFList_Free(this); }
};

WuBWFField Field(DWORD id, const char16_t* value, const char16_t* first = nullptr,
                 const char16_t* third = nullptr) {
  WuBWFField f{};
  f.dwWords[0] = 10;
  f.dwWords[3] = 13;
  f.cchValue = value ? static_cast<DWORD>(std::u16string(value).size()) : 0;
  f.dwId = id;
  f.dwWord6 = 16;
  f.dwWord9 = 19;
  f.pszFirst = const_cast<LPWSTR>(first);
  f.pszValue = const_cast<LPWSTR>(value);
  f.pszThird = const_cast<LPWSTR>(third);
  return f;
}

std::u16string Text(LPCWSTR t) { return t ? std::u16string(t) : u"<null>"; }

TEST(BWFList, SetDeleteAndCopy) {
  List list;
  WuBWFField zero = Field(0, u"v");
  EXPECT_EQ(WuBWFList_SetItem(&list, &zero), E_INVALIDARG);
  WuBWFField a = Field(1, u"alpha", u"first", u"third");
  WuBWFField b = Field(2, u"beta");
  ASSERT_EQ(WuBWFList_SetItem(&list, &a), S_OK);
  ASSERT_EQ(WuBWFList_SetItem(&list, &b), S_OK);
  ASSERT_EQ(list.count, 2u);
  EXPECT_NE(list.fields[0].pszValue, a.pszValue);
  EXPECT_EQ(Text(list.fields[0].pszThird), u"third");
  EXPECT_EQ(list.fields[0].dwWord9, 19u);
  EXPECT_EQ(WuBWFList_GetItemIndex(&list, 2), 1);
  EXPECT_EQ(WuBWFList_GetItemIndex(&list, 3), RIFF_E_NOT_FOUND);

  // A new value replaces the old one and its length.
  WuBWFField longer = Field(1, u"a much longer value");
  ASSERT_EQ(WuBWFList_SetItem(&list, &longer), S_OK);
  EXPECT_EQ(Text(list.fields[0].pszValue), u"a much longer value");
  EXPECT_EQ(list.fields[0].cchValue, 19u);
  EXPECT_EQ(Text(list.fields[0].pszFirst), u"first");

  // Copy: deep, equal members.
  List copy;
  ASSERT_EQ(WuBWFList_Copy(&copy, &list), S_OK);
  ASSERT_EQ(copy.count, 2u);
  EXPECT_NE(copy.fields[0].pszFirst, list.fields[0].pszFirst);
  EXPECT_EQ(Text(copy.fields[0].pszFirst), u"first");
  EXPECT_EQ(Text(copy.fields[1].pszValue), u"beta");
  EXPECT_EQ(copy.fields[1].dwWords[3], 13u);

  // Delete: an absent id changes nothing; the last field frees the array.
  EXPECT_EQ(WuBWFList_DeleteItem(&list, 7), S_OK);
  EXPECT_EQ(list.count, 2u);
  EXPECT_EQ(WuBWFList_DeleteItem(&list, 1), S_OK);
  ASSERT_EQ(list.count, 1u);
  EXPECT_EQ(list.fields[0].dwId, 2u);
  EXPECT_EQ(WuBWFList_DeleteItem(&list, 2), S_OK);
  EXPECT_EQ(list.count, 0u);
  EXPECT_EQ(list.fields, nullptr);
  EXPECT_EQ(WuBWFList_DeleteItem(&list, 0), E_INVALIDARG);

  // The copy is untouched by what happened to the original.
  EXPECT_EQ(Text(copy.fields[0].pszValue), u"a much longer value");
}

TEST(BWFList, FieldCopyAndFree) {
  WuBWFField source = Field(5, u"value", nullptr, u"third");
  WuBWFField copy{};
  ASSERT_EQ(WuBWFField_Copy(&copy, &source), S_OK);
  EXPECT_EQ(copy.dwId, 5u);
  EXPECT_EQ(copy.dwWord6, 16u);
  EXPECT_EQ(copy.pszFirst, nullptr);
  EXPECT_EQ(Text(copy.pszThird), u"third");
  EXPECT_EQ(WuBWFField_Free(&copy), S_OK);
  EXPECT_EQ(copy.pszValue, nullptr);
  EXPECT_EQ(copy.cchValue, 0u);
  EXPECT_EQ(WuBWFField_Free(nullptr), S_OK);
  // Without a value text only the id is taken.
  WuBWFField bare = Field(6, nullptr, u"first");
  WuBWFField target{};
  ASSERT_EQ(WuBWFField_Copy(&target, &bare), S_OK);
  EXPECT_EQ(target.dwId, 6u);
  EXPECT_EQ(target.dwWord6, 0u);
  EXPECT_EQ(target.pszFirst, nullptr);
}

}  // namespace
