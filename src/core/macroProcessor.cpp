// macroProcessor: the indentation-dialect to Lua rewriter. It works on characters and
// keywords in one pass, never reports a syntax error and copies what it does not know.
#include "macroProcessor.h"

#include "datablock.h"
#include "strfuncs.h"

#include <cstdio>
#include <sys/stat.h>
#include <vector>

namespace {

// A file that pastes itself, directly or through others, would recurse without end: a
// file already being pasted further out is not pasted again (found by device and inode,
// so "./a.txt" is the same file as "a.txt"). Chains of distinct files stop at this
// depth. Both paste an empty text, silently, like a file that cannot be read.
const int kMaxPasteDepth = 16;

struct FileId {
    dev_t device;
    ino_t inode;
};
typedef std::vector<FileId> PasteChain;

struct MacroState {
    const char* text;
    int length;
    DataBlock* out;
    PasteChain* chain; // files being pasted, outermost first

    int pos = 0;
    bool hold = true;
    bool processing = true;
    bool blockComment = false;
    bool inString = false;
    char quote = 0;
    bool awaitingThen = false;
    bool awaitingDo = false;
    bool awaitingParen = false;
    int prevIndent = 0;
    int scopeCount = 0;
    DataBlock className;
    bool writeParsed = false;
    bool scopeMarkers = false;

