// The reader through its public interfaces: the compound-file test, the root open and its
// refusals, enumeration records, look-ups by name, stream reads, and trees far deeper than any
// call stack.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "crafted_file.h"
#include "explore.h"
#include "platform/cfb/writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "tests/support/bytes_read.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr DWORD kRootMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kChildMode = STGM_READ | STGM_SHARE_EXCLUSIVE;

class Reader : public testing::Test {
protected:
    std::string Write(const std::string& bytes, const std::string& name = "file.acs") { return dir_.Write(name, bytes); }
    static HRESULT Open(const std::string& path, ComPtr<IStorage>& root, DWORD mode = kRootMode) {
        return StgOpenStorage(AnsiToWide(path).c_str(), nullptr, mode, nullptr, 0, root.Put());
    }
    static ComPtr<IStorage> OpenOrFail(const std::string& path) {
        ComPtr<IStorage> root;
        EXPECT_EQ(Open(path, root), S_OK);
        return root;
    }
    static HRESULT IsStorage(const std::string& path) { return StgIsStorageFile(AnsiToWide(path).c_str()); }

    TempDir dir_;
};

// The record's name, whose task memory is freed; the pointer is left as it was, so that a later
// fetch into the record must clear it.
std::string TakeName(const STATSTG& s) {
    const std::string name = s.pwcsName ? WideToAnsi(s.pwcsName) : "(null)";
    CoTaskMemFree(s.pwcsName);
    return name;
}

bool IsZeroed(const STATSTG& s) {
    return !s.pwcsName && s.type == 0 && s.cbSize == 0 && s.clsid == CLSID{} && s.mtime.dwLowDateTime == 0;
}

// The enumeration of a storage's elements, and a child storage opened by name; a failure ends
// the test.
ComPtr<IEnumSTATSTG> Elements(IStorage* storage) {
    ComPtr<IEnumSTATSTG> elements;
    if (const HRESULT hr = storage->EnumElements(0, nullptr, 0, elements.Put()); hr != S_OK)
        RaiseFailure("EnumElements failed", hr);
    return elements;
}

ComPtr<IStorage> OpenChild(IStorage* storage, const char16_t* name) {
    ComPtr<IStorage> child;
    if (const HRESULT hr = storage->OpenStorage(name, nullptr, kChildMode, nullptr, 0, child.Put()); hr != S_OK)
        RaiseFailure("OpenStorage failed", hr);
    return child;
}

// `count` streams in the root, entry i named name(i) and linked to the next by its right link
// (its left one for `leftChain`).
template <typename Name>
std::vector<crafted::EntrySpec> SiblingChain(std::uint32_t count, Name name, bool leftChain = false) {
    std::vector<crafted::EntrySpec> entries{crafted::Root(1)};
    for (std::uint32_t i = 1; i <= count; ++i) {
        crafted::EntrySpec e{name(i)};
        (leftChain ? e.left : e.right) = i < count ? i + 1 : cfb::kNoStream;
        entries.push_back(e);
    }
    return entries;
}

ComPtr<IStream> OpenStream(IStorage* storage, const char16_t* name) {
    ComPtr<IStream> stream;
    EXPECT_EQ(storage->OpenStream(name, nullptr, kChildMode, 0, stream.Put()), S_OK);
    return stream;
}

std::string ReadRest(IStream* stream, ULONG chunk = 1000) {
    std::string all;
    std::string buffer(chunk, '\0');
    for (;;) {
        ULONG got = 0;
        EXPECT_EQ(stream->Read(buffer.data(), chunk, &got), S_OK);
        if (got == 0) return all;
        all.append(buffer, 0, got);
    }
}

TEST_F(Reader, StorageFileTestLooksAtTheHeaderOnly) {
    const std::string baseline = crafted::Baseline();
    EXPECT_EQ(IsStorage(Write(baseline)), S_OK);
    EXPECT_EQ(IsStorage(Write(baseline.substr(0, 512))), S_OK);
    EXPECT_EQ(IsStorage(Write(baseline.substr(0, 511))), S_FALSE);
    EXPECT_EQ(IsStorage(Write("")), S_FALSE);
    EXPECT_EQ(IsStorage(Write(std::string(2000, 'x'))), S_FALSE);
    EXPECT_EQ(IsStorage(dir_.File("missing.acs")), STG_E_FILENOTFOUND);
    EXPECT_EQ(IsStorage(dir_.File("missing/file.acs")), STG_E_PATHNOTFOUND);
    EXPECT_EQ(IsStorage(dir_.Path()), E_DIRECTORY);
    EXPECT_EQ(StgIsStorageFile(nullptr), STG_E_INVALIDNAME);
}

