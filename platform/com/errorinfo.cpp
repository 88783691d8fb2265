// Error information: one object per failure, kept per thread until the caller takes it.

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/error.h"
#include "platform/ref_counted.h"

namespace {

class ErrorInfo final : public RefCounted<IErrorInfo, ICreateErrorInfo> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
            *object = static_cast<IErrorInfo*>(this);
        } else if (iid == IID_ICreateErrorInfo) {
            *object = static_cast<ICreateErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    HRESULT GetDescription(BSTR* description) override {
        if (!description) return E_POINTER;
        *description = AllocBstr(description_);
        if (!*description && !description_.empty()) return E_OUTOFMEMORY;
        return S_OK;
    }
    HRESULT SetDescription(LPCWSTR description) override {
        description_ = description ? description : u"";
        return S_OK;
    }

private:
    ~ErrorInfo() = default;

    std::u16string description_;
};

thread_local ComPtr<IErrorInfo> threadErrorInfo;

}  // namespace

HRESULT SetErrorInfo(DWORD reserved, IErrorInfo* info) {
    if (reserved != 0) return E_INVALIDARG;
    if (info) info->AddRef();
    threadErrorInfo = ComPtr<IErrorInfo>::Attach(info);
    return S_OK;
}

HRESULT GetErrorInfo(DWORD reserved, IErrorInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (reserved != 0) return E_INVALIDARG;
    if (!threadErrorInfo) return S_FALSE;
    threadErrorInfo->AddRef();
    *info = threadErrorInfo.Get();
    threadErrorInfo.Reset();
    return S_OK;
}

HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
    if (!info) return E_POINTER;
    *info = new ErrorInfo;
    return S_OK;
}

void SetErrorDescription(const std::string& description) {
    ComPtr<ICreateErrorInfo> created;
    CreateErrorInfo(created.Put());
    created->SetDescription(AnsiToWide(description).c_str());
    ComPtr<IErrorInfo> info;
    created->QueryInterface(IID_IErrorInfo, info.PutVoid());
    SetErrorInfo(0, info.Get());
}

std::string TakeErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info) return {};
    BstrHolder text;
    if (FAILED(info->GetDescription(text.Put()))) return {};
    return WideToAnsi(text.Text());
}

void RaiseCallFailure(const std::string& what, HRESULT hr) {
    const std::string description = TakeErrorDescription();
    if (description.empty()) RaiseFailure(what, hr);
    throw Error(what + ": " + description, hr);
}
