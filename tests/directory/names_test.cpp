#include <gtest/gtest.h>

#include "errors.h"
#include "names.h"

namespace zelm::dir {
namespace {

struct ResolveCase {
  const char* label;
  const char* context;
  const char* name;
  int result;
  const char* full;
};

TEST(NameResolution, ResolvesAgainstEveryKindOfContext) {
  const ResolveCase cases[] = {
      {"root name", "Sales.Acme", "[root]", kOk, ""},
      {"leading dot is complete", "Sales.Acme", ".Internet Services", kOk, "Internet Services"},
      {"root context takes names whole", "[Root]", "Mail.Sales.Acme", kOk, "Mail.Sales.Acme"},
      {"empty context takes names whole", "", "Mail.Sales.Acme", kOk, "Mail.Sales.Acme"},
      {"dot context takes names whole", ".", "Mail", kOk, "Mail"},
      {"relative name is appended", "Sales.Acme", "Mail", kOk, "Mail.Sales.Acme"},
      {"absolute context", ".Sales.Acme", "Mail", kOk, "Mail.Sales.Acme"},
      {"page container with full name", "Sales.Acme.", "Mail.Sales.Acme", kOk, "Mail.Sales.Acme"},
      {"page container, other case", "SALES.acme.", "Mail.sales.ACME", kOk, "Mail.sales.ACME"},
      {"page container with short name", "Sales.Acme.", "Joe", kOk, "Joe.Sales.Acme"},
      {"page container of a top object", "Mail.", "Mail", kOk, "Mail"},
      {"suffix must match whole parts", "Acme.", "Mail.BigAcme", kOk, "Mail.BigAcme.Acme"},
      {"trailing dot climbs", "Sales.Acme", "Mail.", kOk, "Mail.Acme"},
      {"two trailing dots climb twice", "East.Sales.Acme", "Mail..", kOk, "Mail.Acme"},
      {"climb past the root", "Acme", "Mail..", kErrBadName, ""},
      {"climb in the root context", "[Root]", "Mail.", kErrBadName, ""},
      {"empty name", "[Root]", "", kErrBadName, ""},
      {"only dots", "Acme", "..", kErrBadName, ""},
      {"empty component", "[Root]", "Mail..Acme", kErrBadName, ""},
      {"leading dot alone", "[Root]", ".", kErrBadName, ""},
      {"bad context", "A..B", "Mail", kErrBadName, ""},
      {"colon in a name", "[Root]", "Mail:1.Acme", kErrBadName, ""},
      {"control character", "[Root]", "Ma\til", kErrBadName, ""},
      {"blank at a component's edge", "[Root]", "Mail .Acme", kErrBadName, ""},
      {"bracket starts a component", "[Root]", "[Public].Acme", kErrBadName, ""},
  };
  for (const ResolveCase& c : cases) {
    std::string full = "unchanged";
    EXPECT_EQ(ResolveName(c.context, c.name, &full), c.result) << c.label;
    if (c.result == kOk) {
      EXPECT_EQ(full, c.full) << c.label;
    }
  }
}

TEST(NameResolution, LimitsHoldAtTheirSizeAndFailOnePast) {
  std::string part64(64, 'a');
  EXPECT_EQ(CheckFullName(part64), kOk);
  EXPECT_EQ(CheckFullName(part64 + "b"), kErrBadName);

  // Four 63-character parts and three dots: 255; one more letter: 256.
  std::string p(63, 'x');
  std::string name255 = p + "." + p + "." + p + "." + p;
  ASSERT_EQ(name255.size(), 255u);
  EXPECT_EQ(CheckFullName(name255 + "y"), kOk);
  EXPECT_EQ(CheckFullName(name255 + "yz"), kErrBadName);

  // Resolution checks the joined name too.
  std::string context = p + "." + p + "." + p + ".q";
  std::string full;
  EXPECT_EQ(ResolveName(context, std::string(62, 'n'), &full), kOk);
  EXPECT_EQ(full.size(), 256u);
  EXPECT_EQ(ResolveName(context, std::string(63, 'n'), &full), kErrBadName);
}

TEST(NameResolution, PartsOfNames) {
  std::vector<std::string_view> parts;
  ASSERT_EQ(CheckFullName("Mail.Sales.Acme", &parts), kOk);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], "Mail");
  EXPECT_EQ(parts[2], "Acme");
  EXPECT_EQ(ParentName("Mail.Sales.Acme"), "Sales.Acme");
  EXPECT_EQ(ParentName("Acme"), "");
  EXPECT_EQ(LeafName("Mail.Sales.Acme"), "Mail");

  EXPECT_TRUE(IsBelow("Joe.Sales.Acme", "sales.ACME"));
  EXPECT_TRUE(IsBelow("Joe.Sales.Acme", ""));
  EXPECT_FALSE(IsBelow("Joe.Sales.Acme", "Joe.Sales.Acme"));
  EXPECT_FALSE(IsBelow("Joe.BigSales.Acme", "Sales.Acme"));
  EXPECT_FALSE(IsBelow("", ""));
}

}  // namespace
}  // namespace zelm::dir
