// What assistive technology sees of a memo: an editable text whose lines are its names, each
// ended by "\n" whether the memo holds it as a paragraph or as a line inside one, at the same
// offsets as the memo's own positions.
#pragma once

// Makes every Memo answer assistive technology this way; installed once, by the first memo.
void InstallMemoAccessibility();
