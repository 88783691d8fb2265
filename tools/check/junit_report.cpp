// The JUnit XML form of a run's report, in the shape the common CI dashboards read
// (docs/junit.xsd): <testsuites> of <testsuite> of <testcase>, each test case passing or holding
// one <failure>, <error> or <skipped>.
#include "platform/codepage.h"
#include "platform/files.h"
#include "tools/check/escaping.h"
#include "tools/check/findings.h"
#include "tools/check/reports.h"

namespace {

// Text for an attribute or element. Control characters, bytes that are not UTF-8 and the two
// noncharacters U+FFFE and U+FFFF cannot stand in XML 1.0 at all, escaped or not: they are
// written as \xNN, as in the text report.
std::string Xml(std::string_view raw) {
    const std::string text = TerminalText(raw);
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        // What TerminalText leaves is UTF-8, where EF BF BE and EF BF BF can only be U+FFFE and
        // U+FFFF.
        if (c == '\xEF' && at + 2 < text.size() && text[at + 1] == '\xBF' &&
            (text[at + 2] == '\xBE' || text[at + 2] == '\xBF')) {
            out += text[at + 2] == '\xBE' ? "\\xef\\xbf\\xbe" : "\\xef\\xbf\\xbf";
            at += 2;
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

struct Counts {
    std::size_t tests = 0, failures = 0, errors = 0, skipped = 0;

    Counts& operator+=(const Counts& other) {
        tests += other.tests;
        failures += other.failures;
        errors += other.errors;
        skipped += other.skipped;
        return *this;
    }
    std::string Attributes() const {
        return " tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) +
               "\" errors=\"" + std::to_string(errors) + "\" skipped=\"" + std::to_string(skipped) + "\"";
    }
};

class Suite {
public:
    void Case(const std::string& className, const std::string& name, const std::string& inner = "") {
        body_ += "    <testcase classname=\"" + Xml(className) + "\" name=\"" + Xml(name) + "\"";
        body_ += inner.empty() ? "/>\n" : ">\n" + inner + "    </testcase>\n";
        ++counts_.tests;
    }
    void Failure(const std::string& className, const std::string& name, const std::string& message,
                 std::span<const std::string> details) {
        std::string text;
        for (const auto& line : details) text += (text.empty() ? "" : "\n") + Xml(line);
        Case(className, name,
             "      <failure type=\"missing\" message=\"" + Xml(message) + "\">" + text + "</failure>\n");
        ++counts_.failures;
    }
    void Error(const std::string& className, const std::string& name, const std::string& message) {
        Case(className, name, "      <error type=\"unusable\" message=\"" + Xml(message) + "\"/>\n");
        ++counts_.errors;
    }
    void Skipped(const std::string& className, const std::string& name, const std::string& message) {
        Case(className, name, "      <skipped message=\"" + Xml(message) + "\"/>\n");
        ++counts_.skipped;
    }
    const Counts& Totals() const { return counts_; }
    const std::string& Body() const { return body_; }

private:
    std::string body_;
    Counts counts_;
};

// A case per line of the list; a blank line is skipped and a missing name fails, as the findings
// about the list and the file say.
void ListCases(Suite& suite, const std::string& className, const std::optional<SortedNames>& sorted, ListOf which,
               std::span<const Finding> lists, std::span<const Finding> file) {
    if (!sorted) return;
    const auto missing = FindingsOf(file, which, which == ListOf::Animations ? "missing-animation" : "missing-state");
    const auto blank = FindingsOf(lists, which, "blank-line");
    std::size_t nextMissing = 0, nextBlank = 0;
    for (int line = 1; line <= sorted->names.Count(); ++line) {
        const std::string name = "line " + std::to_string(line);
        const std::string_view text = sorted->names[line - 1];
        if (nextBlank < blank.size() && blank[nextBlank]->line == line) {
            ++nextBlank;
            suite.Skipped(className, name, "blank line");
        } else if (nextMissing < missing.size() && missing[nextMissing]->line == line) {
            const Finding& finding = *missing[nextMissing++];
            suite.Failure(className, name + ": " + std::string(text), "missing: " + std::string(finding.name), finding.hints);
        } else {
            suite.Case(className, name + ": " + std::string(text));
        }
    }
}

}  // namespace

std::string JunitReport(const CheckRun& run, std::span<const Finding> findings) {
    std::string suites;
    Counts all;
    FindingsByFile byFile(findings);
    for (std::size_t i = 0; i < run.files.size(); ++i) {
        const FileCheck& file = run.files[i];
        const std::span<const Finding> own = byFile.Next(i);
        Suite suite;
        const std::string base = ExtractFileName(file.path);
        for (const Finding& finding : own)
            if (finding.rule->status == 2)
                suite.Error(base, finding.rule->id == "incomplete-listing" ? "listing" : "check", finding.message);
        for (const auto& path : UnreadableLists(byFile.Lists()))
            suite.Error(base, "list " + path, "list file not found: " + path);
        ListCases(suite, base + ".animations", file.animations, ListOf::Animations, byFile.Lists(), own);
        ListCases(suite, base + ".states", file.states, ListOf::States, byFile.Lists(), own);
        suites += "  <testsuite name=\"" + Xml(file.path) + "\"" + suite.Totals().Attributes() + ">\n";
        if (file.connected)
            suites += "    <properties>\n      <property name=\"character\" value=\"" +
                      Xml(WideToAnsi(file.character)) + "\"/>\n    </properties>\n";
        suites += suite.Body() + "  </testsuite>\n";
        all += suite.Totals();
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"quorvel-check\"" +
           all.Attributes() + ">\n" + suites + "</testsuites>\n";
}
