// The forms of a run's report: text for people, JSON for scripts, JUnit XML for CI dashboards,
// and SARIF, GitHub workflow commands and GitLab Code Quality for code review (ci_reports.cpp).
// Every verdict in them (a missing name, a repeat, a blank line, a file's result and why it
// failed) comes from the run's findings (findings.h); the counts and valid names beside them
// come from the run; `findings` are Findings(run), made once for every report of the run.
// Text and JSON hold the same facts; the JSON keys and their order are fixed
// (docs/check-report.schema.json), so scripts may rely on them.
#pragma once

#include <string>

#include "tools/check/check_run.h"
#include "tools/check/findings.h"

// "the storage listing is incomplete, N storages could not be listed". REQUIRES:
// file.storagesLeftOut > 0.
std::string IncompleteListing(const FileCheck& file);

// One block per file, then, for more than one file, a summary line. Quiet: only the files that
// are not all valid, without their valid names, and the summary line whatever the file count.
// Coloured: missing names and failures in red, duplicates and blank lines in yellow.
std::string TextReport(const CheckRun& run, std::span<const Finding> findings, bool quiet = false, bool coloured = false);

// One JSON object, indented by two spaces, ending with a line break; its findings give each
// finding's rule, level and line.
std::string JsonReport(const CheckRun& run, std::span<const Finding> findings);

// JUnit XML: one test suite per character file, one test case per line of each list (a failure
// for a missing name, with its hints; skipped for a blank line), an error for a file or a list
// that could not be used.
std::string JunitReport(const CheckRun& run, std::span<const Finding> findings);

// SARIF 2.1.0, one run: the tool with every rule and its help, a result per finding.
std::string SarifReport(const CheckRun& run, std::span<const Finding> findings);

// One workflow command per finding: "::error file=PATH,line=N,title=RULE::MESSAGE", "::warning"
// or "::notice" by the rule's level; nothing else.
std::string GithubReport(const CheckRun& run, std::span<const Finding> findings);

// One JSON array of Code Quality issues, one per finding.
std::string GitlabReport(const CheckRun& run, std::span<const Finding> findings);
