#include "tools/check/check_run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <sstream>
#include <thread>

#include "checking/name_lists.h"
#include "checking/provider_connection.h"
#include "checking/start_dir.h"
#include "checking/storage_totals.h"
#include "checking/valid_lists.h"
#include "checking/validation.h"
#include "dataprovider/character.h"
#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/error.h"
#include "platform/files.h"
#include "storage/olestg.h"
#include "tools/check/findings.h"
#include "tools/check/hints.h"

namespace {

ExpectedList LoadList(const std::string& path, const AvailListFile& kind, ConsolePrompts& prompts) {
    ExpectedList list{path, std::nullopt, std::nullopt};
    prompts.SetSubject(path);
    try {
        list.names = LoadAvailList(list.path, kind, prompts);
        if (list.names) list.folded.emplace(*list.names);
    } catch (const std::exception& e) {
        prompts.ShowError(MessageOf(e));
    }
    return list;
}

std::optional<SortedNames> Validate(IAgentCharacterProvider* character, const ExpectedList& list,
                                    NameKind kind) {
    if (!list.names) return std::nullopt;
    return SortNames(*list.names, VerifyNames(character, *list.names, kind), *list.folded);
}

// The error that ends a file's check: kept with its kind, and shown.
void EndWithError(FileCheck& check, const std::exception& e, ConsolePrompts& prompts) {
    check.error = MessageOf(e);
    check.errorKind = CodeOf(e);
    prompts.ShowError(check.error);
}

// Connects the provider; a failure is the check's error, and validation goes on as the window's
// does, with no character to accept any name.
void Connect(FileCheck& check, ProviderLink& link, ConsolePrompts& prompts) {
    try {
        check.connected = InitDataProvider(link, check.character, check.path, prompts);
    } catch (const std::exception& e) {
        EndWithError(check, e, prompts);
    }
}

// The lines the window's listing of the file would show, with the same messages and errors; the
// totals need only their number, so the lines are counted as they are written, not kept. The
// animation streams that hold no bytes are kept by name: they have no frames to show.
class LineCounter final : public ListingSink {
public:
    explicit LineCounter(std::vector<std::string>& emptyAnimations) : emptyAnimations_(emptyAnimations) {}
    std::size_t lines = 0;
    void Line(std::string_view) override { ++lines; }
    void Element(std::string_view name, std::string_view typeName, std::uint64_t size, std::size_t depth) override {
        if (size == 0 && depth == 1 && typeName == "Stream" && character::IsAnimationElement(AnsiToWide(name), true))
            emptyAnimations_.emplace_back(name);
    }

private:
    std::vector<std::string>& emptyAnimations_;
};

// Lists the file, keeping only the number of lines and of the storages left out.
int CountListingLines(FileCheck& check, ConsolePrompts& prompts) {
    LineCounter counter(check.emptyAnimations);
    check.storagesLeftOut = ListStorageFile(check.path, prompts, counter, kReadOnlyListing);
    return static_cast<int>(std::min<std::size_t>(counter.lines, std::numeric_limits<int>::max()));
}

void AddHintsOrSayWhyNot(FileCheck& check, const CheckRun& run, IUnknown* provider) {
    std::optional<HeldNames> held;
    if (!check.connected) {
        check.hintsUnavailable = "the character was not loaded";
    } else {
        held = ReadHeldNames(provider);
        if (!held) check.hintsUnavailable = "the data provider does not list the character's names";
    }
    if (!held) return;
    const HeldNameIndex index(*held);
    if (check.animations) AddHints(*check.animations, *run.animations.folded, ListKind::Animations, index);
    if (check.states) AddHints(*check.states, *run.states.folded, ListKind::States, index);
}

// Everything but saving, which follows in file order once a file's messages have been shown.
void CheckOneFile(FileCheck& check, const CheckRun& run, ConsolePrompts& prompts) {
    const int listingLines = CountListingLines(check, prompts);
    check.storageElements = StorageElementTotal(listingLines);
    check.animationsInStorage = AnimationTotal(listingLines);

    ProviderLink link;
    Connect(check, link, prompts);
    check.animations = Validate(link.Character.Get(), run.animations, NameKind::Animation);
    check.states = Validate(link.Character.Get(), run.states, NameKind::State);
    AddHintsOrSayWhyNot(check, run, link.Provider.Get());
    link.Release();
    if (check.animations)
        check.unknownAnimations = UnknownAnimations(listingLines, check.animations->valid.Count());
}

void SaveOneFile(FileCheck& check, const CheckRun& run, ConsolePrompts& prompts) {
    if (!check.connected) return;
    const LineList none;
    try {
        check.saved = SaveVerifyFiles(
            run.startDir, check.character,
            {check.animations ? check.animations->valid : none, bool(check.animations)},
            {check.states ? check.states->valid : none, bool(check.states)},
            {run.animations.path, run.states.path}, prompts);
    } catch (const std::exception& e) {
        EndWithError(check, e, prompts);
    }
}

// Takes up one file: its name as given becomes the full path the reports show, which is also the
// subject of what is shown for it.
void CheckCatchingErrors(FileCheck& check, const CheckRun& run, ConsolePrompts& prompts) {
    prompts.SetSubject(check.path);
    try {
        check.path = ExpandFileName(check.path);
        prompts.SetSubject(check.path);
        CheckOneFile(check, run, prompts);
    } catch (const std::exception& e) {
        EndWithError(check, e, prompts);
    }
}

// Checks files on worker threads, each with the component services of its own, and hands them
// over in file order: Wait(i) returns once file i is done, with what was shown for it.
class ParallelChecks {
public:
    ParallelChecks(CheckRun& run, int jobs) : run_(run), done_(run.files.size()) {
        for (int j = 0; j < jobs; ++j) workers_.emplace_back([this] { Work(); });
    }
    ~ParallelChecks() {
        stop_ = true;
        for (auto& worker : workers_) worker.join();
    }

