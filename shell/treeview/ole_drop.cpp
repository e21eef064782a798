#include "ole_drop.h"

#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <new>

namespace {

// RegisterDragDrop keeps the target under this window property.
const char kOleTargetProperty[] = "OleDropTargetInterface";

HGLOBAL CopyGlobal(HGLOBAL source) {
  SIZE_T size = GlobalSize(source);
  const void* from = GlobalLock(source);
  if (!from) return nullptr;
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  void* to = copy ? GlobalLock(copy) : nullptr;
  if (to) {
    memcpy(to, from, size);
    GlobalUnlock(copy);
  } else if (copy) {
    GlobalFree(copy);
    copy = nullptr;
  }
  GlobalUnlock(source);
  return copy;
}

FORMATETC FileListFormat() {
  FORMATETC f = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  return f;
}

// The file list offered to the target. Another program's target holds it
// through OLE and may let go of it only after the drop: it lives on the heap
// until the last reference goes, with a copy of the block of its own.
class FileListData final : public IDataObject {
 public:
  explicit FileListData(HGLOBAL block) : block_(block) {}
  ~FileListData() { GlobalFree(block_); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
      *out = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override {
    if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
    HGLOBAL copy = CopyGlobal(block_);
    if (!copy) return E_OUTOFMEMORY;
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = copy;  // the receiver releases it with ReleaseStgMedium
    m->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
    if (!f || f->cfFormat != CF_HDROP) return DV_E_FORMATETC;
    if (!(f->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    if (f->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) {
      *out = nullptr;
      return E_NOTIMPL;
    }
    FORMATETC f = FileListFormat();
    return SHCreateStdEnumFmtEtc(1, &f, out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  HGLOBAL block_;
  LONG refs_ = 1;
};

// The button is already up when OLE takes over: the first question drops.
class ReleasedSource final : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDropSource) {
      *out = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    return escape ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  LONG refs_ = 1;
};

}  // namespace

bool HasOleDropTarget(HWND w) { return GetPropA(w, kOleTargetProperty) != nullptr; }

bool DropThroughOle(HGLOBAL block) {
  if (!block) return false;
  // Balanced below; a thread already in OLE just counts one more user.
  HRESULT init = OleInitialize(nullptr);
  if (FAILED(init)) return false;
  HGLOBAL copy = CopyGlobal(block);
  FileListData* data = copy ? new (std::nothrow) FileListData(copy) : nullptr;
  if (!data) {
    if (copy) GlobalFree(copy);
    OleUninitialize();
    return false;
  }
  ReleasedSource source;  // asked only here, never marshalled
  DWORD effect = DROPEFFECT_NONE;
  HRESULT hr = DoDragDrop(data, &source, DROPEFFECT_COPY, &effect);
  data->Release();
  OleUninitialize();
  return hr == DRAGDROP_S_DROP && effect != DROPEFFECT_NONE;
}
