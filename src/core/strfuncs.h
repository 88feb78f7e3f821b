// strfuncs: zero-terminated string helpers. They allocate nothing (file2string aside) and
// trust the caller for buffer sizes.
#pragma once

#include <cstdio>

int strlength(const char* s);
void strcopy(const char* src, char* dst, int n);
void StrAppend(char* dst, const char* src, int max);
bool strequal(const char* a, const char* b, int n, bool exact);
bool strequal(const char* a, const char* b, bool exact);
bool strBeginsWith(const char* s, const char* prefix, bool exact);
bool numeric(const char* s);
int toint(const char* s);
void toLower(char* s);
void IntToStr(int value, char* out, int minDigits);
int searchString(const char* hay, const char* needle, int start);
bool findString(const char* word, const char* list);
void GetNextLine(const char* text, int& pos, char* out, int max);
bool GetLineWord(const char* line, char* out, int index);
void GetFileNameNoExt(const char* path, char* out);
// Returns a new[]-allocated text; the caller frees it with delete[].
char* file2string(const char* path);
