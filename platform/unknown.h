// The base interfaces of components. They hold no data and declare no virtual destructor, so the
// slot of each operation in the table of function pointers is its position in declaration order
// (IUnknown 0-2, IDispatch 3-6), the layout that callers of a component rely on.
#pragma once

#include <utility>

#include "guid.h"
#include "hresult.h"

inline constexpr IID IID_IUnknown = MakeGuid("{00000000-0000-0000-C000-000000000046}");
inline constexpr IID IID_IDispatch = MakeGuid("{00020400-0000-0000-C000-000000000046}");

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// Late-bound calls are not used by this program; the four slots are declared so that the
// operations of interfaces derived from IDispatch sit at their slots from 7 on.
struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, DWORD locale, void** typeInfo) = 0;
    virtual HRESULT GetIDsOfNames(REFIID iid, LPWSTR* names, UINT count, DWORD locale,
                                  std::int32_t* ids) = 0;
    virtual HRESULT Invoke(std::int32_t id, REFIID iid, DWORD locale, std::uint16_t flags,
                           void* params, void* result, void* exception, UINT* argError) = 0;

protected:
    ~IDispatch() = default;
};

// An owning reference to a component interface: releases what it holds.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* raw) {
        ComPtr p;
        p.ptr_ = raw;
        return p;
    }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    // Releases the current reference and gives the slot for an out parameter.
    T** Put() {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    void Reset() {
        if (ptr_) std::exchange(ptr_, nullptr)->Release();
    }

private:
    T* ptr_ = nullptr;
};