    std::vector<std::string> Wait(std::size_t index) {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [&] { return done_[index].has_value(); });
        return std::move(*done_[index]);
    }

private:
    void Work() {
        OleInitialize(nullptr);
        std::ostringstream discarded;
        ConsolePrompts prompts(discarded);
        for (std::size_t i = next_++; i < run_.files.size() && !stop_; i = next_++) {
            CheckCatchingErrors(run_.files[i], run_, prompts);
            std::vector<std::string> shown = prompts.TakeShown();
            discarded.str("");
            const std::lock_guard<std::mutex> lock(mutex_);
            done_[i] = std::move(shown);
            finished_.notify_all();
        }
        OleUninitialize();
    }

    CheckRun& run_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<std::optional<std::vector<std::string>>> done_;
    std::vector<std::thread> workers_;
};

}  // namespace

CheckRun RunCheck(const CheckOptions& options, ConsolePrompts& prompts, const FileDone& fileDone) {
    OleInitialize(nullptr);
    CheckRun run;
    run.startDir = StartUpDirectory();
    run.animations = LoadList(ExpandFileName(options.animationList), kAvailAnim, prompts);
    run.states = LoadList(ExpandFileName(options.stateList), kAvailState, prompts);
    run.messages = prompts.TakeShown();
    run.files.resize(options.files.size());
    for (std::size_t i = 0; i < options.files.size(); ++i) run.files[i].path = options.files[i];

    const std::size_t jobs = std::min<std::size_t>(std::max(options.jobs, 1), run.files.size());
    std::optional<ParallelChecks> parallel;
    if (jobs > 1) parallel.emplace(run, static_cast<int>(jobs));
    for (std::size_t i = 0; i < run.files.size(); ++i) {
        FileCheck& check = run.files[i];
        if (parallel) {
            const std::vector<std::string> shown = parallel->Wait(i);
            prompts.SetSubject(check.path);
            for (const auto& line : shown) prompts.Show(line);
        } else {
            CheckCatchingErrors(check, run, prompts);
        }
        if (options.save && check.error.empty()) SaveOneFile(check, run, prompts);
        check.messages = prompts.TakeShown();
        if (fileDone) fileDone(i + 1);
    }
    parallel.reset();
    prompts.SetSubject("");
    OleUninitialize();
    return run;
}
