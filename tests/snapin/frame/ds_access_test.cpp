// The directory operations against a real database, through dsclient32.
#include "frame_fixture.h"

#include "ui_driver.h"

namespace frametest {
namespace {

using DirectoryTest = FrameTest;

TEST_F(DirectoryTest, ContextsStartAtRootWithTheOptionBitsAndTakeTheContainer) {
  DSContext c = DSOpenContext("Sales.Acme.");
  ASSERT_GT(c, 0);
  char name[DSC_NAME_BYTES + 2];
  DSCGetContextKey(c, DSC_KEY_NAME_CONTEXT, name);
  EXPECT_STREQ(name, "Sales.Acme.");
  uint32_t options = 0;
  DSCGetContextKey(c, DSC_KEY_OPTIONS, &options);
  EXPECT_EQ(options, 0x47u);
  DSCloseContext(c);

  c = DSOpenContext(nullptr);
  ASSERT_GT(c, 0);
  DSCGetContextKey(c, DSC_KEY_NAME_CONTEXT, name);
  EXPECT_STREQ(name, "[Root]");
  DSCloseContext(c);

  // A container that is no name is refused rather than left at the root,
  // where the object names meant for it would name other objects.
  EXPECT_EQ(DSOpenContext("Sales..Acme"), DSC_ERR_BAD_NAME);
  StrList list = {};
  EXPECT_EQ(DSReadValues(&list, "Sales..Acme", "FS1.Acme", "Network Address"), 0);
  EXPECT_EQ(DSReadValues(&list, "[Root]", "FS1.Acme", "Network Address"), 1);
  StrListFree(&list);
}

TEST_F(DirectoryTest, WithoutADirectoryNothingIsReadWrittenOrAllowed) {
  SetEnvironmentVariableA("ZELM_DIRECTORY", (path_ + ".missing").c_str());
  EXPECT_EQ(DSOpenContext(nullptr), DSC_ERR_NO_CONTEXT);
  StrList list = ListOf({"kept"});
  EXPECT_EQ(DSReadValues(&list, "[Root]", "FS1.Acme", "Network Address"), 0);
  EXPECT_EQ(Strings(list), std::vector<std::string>{"kept"});
  StrList wanted = ListOf({"x"});
  EXPECT_EQ(DSReplaceValues(&list, &wanted, "[Root]", "FS1.Acme", "Description", 3), DSC_ERR_NO_CONTEXT);
  EXPECT_EQ(DSCanWrite("[Root]", "FS1.Acme", "Description"), 0);
  EXPECT_EQ(DSObjectExists("FS1.Acme", 1), 0);
  EXPECT_EQ(ListServiceObjects(&list), 0);
  EXPECT_EQ(DSAddObject("New.Acme", "Organizational Unit", nullptr, 0), DSC_ERR_NO_CONTEXT);
  StrListFree(&list);
  StrListFree(&wanted);
}

TEST_F(DirectoryTest, ReadsAppendEveryValueAndFailedReadsAddNothing) {
  SetValues("Joe.Sales.Acme", "Quorvel:EMail Address", {"joe@a.example", "jm@b.example"});
  StrList list = ListOf({"already"});
  EXPECT_EQ(DSReadValues(&list, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:EMail Address"), 3);
  EXPECT_EQ(DSReadValues(&list, "Sales.Acme.", "Joe", "Quorvel:EMail Address"), 5);  // relative name
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"already", "joe@a.example", "jm@b.example",
                                                      "joe@a.example", "jm@b.example"}));
  StrListFree(&list);
  EXPECT_EQ(DSReadValues(&list, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:Reply Message"), 0);
  EXPECT_EQ(DSReadValues(&list, "Sales.Acme.", "Nobody.Sales.Acme", "Quorvel:EMail Address"), 0);
  EXPECT_EQ(DSReadValues(&list, "[Root]", "FS1.Acme", "No Such Attribute"), 0);
  EXPECT_EQ(DSReadValues(nullptr, "[Root]", "FS1.Acme", "Network Address"), 0);
  EXPECT_EQ(list.count, 0);
}

TEST_F(DirectoryTest, ReplacingAAndBByBAndCRemovesAAndAddsC) {
  SetValues("Joe.Sales.Acme", "Quorvel:EMail Address", {"a", "B"});
  StrList old = {};
  DSReadValues(&old, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:EMail Address");
  StrList wanted = ListOf({"b", "c"});
  ASSERT_EQ(DSReplaceValues(&old, &wanted, "Sales.Acme.", "Joe.Sales.Acme", "Quorvel:EMail Address",
                            kSyntaxCIString),
            0);
  // B stayed as it was written: it was neither removed nor added again.
  EXPECT_EQ(Values("Joe.Sales.Acme", "Quorvel:EMail Address"), (std::vector<std::string>{"B", "c"}));
  EXPECT_EQ(Strings(wanted), (std::vector<std::string>{"<null>", "c"}));
  StrListFree(&old);
  StrListFree(&wanted);

  // Each old value takes one new entry: a duplicate in the new list is added.
  SetValues("Joe.Sales.Acme", "Quorvel:EMail Address", {"x"});
  old = ListOf({"x"});
  wanted = ListOf({"X", "x"});
  EXPECT_EQ(DSReplaceValues(&old, &wanted, "Sales.Acme.", "Joe", "Quorvel:EMail Address", 3),
            DSC_ERR_DUPLICATE_VALUE);
  EXPECT_EQ(Strings(wanted), (std::vector<std::string>{"<null>", "x"}));
  EXPECT_EQ(Values("Joe.Sales.Acme", "Quorvel:EMail Address"), std::vector<std::string>{"x"});
  StrListFree(&old);
  StrListFree(&wanted);
}

TEST_F(DirectoryTest, EmptyListsRemoveEverythingOrChangeNothing) {
  SetValues("Joe.Sales.Acme", "Description", {"x"});
  StrList old = ListOf({"x"});
  StrList wanted = {};
  EXPECT_EQ(DSReplaceValues(&old, &wanted, "[Root]", "Joe.Sales.Acme", "Description", 3), 0);
  EXPECT_TRUE(Values("Joe.Sales.Acme", "Description").empty());
  StrListFree(&old);

  // A list of one empty string (an empty field): a request without changes.
  wanted.count = 1;
  wanted.capacity = 1;
  wanted.items = static_cast<char**>(malloc(sizeof(char*)));
  wanted.items[0] = static_cast<char*>(calloc(1, 1));
  EXPECT_EQ(DSReplaceValues(&old, &wanted, "[Root]", "Joe.Sales.Acme", "Description", 3), 0);
  EXPECT_EQ(DSReplaceValues(nullptr, nullptr, "[Root]", "Joe.Sales.Acme", "Description", 3), 0);
  EXPECT_TRUE(Values("Joe.Sales.Acme", "Description").empty());
  StrListFree(&wanted);
  // ... still a request: it names an object that must exist.
  EXPECT_EQ(DSReplaceValues(nullptr, nullptr, "[Root]", "Nobody.Acme", "Description", 3),
            DSC_ERR_NO_SUCH_ENTRY);
}

TEST_F(DirectoryTest, DeniedWritesComeBackAsNoAccessAndShowSo) {
  SetValues("Joe.Sales.Acme", "Description", {"old"});
  As("Joe.Sales.Acme");
  StrList old = {};
  DSReadValues(&old, "Sales.Acme.", "Joe.Sales.Acme", "Description");
  StrList wanted = ListOf({"new"});
  int r = DSReplaceValues(&old, &wanted, "Sales.Acme.", "Joe.Sales.Acme", "Description", 3);
  EXPECT_EQ(r, DSC_ERR_NO_ACCESS);
  EXPECT_EQ(Values("Joe.Sales.Acme", "Description"), std::vector<std::string>{"old"});
  {
    MessageBoxInterceptor boxes;
    EXPECT_STREQ(DSShowError(nullptr, r), "No access");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "[-672] Directory Error");
    EXPECT_EQ(boxes.Boxes()[0].text, "No access");
  }
  StrListFree(&old);
  StrListFree(&wanted);

  As("Manager.Sales.Acme");
  old = ListOf({"old"});
  wanted = ListOf({"new"});
  EXPECT_EQ(DSReplaceValues(&old, &wanted, "Sales.Acme.", "Joe", "Description", 3), 0);
  EXPECT_EQ(Values("Joe.Sales.Acme", "Description"), std::vector<std::string>{"new"});
  StrListFree(&old);
  StrListFree(&wanted);
}

TEST_F(DirectoryTest, WriteRightFollowsTheGrantsOfTheCurrentUser) {
  EXPECT_TRUE(DSCanWrite("Sales.Acme.", "Joe.Sales.Acme", "Description"));
  EXPECT_TRUE(DSCanWrite("[Root]", "FS1.Acme", "Network Address"));
  As("Manager.Sales.Acme");
  EXPECT_TRUE(DSCanWrite("Sales.Acme.", "Joe", "Description"));
  EXPECT_TRUE(DSCanWrite("Sales.Acme.", "Kim.East.Sales.Acme", "Quorvel:EMail Address"));
  EXPECT_FALSE(DSCanWrite("[Root]", "FS1.Acme", "Network Address"));
  EXPECT_FALSE(DSCanWrite("Sales.Acme.", "Nobody", "Description"));
  As("Joe.Sales.Acme");
  EXPECT_FALSE(DSCanWrite("Sales.Acme.", "Joe", "Description"));
  // A grant of that one attribute is enough.
  ASSERT_EQ(Admin()->SetGrant("Joe.Sales.Acme", "Joe.Sales.Acme",
                              "Description", DSC_ATTR_READ | DSC_ATTR_WRITE),
            0);
  EXPECT_TRUE(DSCanWrite("Sales.Acme.", "Joe", "Description"));
  EXPECT_FALSE(DSCanWrite("Sales.Acme.", "Joe", "Quorvel:EMail Address"));
}

TEST_F(DirectoryTest, AddCreatesTheObjectWithItsClassAndFirstAttributesAtOnce) {
  StrList domains = ListOf({"a.example", "b.example"});
  const DSAttribute attributes[] = {
      {"Quorvel:Module Name", kSyntaxDistName, "SMTPAGNT.QMD", nullptr},
      {"Quorvel:Module Version", kSyntaxDistName, "1", nullptr},
      {"Quorvel:Domain", kSyntaxCIString, nullptr, &domains},
      {"Quorvel:Routing", kSyntaxCIString, "", nullptr},  // empty: left out
      {"Quorvel:Message Limit", kSyntaxCIString, "0", nullptr},
  };
  ASSERT_EQ(DSAddObject("SMTP Agent.MS1.Internet Services", "Quorvel:SMTP Agent", attributes, 5), 0);
  EXPECT_EQ(Values("SMTP Agent.MS1.Internet Services", "Object Class"),
            std::vector<std::string>{"Quorvel:SMTP Agent"});
  EXPECT_EQ(Values("SMTP Agent.MS1.Internet Services", "Quorvel:Module Name"),
            std::vector<std::string>{"SMTPAGNT.QMD"});
  EXPECT_EQ(Values("SMTP Agent.MS1.Internet Services", "Quorvel:Domain"),
            (std::vector<std::string>{"a.example", "b.example"}));
  EXPECT_TRUE(Values("SMTP Agent.MS1.Internet Services", "Quorvel:Routing").empty());
  EXPECT_EQ(Values("SMTP Agent.MS1.Internet Services", "Quorvel:Message Limit"),
            std::vector<std::string>{"0"});
  StrListFree(&domains);

  // Failures create nothing.
  EXPECT_EQ(DSAddObject("SMTP Agent.MS1.Internet Services", "Quorvel:SMTP Agent", nullptr, 0),
            DSC_ERR_ENTRY_EXISTS);
  EXPECT_EQ(DSAddObject("X.MS1.Internet Services", "No Such Class", nullptr, 0), DSC_ERR_NO_SUCH_CLASS);
  const DSAttribute foreign[] = {{"Network Address", 3, "1.2.3.4", nullptr}};
  EXPECT_EQ(DSAddObject("Y.MS1.Internet Services", "Quorvel:SMTP Agent", foreign, 1),
            DSC_ERR_ILLEGAL_ATTRIBUTE);
  EXPECT_FALSE(DSObjectExists("X.MS1.Internet Services", 0));
  EXPECT_FALSE(DSObjectExists("Y.MS1.Internet Services", 0));
  As("Joe.Sales.Acme");
  EXPECT_EQ(DSAddObject("Unit.Sales.Acme", "Organizational Unit", nullptr, 0), DSC_ERR_NO_ACCESS);
  As("Manager.Sales.Acme");
  EXPECT_EQ(DSAddObject("Unit.Sales.Acme", "Organizational Unit", nullptr, 0), 0);
}

TEST_F(DirectoryTest, AnExistingObjectIsReportedWithTheDialogWhenAsked) {
  HWND host = CreateWindowA("STATIC", "host", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  g_snapin.hostWindow = host;
  DialogAnswerer answer(IDOK);
  EXPECT_EQ(DSObjectExists("ZELM Agent.MS1.Internet Services", 0), 1);
  EXPECT_EQ(DSObjectExists(".zelm agent.ms1.internet services", 0), 1);
  EXPECT_EQ(DSObjectExists("Nobody.Acme", 1), 0);
  EXPECT_EQ(DSObjectExists("Bad..Name", 1), 0);
  EXPECT_TRUE(answer.seen.empty());
  EXPECT_EQ(DSObjectExists("ZELM Agent.MS1.Internet Services", 1), 1);
  ASSERT_EQ(answer.seen.size(), 1u);
  EXPECT_EQ(answer.seen[0].title, "Object Exists");
  EXPECT_EQ(answer.seen[0].text,
            "You are trying to create an object that already exists under the selected server. "
            "Please select the existing object and click details to modify its configuration.");
  EXPECT_EQ(answer.seen[0].owner, host);
  DestroyWindow(host);
}

TEST_F(DirectoryTest, TheServicesContainerIsWalkedInOrder) {
  StrList list = ListOf({"first"});
  ASSERT_EQ(ListServiceObjects(&list), 1);
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"first", ".MS1.Internet Services",
                                                      ".MS2.Internet Services", ".MS3.Internet Services"}));
  StrListFree(&list);

