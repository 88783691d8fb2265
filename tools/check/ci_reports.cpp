// The renderings of a run's findings for CI: SARIF 2.1.0 for code scanning, GitHub's workflow
// commands that annotate the lines concerned, and GitLab's Code Quality report. Each finding is
// written once, with the path relative to the start-up directory, where the runner checked out
// the workspace.
#include "tools/check/escaping.h"
#include "tools/check/findings.h"
#include "tools/check/json_writer.h"
#include "tools/check/reports.h"

namespace {

// A relative path as a URI reference: every byte but the unreserved ones and the separator is
// percent-encoded, so that a name of any bytes stays one path. A path that is not relative to
// the start-up directory (one from a start-up directory that is not a full path) is a file URI.
std::string UriOf(std::string_view path) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string uri = path.starts_with('/') ? "file://" : "";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            uri += c;
        } else {
            uri += '%';
            uri += kDigits[byte >> 4];
            uri += kDigits[byte & 15];
        }
    }
    return uri;
}

// "missing-animation" as "MissingAnimation", the rule's name in SARIF.
std::string PascalName(std::string_view id) {
    std::string name;
    bool upper = true;
    for (const char c : id) {
        if (c == '-') {
            upper = true;
            continue;
        }
        name += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        upper = false;
    }
    return name;
}

// The first paragraph of the rule's help: what it means.
std::string_view Meaning(std::string_view help) {
    const std::size_t start = help.find_first_not_of('\n');
    if (start == std::string_view::npos) return {};
    const std::size_t end = help.find("\n\n", start);
    return help.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    for (auto& c : line)
        if (c == '\n') c = ' ';
    return line;
}

// The help as plain text: the Markdown without its code quotes.
std::string PlainText(std::string_view markdown) {
    std::string text;
    for (const char c : markdown)
        if (c != '`') text += c;
    return text;
}

void SarifRule(Json& json, const Rule& rule) {
    const std::string_view help = RuleHelp(rule.id);
    json.Open(nullptr, '{');
    json.String("id", rule.id);
    json.String("name", PascalName(rule.id));
    json.Open("shortDescription", '{');
    json.String("text", std::string(rule.title) + ".");
    json.Close('}');
    json.Open("fullDescription", '{');
    json.String("text", PlainText(OneLine(Meaning(help))));
    json.Close('}');
    json.Open("help", '{');
    json.String("text", PlainText(help));
    json.String("markdown", help);
    json.Close('}');
    json.String("helpUri", std::string(QUORVEL_DOCS_URI) + "rules.md#" + std::string(rule.id));
    json.Open("defaultConfiguration", '{');
    json.String("level", LevelName(rule.level));
    json.Close('}');
    json.Close('}');
}

std::size_t RuleIndex(const Rule* rule) { return static_cast<std::size_t>(rule - Rules().data()); }

std::string EndedBySentence(std::string text) {
    if (text.empty() || (text.back() != '.' && text.back() != '?' && text.back() != '!')) text += '.';
    return text;
}

void SarifResult(Json& json, const CheckRun& run, const Finding& finding) {
    json.Open(nullptr, '{');
    json.String("ruleId", finding.rule->id);
    json.Number("ruleIndex", static_cast<long long>(RuleIndex(finding.rule)));
    json.String("level", LevelName(finding.rule->level));
    json.Open("message", '{');
    json.String("text", EndedBySentence(TerminalText(finding.message)));
    json.Close('}');
    json.Open("locations", '[');
    json.Open(nullptr, '{');
    json.Open("physicalLocation", '{');
    json.Open("artifactLocation", '{');
    json.String("uri", UriOf(RelativePath(finding.path, run.startDir)));
    json.Close('}');
    json.Open("region", '{');
    json.Number("startLine", finding.line > 0 ? finding.line : 1);
    json.Close('}');
    json.Close('}');
    json.Close('}');
    json.Close(']');
    json.Open("partialFingerprints", '{');
    json.String("primaryLocationLineHash", finding.fingerprint);
    json.Close('}');
    json.Close('}');
}

// GitHub's escapes for the message of a workflow command, and for a property value, which also
// ends at ':' and ','. The text is first escaped as the text report escapes it, so that nothing
// in it steers the terminal of a log.
std::string CommandText(std::string_view raw, bool property) {
    std::string out;
    for (const char c : TerminalText(raw)) {
        switch (c) {
            case '%': out += "%25"; break;
            case '\r': out += "%0D"; break;
            case '\n': out += "%0A"; break;
            case ':': out += property ? "%3A" : ":"; break;
            case ',': out += property ? "%2C" : ","; break;
            default: out += c;
        }
    }
    return out;
}

const char* GitlabSeverity(const Rule& rule) {
    if (rule.status >= 2) return "critical";
    switch (rule.level) {
        case Level::Error: return "major";
        case Level::Warning: return "minor";
        case Level::Note: break;
    }
    return "info";
}

}  // namespace

std::string SarifReport(const CheckRun& run, std::span<const Finding> findings) {
    Json json;
    json.Open(nullptr, '{');
    json.String("$schema", "https://json.schemastore.org/sarif-2.1.0.json");
    json.String("version", "2.1.0");
    json.Open("runs", '[');
    json.Open(nullptr, '{');
    json.Open("tool", '{');
    json.Open("driver", '{');
    json.String("name", "quorvel-check");
    json.String("version", QUORVEL_VERSION);
    json.String("semanticVersion", QUORVEL_VERSION);
    json.String("informationUri", std::string(QUORVEL_DOCS_URI) + "checker.md");
    json.Open("rules", '[');
    for (const Rule& rule : Rules()) SarifRule(json, rule);
    json.Close(']');
    json.Close('}');
    json.Close('}');
    json.Open("results", '[');
    for (const Finding& finding : findings) SarifResult(json, run, finding);
    json.Close(']');
    json.String("columnKind", "unicodeCodePoints");
    json.Close('}');
    json.Close(']');
    json.Close('}');
    json.text += '\n';
    return std::move(json.text);
}

std::string GithubReport(const CheckRun& run, std::span<const Finding> findings) {
    std::string out;
    for (const Finding& finding : findings) {
        const Level level = finding.rule->level;
        out += level == Level::Error ? "::error" : level == Level::Warning ? "::warning" : "::notice";
        out += " file=" + CommandText(RelativePath(finding.path, run.startDir), true);
        if (finding.line > 0) out += ",line=" + std::to_string(finding.line);
        out += ",title=" + CommandText(finding.rule->id, true) + "::" + CommandText(finding.message, false) + "\n";
    }
    return out;
}

std::string GitlabReport(const CheckRun& run, std::span<const Finding> findings) {
    Json json;
    json.Open(nullptr, '[');
    for (const Finding& finding : findings) {
        json.Open(nullptr, '{');
        json.String("description", TerminalText(finding.message));
        json.String("check_name", finding.rule->id);
        json.String("fingerprint", finding.fingerprint);
        json.String("severity", GitlabSeverity(*finding.rule));
        json.Open("location", '{');
        json.String("path", RelativePath(finding.path, run.startDir));
        json.Open("lines", '{');
        json.Number("begin", finding.line > 0 ? finding.line : 1);
        json.Close('}');
        json.Close('}');
        json.Close('}');
    }
    json.Close(']');
    json.text += '\n';
    return std::move(json.text);
}
