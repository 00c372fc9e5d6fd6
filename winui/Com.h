// COM on the calling thread, and COM pointers that release themselves.
#pragma once

#include <objbase.h>

#include <memory>

namespace winui {

// A single-threaded apartment on this thread for as long as it lives; a thread already
// in an apartment keeps it.
class ComApartment {
public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT hr_;
};

struct ComRelease {
    void operator()(IUnknown* object) const
    {
        if (object) object->Release();
    }
};
// An interface pointer owned by its holder.
template <class Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease>;

} // namespace winui