  EXPECT_EQ(FindHostForContext("east.sales.ACME", &list), 1);
  EXPECT_EQ(Strings(list), std::vector<std::string>{"FS1.Acme"});
  StrListFree(&list);
  EXPECT_EQ(FindHostForContext("Sales.Acme", &list), 1);
  EXPECT_EQ(Strings(list), std::vector<std::string>{"FS2.Acme"});
  StrListFree(&list);
  EXPECT_EQ(FindHostForContext("Acme", &list), 0);
  EXPECT_EQ(list.count, 0);

  struct Row {
    const char* object;
    const char* server;  // null: none
  } rows[] = {
      {".Joe.Sales.Acme", ".MS2.Internet Services"},
      {"Kim.East.Sales.Acme", ".MS1.Internet Services"},
      {"x.EAST.sales.acme", ".MS1.Internet Services"},
      {"Joe", ".MS2.Internet Services"},  // looks for "."
      {"Agent.Internet Services", nullptr},  // ".Internet Services" is not "Internet Services"
      {".Joe", nullptr},                     // looks for "Joe"
      {"Admin.Acme", nullptr},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FindServerForObject(row.object, &list), row.server ? 1 : 0) << row.object;
    EXPECT_EQ(Strings(list), row.server ? std::vector<std::string>{row.server} : std::vector<std::string>())
        << row.object;
    StrListFree(&list);
  }
}

