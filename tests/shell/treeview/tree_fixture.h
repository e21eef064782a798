// A tree control in an owner window that records the control's notifications,
// plus readable snapshots of the rows, so tests compare sequences and states.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "treeview.h"

// One notification as the owner saw it (arrays copied while they lived).
struct Note {
  UINT msg;
  std::string text;                 // the item's or entry's text, when wParam names one
  LPARAM data = 0;                  // the second value when it is not a SelectionInfo
  bool hasInfo = false;
  HWND sender = nullptr;
  POINT point = {0, 0};
  std::vector<std::string> texts;   // texts of the info's items or entries
  std::vector<LPARAM> infoData;
  // Drops handed to the owner: the files the drop names, read with DragQueryFile.
  std::vector<std::string> files;
  POINT dropPoint = {0, 0};
};

// Bitmaps the control draws from: every cell filled with its own colour,
// masks black in a centred square (the image shows there) and white around it.
struct TestImages {
  HBITMAP tree = nullptr, treeMask = nullptr, item = nullptr, itemMask = nullptr;
  int rows = 4, columns = 2, width = 17, height = 17;
  ~TestImages();
  void Make();
};
// The colour TestImages gives the tree cell (column, image) at size factor sf.
COLORREF TreeCellColour(int column, int image, int sf);
COLORREF ItemCellColour(int image);

class TreeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the control filling a 400x300 owner (hidden unless shown).
  void Make(DWORD options = kTvTreePane | kTvItemPane | kTvOpenToggles | kTvNoTreeDrop,
            int split = 40, bool shown = false, int width = 400, int height = 300);

  TreeItem* Add(TreeItem* parent, const char* text, LPARAM data = 0, DWORD placement = kTvAddLastChild);
  ListItem* AddEntry(const char* text, LPARAM data = 0);

  // Rows of the tree pane: two spaces per depth, the text, "[+]" collapsed
  // or "[-]" expanded when it has children, " *" when selected.
  std::vector<std::string> Rows();
  std::vector<std::string> Entries();       // entry rows, " *" when selected
  // Notifications since the last call, one line each ("select alice 12").
  std::vector<std::string> Notes();
  const std::vector<Note>& RawNotes() const { return notes_; }
  void ClearNotes() { notes_.clear(); }

  HWND TreePane() { return TvTreePane(control); }
  HWND ItemPane() { return TvItemPane(control); }
  RECT RowRect(HWND pane, int row);
  int Depth(const TreeItem* item);
  // Sends a key to a pane as the keyboard would (down and up).
  void Key(HWND pane, int vk);
  void Click(HWND pane, UINT down, int x, int y, WPARAM keys = 0);

  static LRESULT CALLBACK OwnerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);

  // How the owner answers quick-help and name requests (nothing when unset).
  std::function<void(QuickHelpRequest*)> answerQuickHelp;
  std::function<void(DragNameRequest*)> answerName;
  // Quick-help requests come whenever the pointer crosses a row; only the
  // suites about them note them.
  bool noteQuickHelp = false;

  HWND owner = nullptr;
  HWND control = nullptr;
  TestImages images;
  std::vector<Note> notes_;
  std::vector<std::string> chars_;
  static TreeTest* current_;
};

std::string NoteLine(const Note& n);
