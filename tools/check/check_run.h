// One run of the checker: every character file in turn goes through the window's steps (storage
// listing, provider connection, validation of both expected-name lists, and saving on request),
// each through the checking library, with one provider connection per file, released before the
// next file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "platform/linelist.h"
#include "tools/check/console_prompts.h"
#include "tools/check/name_sorting.h"
#include "tools/check/options.h"

// An expected-name list of the run, loaded once for all files.
struct ExpectedList {
    std::string path;                // full path
    std::optional<LineList> names;   // nothing when the file was not found
    std::optional<ListNames> folded;  // made from names, when there are names
};

struct FileCheck {
    // Its result, from its findings (findings.h), worst last: every name valid, some names
    // missing, a list not checked (its file was not found), the file could not be used.
    enum class Outcome { AllValid, SomeMissing, Unchecked, Failed };

    std::string path;  // full path, once the file is taken up (the name as given before)
    std::string error;                  // the error that ended the check; empty when none did
    HRESULT errorKind = S_OK;           // the error's code, which tells its kind
    std::vector<std::string> messages;  // everything shown while checking it, errors included
    bool connected = false;             // the provider opened the file and gave the name
    std::u16string character;
    std::optional<int> storageElements;  // once the file was listed
    // Storages the listing could not enumerate or open: the file failed, though it was checked.
    std::size_t storagesLeftOut = 0;
    std::optional<int> animationsInStorage;
    std::vector<std::string> emptyAnimations;  // animation streams of 0 bytes, in listing order
    // Once the animations were validated. A character the provider refused is validated as the
    // window does it, against no character: every name missing.
    std::optional<int> unknownAnimations;
    std::optional<SortedNames> animations, states;
    std::string hintsUnavailable;    // why there are no hints; empty when there are
    std::vector<std::string> saved;  // file names written in the start-up directory
};

struct CheckRun {
    std::string startDir;  // with its trailing separator
    ExpectedList animations, states;
    std::vector<std::string> messages;  // from loading the lists
    std::vector<FileCheck> files;
};

// Checks every file of `options`, options.jobs of them at a time; the result and everything
// shown are the same for any number of jobs, in the order of the files. Relative names are
// taken against the current directory, which is also the start-up directory for saving and which
// the run never changes. Messages and errors go through `prompts`, each after the file it
// concerns. Initialises the component services for the run.
// `fileDone` hears how many files are done, in order, after each one's messages were shown.
using FileDone = std::function<void(std::size_t done)>;
CheckRun RunCheck(const CheckOptions& options, ConsolePrompts& prompts, const FileDone& fileDone = {});
