// The real main window, created hidden in a registry sandbox and driven with
// the messages its children would send (the tree control's pane
// notifications, keys, commands), against scripted store peers. What it holds
// is read back through its snapshot; what it sent, from the peers.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "registry_sandbox.h"
#include "scripted_peer.h"
#include "ui_driver.h"

// The greeting and a user list ("2001 alice\r\n..."), as every script starts.
std::vector<PeerStep> Hello(const std::string& userLines);
// Appends steps to a script.
void Then(std::vector<PeerStep>* script, std::vector<PeerStep> more);

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Start-up and the hidden main window with a client area of about this size.
  void Start(int clientWidth = 700, int clientHeight = 400);
  void SizeClient(int width, int height);
  int ClientWidth();

  // A peer playing script; the record added for it by command 4323.
  ScriptedPeer* Serve(std::vector<PeerStep> script);
  StoreConnection* ConnectTo(ScriptedPeer* peer);
  // Bytes the peer received since the last call for it.
  std::string Sent(ScriptedPeer* peer);

  // The item below parent (null: the root) with that text.
  TreeItem* Child(TreeItem* parent, const char* text);
  // Selects a tree row as a click would (the pane's LBN_SELCHANGE).
  void Click(TreeItem* item);
  // Selects message list rows as the user would.
  void SelectRows(std::vector<int> rows);
  // A key pressed in the tree pane.
  void TreeKey(int vk);
  void Command(int id);

  // Sections of the window's snapshot.
  std::vector<std::string> Section(const char* name);
  std::vector<std::string> Tree() { return Section("tree"); }
  std::vector<std::string> List() { return Section("list"); }
  std::vector<std::string> Details() { return Section("details"); }
  std::string StatusText() { return Line(Section("status")); }
  std::string ErrorText() { return Line(Section("error")); }
  static std::string Line(const std::vector<std::string>& lines) {
    return lines.empty() ? std::string() : lines[0];
  }

  bool RepairEnabled();
  bool ViewChecked(int command);
  RECT ChildRect(HWND child);  // in the main window's client coordinates

  RegistrySandbox sandbox;
  MessageBoxInterceptor boxes;
  std::vector<std::unique_ptr<ScriptedPeer>> peers;
  std::vector<size_t> sentCursor;
  HWND window = nullptr;
  MainWindow* m = nullptr;
};
