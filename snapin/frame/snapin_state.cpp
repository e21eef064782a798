#include "snapin_state.h"

#include "names.h"

SnapinState g_snapin = {nullptr, nullptr, nullptr, 1, "", "", "", ""};

int SetBrowseText(const char* text) {
  return CopyText(g_snapin.browse, sizeof g_snapin.browse, text);
}

int SetCurrentObject(const char* name) {
  int fitted = CopyText(g_snapin.currentObject, sizeof g_snapin.currentObject, name);
  SetBrowseText(g_snapin.currentObject);
  DerivePageContainer();
  return fitted;
}

void DerivePageContainer() {
  // The container is never longer than the name plus the ".", so it fits.
  PageContainerOf(g_snapin.currentObject, g_snapin.pageContainer, sizeof g_snapin.pageContainer);
}

int SetCurrentModule(const char* moduleFile) {
  return CopyText(g_snapin.currentModule, sizeof g_snapin.currentModule, moduleFile);
}

HINSTANCE ResourceModule() {
  if (g_snapin.resources) return g_snapin.resources;
  if (g_snapin.instance) return g_snapin.instance;
  return GetModuleHandleA(nullptr);
}
