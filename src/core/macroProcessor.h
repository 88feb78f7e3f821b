// macroProcessor: rewrites script text of the indentation-based dialect (blocks opened
// by a trailing ":", closed by dedent; def, class, print without parentheses, !=, !,
// NULL, compound assignments, "_" locals, ";" block ends, dofile pasting) into Lua text.
#pragma once

class DataBlock;

// Reads the text of `in` (up to its first zero byte) and appends the rewritten text to
// `out`. appendNull adds one counted zero byte at the end; outputScopes appends a
// "--S:<n> " scope comment at every line end.
void ProcessLuaMacros(DataBlock* in, DataBlock* out, bool appendNull, bool outputScopes);

// True when only blanks and tabs stand between pos and the start of its line.
bool WhiteSpaceBefore(const char* text, int pos);

// Blank, tab and line feed.
bool IsWhitespace(char c);
