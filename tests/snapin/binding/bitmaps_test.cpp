// The 48 class bitmaps tarq.dll carries: each family's three present, 16x16,
// keyed on a transparent top-left pixel, and no two alike.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "binding_fixture.h"
#include "class_bitmaps.h"

namespace {

TEST(ClassBitmapsTest, EveryFamilyHasThreeDistinctPicturesInTarq) {
  HMODULE tarq = LoadLibraryA("tarq.dll");
  ASSERT_NE(tarq, nullptr);
  std::map<std::vector<uint32_t>, std::string> seen;
  for (int family = 0; family < kFamilyCount; ++family) {
    for (int which = 0; which < kBitmapsPerFamily; ++which) {
      char name[32];
      ASSERT_TRUE(BitmapName(family, which, name, sizeof name));
      SCOPED_TRACE(name);
      bindingtest::Pixels p = bindingtest::ResourcePixels(tarq, name);
      ASSERT_EQ(p.width, 16);
      ASSERT_EQ(p.height, 16);
      EXPECT_EQ(p.bits[0], 0xFF00FFu);  // what the host takes as transparent
      // Something to see: at least a fifth of the square is drawn.
      size_t drawn = 0;
      for (uint32_t px : p.bits) drawn += px != 0xFF00FFu;
      EXPECT_GE(drawn, 256u / 5);
      auto [at, fresh] = seen.emplace(p.bits, name);
      EXPECT_TRUE(fresh) << "looks like " << at->second;
    }
  }
  EXPECT_EQ(seen.size(), 48u);
  FreeLibrary(tarq);
}

TEST(ClassBitmapsTest, ResourceNamesAreFamilyAndEndingWithinTheirBuffer) {
  char name[14];
  EXPECT_TRUE(BitmapName(kFamilyAntiSpam, kBitmapClass, name, sizeof name));
  EXPECT_STREQ(name, "AntiSpamClass");
  EXPECT_FALSE(BitmapName(kFamilyAntiSpam, kBitmapClass, name, sizeof name - 1));
  EXPECT_TRUE(BitmapName(kFamilyZELM, kBitmapReadOnly, name, sizeof name));
  EXPECT_STREQ(name, "ZELMROnly");
  EXPECT_FALSE(BitmapName(kFamilyCount, kBitmapClass, name, sizeof name));
  EXPECT_FALSE(BitmapName(kFamilyNone, kBitmapClass, name, sizeof name));
  EXPECT_FALSE(BitmapName(kFamilySMTP, kBitmapsPerFamily, name, sizeof name));
  EXPECT_EQ(FamilyBitmaps(kFamilyNone), nullptr);
}

}  // namespace
