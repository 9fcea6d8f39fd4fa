#pragma once

// The IUnknown part of the tests' stand-ins for COM objects: a reference
// count the test can read, and QueryInterface for IUnknown, the implemented
// interface and the further interfaces it derives from that are listed.

#include <windows.h>
#include <unknwn.h>

namespace testing_support {

// Who ends a stand-in: the test, which holds it by value and reads its count
// to see that everything handed out came back, or its last Release.
enum class FakeLifetime { OwnedByTest, EndsAtLastRelease };

template <typename Interface, FakeLifetime kLifetime, typename... Bases>
class FakeCom : public Interface {
public:
    ULONG references = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(Interface) && !Offers(iid)) return E_NOINTERFACE;
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if constexpr (kLifetime == FakeLifetime::EndsAtLastRelease) {
            if (left == 0) delete this;
        }
        return left;
    }

protected:
    virtual ~FakeCom() = default;
    // Whether QueryInterface answers for one of the listed bases.
    virtual bool Offers(REFIID iid) const { return ((iid == __uuidof(Bases)) || ...); }
};

}  // namespace testing_support
