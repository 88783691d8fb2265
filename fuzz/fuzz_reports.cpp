// The checker's reports and its messages on standard error, fed names of any bytes (and a
// character name of any UTF-16 units) where a hostile file could put them: every report must
// still be what its reader expects. The JSON, SARIF and GitLab reports parse with a real JSON
// parser, the JUnit report with libxml2, and the text report, the GitHub commands and the
// messages keep one line per fact, with no control character and nothing that is not UTF-8.
#include <fuzzer/FuzzedDataProvider.h>
#include <libxml/parser.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/crafted_run.h"
#include "tools/check/console_prompts.h"
#include "tools/check/findings.h"
#include "tools/check/reports.h"

using crafted::Run;
using crafted::Text;
using crafted::Texts;

namespace {

// The length of the well-formed UTF-8 sequence at `at`, by the table of well-formed byte
// sequences of the Unicode standard; 0 for none.
std::size_t SequenceLength(const std::string& text, std::size_t at) {
    auto byte = [&](std::size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u; };
    auto tail = [&](std::size_t i) { return byte(i) >= 0x80 && byte(i) <= 0xBF; };
    const unsigned lead = byte(0);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return tail(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        return byte(1) >= low && byte(1) <= high && tail(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        return byte(1) >= low && byte(1) <= high && tail(2) && tail(3) ? 4 : 0;
    }
    return 0;
}

// Whether the three bytes at `at` encode a line or paragraph separator (U+2028, U+2029), a
// bidirectional control (U+202A..U+202E, U+2066..U+2069) or a zero-width character (U+200B..U+200D,
// U+2060, U+FEFF): text a reader does not see as it is.
bool HiddenAt(const std::string& text, std::size_t at) {
    if (at + 2 >= text.size()) return false;
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    if (b(0) == 0xEF) return b(1) == 0xBB && b(2) == 0xBF;
    if (b(0) != 0xE2) return false;
    if (b(1) == 0x80) return (b(2) >= 0x8B && b(2) <= 0x8D) || (b(2) >= 0xA8 && b(2) <= 0xAE);
    return b(1) == 0x81 && (b(2) == 0xA0 || (b(2) >= 0xA6 && b(2) <= 0xA9));
}

// UTF-8 throughout, with no control character (C0, DEL, C1) but the line feeds that end lines,
// and no hidden character.
bool PlainLines(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        const auto lead = static_cast<unsigned char>(text[at]);
        const bool control = (lead < 0x20 && lead != '\n') || lead == 0x7F ||
                             (lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0);
        if (length == 0 || control || HiddenAt(text, at)) return false;
        at += length;
    }
    return true;
}

std::size_t CountLinesStarting(const std::string& text, const std::string& start) {
    std::size_t count = text.compare(0, start.size(), start) == 0 ? 1 : 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        if (text.compare(at + 1, start.size(), start) == 0) ++count;
    return count;
}

void IgnoreXmlError(void*, const char*, ...) {}

QJsonDocument ParsedJson(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError) std::abort();
    return parsed;
}

// The text without the colour sequences that TextReport adds.
std::string WithoutColours(std::string text) {
    for (const char* sequence : {"\x1b[31m", "\x1b[33m", "\x1b[0m"})
        for (std::size_t at = text.find(sequence); at != std::string::npos; at = text.find(sequence, at))
            text.erase(at, std::string_view(sequence).size());
    return text;
}

// The renderings of the findings: SARIF and GitLab's report parse and hold one entry per
// finding; GitHub's commands are one plain line each, and nothing else.
void CheckFindingReports(const CheckRun& run, std::span<const Finding> made) {
    const auto findings = static_cast<qsizetype>(made.size());
    const QJsonDocument sarif = ParsedJson(SarifReport(run, made));
    if (sarif.object().value("runs").toArray().at(0).toObject().value("results").toArray().size() != findings)
        std::abort();
    const QJsonDocument gitlab = ParsedJson(GitlabReport(run, made));
    if (!gitlab.isArray() || gitlab.array().size() != findings) std::abort();
    // A fingerprint that two findings share would merge them into one issue.
    std::set<QString> fingerprints;
    for (const auto& issue : gitlab.array()) fingerprints.insert(issue.toObject().value("fingerprint").toString());
    if (static_cast<qsizetype>(fingerprints.size()) != findings) std::abort();
    const std::string github = GithubReport(run, made);
    if (!PlainLines(github) || std::count(github.begin(), github.end(), '\n') != findings) std::abort();
    const std::size_t commands = CountLinesStarting(github, "::error ") + CountLinesStarting(github, "::warning ") +
                                 CountLinesStarting(github, "::notice ");
    if (commands != static_cast<std::size_t>(findings)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    std::size_t missingCount = 0;
    const CheckRun run = Run(data, missingCount);
    const std::vector<Finding> findings = Findings(run);

    const std::string text = TextReport(run, findings);
    if (!PlainLines(text)) std::abort();
    // Each missing name is one line of its own: none was split, none forged.
    if (CountLinesStarting(text, "    missing: ") != missingCount) std::abort();

    if (WithoutColours(TextReport(run, findings, false, true)) != text) std::abort();
    CheckFindingReports(run, findings);

    const QJsonDocument parsed = ParsedJson(JsonReport(run, findings));
    if (!parsed.isObject()) std::abort();
    if (parsed.object().value("files").toArray().size() != static_cast<qsizetype>(run.files.size())) std::abort();

    const std::string junit = JunitReport(run, findings);
    xmlDocPtr document = xmlReadMemory(junit.data(), static_cast<int>(junit.size()), "junit.xml", nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!document) std::abort();
    std::size_t suites = 0;
    for (xmlNodePtr node = xmlDocGetRootElement(document)->children; node; node = node->next)
        if (node->type == XML_ELEMENT_NODE) ++suites;
    xmlFreeDoc(document);
    if (suites != run.files.size()) std::abort();

    std::ostringstream err;
    ConsolePrompts prompts(err);
    prompts.SetSubject(Text(data));
    const std::vector<std::string> messages = Texts(data);
    for (const auto& message : messages) prompts.ShowError(message);
    const std::string shown = err.str();
    if (!PlainLines(shown) || std::count(shown.begin(), shown.end(), '\n') != static_cast<long>(messages.size()))
        std::abort();
    return 0;
}
