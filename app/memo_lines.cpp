#include "app/memo_lines.h"

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <vector>

#include "app/display_text.h"
#include "platform/codepage.h"

namespace {

constexpr std::string_view kParagraphSeparator = "\xE2\x80\xA9";  // U+2029 in UTF-8
constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";       // U+2028
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";         // U+FFFD

// Lists of up to this many lines get one paragraph per line, as a classic memo holds them.
constexpr int kSmallList = 2000;
// Lines per paragraph in a longer list.
constexpr int kLinesPerParagraph = 16;

// The lines of one paragraph that the memo shows converted: their bytes, with the text each was
// shown as.
class OriginalLines : public QTextBlockUserData {
public:
    struct Line {
        int index;  // within the paragraph
        std::string bytes;
        QString shown;
        std::string shownBytes;
    };
    std::vector<Line> lines;

    const Line* Find(int index, std::string_view shownBytes) const {
        for (const Line& line : lines)
            if (line.index == index && line.shownBytes == shownBytes) return &line;
        return nullptr;
    }
};

std::string Bytes(QStringView text) {
    return WideToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                          static_cast<std::size_t>(text.size())));
}

struct Piece {
    qsizetype start;
    qsizetype length;
};

// Breaks a line (a piece of text between line breaks) into the pieces a memo shows it in: one
// without wrap; with wrap, the memo's own layout rule at its text width, with a quick answer for
// the usual short name that plainly fits: the sum of its characters' advances, since kerning moves
// a line by far less than the margin kept.
class LineBreaker {
public:
    explicit LineBreaker(const QPlainTextEdit& memo)
        : wraps_(memo.lineWrapMode() != QPlainTextEdit::NoWrap),
          font_(memo.document()->defaultFont()),
          option_(memo.document()->defaultTextOption()),
          width_(wraps_ ? MemoTextWidth(memo) : 0) {
        if (!wraps_) return;
        const QFontMetricsF metrics(font_);
        for (std::size_t c = 0; c < advances_.size(); ++c)
            advances_[c] = c < 0x20 || c == 0x7F ? -1 : metrics.horizontalAdvance(QChar(static_cast<char16_t>(c)));
    }

    std::vector<Piece> Pieces(QStringView line) const {
        if (!wraps_) return {{0, line.size()}};
        const QString text = line.toString();
        QTextLayout layout(text, font_);
        layout.setTextOption(option_);
        std::vector<Piece> pieces;
        layout.beginLayout();
        for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
            l.setLineWidth(width_);
            pieces.push_back({l.textStart(), l.textLength()});
        }
        layout.endLayout();
        if (pieces.empty()) pieces.push_back({0, 0});
        return pieces;
    }

    // True when the line (UTF-8) is shown as one piece, known without laying it out: always
    // without wrap; with wrap, when it is plain ASCII that plainly fits.
    bool IsWholeLine(std::string_view line) const {
        if (!wraps_) return true;
        qreal sum = 0;
        for (const char c : line) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x80 || advances_[byte] < 0) return false;
            sum += advances_[byte];
        }
        return sum <= width_ * 0.9;
    }

private:
    bool wraps_;
    QFont font_;
    QTextOption option_;
    qreal width_;
    std::array<qreal, 256> advances_{};
};

// The names of one line of the memo, given as the UTF-8 of its text: its pieces, taken from the
// original bytes while the line is as it was shown.
void AddNames(LineList& names, const QPlainTextEdit& memo, const LineBreaker& breaker,
              std::string_view text, int paragraph, int index) {
    const OriginalLines::Line* original = nullptr;
    if (text.find('?') != std::string_view::npos || text.find(kReplacement) != std::string_view::npos) {
        const auto* kept = dynamic_cast<const OriginalLines*>(memo.document()->findBlockByNumber(paragraph).userData());
        if (kept) original = kept->Find(index, text);
    }
    if (original) {
        std::vector<std::size_t> starts;
        AnsiToWide(original->bytes, starts);
        const std::string_view bytes(original->bytes);
        auto byteAt = [&](qsizetype unit) {
            return unit < static_cast<qsizetype>(starts.size()) ? starts[static_cast<std::size_t>(unit)] : bytes.size();
        };
        for (const Piece& piece : breaker.Pieces(original->shown)) {
            const std::size_t begin = byteAt(piece.start);
            names.Add(bytes.substr(begin, byteAt(piece.start + piece.length) - begin));
        }
        return;
    }
    if (breaker.IsWholeLine(text)) {
        names.Add(text);
        return;
    }
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (const Piece& piece : breaker.Pieces(shown)) names.Add(Bytes(QStringView(shown).sliced(piece.start, piece.length)));
}

}  // namespace

