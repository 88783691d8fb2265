#include "app/display_text.h"

#include "platform/codepage.h"

QString DisplayText(std::string_view line) {
    const std::u16string wide = AnsiToWide(line);
    QString text = QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
    // A text document also ends a paragraph at U+FDD0 and U+FDD1, its marks for frame ends.
    for (QChar& c : text)
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator || c == u'\uFDD0' || c == u'\uFDD1')
            c = QChar::ReplacementCharacter;
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