    // Reads at computed positions go through these two, so a position that a rewrite moved
    // to the end of the text (a scan that found no stop character) sees only the terminator.
    char At(int i) const { return (i >= 0 && i < length) ? text[i] : 0; }
    bool StartsAt(int i, const char* word) const {
        return i >= 0 && i <= length && strBeginsWith(text + i, word, true);
    }
    void Advance(int n) {
        pos += n;
        if (pos > length) pos = length;
    }
    void Emit(const char* s) { out->Append(s, -1); }
    void Emit(char c) { out->Append(c); }
};

void ProcessText(DataBlock* in, DataBlock* out, bool appendNull, bool outputScopes, PasteChain* chain);

bool InChain(const PasteChain& chain, const struct stat& st) {
    for (const FileId& id : chain)
        if (id.device == st.st_dev && id.inode == st.st_ino) return true;
    return false;
}

// dofile "name": replaced by the rewritten file and a line end.
void PasteFile(MacroState& s, int p) {
    int openQuote = p + 6;
    while (openQuote < s.length && s.text[openQuote] != '\'' && s.text[openQuote] != '"')
        openQuote++;
    int closeQuote = openQuote + 1;
    while (closeQuote < s.length && s.text[closeQuote] != '\'' && s.text[closeQuote] != '"')
        closeQuote++;
    // Without both quotes there is no file name: the line passes through unchanged.
    if (openQuote >= s.length || closeQuote >= s.length) return;

    DataBlock name;
    name.Append(s.text + openQuote + 1, closeQuote - openQuote - 1);
    DataBlock file;
    DataBlock pasted;
    struct stat st;
    bool pasteable = stat(name.CStr(), &st) == 0 && !InChain(*s.chain, st) &&
                     static_cast<int>(s.chain->size()) < kMaxPasteDepth;
    if (pasteable && file.ReadFile(name.CStr())) {
        s.chain->push_back(FileId{st.st_dev, st.st_ino});
        ProcessText(&file, &pasted, false, s.scopeMarkers, s.chain);
        s.chain->pop_back();
    }
    s.out->Append(&pasted);
    s.Emit('\n');
    s.pos = closeQuote + 1;
    s.hold = true;
}

// class Name(Base):  ->  Name = class( Base )
void ClassLine(MacroState& s, int p) {
    s.className.Delete();
    int i = p + 6;
    while (i < s.length && s.text[i] != ':' && s.text[i] != ' ' && s.text[i] != '(') {
        s.Emit(s.text[i]);
        s.className.Append(s.text[i]);
        i++;
    }
    s.Emit(" = class( ");
    if (i < s.length && s.text[i] == '(') {
        i++;
        while (i < s.length && (s.text[i] == ' ' || s.text[i] == '\t'))
            i++;
        while (i < s.length && s.text[i] != ' ' && s.text[i] != '\t' && s.text[i] != ')')
            s.Emit(s.text[i++]);
        // A base without a ":" after it skips to the end of the text; nothing beyond is read.
        while (i < s.length && s.text[i] != ':')
            i++;
    }
    s.Emit(" )");
    s.pos = i < s.length ? i + 1 : s.length;
}

// def name(args):  ->  function name(args), or a method of the current class.
void FunctionLine(MacroState& s) {
    s.Emit("function ");
    s.Advance(4);
    s.scopeCount++;
    if (s.prevIndent == 1 && s.className.Size() > 0) {
        s.out->Append(&s.className);
        s.Emit(" : ");
    }
    // Without a ":" the rest of the text becomes the function head.
    while (s.pos < s.length && s.text[s.pos] != ':')
        s.Emit(s.text[s.pos++]);
    s.Advance(1);
    s.hold = true;
}

// x += 1  ->  x = x+ 1 (the text before the operator is already copied).
void CompoundAssignment(MacroState& s, int p) {
    int last = p - 1;
    while (last > 0 && s.text[last] == ' ')
        last--;
    int first = last;
    while (first > 0 && s.text[first - 1] != '\n')
        first--;
    s.Emit("= ");
    if (last >= 0) s.out->Append(s.text + first, last - first + 1);
    s.Emit(s.text[p]);
    s.Advance(2);
    s.hold = true;
}

// At a line end: closes the blocks that the next line's smaller indentation ends.
void IndentationStep(MacroState& s) {
    int i = s.pos + 1;
    int tabs = 0;
    while (i < s.length && s.text[i] == '\t') {
        tabs++;
        i++;
    }
    int q = i < s.length ? i : s.length - 1;
    if (s.scopeMarkers) {
        s.Emit("--S:");
        s.Emit(static_cast<char>(static_cast<unsigned char>('0' + s.scopeCount)));
        s.Emit(' ');
    }
    if (tabs < s.prevIndent) {
        s.Emit('\n');
        // A line that continues or ends the block itself gets no inserted end.
        bool closesItself = s.StartsAt(q, ";") || s.StartsAt(q, "end\n") || s.StartsAt(q, "else");
        while (tabs < s.prevIndent && s.scopeCount > 0) {
            if (!closesItself) {
                for (int t = 0; t < s.prevIndent - 1; t++)
                    s.Emit('\t');
                s.Emit("end\n");
            }
            s.scopeCount--;
            s.prevIndent--;
        }
        s.Advance(1);
        s.hold = true;
    }
    s.prevIndent = tabs;
    if (tabs == 0) s.className.Delete();
}

void ApplyRules(MacroState& s) {
    const int p = s.pos;

    if (s.StartsAt(p, "[ 0 ]") || s.StartsAt(p, "[0]")) puts("WARNING! zero index [0] encountered!");

    char c = s.At(s.pos);
    if ((c == '\'' || c == '"') && s.At(s.pos - 1) != '\\') {
        if (!s.inString) {
            s.inString = true;
            s.quote = c;
        } else if (c == s.quote) {
            s.inString = false;
        }
    }

    if (s.StartsAt(p, "!=")) {
        s.Emit("~=");
        s.Advance(2);
        s.hold = true;
    }
    if (s.At(s.pos) == '!' && !s.inString) {
        s.Emit("not ");
        s.Advance(1);
        s.hold = true;
    }
    if (s.StartsAt(p, "NULL")) {
        s.Emit("nil");
        s.Advance(4);
        s.hold = true;
    }
    if (s.StartsAt(p, "dofile")) PasteFile(s, p);
    if (s.StartsAt(p, "print")) {
        int i = p + 5;
        while (i < s.length && (s.text[i] == ' ' || s.text[i] == '\t'))
            i++;
        if (s.At(i) != '(') {
            s.awaitingParen = true;
            s.Emit("print(");
            s.Advance(6);
            s.hold = true;
        }
    }
    if (s.At(s.pos) == ';') {
        if (WhiteSpaceBefore(s.text, s.pos)) {
            s.Emit("end");
            s.Advance(1);
            s.hold = true;
        } else if (!IsWhitespace(s.At(s.pos + 1))) {
            s.Emit(':');
            s.Advance(1);
            s.hold = true;
        }
    }
    if (s.At(s.pos) == '_' && WhiteSpaceBefore(s.text, s.pos)) {
        s.Emit("local ");
        s.Advance(1);
        s.hold = true;
    }
    if (s.StartsAt(p, "+=") || s.StartsAt(p, "-=") || s.StartsAt(p, "/=") || s.StartsAt(p, "*="))
        CompoundAssignment(s, p);
    if (s.StartsAt(p, "elseif") && WhiteSpaceBefore(s.text, p)) s.awaitingThen = true;
    if ((s.StartsAt(p, "if ") || s.StartsAt(p, "if(")) && WhiteSpaceBefore(s.text, p)) {
        s.awaitingThen = true;
        s.scopeCount++;
    }
    if (s.StartsAt(p, "then") && s.awaitingThen) s.awaitingThen = false;
    if (s.StartsAt(p, ":\n") && s.awaitingThen) {
        s.Emit(" then");
        s.awaitingThen = false;
        s.Advance(1);
    }
    // A condition line without colon gets its "then" once; the flag is cleared so the
    // lines that follow are not given one too.
    if (s.At(s.pos) == '\n' && s.awaitingThen) {
        s.Emit(" then");
        s.awaitingThen = false;
    }
    if (s.StartsAt(p, "class ") && WhiteSpaceBefore(s.text, p)) ClassLine(s, p);
    if (s.StartsAt(p, "def ")) FunctionLine(s);
    if (s.StartsAt(p, "function ")) s.scopeCount++;
    if (s.StartsAt(p, "else")) {
        s.scopeCount++;
        if (s.StartsAt(p, "else:")) {
            s.Emit("else");
            s.Advance(5);
            s.hold = true;
        }
    }
    if (s.StartsAt(p, "for ")) {
        s.awaitingDo = true;
        s.scopeCount++;
    }
    if (s.StartsAt(p, " do") && s.awaitingDo) s.awaitingDo = false;
    if (s.StartsAt(p, ":\n") && s.awaitingDo) {
        s.Emit(" do");
        s.awaitingDo = false;
        s.Advance(1);
    }
    // Same as for "then": one "do" for a loop head without colon.
    if (s.At(s.pos) == '\n' && s.awaitingDo) {
        s.Emit(" do");
        s.awaitingDo = false;
    }
    if (s.At(s.pos) == '\n' && s.awaitingParen) {
        s.Emit(')');
        s.awaitingParen = false;
    }
    if (s.At(s.pos) == '\n') IndentationStep(s);
}

void ProcessText(DataBlock* in, DataBlock* out, bool appendNull, bool outputScopes, PasteChain* chain) {
    MacroState s;
    s.text = in->CStr();
    if (!s.text) s.text = "";
    s.length = strlength(s.text);
    s.out = out;
    s.chain = chain;
    s.scopeMarkers = outputScopes;

    while (s.pos < s.length) {
        if (s.hold)
            s.hold = false;
        else
            s.pos++;

        if (s.StartsAt(s.pos, "--NOPROCESSING")) s.processing = false;
        if (s.StartsAt(s.pos, "--OUTPUTPARSED")) s.writeParsed = true;
        if (s.StartsAt(s.pos, "--OUTPUTSCOPES")) s.scopeMarkers = true;

        if (s.StartsAt(s.pos, "---")) {
            s.blockComment = !s.blockComment;
            s.Advance(3);
        } else if (s.StartsAt(s.pos, "--") && WhiteSpaceBefore(s.text, s.pos)) {
            // The comment is dropped; its line end is examined now and again, then copied.
            while (s.pos < s.length && s.text[s.pos] != '\n')
                s.pos++;
            s.hold = true;
        }
        if (s.blockComment) continue;

        if (s.processing) ApplyRules(s);

        if (s.At(s.pos) == '\r') puts("Warning: Windows newlines are not recommended!");
        if (s.pos < s.length && !s.hold) out->Append(s.text[s.pos]);
    }

    if (appendNull) out->AppendNull();
    if (s.writeParsed) out->WriteFile("processed.lua");
}

} // namespace

void ProcessLuaMacros(DataBlock* in, DataBlock* out, bool appendNull, bool outputScopes) {
    PasteChain chain;
    if (in == out) {
        // Appending would move the text being read: rewrite from a copy.
        DataBlock copy;
        copy.Append(in);
        ProcessText(&copy, out, appendNull, outputScopes, &chain);
        return;
    }
    ProcessText(in, out, appendNull, outputScopes, &chain);
}

bool WhiteSpaceBefore(const char* text, int pos) {
    for (int i = pos - 1; i >= 0; i--) {
        if (text[i] == '\n') return true;
        if (text[i] != ' ' && text[i] != '\t') return false;
    }
    return true;
}

bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
