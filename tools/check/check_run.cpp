#include "tools/check/check_run.h"

#include <exception>

#include "checking/name_lists.h"
#include "checking/provider_connection.h"
#include "checking/start_dir.h"
#include "checking/storage_totals.h"
#include "checking/valid_lists.h"
#include "checking/validation.h"
#include "platform/com/com.h"
#include "platform/files.h"
#include "storage/olestg.h"

namespace {

ExpectedList LoadList(const std::string& path, const AvailListFile& kind, ConsolePrompts& prompts) {
    ExpectedList list{path, std::nullopt};
    prompts.SetSubject(path);
    try {
        list.names = LoadAvailList({list.path.c_str(), kind.missingMessage}, prompts);
    } catch (const std::exception& e) {
        prompts.ShowError(e.what());
    }
    return list;
}

std::optional<SortedNames> Validate(IAgentCharacterProvider* character, const ExpectedList& list,
                                    NameKind kind) {
    if (!list.names) return std::nullopt;
    return SortNames(*list.names, VerifyNames(character, *list.names, kind));
}

void CheckOneFile(FileCheck& check, const CheckRun& run, bool save, ConsolePrompts& prompts) {
    const TOpenStorage listing(check.path, prompts);
    check.storageElements = StorageElementTotal(listing.Lines);
    check.animationsInStorage = AnimationTotal(listing.Lines);

    ProviderLink link;
    check.connected = InitDataProvider(link, check.character, ExtractFilePath(check.path),
                                       check.path, prompts);
    if (!check.connected) return;
    check.animations = Validate(link.Character.Get(), run.animations, NameKind::Animation);
    check.states = Validate(link.Character.Get(), run.states, NameKind::State);
    link.Release();
    if (check.animations)
        check.unknownAnimations = UnknownAnimations(listing.Lines, check.animations->valid.Count());
    if (!save) return;
    const LineList none;
    check.saved = SaveVerifyFiles(run.startDir, check.character,
                                  {check.animations ? check.animations->valid : none, bool(check.animations)},
                                  {check.states ? check.states->valid : none, bool(check.states)},
                                  prompts);
}

FileCheck::Outcome OutcomeOf(const FileCheck& check) {
    if (!check.error.empty() || !check.connected) return FileCheck::Outcome::Failed;
    for (const auto& list : {&check.animations, &check.states})
        if (*list && !(*list)->missing.empty()) return FileCheck::Outcome::SomeMissing;
    return FileCheck::Outcome::AllValid;
}

}  // namespace

CheckRun RunCheck(const CheckOptions& options, ConsolePrompts& prompts) {
    OleInitialize(nullptr);
    CheckRun run;
    // The provider connection changes the current directory: every name is made a full path
    // before the first file is touched.
    run.startDir = StartUpDirectory();
    std::vector<std::string> paths;
    for (const auto& file : options.files) paths.push_back(ExpandFileName(file));
    run.animations = LoadList(ExpandFileName(options.animationList), kAvailAnim, prompts);
    run.states = LoadList(ExpandFileName(options.stateList), kAvailState, prompts);
    run.messages = prompts.TakeShown();

    for (const auto& path : paths) {
        FileCheck& check = run.files.emplace_back();
        check.path = path;
        prompts.SetSubject(path);
        try {
            CheckOneFile(check, run, options.save, prompts);
        } catch (const std::exception& e) {
            check.error = e.what();
            prompts.ShowError(check.error);
        }
        check.outcome = OutcomeOf(check);
        check.messages = prompts.TakeShown();
    }
    prompts.SetSubject("");
    OleUninitialize();
    return run;
}

int ExitStatus(const CheckRun& run) {
    if (!run.animations.names || !run.states.names) return 2;
    int status = 0;
    for (const auto& file : run.files) {
        if (file.outcome == FileCheck::Outcome::Failed) return 2;
        if (file.outcome == FileCheck::Outcome::SomeMissing) status = 1;
    }
    return status;
}
