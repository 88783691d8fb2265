// A folder opened once and then worked in by name. Entries are made, written and removed
// relative to the open folder itself, never through a path looked up again, so that renaming the
// folder or putting a link in its place meanwhile cannot send the work, or a clean-up, to another
// folder. Failures raise Error with a text that names the entry (by the path the folder was
// opened as) and the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Which file or folder an entry was when this program made it: an entry by the same name that
// is another one now was put there by someone else.
struct EntryIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// A file made by Folder::CreateFile, open for writing. The descriptor closes with the object.
class NewFile {
public:
    NewFile(NewFile&& other) noexcept;
    NewFile& operator=(NewFile&&) = delete;
    ~NewFile();

    EntryIdentity Identity() const { return identity_; }
    // Writes all of `bytes`; raises Error("PATH: cannot write the file: why").
    void Write(const void* bytes, std::size_t size);
    // Closes the file, reporting what the system found only then (a full disk on some file
    // systems); raises Error("PATH: cannot write the file: why").
    void Close();

private:
    friend class Folder;
    NewFile(int fd, EntryIdentity identity, std::string path)
        : fd_(fd), identity_(identity), path_(std::move(path)) {}
    int fd_;
    EntryIdentity identity_;
    std::string path_;
};

class Folder {
public:
    // A folder this program made, for removing it again: its parent, its name there, and which
    // folder it was.
    struct Made;

    // Opens the folder at `path`, making it, and every folder above it that is missing, when it
    // does not exist; the folders made are added to `made`, the outermost first. Links on the
    // way are followed: the folder is the one the path names now. Raises Error(PATH: why), "exists
    // and is not a folder" included.
    static Folder OpenOrMake(const std::string& path, std::vector<Made>& made);

    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&&) = delete;
    ~Folder();

    // Whether the folder holds no entry but "." and "..".
    bool IsEmpty() const;
    // Makes the new file `name` in this folder: never an existing file, never through a link.
    // Raises Error("PATH: cannot create the file: why").
    NewFile CreateFile(const std::string& name) const;
    // Removes the entry `name` (a file, or with `isFolder` an empty folder) when it is still the
    // one `identity` says, and otherwise leaves it; quiet, for a clean-up that must go on.
    void RemoveIfSame(const std::string& name, EntryIdentity identity, bool isFolder) const noexcept;

private:
    Folder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;  // for messages only: what the folder is called may change
};

struct Folder::Made {
    Folder parent;
    std::string name;
    EntryIdentity identity;
};