// Every operation, with buffers too small for anything: each put that finds
// its buffer full and each read or list that finds its result too small
// grows the buffer and goes on.
TEST_F(DirectoryTest, EveryOperationGrowsBuffersThatStartTooSmall) {
  DSSetBufferStartForTesting(24);
  StrList old = {};
  StrList wanted = ListOf({"first@x.example", "second@x.example", "third@x.example"});
  ASSERT_EQ(DSReplaceValues(&old, &wanted, "Sales.Acme.", "Joe", "Quorvel:EMail Address", 3), 0);
  EXPECT_GT(DSBufferGrowthsForTesting(1), 0);
  EXPECT_EQ(Values("Joe.Sales.Acme", "Quorvel:EMail Address"),
            (std::vector<std::string>{"first@x.example", "second@x.example", "third@x.example"}));

  ASSERT_EQ(DSReadValues(&old, "Sales.Acme.", "Joe", "Quorvel:EMail Address"), 3);
  EXPECT_GT(DSBufferGrowthsForTesting(1), 1);  // the request and the result
  EXPECT_EQ(Strings(old), (std::vector<std::string>{"first@x.example", "second@x.example", "third@x.example"}));

  const DSAttribute attributes[] = {{"Quorvel:Module Name", 1, "POPAGNT.QMD", nullptr}};
  ASSERT_EQ(DSAddObject("POP Agent.MS1.Internet Services", "Quorvel:POP Agent", attributes, 1), 0);
  EXPECT_GT(DSBufferGrowthsForTesting(1), 0);
  EXPECT_EQ(Values("POP Agent.MS1.Internet Services", "Quorvel:Module Name"),
            std::vector<std::string>{"POPAGNT.QMD"});

  StrList services = {};
  ASSERT_EQ(ListServiceObjects(&services), 1);
  EXPECT_GT(DSBufferGrowthsForTesting(1), 0);
  EXPECT_EQ(services.count, 3);
  StrListFree(&services);
  StrListFree(&old);
  StrListFree(&wanted);
}

