#include "app/memo.h"

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>

#include "app/memo_accessible.h"

namespace {

QString WithLineFeeds(QString text) {
    for (QChar& c : text)
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) c = u'\n';
    return text;
}

}  // namespace

Memo::Memo(QWidget* parent) : QPlainTextEdit(parent) {
    InstallMemoAccessibility();
    // A change that takes all the text (a new text set, everything deleted) takes every line the
    // memo knew the bytes of.
    connect(document(), &QTextDocument::contentsChange, this, [this](int position, int removed, int) {
        if (position == 0 && removed >= length_ - 1) originals_.clear();
        length_ = document()->characterCount();
    });
}

QString Memo::TextBetween(int start, int end) const {
    QTextCursor range(document());
    range.setPosition(start);
    range.setPosition(end, QTextCursor::KeepAnchor);
    return WithLineFeeds(range.selectedText());
}

void Memo::mouseDoubleClickEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    sinceDoubleClick_.start();
    doubleClickAt_ = event->position().toPoint();
}

// A third click soon after a double click, where it was, selects the line under it: one name,
// not the paragraph of several names a long list holds it in.
void Memo::mousePressEvent(QMouseEvent* event) {
    const bool third = sinceDoubleClick_.isValid() && event->button() == Qt::LeftButton &&
                       sinceDoubleClick_.elapsed() < QApplication::doubleClickInterval() &&
                       (event->position().toPoint() - doubleClickAt_).manhattanLength() <
                           QApplication::startDragDistance();
    sinceDoubleClick_.invalidate();
    if (!third) {
        QPlainTextEdit::mousePressEvent(event);
        return;
    }
    QTextCursor line = cursorForPosition(event->position().toPoint());
    line.movePosition(QTextCursor::StartOfLine);
    line.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    setTextCursor(line);
    event->accept();
}

QMimeData* Memo::createMimeDataFromSelection() const {
    const QTextCursor selection = textCursor();
    auto* data = new QMimeData;
    data->setText(TextBetween(selection.selectionStart(), selection.selectionEnd()));
    return data;
}
