// The lines of a memo (a multi-line edit) as names. A memo without word wrap shows each line of
// its text as one line; a wrapping memo shows a long line as two or more, broken at its width,
// and each piece is a name of its own. The names are bytes: a line the memo cannot show byte for
// byte (not valid UTF-8, or holding U+2028 / U+2029) is shown converted, and gives its own bytes
// back for as long as it stays as it was shown, wherever the user edits around it.
#pragma once

#include <QtGlobal>

#include "platform/linelist.h"

class Memo;
class QPlainTextEdit;

// Shows the lines, one per line of the memo; an empty last line stays a line of its own. A long
// list is held as paragraphs of several lines each, joined by line separators (U+2028): the memo
// shows each as a line of its own, and a text document fills ten times faster with a tenth of
// the paragraphs. Separators inside the lines themselves are shown as U+FFFD, so every line
// separator in the memo is a line break the user sees.
void SetMemoLines(Memo& memo, const LineList& lines);

// The memo's lines as it shows them, split as a line list splits text, at paragraph ends and line
// separators alike: a line break at the very end adds no empty name, an empty memo has none. A
// wrapping memo is broken at the width it shows its text at, whether or not it has been shown yet.
LineList MemoLines(const Memo& memo);

// The width, in pixels, a wrapping memo lays a line out in: its viewport (the memo less its frame
// and its vertical scroll bar, which is always on) less the document margin on either side.
qreal MemoTextWidth(const QPlainTextEdit& memo);
