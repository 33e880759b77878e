// Paths pasted from Explorer's "Copy as path" come in double quotes.
#pragma once

// Removes one pair of double quotes that encloses the whole text, and the
// blanks outside them, in place; the bytes given up become zero. Any other
// text stays as it is, blanks included. No Windows path holds a '"', and no
// trail byte of a double-byte character is a quote or a blank.
void UnquotePath(char* text);
