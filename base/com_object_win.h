#pragma once

// What every COM object the program hands out shares: the reference count, starting at one for
// its maker, and the lookup of IUnknown and its one interface. The object deletes itself with its
// last reference, so it is made with new and held in a ComPtr.

#include <windows.h>
#include <unknwn.h>

namespace corvalo {

template <typename Interface>
class ComObject : public Interface {
  public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

  protected:
    virtual ~ComObject() = default;

  private:
    LONG references_ = 1;
};

}  // namespace corvalo