TEST_F(DirectoryTest, ValuesBeyondTheNormalBufferSizesGrowThem) {
  std::vector<std::string> values;
  StrList wanted = {};
  for (int i = 0; i < 12; ++i) {
    values.push_back(std::to_string(100 + i) + std::string(1024, 'v'));  // 1,027: the longest value
    StrListAdd(&wanted, values.back().c_str());
  }
  StrList old = {};
  ASSERT_EQ(DSReplaceValues(&old, &wanted, "Sales.Acme.", "Joe", "Quorvel:EMail Address", 3), 0);
  EXPECT_GE(DSBufferGrowthsForTesting(1), 3);  // 12 x 1,035 bytes in 4,096-byte steps
  ASSERT_EQ(DSReadValues(&old, "Sales.Acme.", "Joe", "Quorvel:EMail Address"), 12);
  EXPECT_EQ(Strings(old), values);
  StrListFree(&wanted);

  // One character past the longest value: the directory refuses the whole
  // request, so the values already there stay as they were.
  wanted = ListOf({std::string(1028, 'w')});
  StrList none = {};
  EXPECT_EQ(DSReplaceValues(&none, &wanted, "Sales.Acme.", "Joe", "Quorvel:EMail Address", 3),
            DSC_ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(Values("Joe.Sales.Acme", "Quorvel:EMail Address"), values);
  StrListFree(&wanted);

  // Replacing them all by one value: twelve removals in one request.
  wanted = ListOf({"one"});
  ASSERT_EQ(DSReplaceValues(&old, &wanted, "Sales.Acme.", "Joe", "Quorvel:EMail Address", 3), 0);
  EXPECT_EQ(Values("Joe.Sales.Acme", "Quorvel:EMail Address"), std::vector<std::string>{"one"});
  StrListFree(&old);
  StrListFree(&wanted);

  // An object created with more than the 8,192 bytes a creation starts with.
  StrList domains = {};
  for (int i = 0; i < 10; ++i) StrListAdd(&domains, (std::to_string(i) + std::string(1000, 'd')).c_str());
  const DSAttribute attributes[] = {{"Quorvel:Domain", 3, nullptr, &domains}};
  ASSERT_EQ(DSAddObject("SMTP2.MS1.Internet Services", "Quorvel:SMTP Agent", attributes, 1), 0);
  EXPECT_GT(DSBufferGrowthsForTesting(1), 0);
  EXPECT_EQ(Values("SMTP2.MS1.Internet Services", "Quorvel:Domain").size(), 10u);
  StrListFree(&domains);
}

// A services container too large for one list result.
class ManyServicesTest : public FrameTest {
 protected:
  std::string Tree() override {
    std::string text = FrameTree(service_.Address(), goneAddress_);
    for (int i = 0; i < 300; ++i) {
      char line[160];
      snprintf(line, sizeof line,
               "object Server%03d.Internet Services : Quorvel:Messaging Server\n"
               "    Quorvel:Context = Unit%03d.Acme\n"
               "    Quorvel:Host = Host%03d.Acme\n",
               i, i, i);
      text += line;
    }
    return text;
  }
};

TEST_F(ManyServicesTest, ListingFollowsTheIterationToTheEnd) {
  StrList list = {};
  ASSERT_EQ(ListServiceObjects(&list), 1);
  ASSERT_EQ(list.count, 303);
  EXPECT_STREQ(list.items[3], ".Server000.Internet Services");
  EXPECT_STREQ(list.items[302], ".Server299.Internet Services");
  EXPECT_EQ(DSBufferGrowthsForTesting(1), 0);  // 4,096 bytes take some at a time
  StrListFree(&list);

  EXPECT_EQ(FindHostForContext("unit299.acme", &list), 1);
  EXPECT_EQ(Strings(list), std::vector<std::string>{"Host299.Acme"});
  StrListFree(&list);
  EXPECT_EQ(FindServerForObject("Joe.Unit150.Acme", &list), 1);
  EXPECT_EQ(Strings(list), std::vector<std::string>{".Server150.Internet Services"});
  StrListFree(&list);
}

}  // namespace
}  // namespace frametest
