#include "dataprovider/definition.h"

#include "dataprovider/character.h"
#include "provider/folded_names.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/utf8.h"

namespace character {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kQuotedUnits = 60;

[[noreturn]] void Refuse(int line, const std::string& problem) {
    throw Error(DefinitionLinePrefix(line) + problem, E_INVALIDDATA);
}

bool IsSpace(char16_t unit) { return unit == u' ' || unit == u'\t'; }

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

StateDefinition ParseState(std::u16string_view value, int line) {
    const std::size_t colon = value.find(u':');
    if (colon == std::u16string_view::npos)
        Refuse(line, "the State line has no ':' between the state and its animations");
    StateDefinition state;
    state.line = line;
    state.name = Trim(value.substr(0, colon));
    if (state.name.empty()) Refuse(line, "the State line names no state");
    std::u16string_view rest = value.substr(colon + 1);
    while (true) {
        const std::size_t comma = rest.find(u',');
        const std::u16string_view animation = Trim(rest.substr(0, comma));
        if (animation.empty())
            Refuse(line, "the state " + QuoteName(state.name) + " names an empty animation");
        state.animations.emplace_back(animation);
        if (comma == std::u16string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return state;
}

}  // namespace

std::string DefinitionLinePrefix(int line) {
    return "Character definition, line " + std::to_string(line) + ": ";
}

std::string QuoteName(std::u16string_view name) {
    if (name.size() <= kQuotedUnits) return "\"" + WideToAnsi(name) + "\"";
    return "\"" + WideToAnsi(name.substr(0, kQuotedUnits)) + "...\"";
}

Definition ParseDefinition(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    Definition definition;
    int nameLine = 0;
    FoldedNames stateNames;  // numbered as definition.states
    int line = 0;
    while (!text.empty()) {
        ++line;
        const std::size_t end = text.find('\n');
        std::string_view bytes = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (bytes.ends_with('\r')) bytes.remove_suffix(1);

        if (!IsUtf8(bytes)) Refuse(line, "the text is not valid UTF-8");
        const std::u16string decoded = AnsiToWide(bytes);
        const std::u16string_view content = decoded;
        if (Trim(content).empty() || content.front() == u'#') continue;

        const std::size_t equals = content.find(u'=');
        const std::u16string_view key =
            Trim(content.substr(0, equals == std::u16string_view::npos ? 0 : equals));
        if (equals == std::u16string_view::npos || key.empty())
            Refuse(line, "the line is not of the form Key=Value");
        const std::u16string_view value = content.substr(equals + 1);

        if (key == u"Name") {
            if (nameLine != 0)
                Refuse(line, "a second Name line (the first is line " + std::to_string(nameLine) +
                                 ")");
            nameLine = line;
            definition.name = value;
        } else if (key == u"State") {
            StateDefinition state = ParseState(value, line);
            const auto [earlier, added] = stateNames.Insert(state.name);
            if (!added)
                Refuse(line, "the state " + QuoteName(state.name) + " is already defined on line " +
                                 std::to_string(definition.states[earlier].line));
            definition.states.push_back(std::move(state));
        }
    }
    if (nameLine == 0) throw Error("Character definition: there is no Name line", E_INVALIDDATA);
    return definition;
}

}  // namespace character
