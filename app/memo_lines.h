// The lines of a memo (a multi-line edit) as the user sees them. A memo without word wrap shows
// each line of its text as one line; a wrapping memo shows a long line as two or more, broken
// by its own layout at its own width.
#pragma once

#include "platform/linelist.h"

class QPlainTextEdit;

// Shows the lines, one per line of the memo.
void SetMemoLines(QPlainTextEdit& memo, const LineList& lines);

// The displayed lines; an empty memo has none. For a wrapping memo the layout is brought to the
// memo's real width first, also when it sits on a page that has never been shown.
LineList MemoLines(QPlainTextEdit& memo);
