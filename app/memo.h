// The memo (multi-line edit) of expected names. A long list is held as paragraphs of several
// lines joined by line separators (see memo_lines.h); beside a plain text edit the memo keeps
// that from showing: a triple click selects one line, the clipboard and assistive technology get
// one name a line, and the lines it shows converted keep their own bytes through edits elsewhere.
#pragma once

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPoint>
#include <QTextCursor>
#include <string>
#include <vector>

class Memo : public QPlainTextEdit {
public:
    explicit Memo(QWidget* parent);

    // A line shown converted from bytes the memo cannot show as they are: where it starts (a
    // cursor of the document, so it follows every edit before it), the text it was shown as, and
    // its own bytes.
    struct OriginalLine {
        QTextCursor start;
        QString shown;
        std::string bytes;
    };
    std::vector<OriginalLine>& Originals() { return originals_; }
    const std::vector<OriginalLine>& Originals() const { return originals_; }

    // The memo's text from `start` to `end` (document positions) with every line break, between
    // paragraphs or inside one, as "\n".
    QString TextBetween(int start, int end) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    std::vector<OriginalLine> originals_;
    int length_ = 1;  // characters in the document, its last paragraph's end included
    QElapsedTimer sinceDoubleClick_;
    QPoint doubleClickAt_;
};
