#include "storage_objects.h"

#include <new>
#include <span>

#include "platform/bstr.h"
#include "platform/ref_counted.h"
#include "platform/cfb/open_modes.h"

namespace cfb {
namespace {

template <class Interface, const IID& kInterfaceId>
class ComObject : public RefCounted<Interface> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == kInterfaceId) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    using RefCounted<Interface>::AddRef;
};

DWORD ElementType(const Directory& dir, std::uint32_t id) {
    if (dir.IsStorage(id)) return STGTY_STORAGE;
    // Other type bytes are passed on as they are, for the caller to show as unknown.
    return dir.Type(id);
}

HRESULT FillStat(const Directory& dir, std::uint32_t id, DWORD statFlag, DWORD mode, STATSTG* stat) {
    char16_t* name = nullptr;
    if (statFlag != STATFLAG_NONAME) {
        const EntryName text = dir.Name(id);
        name = static_cast<char16_t*>(CoTaskMemAlloc((kMaxNameUnits + 1) * sizeof(char16_t)));
        if (!name) return E_OUTOFMEMORY;
        text.CopyTerminated(name);
    }
    // Every field is written in place: a record built aside and then copied whole is read back
    // in wider pieces than it was written in, which stalls the processor once per element.
    const EntryDetails& details = dir.Details(id);
    stat->pwcsName = name;
    stat->type = ElementType(dir, id);
    stat->cbSize = stat->type == STGTY_STORAGE ? 0 : dir.Size(id);
    stat->mtime = details.modified;
    stat->ctime = details.created;
    stat->atime = FILETIME{};
    stat->grfMode = mode;
    stat->grfLocksSupported = 0;
    stat->clsid = details.clsid;
    stat->grfStateBits = details.stateBits;
    stat->reserved = 0;
    return S_OK;
}

HRESULT StatChecked(const Directory& dir, std::uint32_t id, DWORD statFlag, DWORD mode, STATSTG* stat) {
    if (!stat) return STG_E_INVALIDPOINTER;
    if (statFlag != STATFLAG_DEFAULT && statFlag != STATFLAG_NONAME) return STG_E_INVALIDFLAG;
    return FillStat(dir, id, statFlag, mode, stat);
}

class Stream final : public ComObject<IStream, IID_IStream> {
public:
    Stream(std::shared_ptr<CompoundFile> file, std::uint32_t id, DWORD mode)
        : file_(std::move(file)), id_(id), mode_(mode) {}

    HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
        if (read) *read = 0;
        if (!buffer && size > 0) return STG_E_INVALIDPOINTER;
        if (!laidOut_) {
            layoutStatus_ = file_->LayOutStream(id_, &layout_);
            laidOut_ = true;
        }
        if (FAILED(layoutStatus_)) return layoutStatus_;
        std::size_t got = 0;
        if (HRESULT hr = file_->ReadStream(layout_, position_, buffer, size, &got); FAILED(hr)) return hr;
        position_ += got;
        if (read) *read = static_cast<ULONG>(got);
        return S_OK;
    }

    HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition) override {
        std::uint64_t base;
        switch (origin) {
            case STREAM_SEEK_SET: base = 0; break;
            case STREAM_SEEK_CUR: base = position_; break;
            case STREAM_SEEK_END: base = file_->Dir().Size(id_); break;
            default: return STG_E_INVALIDFUNCTION;
        }
        const std::uint64_t distance = move < 0 ? 0 - static_cast<std::uint64_t>(move) : static_cast<std::uint64_t>(move);
        if (move < 0 && distance > base) return STG_E_INVALIDFUNCTION;
        if (move >= 0 && base + distance < base) return STG_E_INVALIDFUNCTION;
        position_ = move < 0 ? base - distance : base + distance;
        if (newPosition) *newPosition = position_;
        return S_OK;
    }

    HRESULT Stat(STATSTG* stat, DWORD statFlag) override {
        return StatChecked(file_->Dir(), id_, statFlag, mode_, stat);
    }

private:
    std::shared_ptr<CompoundFile> file_;
    std::uint32_t id_;
    DWORD mode_;
    std::uint64_t position_ = 0;
    // The chain is walked and checked at the first read, not when the stream is opened.
    bool laidOut_ = false;
    HRESULT layoutStatus_ = S_OK;
    StreamLayout layout_;
};

class Enumerator final : public ComObject<IEnumSTATSTG, IID_IEnumSTATSTG> {
public:
    Enumerator(std::shared_ptr<CompoundFile> file, std::uint32_t storage)
        : file_(std::move(file)), storage_(storage), children_(file_->Dir().Children(storage)) {}