TEST_F(Reader, EnumerationDeliversRecordsThenAZeroedEnd) {
    std::string bytes = crafted::Baseline();
    const std::size_t s = crafted::EntryOffset(1);
    for (int i = 0; i < 16; ++i) crafted::Put8(bytes, s + cfb::entry::kClsid + i, static_cast<std::uint8_t>(i + 1));
    crafted::Put32(bytes, s + cfb::entry::kStateBits, 0x55);
    crafted::Put32(bytes, s + cfb::entry::kModifiedTime, 0x12345678);
    ComPtr<IStorage> root = OpenOrFail(Write(bytes));
    ComPtr<IEnumSTATSTG> elements = Elements(root.Get());

    STATSTG e;
    ULONG fetched = 0;
    ASSERT_EQ(elements->Next(1, &e, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(TakeName(e), "S");
    EXPECT_EQ(e.type, STGTY_STORAGE);
    EXPECT_EQ(e.cbSize, 0u);
    EXPECT_EQ(FormatGuid(e.clsid), "{04030201-0605-0807-090A-0B0C0D0E0F10}");
    EXPECT_EQ(e.grfStateBits, 0x55u);
    EXPECT_EQ(e.mtime.dwLowDateTime, 0x12345678u);

    ASSERT_EQ(elements->Next(1, &e, nullptr), S_OK);
    EXPECT_EQ(TakeName(e), "Big");
    EXPECT_EQ(e.type, STGTY_STREAM);
    EXPECT_EQ(e.cbSize, 4096u);

    for (int twice = 0; twice < 2; ++twice) {
        e.type = 77;
        EXPECT_EQ(elements->Next(1, &e, &fetched), S_FALSE);
        EXPECT_EQ(fetched, 0u);
        EXPECT_TRUE(IsZeroed(e));
    }
}

TEST_F(Reader, NextFetchesSeveralAtOnce) {
    ComPtr<IStorage> root = OpenOrFail(Write(crafted::Baseline()));
    ComPtr<IEnumSTATSTG> elements = Elements(root.Get());
    STATSTG batch[3];
    ULONG fetched = 0;
    EXPECT_EQ(elements->Next(2, batch, nullptr), E_INVALIDARG);
    EXPECT_EQ(elements->Next(3, batch, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(TakeName(batch[0]), "S");
    EXPECT_EQ(TakeName(batch[1]), "Big");
    EXPECT_TRUE(IsZeroed(batch[2]));
}

// A damaged sibling tree: what comes before the damage is delivered, then Next fails.
TEST_F(Reader, BatchStopsBeforeTheDamageAndTheNextCallFails) {
    std::string bytes = crafted::Baseline();
    crafted::Put32(bytes, crafted::EntryOffset(2) + cfb::entry::kLeft, 1);
    crafted::Put32(bytes, crafted::EntryOffset(1) + cfb::entry::kRight, 2);
    ComPtr<IStorage> root = OpenOrFail(Write(bytes));
    ComPtr<IEnumSTATSTG> elements = Elements(root.Get());
    STATSTG batch[4];
    ULONG fetched = 9;
    EXPECT_EQ(elements->Next(4, batch, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(TakeName(batch[0]), "S");
    EXPECT_EQ(elements->Next(4, batch, &fetched), STG_E_DOCFILECORRUPT);
    EXPECT_EQ(fetched, 0u);
    EXPECT_TRUE(IsZeroed(batch[0]));
}

TEST_F(Reader, OpensChildrenByNameIgnoringCase) {
    ComPtr<IStorage> root = OpenOrFail(Write(crafted::Baseline()));
    ComPtr<IStorage> s;
    ComPtr<IStream> stream;
    EXPECT_EQ(root->OpenStorage(u"s", nullptr, kChildMode, nullptr, 0, s.Put()), S_OK);
    EXPECT_EQ(root->OpenStream(u"bIG", nullptr, kChildMode, 0, stream.Put()), S_OK);
    EXPECT_EQ(root->OpenStorage(u"Big", nullptr, kChildMode, nullptr, 0, s.Put()), STG_E_FILENOTFOUND);
    EXPECT_EQ(root->OpenStream(u"S", nullptr, kChildMode, 0, stream.Put()), STG_E_FILENOTFOUND);
    EXPECT_EQ(root->OpenStream(u"a", nullptr, kChildMode, 0, stream.Put()), STG_E_FILENOTFOUND);
    EXPECT_EQ(root->OpenStream(u"", nullptr, kChildMode, 0, stream.Put()), STG_E_INVALIDNAME);
    EXPECT_EQ(root->OpenStream(u"Big", nullptr, STGM_READ, 0, stream.Put()), STG_E_INVALIDFLAG);
    EXPECT_EQ(root->OpenStorage(u"S", nullptr, STGM_SHARE_DENY_WRITE, nullptr, 0, s.Put()), STG_E_INVALIDFLAG);
    EXPECT_EQ(root->OpenStorage(nullptr, nullptr, kChildMode, nullptr, 0, s.Put()), STG_E_INVALIDPOINTER);
    EXPECT_EQ(root->OpenStorage(u"S", root.Get(), kChildMode, nullptr, 0, s.Put()), STG_E_INVALIDPARAMETER);

    STATSTG stat;
    ASSERT_EQ(root->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(TakeName(stat), "Root Entry");
    EXPECT_EQ(stat.type, STGTY_STORAGE);
    EXPECT_EQ(stat.grfMode, kRootMode);
    ASSERT_EQ(root->OpenStorage(u"S", nullptr, kChildMode, nullptr, 0, s.Put()), S_OK);
    ASSERT_EQ(s->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.pwcsName, nullptr);
    EXPECT_EQ(s->Stat(&stat, 7), STG_E_INVALIDFLAG);
}

TEST_F(Reader, ChildrenOfAReadOnlyRootCannotBeOpenedForWriting) {
    const std::string path = Write(crafted::Baseline());
    ComPtr<IStorage> root;
    ASSERT_EQ(Open(path, root, STGM_READ | STGM_SHARE_DENY_WRITE), S_OK);
    ComPtr<IStorage> s;
    EXPECT_EQ(root->OpenStorage(u"S", nullptr, kRootMode, nullptr, 0, s.Put()), STG_E_ACCESSDENIED);
}

TEST_F(Reader, StreamsReadSeekAndStat) {
    ComPtr<IStorage> root = OpenOrFail(Write(crafted::Baseline()));
    ComPtr<IStream> big = OpenStream(root.Get(), u"Big");
    EXPECT_EQ(ReadRest(big.Get(), 333), crafted::BigContent());

    std::uint64_t position = 0;
    EXPECT_EQ(big->Seek(-10, STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position, 4086u);
    EXPECT_EQ(ReadRest(big.Get()), crafted::BigContent().substr(4086));
    EXPECT_EQ(big->Seek(500, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(big->Seek(100, STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position, 600u);
    EXPECT_EQ(ReadRest(big.Get(), 4096), crafted::BigContent().substr(600));
    EXPECT_EQ(big->Seek(-1, STREAM_SEEK_SET, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(big->Seek(0, 9, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(big->Seek(10000, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(ReadRest(big.Get()), "");

    ComPtr<IStorage> s = OpenChild(root.Get(), u"S");
    ComPtr<IStream> a = OpenStream(s.Get(), u"A");
    EXPECT_EQ(ReadRest(a.Get(), 3), "abcdefghij");
    STATSTG stat;
    ASSERT_EQ(a->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(TakeName(stat), "a");
    EXPECT_EQ(stat.type, STGTY_STREAM);
    EXPECT_EQ(stat.cbSize, 10u);
}

// The file shrinks under an open root: what is gone fails to read, in a large stream, in the mini
// stream and in a last sector cut by one byte, and is never made up as zeros.
TEST_F(Reader, AFileCutShortAfterItWasOpenedIsNeverReadAsZeros) {
    for (const std::size_t cut : {crafted::SectorOffset(6), crafted::SectorOffset(3), crafted::SectorOffset(12) - 1}) {
        const std::string path = Write(crafted::Baseline());
        ComPtr<IStorage> root = OpenOrFail(path);
        ComPtr<IStorage> s = OpenChild(root.Get(), u"S");
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(cut)), 0);
        for (auto [storage, name] : {std::pair{root.Get(), u"Big"}, std::pair{s.Get(), u"a"}}) {
            ComPtr<IStream> stream = OpenStream(storage, name);
            std::string buffer(4096, 'x');
            ULONG got = 0;
            const HRESULT hr = stream->Read(buffer.data(), 4096, &got);
            const bool lost = name == std::u16string(u"a") ? cut <= crafted::SectorOffset(3) : true;
            EXPECT_EQ(hr, lost ? STG_E_READFAULT : S_OK) << cut;
            EXPECT_EQ(got, lost ? 0u : 10u) << cut;
        }
    }
}

// Streams whose chains are the directory's own: reading every stream of the file is refused, and
// what is read from the file grows with the file, not with the streams times the directory.
TEST_F(Reader, StreamsSharingTheDirectoryReadNothingAndCostInProportion) {
    std::vector<std::uint64_t> fileBytes, bytesRead;
    for (const int streams : {250, 500, 1000}) {
        const std::string bytes = AnimationsInTheDirectory(streams);
        const std::string path = Write(bytes);
        const std::uint64_t before = BytesReadByThisProcess();
        const std::string walk = explore::File(path);
        bytesRead.push_back(BytesReadByThisProcess() - before);
        fileBytes.push_back(bytes.size());
        EXPECT_TRUE(walk.starts_with("[Anim0:")) << walk.substr(0, 100);
        EXPECT_EQ(walk.find("=ok"), std::string::npos) << streams;
    }
    for (std::size_t i = 1; i < bytesRead.size(); ++i)
        EXPECT_LE(static_cast<double>(bytesRead[i]) / bytesRead[0],
                  1.25 * static_cast<double>(fileBytes[i]) / fileBytes[0]) << i;
}

// A DIFAT of `sectors` sectors, each listing no FAT sector, chained backwards from the file's last
// sector to its first after the FAT's: what the reader may read ahead must not add up to more than
// the file.
TEST_F(Reader, ADifatChainedBackwardsIsReadOnce) {
    for (const std::uint32_t sectors : {1000u, 2000u, 4000u}) {
        std::string f = crafted::Header(3);
        f.resize(crafted::SectorOffset(sectors + 1), '\xFF');
        crafted::Put32(f, cfb::header::kNumFatSectors, sectors + 1);
        crafted::Put32(f, cfb::header::kFirstDirSector, 0);
        crafted::Put32(f, cfb::header::kFirstDifatSector, sectors);
        crafted::Put32(f, cfb::header::kDifat, 0);
        crafted::Put32(f, crafted::FatOffset(0), cfb::kFatSect);
        for (std::uint32_t s = 1; s <= sectors; ++s)
            crafted::Put32(f, crafted::SectorOffset(s) + crafted::kSector - 4, s > 1 ? s - 1 : cfb::kEndOfChain);
        const std::string path = Write(f);
        const std::uint64_t before = BytesReadByThisProcess();
        explore::File(path);
        EXPECT_LE(BytesReadByThisProcess() - before, 2 * f.size()) << sectors;
    }
}

TEST_F(Reader, OpenChecksItsArguments) {
    const std::u16string path = AnsiToWide(Write(crafted::Baseline()));
    IStorage* root = reinterpret_cast<IStorage*>(1);
    EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, kRootMode, nullptr, 0, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(StgOpenStorage(nullptr, nullptr, kRootMode, nullptr, 0, &root), STG_E_INVALIDNAME);
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, kRootMode, nullptr, 1, &root), STG_E_INVALIDPARAMETER);
    EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_DENY_NONE, nullptr, 0, &root),
              STG_E_INVALIDFLAG);
    EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, 0x3 | STGM_SHARE_EXCLUSIVE, nullptr, 0, &root), STG_E_INVALIDFLAG);
    EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, 0x50, nullptr, 0, &root), STG_E_INVALIDFLAG);
    EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, kRootMode | 0x1000, nullptr, 0, &root), STG_E_INVALIDFLAG);
    const std::u16string missing = AnsiToWide(dir_.File("none.acs"));
    EXPECT_EQ(StgOpenStorage(missing.c_str(), nullptr, kRootMode, nullptr, 0, &root), STG_E_FILENOTFOUND);
    EXPECT_EQ(root, nullptr);
}

struct FileState {
    std::string content;
    timespec modified;
};

FileState StateOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return {ReadWholeFile(path), st.st_mtim};
}

TEST_F(Reader, OpeningForWritingLeavesTheFileAsItWas) {
    for (const std::string& bytes : {crafted::Baseline(), [] {
             cfb::CompoundFileWriter writer;
             const auto s = writer.AddStorage(cfb::CompoundFileWriter::kRoot, u"Anims");
             writer.AddStream(s, u"Wave", std::string(70000, 'w'));
             writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", "Name=Max\n");
             return writer.SaveToBytes();
         }()}) {
        const std::string path = Write(bytes);
        timespec past{1000000000, 123456789};
        const timespec times[2] = {past, past};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        const FileState before = StateOf(path);
        EXPECT_EQ(explore::File(path).find("!"), std::string::npos);
        const FileState after = StateOf(path);
        EXPECT_EQ(after.content, before.content);
        EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec);
        EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec);
    }
}

// Root may open any file, so for root the layer reads the permission bits itself; for anyone
// else the system refuses. Both must come to the same answers for a file without write
// permission; a file without read permission opens for root alone.
TEST_F(Reader, RootIsRefusedForAFileWithoutWritePermissionWhoeverRunsTheCheck) {
    const bool runByRoot = ::geteuid() == 0;
    SCOPED_TRACE(runByRoot ? "run by root" : "run by a normal user");
    const std::string path = Write(crafted::Baseline());
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ComPtr<IStorage> root;
    EXPECT_EQ(Open(path, root), STG_E_ACCESSDENIED);
    EXPECT_EQ(root.Get(), nullptr);
    EXPECT_EQ(Open(path, root, STGM_READ | STGM_SHARE_EXCLUSIVE), S_OK);
    root.Reset();
    EXPECT_EQ(Open(path, root, STGM_READ | STGM_SHARE_DENY_WRITE), S_OK);
    root.Reset();
    ASSERT_EQ(chmod(path.c_str(), 0200), 0);
    EXPECT_EQ(Open(path, root), runByRoot ? S_OK : STG_E_ACCESSDENIED);
    root.Reset();
    EXPECT_EQ(Open(path, root, STGM_READ | STGM_SHARE_DENY_WRITE), runByRoot ? S_OK : STG_E_ACCESSDENIED);
}

TEST_F(Reader, RootIsRefusedWhileAnotherHolderHasTheFileLocked) {
    const std::string path = Write(crafted::Baseline());
    for (int operation : {LOCK_SH, LOCK_EX}) {
        const int other = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(flock(other, operation), 0);
        ComPtr<IStorage> root;
        EXPECT_EQ(Open(path, root), STG_E_SHAREVIOLATION);
        // Denying only writers is compatible with a shared holder.
        EXPECT_EQ(Open(path, root, STGM_READ | STGM_SHARE_DENY_WRITE), operation == LOCK_SH ? S_OK : STG_E_SHAREVIOLATION);
        close(other);
        EXPECT_EQ(Open(path, root), S_OK);
    }
}

TEST_F(Reader, LockLastsUntilTheLastObjectOpenedFromTheRootIsReleased) {
    const std::string path = Write(crafted::Baseline());
    ComPtr<IStorage> root = OpenOrFail(path);
    ComPtr<IStorage> s = OpenChild(root.Get(), u"S");
    ComPtr<IEnumSTATSTG> elements = Elements(s.Get());
    root.Reset();
    s.Reset();
    ComPtr<IStorage> second;
    EXPECT_EQ(Open(path, second), STG_E_SHAREVIOLATION);
    STATSTG e;
    ASSERT_EQ(elements->Next(1, &e, nullptr), S_OK);
    EXPECT_EQ(TakeName(e), "a");
    elements.Reset();
    EXPECT_EQ(Open(path, second), S_OK);
}

TEST_F(Reader, ObjectsAnswerForTheirOwnInterfacesOnly) {
    ComPtr<IStorage> root = OpenOrFail(Write(crafted::Baseline()));
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(root->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
    ComPtr<IStorage> again;
    EXPECT_EQ(root->QueryInterface(IID_IStorage, again.PutVoid()), S_OK);
    EXPECT_EQ(again.Get(), root.Get());
    ComPtr<IStream> stream = OpenStream(root.Get(), u"Big");
    ComPtr<IStorage> notStorage;
    EXPECT_EQ(stream->QueryInterface(IID_IStorage, notStorage.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(notStorage);
}

std::u16string Numbered(std::uint32_t i) {
    std::u16string name = u"s000000";
    for (int d = 6; d >= 1; --d, i /= 10) name[d] = static_cast<char16_t>(u'0' + i % 10);
    return name;
}

// Every entry of a directory read in several pieces keeps its own name, size and details: names
// end at their first NUL wherever it falls and keep units that are zero in one byte only, version
// 3 drops the high half of a size, and the rare entry with details keeps them.
TEST_F(Reader, EveryEntryKeepsWhatItsRecordHolds) {
    constexpr std::uint32_t kCount = 1500;
    constexpr char16_t kUnits[] = {u'A', 0x0100, 0x8000, 0xFFFF, 0x0080, 0x7F00, u'z'};
    auto name = [&](std::uint32_t i) {
        std::u16string units(cfb::kMaxNameUnits, u'\0');
        for (std::size_t k = 0; k < units.size(); ++k) units[k] = kUnits[(i + k) % std::size(kUnits)];
        if (const std::size_t nul = i % 32; nul < units.size()) units[nul] = 0;
        return units;
    };
    for (int version : {3, 4}) {
        std::vector<crafted::EntrySpec> entries = SiblingChain(kCount, name);
        for (std::uint32_t i = 1; i <= kCount; ++i) {
            entries[i].size = (std::uint64_t{0xBAD} << 32) | i;
            if (i % 97 == 0) entries[i].stateBits = i, entries[i].modified = std::uint64_t{i} << 32 | 7;
        }
        ComPtr<IStorage> root = OpenOrFail(Write(crafted::DirectoryOnly(entries, version)));
        ComPtr<IEnumSTATSTG> elements = Elements(root.Get());
        std::uint32_t i = 0, kept = 0;
        for (STATSTG s; elements->Next(1, &s, nullptr) == S_OK; CoTaskMemFree(s.pwcsName)) {
            const std::u16string full = name(++i);
            const std::uint64_t size = version == 3 ? i : (std::uint64_t{0xBAD} << 32) | i;
            const bool details = i % 97 == 0;
            kept += s.pwcsName == full.substr(0, full.find(u'\0')) && s.cbSize == size &&
                    s.grfStateBits == (details ? i : 0) && s.mtime.dwHighDateTime == (details ? i : 0) &&
                    s.mtime.dwLowDateTime == (details ? 7u : 0u);
        }
        EXPECT_EQ(i, kCount) << version;
        EXPECT_EQ(kept, kCount) << version;
        // A name's end matters to look-ups, which compare whole names, NULs included.
        std::uint32_t found = 0, named = 0;
        for (std::uint32_t id = 1; id <= kCount; ++id) {
            const std::u16string full = name(id);
            const std::u16string shown = full.substr(0, full.find(u'\0'));
            if (shown.empty()) continue;
            ++named;
            ComPtr<IStream> stream;
            found += root->OpenStream(shown.c_str(), nullptr, kChildMode, 0, stream.Put()) != STG_E_FILENOTFOUND;
        }
        EXPECT_EQ(found, named) << version;
    }
}

// Real writers link a storage's children as one chain of right links: 100,000 deep.
TEST_F(Reader, ChainsOfAHundredThousandSiblingsEnumerateInOrder) {
    constexpr std::uint32_t kCount = 100000;
    for (bool rightChain : {true, false}) {
        const auto name = [&](std::uint32_t i) { return Numbered(rightChain ? i : kCount + 1 - i); };
        ComPtr<IStorage> root = OpenOrFail(Write(crafted::DirectoryOnly(SiblingChain(kCount, name, !rightChain))));
        ComPtr<IEnumSTATSTG> elements = Elements(root.Get());
        std::vector<STATSTG> batch(1000);
        std::uint32_t seen = 0;
        bool inOrder = true;
        for (;;) {
            ULONG fetched = 0;
            const HRESULT hr = elements->Next(static_cast<ULONG>(batch.size()), batch.data(), &fetched);
            ASSERT_TRUE(hr == S_OK || hr == S_FALSE);
            for (ULONG i = 0; i < fetched; ++i) {
                inOrder = inOrder && batch[i].pwcsName == Numbered(++seen);
                CoTaskMemFree(batch[i].pwcsName);
            }
            if (hr == S_FALSE) break;
        }
        EXPECT_EQ(seen, kCount);
        EXPECT_TRUE(inOrder);
        ComPtr<IStream> last = OpenStream(root.Get(), Numbered(kCount).c_str());
        ComPtr<IStream> first = OpenStream(root.Get(), u"S000001");
    }
}

TEST_F(Reader, StoragesNestedAHundredThousandDeepOpenToTheBottom) {
    constexpr std::uint32_t kDepth = 100000;
    std::vector<crafted::EntrySpec> entries{crafted::Root(1)};
    for (std::uint32_t i = 1; i <= kDepth; ++i)
        entries.push_back({u"level", cfb::kTypeStorage, cfb::kNoStream, cfb::kNoStream,
                           i < kDepth ? i + 1 : cfb::kNoStream, 0, 0});
    ComPtr<IStorage> storage = OpenOrFail(Write(crafted::DirectoryOnly(entries)));
    std::uint32_t depth = 0;
    for (;;) {
        ComPtr<IStorage> child;
        if (storage->OpenStorage(u"LEVEL", nullptr, kChildMode, nullptr, 0, child.Put()) != S_OK) break;
        storage = child;
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(explore::Storage(storage.Get()), "[]");
}

// Version 4: 4096-byte sectors and 64 mini sectors to a sector. Sectors 0 and 1 are the FAT and
// the directory; 2-3 hold "Data", 4 the mini stream, 5 the mini FAT.
TEST_F(Reader, ReadsVersion4Sectors) {
    using namespace crafted;
    std::string f = DirectoryOnly({{u"Root Entry", cfb::kTypeRoot, cfb::kNoStream, cfb::kNoStream, 1, 4, 128},
                                   {u"Data", cfb::kTypeStream, cfb::kNoStream, 2, cfb::kNoStream, 2, 5000},
                                   {u"small", cfb::kTypeStream, cfb::kNoStream, cfb::kNoStream, cfb::kNoStream, 0, 100}});
    std::string data(5000, '\0'), small(100, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
    for (std::size_t i = 0; i < small.size(); ++i) small[i] = static_cast<char>('A' + i % 26);
    f.resize(4096 * 7, '\0');
    f.replace(4096 * 3, data.size(), data);
    f.replace(4096 * 5, small.size(), small);
    const std::size_t fat = 4096, miniFat = 4096 * 6;
    Put32(f, fat + 4 * 2, 3);
    for (std::uint32_t s : {3u, 4u, 5u}) Put32(f, fat + 4 * s, cfb::kEndOfChain);
    for (std::size_t i = 0; i < 1024; ++i) Put32(f, miniFat + 4 * i, cfb::kFreeSect);
    Put32(f, miniFat, 1);
    Put32(f, miniFat + 4, cfb::kEndOfChain);
    Put32(f, cfb::header::kFirstMiniFatSector, 5);
    Put32(f, cfb::header::kNumMiniFatSectors, 1);

    ComPtr<IStorage> root = OpenOrFail(Write(f));
    EXPECT_EQ(explore::Storage(root.Get()), "[Data:5000=ok small:100=ok]");
    EXPECT_EQ(ReadRest(OpenStream(root.Get(), u"Data").Get(), 777), data);
    ComPtr<IStream> mini = OpenStream(root.Get(), u"small");
    ASSERT_EQ(mini->Seek(60, STREAM_SEEK_SET, nullptr), S_OK);  // across the mini sector boundary
    EXPECT_EQ(ReadRest(mini.Get(), 7), small.substr(60));
}

// Files from our writer: small and large streams, nested storages, and a FAT big enough to need
// DIFAT sectors beyond the header's 109.
TEST_F(Reader, ReadsBackWhatTheWriterStored) {
    auto content = [](std::size_t size, char seed) {
        std::string s(size, '\0');
        for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i * 13 + (i >> 9));
        return s;
    };
    const std::vector<std::size_t> sizes{0, 1, 63, 64, 65, 4095, 4096, 4097, 70001, 7500000};
    cfb::CompoundFileWriter writer;
    const auto nested = writer.AddStorage(cfb::CompoundFileWriter::kRoot, u"Nested");
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::u16string name = u"n" + AnsiToWide(std::to_string(sizes[i]));
        writer.AddStream(i % 2 ? nested : cfb::CompoundFileWriter::kRoot, name, content(sizes[i], char('a' + i)));
    }
    ComPtr<IStorage> root = OpenOrFail(Write(writer.SaveToBytes(cfb::SiblingShape::RightChain)));
    ComPtr<IStorage> inner = OpenChild(root.Get(), u"Nested");
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::u16string name = u"n" + AnsiToWide(std::to_string(sizes[i]));
        ComPtr<IStream> stream = OpenStream(i % 2 ? inner.Get() : root.Get(), name.c_str());
        EXPECT_EQ(ReadRest(stream.Get(), 65536) == content(sizes[i], char('a' + i)), true) << sizes[i];
    }
}

}  // namespace

namespace lookup {

constexpr std::uint32_t kCount = 200;

// Links entries first..last (ids in listing order) as a balanced search tree; returns its top.
std::uint32_t Balance(std::vector<crafted::EntrySpec>& entries, std::uint32_t first, std::uint32_t last) {
    if (first > last) return cfb::kNoStream;
    const std::uint32_t middle = first + (last - first) / 2;
    entries[middle].left = middle == first ? cfb::kNoStream : Balance(entries, first, middle - 1);
    entries[middle].right = Balance(entries, middle + 1, last);
    return middle;
}

enum class Shape { Balanced, RightChain, OutOfOrder, EqualPairs };

// kCount streams in the root; entry i is named by number `Label(i)` and states that number as
// its size, so that a look-up shows which entry it found.
std::uint32_t Label(Shape shape, std::uint32_t id) {
    switch (shape) {
        case Shape::OutOfOrder: return id % 2 ? id : kCount + 2 - id;  // even ids swapped end for end
        case Shape::EqualPairs: return (id + 1) / 2;                    // ids 2k-1 and 2k share name k
        default: return id;
    }
}

std::string Entries(Shape shape) {
    std::vector<crafted::EntrySpec> entries = SiblingChain(kCount, [&](std::uint32_t i) { return Numbered(Label(shape, i)); });
    for (std::uint32_t i = 1; i <= kCount; ++i) entries[i].size = i;
    if (shape != Shape::RightChain) entries[0].child = Balance(entries, 1, kCount);
    return crafted::DirectoryOnly(entries);
}

std::uint64_t FoundSize(IStorage* root, std::uint32_t label) {
    ComPtr<IStream> stream;
    if (root->OpenStream(Numbered(label).c_str(), nullptr, kChildMode, 0, stream.Put()) != S_OK) return 0;
    STATSTG stat;
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    return stat.cbSize;
}

}  // namespace lookup

// Opening by name searches the sibling tree where it is a search tree and falls back to a sorted
// index where it is too deep to search or out of order; of equal names, the one listed first.
TEST_F(Reader, FindsChildrenByNameWhateverTheShapeOfTheSiblingTree) {
    using namespace lookup;
    for (Shape shape : {Shape::Balanced, Shape::RightChain, Shape::OutOfOrder}) {
        ComPtr<IStorage> root = OpenOrFail(Write(Entries(shape)));
        std::uint32_t found = 0;
        for (std::uint32_t id = 1; id <= kCount; ++id) found += FoundSize(root.Get(), Label(shape, id)) == id;
        EXPECT_EQ(found, kCount) << static_cast<int>(shape);
        EXPECT_EQ(FoundSize(root.Get(), kCount + 1), 0u);
        EXPECT_EQ(FoundSize(root.Get(), 0), 0u);
    }
    ComPtr<IStorage> root = OpenOrFail(Write(Entries(Shape::EqualPairs)));
    std::uint32_t firstOfPair = 0;
    for (std::uint32_t k = 1; k <= kCount / 2; ++k) firstOfPair += FoundSize(root.Get(), k) == 2 * k - 1;
    EXPECT_EQ(firstOfPair, kCount / 2);
}
