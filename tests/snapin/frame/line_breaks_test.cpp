// Multi-line texts between the directory and the edit control: shown with
// CR LF, written back in the stored value's form, untouched texts byte for
// byte.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "line_breaks.h"

namespace {

std::string Take(char* text) {
  std::string s = text ? text : "<null>";
  free(text);
  return s;
}

TEST(LineBreaks, ShownWithCrLfAndStoredInTheFormFound) {
  const struct {
    const char* stored;  // null: no value stored
    const char* shown;
    const char* edited;       // what the field holds at apply
    LineBreakForm fallback;
    const char* written;
  } rows[] = {
      {"a\nb\nc", "a\r\nb\r\nc", "a\r\nb\r\nc", kBreakCrLf, "a\nb\nc"},  // untouched
      {"a\nb\nc", "a\r\nb\r\nc", "a\r\nb\r\nc\r\nd", kBreakCrLf, "a\nb\nc\nd"},
      {"a\r\nb", "a\r\nb", "a\r\nb\r\nd", kBreakLineFeed, "a\r\nb\r\nd"},
      {"one line", "one line", "one\r\nline", kBreakCrLf, "one\r\nline"},
      {"one line", "one line", "one\r\nline", kBreakLineFeed, "one\nline"},
      {nullptr, "", "new\r\ntext", kBreakLineFeed, "new\ntext"},
      // Mixed breaks stay as they were while untouched; edited, the first one's form.
      {"a\nb\r\nc", "a\r\nb\r\nc", "a\r\nb\r\nc", kBreakCrLf, "a\nb\r\nc"},
      {"a\nb\r\nc", "a\r\nb\r\nc", "a\r\nB\r\nc", kBreakCrLf, "a\nB\nc"},
      {"\n\n", "\r\n\r\n", "\r\n\r\n\r\n", kBreakCrLf, "\n\n\n"},
      {"x", "x", "", kBreakCrLf, ""},
      // A carriage return on its own is no line break.
      {"a\rb", "a\rb", "a\rb!", kBreakLineFeed, "a\rb!"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.stored ? r.stored : "<none>");
    SCOPED_TRACE(r.edited);
    EXPECT_EQ(Take(ToEditText(r.stored)), r.shown);
    EXPECT_EQ(Take(ToStoredText(r.edited, r.stored, r.fallback)), r.written);
  }
  EXPECT_EQ(LineBreaksOf("a\r\nb\nc", kBreakLineFeed), kBreakCrLf);
  EXPECT_EQ(LineBreaksOf("\nb", kBreakCrLf), kBreakLineFeed);
  EXPECT_EQ(LineBreaksOf("", kBreakLineFeed), kBreakLineFeed);
  EXPECT_EQ(LineBreaksOf(nullptr, kBreakCrLf), kBreakCrLf);
}

}  // namespace
