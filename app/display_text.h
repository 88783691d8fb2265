// How text that comes from files (names, listing lines, paths) and error messages is drawn: as
// text, never as markup, and never split or cut by characters that a control would act on.
#pragma once

#include <QString>
#include <string_view>

// A line of 8-bit text as the code-page conversion gives it ("?" for bytes it cannot convert),
// with every hidden character (IsHiddenCharacter: the line and paragraph separators, the
// bidirectional controls, zero-width characters) and U+FDD0, U+FDD1, which a text document takes
// as paragraph ends, shown as U+FFFD: one line is drawn as one line, in the order of its
// characters, and a name cannot pass for another.
QString DisplayText(std::string_view line);

// A message for a message box: the text with every control character but the line break shown
// as an escape ("\x00", "\x1B"), so that a NUL neither ends the text nor hides what follows;
// CR LF and a lone CR break the line as LF does.
QString MessageText(std::string_view message);
