// The checker's reports and its messages on standard error, fed names of any bytes (and a
// character name of any UTF-16 units) where a hostile file could put them: every report must
// still be what its reader expects. The JSON report parses with a real JSON parser, the JUnit
// report with libxml2, and the text report and the messages keep one line per fact, with no
// control character and nothing that is not UTF-8.
#include <fuzzer/FuzzedDataProvider.h>
#include <libxml/parser.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tools/check/console_prompts.h"
#include "tools/check/reports.h"

namespace {

constexpr std::size_t kMaxNames = 6;
constexpr std::size_t kMaxFiles = 3;

std::string Text(FuzzedDataProvider& data) { return data.ConsumeRandomLengthString(40); }

std::vector<std::string> Texts(FuzzedDataProvider& data) {
    std::vector<std::string> texts(data.ConsumeIntegralInRange<std::size_t>(0, kMaxNames));
    for (auto& text : texts) text = Text(data);
    return texts;
}

std::u16string Units(FuzzedDataProvider& data) {
    std::u16string units(data.ConsumeIntegralInRange<std::size_t>(0, 12), u'\0');
    for (auto& unit : units) unit = data.ConsumeIntegral<char16_t>();
    return units;
}

// A list as a check sorts it: each line valid, missing (with hints) or blank.
SortedNames Sorted(FuzzedDataProvider& data, std::size_t& missingCount) {
    SortedNames sorted;
    const std::vector<std::string> lines = Texts(data);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        sorted.names.Add(lines[i]);
        const int line = static_cast<int>(i) + 1;
        switch (data.ConsumeIntegralInRange(0, 2)) {
            case 0: sorted.valid.Add(lines[i]); break;
            case 1:
                sorted.missing.push_back(lines[i]);
                sorted.missingLines.push_back(line);
                sorted.hints.push_back(Texts(data));
                break;
            default: sorted.blankLines.push_back(line);
        }
    }
    missingCount += sorted.missing.size();
    sorted.duplicates = Texts(data);
    sorted.unlisted = Texts(data);
    return sorted;
}

CheckRun Run(FuzzedDataProvider& data, std::size_t& missingCount) {
    CheckRun run;
    run.startDir = Text(data);
    run.animations.path = Text(data);
    run.states.path = Text(data);
    if (data.ConsumeBool()) run.animations.names.emplace(std::vector<std::string>{Text(data)});
    if (data.ConsumeBool()) run.states.names.emplace(std::vector<std::string>{Text(data)});
    run.messages = Texts(data);
    run.files.resize(data.ConsumeIntegralInRange<std::size_t>(1, kMaxFiles));
    for (auto& file : run.files) {
        file.path = "/" + Text(data);  // a full path, as the checker makes every path
        file.outcome = static_cast<FileCheck::Outcome>(data.ConsumeIntegralInRange(0, 3));
        if (data.ConsumeBool()) file.error = Text(data);
        file.messages = Texts(data);
        file.connected = data.ConsumeBool();
        file.character = Units(data);
        if (data.ConsumeBool()) {
            file.storageElements = data.ConsumeIntegral<int>();
            file.animationsInStorage = data.ConsumeIntegral<int>();
            file.unknownAnimations = data.ConsumeIntegral<int>();
            file.animations = Sorted(data, missingCount);
            file.states = Sorted(data, missingCount);
        }
        // The checker's own words, never a file's.
        if (data.ConsumeBool()) file.hintsUnavailable = "the character was not loaded";
        file.saved = Texts(data);
    }
    return run;
}

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

    const std::string text = TextReport(run);
    if (!PlainLines(text)) std::abort();
    // Each missing name is one line of its own: none was split, none forged.
    if (CountLinesStarting(text, "    missing: ") != missingCount) std::abort();

    const std::string json = JsonReport(run);
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    if (error.error != QJsonParseError::NoError || !parsed.isObject()) std::abort();
    if (parsed.object().value("files").toArray().size() != static_cast<qsizetype>(run.files.size())) std::abort();

    const std::string junit = JunitReport(run);
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
