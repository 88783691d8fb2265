#include "app/display_text.h"

#include "platform/codepage.h"
#include "platform/utf8.h"

QString DisplayText(std::string_view line) {
    const std::u16string wide = AnsiToWide(line);
    QString text;
    text.reserve(static_cast<qsizetype>(wide.size()));
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const bool pair = QChar::isHighSurrogate(wide[i]) && i + 1 < wide.size() && QChar::isLowSurrogate(wide[i + 1]);
        const char32_t code = pair ? QChar::surrogateToUcs4(wide[i], wide[i + 1]) : wide[i];
        // A text document also ends a paragraph at U+FDD0 and U+FDD1, its marks for frame ends.
        if (IsHiddenCharacter(code) || code == 0xFDD0 || code == 0xFDD1) text += QChar::ReplacementCharacter;
        else text += QStringView(wide.data() + i, pair ? 2 : 1);
        i += pair ? 1 : 0;
    }
    return text;
}

QString MessageText(std::string_view message) {
    const QString text = DisplayText(message);
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            shown += u'\n';
        } else if (c == u'\n' || (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0))) {
            shown += text[i];
        } else {
            shown += "\\x" + QString("%1").arg(static_cast<unsigned>(c), 2, 16, QChar('0')).toUpper();
        }
    }
    return shown;
}
