#pragma once

// COM's objects held as any other resource: an interface released by its owner, and the
// thread's apartment left by whoever joined it. ole32 is loaded from System32 when an apartment
// is first joined: the program imports nothing of COM, and loads none of it unless asked.
// clang-format off
#include <windows.h>
#include <unknwn.h>
// clang-format on

#include <memory>

namespace qvt::win32 {

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
// One reference to a COM object, released with its owner.
template <typename Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease>;

// The calling thread in a single-threaded apartment for the life of this object, so that COM
// can hand its objects to another process. A thread already in an apartment stays in it.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // Whether the thread is in an apartment (this one's, or one it was in already).
    bool in_apartment() const { return in_apartment_; }

  private:
    bool joined_ = false;  // a join of ours, which the thread leaves again
    bool in_apartment_ = false;
};

}  // namespace qvt::win32