    HRESULT Next(ULONG count, STATSTG* elements, ULONG* fetched) override {
        if (!elements) return STG_E_INVALIDPOINTER;
        if (!fetched && count != 1) return E_INVALIDARG;
        const Directory& dir = file_->Dir();
        // Kept in locals while the records are written, which the compiler must otherwise
        // assume could change the members; the position moves only when the fetch succeeds.
        const std::span<const std::uint32_t> children = children_;
        std::size_t next = next_;
        ULONG n = 0;
        for (; n < count && next < children.size(); ++n, ++next) {
            if (HRESULT hr = FillStat(dir, children[next], STATFLAG_DEFAULT, 0, &elements[n]); FAILED(hr)) {
                for (ULONG i = 0; i < n; ++i) CoTaskMemFree(elements[i].pwcsName);
                for (ULONG i = 0; i <= n; ++i) elements[i] = STATSTG{};
                if (fetched) *fetched = 0;
                return hr;
            }
        }
        next_ = next;
        for (ULONG i = n; i < count; ++i) elements[i] = STATSTG{};
        if (fetched) *fetched = n;
        if (n == count) return S_OK;
        // The elements before the damage have been delivered; the damage itself is reported
        // by the call that would go past them.
        if (n == 0 && dir.ChildListState(storage_) == ChildList::BadSiblingLink)
            return dir.RefuseDamagedTree(storage_);
        return S_FALSE;
    }

private:
    std::shared_ptr<CompoundFile> file_;
    std::uint32_t storage_;
    // The directory does not change once read: the list is looked up once, not at every fetch.
    std::span<const std::uint32_t> children_;
    std::size_t next_ = 0;
};

class Storage final : public ComObject<IStorage, IID_IStorage> {
public:
    Storage(std::shared_ptr<CompoundFile> file, std::uint32_t id, DWORD mode)
        : file_(std::move(file)), id_(id), mode_(mode) {}

    HRESULT OpenStream(LPCWSTR name, void* reserved1, DWORD mode, DWORD reserved2,
                       IStream** stream) override {
        if (!stream) return STG_E_INVALIDPOINTER;
        *stream = nullptr;
        if (reserved1 || reserved2) return STG_E_INVALIDPARAMETER;
        std::uint32_t child;
        if (HRESULT hr = FindChild(name, mode, &child); FAILED(hr)) return hr;
        if (!file_->Dir().IsStream(child)) return STG_E_FILENOTFOUND;
        return Create<Stream>(child, mode, stream);
    }

    HRESULT OpenStorage(LPCWSTR name, IStorage* priority, DWORD mode, LPWSTR* exclude,
                        DWORD reserved, IStorage** storage) override {
        if (!storage) return STG_E_INVALIDPOINTER;
        *storage = nullptr;
        if (priority || exclude || reserved) return STG_E_INVALIDPARAMETER;
        std::uint32_t child;
        if (HRESULT hr = FindChild(name, mode, &child); FAILED(hr)) return hr;
        if (!file_->Dir().IsStorage(child)) return STG_E_FILENOTFOUND;
        return Create<Storage>(child, mode, storage);
    }

    HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3,
                         IEnumSTATSTG** enumerator) override {
        if (!enumerator) return STG_E_INVALIDPOINTER;
        *enumerator = nullptr;
        if (reserved1 || reserved2 || reserved3) return STG_E_INVALIDPARAMETER;
        if (file_->Dir().ChildListState(id_) == ChildList::BadChildLink) return file_->Dir().RefuseDamagedTree(id_);
        auto* e = new (std::nothrow) Enumerator(file_, id_);
        if (!e) return E_OUTOFMEMORY;
        *enumerator = e;
        return S_OK;
    }

    HRESULT Stat(STATSTG* stat, DWORD statFlag) override {
        return StatChecked(file_->Dir(), id_, statFlag, mode_, stat);
    }

private:
    // Children are opened with exclusive sharing, never with more access than this storage has.
    HRESULT FindChild(LPCWSTR name, DWORD mode, std::uint32_t* child) const {
        if (!name) return STG_E_INVALIDPOINTER;
        if (!IsKnownMode(mode)) return STG_E_INVALIDFLAG;
        if ((mode & kShareMask) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
        if ((mode & kAccessMask) != STGM_READ && (mode_ & kAccessMask) == STGM_READ)
            return STG_E_ACCESSDENIED;
        if (!*name) return STG_E_INVALIDNAME;
        try {
            *child = file_->Dir().FindChild(id_, name);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return *child == kNoStream ? STG_E_FILENOTFOUND : S_OK;
    }

    template <class Object, class Interface>
    HRESULT Create(std::uint32_t child, DWORD mode, Interface** out) const {
        auto* object = new (std::nothrow) Object(file_, child, mode);
        if (!object) return E_OUTOFMEMORY;
        *out = object;
        return S_OK;
    }

    std::shared_ptr<CompoundFile> file_;
    std::uint32_t id_;
    DWORD mode_;
};

}  // namespace

IStorage* NewRootStorage(std::shared_ptr<CompoundFile> file, DWORD mode) {
    return new (std::nothrow) Storage(std::move(file), 0, mode);
}

}  // namespace cfb
