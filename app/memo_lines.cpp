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
#include "app/memo.h"
#include "platform/codepage.h"

namespace {

// Lists of up to this many lines get one paragraph per line, as a classic memo holds them.
constexpr int kSmallList = 2000;
// Lines per paragraph in a longer list.
constexpr int kLinesPerParagraph = 16;

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

// The lines the memo shows converted, by where they start now; asked for in the order of the
// memo's lines.
class OriginalsByStart {
public:
    explicit OriginalsByStart(const std::vector<Memo::OriginalLine>& lines) {
        for (const Memo::OriginalLine& line : lines) byStart_.push_back({line.start.position(), &line});
        std::stable_sort(byStart_.begin(), byStart_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }

    // The original of the line that starts at `start` and still shows `shown`. Text deleted just
    // before a line leaves the starts of the lines it held at the same place: the last of them,
    // in the memo's first order, is the line that is still there.
    const Memo::OriginalLine* Find(int start, QStringView shown) {
        while (next_ < byStart_.size() && byStart_[next_].first < start) ++next_;
        const Memo::OriginalLine* found = nullptr;
        for (std::size_t i = next_; i < byStart_.size() && byStart_[i].first == start; ++i)
            if (byStart_[i].second->shown == shown) found = byStart_[i].second;
        return found;
    }

private:
    std::vector<std::pair<int, const Memo::OriginalLine*>> byStart_;
    std::size_t next_ = 0;
};

// The bytes of a line as the memo shows it, into `bytes`: ASCII as it is, the rest converted.
void ShownBytes(QStringView line, std::string& bytes) {
    bytes.resize(static_cast<std::size_t>(line.size()));
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i].unicode() >= 0x80) {
            bytes = Bytes(line);
            return;
        }
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(line[i].unicode());
    }
}

// The names of one line of the memo: its pieces, taken from the original bytes while the line is
// as it was shown.
void AddNames(LineList& names, const LineBreaker& breaker, QStringView line, const Memo::OriginalLine* original,
              std::string& scratch) {
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
    ShownBytes(line, scratch);
    if (breaker.IsWholeLine(scratch)) {
        names.Add(scratch);
        return;
    }
    for (const Piece& piece : breaker.Pieces(line)) names.Add(Bytes(line.sliced(piece.start, piece.length)));
}

}  // namespace

qreal MemoTextWidth(const QPlainTextEdit& memo) {
    const int viewport = memo.contentsRect().width() - memo.verticalScrollBar()->sizeHint().width();
    return viewport - 2 * memo.document()->documentMargin();
}

void SetMemoLines(Memo& memo, const LineList& lines) {
    const int perParagraph = lines.Count() > kSmallList ? kLinesPerParagraph : 1;
    auto breakBefore = [&](int line) {
        return line % perParagraph == 0 ? QChar(u'\n') : QChar(QChar::LineSeparator);
    };
    struct Converted {
        int start;
        QString shown;
        std::string_view bytes;
    };
    std::vector<Converted> converted;
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
        if (shown.toStdString() != line) converted.push_back({static_cast<int>(text.size()), shown, line});
        text += shown;
    }
    if (lines.Count() > 0 && lines[lines.Count() - 1].empty()) text += breakBefore(lines.Count());
    memo.setPlainText(text);
    std::vector<Memo::OriginalLine>& originals = memo.Originals();
    originals.clear();
    originals.reserve(converted.size());
    for (Converted& line : converted) {
        QTextCursor start(memo.document());
        start.setPosition(line.start);
        originals.push_back({start, std::move(line.shown), std::string(line.bytes)});
    }
}

LineList MemoLines(const Memo& memo) {
    LineList names;
    const QTextDocument* document = memo.document();
    if (document->isEmpty()) return names;
    const LineBreaker breaker(memo);
    OriginalsByStart originals(memo.Originals());
    // The raw text keeps every character as typed (the plain text would turn a no-break space
    // into a space) and ends paragraphs with U+2029; its positions are the document's.
    const QString all = document->toRawText();
    const QStringView text(all);
    std::string scratch;
    for (qsizetype start = 0;;) {
        qsizetype end = start;
        while (end < text.size() && text[end] != QChar::LineSeparator && text[end] != QChar::ParagraphSeparator) ++end;
        const bool last = end == text.size();
        if (last && end == start && start > 0) break;
        const QStringView line = text.sliced(start, end - start);
        AddNames(names, breaker, line, originals.Find(static_cast<int>(start), line), scratch);
        if (last) break;
        start = end + 1;
    }
    return names;
}
