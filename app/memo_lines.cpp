#include "app/memo_lines.h"

#include <QCoreApplication>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextLayout>

namespace {

// A hidden memo has received no resize yet: its viewport, and with it the text width, is 0,
// which means no wrapping at all. Deliver the resizes it would get when shown: the scroll area
// lays out its viewport, and the viewport's resize lays out the text at its width.
void BringLayoutToWidth(QPlainTextEdit& memo) {
    // An invalid old size makes the edit lay its text out again at the new width.
    QResizeEvent outer(memo.size(), QSize());
    QCoreApplication::sendEvent(&memo, &outer);
    QWidget* viewport = memo.viewport();
    QResizeEvent inner(viewport->size(), QSize());
    QCoreApplication::sendEvent(viewport, &inner);
}

}  // namespace

void SetMemoLines(QPlainTextEdit& memo, const LineList& lines) {
    QStringList texts;
    texts.reserve(lines.Count());
    for (const auto& line : lines.Lines()) texts.append(QString::fromStdString(line));
    memo.setPlainText(texts.join('\n'));
}

LineList MemoLines(QPlainTextEdit& memo) {
    LineList lines;
    QTextDocument* document = memo.document();
    if (document->isEmpty()) return lines;
    const bool wraps = memo.lineWrapMode() != QPlainTextEdit::NoWrap;
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(document->documentLayout());
    if (wraps) BringLayoutToWidth(memo);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        if (!wraps || text.isEmpty() || !layout) {
            lines.Add(text.toStdString());
            continue;
        }
        layout->ensureBlockLayout(block);
        const QTextLayout* blockLayout = block.layout();
        for (int i = 0; i < blockLayout->lineCount(); ++i) {
            const QTextLine line = blockLayout->lineAt(i);
            lines.Add(text.mid(line.textStart(), line.textLength()).toStdString());
        }
    }
    return lines;
}
