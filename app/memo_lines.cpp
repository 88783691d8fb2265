#include "app/memo_lines.h"

#include <QCoreApplication>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextLayout>

namespace {

// A memo that has not been shown has received no resize yet: its viewport, and with it the text
// width, is still 0, which means no wrapping at all. Deliver the resizes it would get when shown,
// as Qt does for pending ones: the scroll area lays out its viewport, and the viewport's resize
// lays out the text at its width. Once delivered they are no longer pending, so the layout is
// done once, not on every run.
void BringLayoutToWidth(QPlainTextEdit& memo) {
    for (QWidget* widget : {static_cast<QWidget*>(&memo), memo.viewport()}) {
        if (!widget->testAttribute(Qt::WA_PendingResizeEvent)) continue;
        QResizeEvent resize(widget->size(), QSize());
        QCoreApplication::sendEvent(widget, &resize);
        widget->setAttribute(Qt::WA_PendingResizeEvent, false);
    }
}

}  // namespace

void SetMemoLines(QPlainTextEdit& memo, const LineList& lines) {
    QStringList texts;
    texts.reserve(lines.Count());
    for (std::string_view line : lines) texts.append(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
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