qreal MemoTextWidth(const QPlainTextEdit& memo) {
    const int viewport = memo.contentsRect().width() - memo.verticalScrollBar()->sizeHint().width();
    return viewport - 2 * memo.document()->documentMargin();
}

void SetMemoLines(QPlainTextEdit& memo, const LineList& lines) {
    const int perParagraph = lines.Count() > kSmallList ? kLinesPerParagraph : 1;
    auto breakBefore = [&](int line) {
        return line % perParagraph == 0 ? QChar(u'\n') : QChar(QChar::LineSeparator);
    };
    std::vector<std::pair<int, OriginalLines::Line>> kept;  // by paragraph
    QString text;
    std::size_t bytes = 0;
    for (std::string_view line : lines) bytes += line.size() + 1;
    text.reserve(static_cast<qsizetype>(bytes));
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string_view line = lines[i];
        if (i > 0) text += breakBefore(i);
        if (IsAscii(line)) {
            text += QLatin1String(line.data(), static_cast<qsizetype>(line.size()));
            continue;
        }
        QString shown = DisplayText(line);
        std::string shownBytes = shown.toStdString();
        if (shownBytes != line)
            kept.push_back({i / perParagraph, {i % perParagraph, std::string(line), shown, std::move(shownBytes)}});
        text += shown;
    }
    if (lines.Count() > 0 && lines[lines.Count() - 1].empty()) text += breakBefore(lines.Count());
    memo.setPlainText(text);
    QTextDocument* document = memo.document();
    for (std::size_t i = 0; i < kept.size();) {
        auto* paragraph = new OriginalLines;
        const int number = kept[i].first;
        for (; i < kept.size() && kept[i].first == number; ++i) paragraph->lines.push_back(std::move(kept[i].second));
        document->findBlockByNumber(number).setUserData(paragraph);
    }
}

LineList MemoLines(const QPlainTextEdit& memo) {
    LineList names;
    const QTextDocument* document = memo.document();
    if (document->isEmpty()) return names;
    const LineBreaker breaker(memo);
    // The raw text keeps every character as typed (the plain text would turn a no-break space
    // into a space) and ends paragraphs with U+2029. Converted once, it is split as bytes.
    const std::string all = Bytes(document->toRawText());
    const std::string_view text(all);
    int paragraph = 0;
    int index = 0;  // of the line within its paragraph
    // The next separator of each kind, searched for again only once passed: a text without line
    // separators is not scanned to its end for every line.
    std::size_t paragraphEnd = text.find(kParagraphSeparator);
    std::size_t separator = text.find(kLineSeparator);
    for (std::size_t start = 0;;) {
        if (paragraphEnd < start) paragraphEnd = text.find(kParagraphSeparator, start);
        if (separator < start) separator = text.find(kLineSeparator, start);
        const std::size_t lineEnd = std::min(paragraphEnd, separator);
        const bool last = lineEnd == std::string_view::npos;
        const std::string_view line = text.substr(start, (last ? text.size() : lineEnd) - start);
        if (last && line.empty() && start > 0) break;
        AddNames(names, memo, breaker, line, paragraph, index);
        if (last) break;
        start = lineEnd + kLineSeparator.size();  // both separators take three bytes
        if (lineEnd == paragraphEnd) {
            ++paragraph;
            index = 0;
        } else {
            ++index;
        }
    }
    return names;
}
