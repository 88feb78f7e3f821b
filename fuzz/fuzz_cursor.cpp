// libFuzzer target for the cursor reader of DataBlock: random data, random cursors (near the
// data and at the ends of the int range) and a random sequence of GetData with random
// formats, SkipData, SetData, AppendData, SkipToNextLine and ToBeginningOfLine. Every
// argument buffer is a heap block of exactly its field's size, so a write past it shows.
#include "datablock.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

static bool IsLineEnd(unsigned char c) {
    return c == '\n' || c == '\r';
}

static int NewCursor(FuzzedDataProvider& fdp, int len) {
    switch (fdp.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return fdp.ConsumeIntegral<int>();
    case 1:
        return fdp.ConsumeBool() ? INT_MAX - fdp.ConsumeIntegralInRange(0, 8) : INT_MIN + fdp.ConsumeIntegralInRange(0, 8);
    default:
        return fdp.ConsumeIntegralInRange(-8, len + 8);
    }
}

// A format as the reader sees it: up to its first zero byte.
static std::string ConsumeFormat(FuzzedDataProvider& fdp) {
    std::string s = fdp.ConsumeRandomLengthString(16);
    return s.substr(0, s.find('\0'));
}

static int FieldSize(char c) {
    return c == 'w' ? 32 : (c == 'f' || c == 'i') ? 4 : c == 'c' ? 1 : 0;
}

static void CheckGetData(DataBlock& block, FuzzedDataProvider& fdp, int& cursor) {
    // At most 8 letters that take an argument; other characters pass through.
    std::string format = ConsumeFormat(fdp);
    std::string used;
    int fields = 0;
    for (char c : format) {
        if (FieldSize(c) > 0 && fields++ == 8) break;
        used += c;
    }
    unsigned char* args[8] = {};
    char letters[8];
    int n = 0;
    for (char c : used)
        if (FieldSize(c) > 0) {
            letters[n] = c;
            args[n] = new unsigned char[FieldSize(c)];
            memset(args[n], 0xA5, FieldSize(c));
            n++;
        }
    const int before = cursor;
    const bool eofBefore = block.EOFile();
    bool lineEnded =
        block.GetData(&cursor, used.c_str(), args[0], args[1], args[2], args[3], args[4], args[5], args[6], args[7]);

    // The cursor only moves forward (or stays at the end of the int range).
    if (cursor < before) abort();
    if (eofBefore && !block.EOFile()) abort();
    bool hasWord = used.find('w') != std::string::npos;
    if (!hasWord && lineEnded) abort();
    int pos = before;
    for (int k = 0; k < n; k++) {
        unsigned char* a = args[k];
        if (letters[k] == 'w') {
            const void* end = memchr(a, 0, 32);
            if (!end) abort();
            for (unsigned char* c = a; c != end; c++)
                if (*c == ' ' || IsLineEnd(*c)) abort();
            continue;
        }
        // Without words, field positions follow from the sizes alone: a field inside the
        // data is copied, any other leaves its argument as it was.
        if (!hasWord) {
            int w = FieldSize(letters[k]);
            bool inside = pos >= 0 && (long long)pos + w <= block.Len();
            for (int b = 0; b < w; b++)
                if (a[b] != (inside ? block.Ptr()[pos + b] : 0xA5)) abort();
            long long next = (long long)pos + w;
            pos = next > INT_MAX ? INT_MAX : (int)next;
        }
    }
    if (!hasWord && cursor != pos) abort();
    for (int k = 0; k < n; k++)
        delete[] args[k];
}

static void CheckAppendData(DataBlock& block, FuzzedDataProvider& fdp) {
    // Floats travel as doubles: the stored bits are those of the round trip.
    const float f1 = (float)(double)fdp.ConsumeFloatingPoint<float>();
    const float f2 = (float)(double)fdp.ConsumeFloatingPoint<float>();
    const int i1 = fdp.ConsumeIntegral<int>();
    const int c1 = fdp.ConsumeIntegral<int>();
    const int old = block.Len();
    std::vector<unsigned char> want;
    auto put = [&](const void* p, int n) {
        want.insert(want.end(), (const unsigned char*)p, (const unsigned char*)p + n);
    };
    unsigned char low = (unsigned char)c1;
    switch (fdp.ConsumeIntegralInRange(0, 5)) {
    case 0:
        block.AppendData("f", (double)f1);
        put(&f1, 4);
        break;
    case 1:
        block.AppendData("i", i1);
        put(&i1, 4);
        break;
    case 2:
        block.AppendData("c", c1);
        put(&low, 1);
        break;
    case 3:
        block.AppendData("cffi", c1, (double)f1, (double)f2, i1);
        put(&low, 1);
        put(&f1, 4);
        put(&f2, 4);
        put(&i1, 4);
        break;
    case 4:
        // Letters without an argument take none.
        block.AppendData("w,f", (double)f2);
        put(&f2, 4);
        break;
    default:
        block.AppendData("");
        break;
    }
    if (block.Len() != old + (int)want.size()) abort();
    if (!want.empty() && memcmp(block.Ptr() + old, want.data(), want.size()) != 0) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    std::vector<unsigned char> bytes = fdp.ConsumeBytes<unsigned char>(fdp.ConsumeIntegralInRange(0, 512));
    DataBlock block;
    block.Append(bytes.data(), (int)bytes.size());
    int cursor = NewCursor(fdp, block.Len());
    for (int op = 0; op < 64 && fdp.remaining_bytes() > 0; op++) {
        const int before = cursor;
        const int len = block.Len();
        switch (fdp.ConsumeIntegralInRange(0, 6)) {
        case 0:
            CheckGetData(block, fdp, cursor);
            break;
        case 1: {
            std::string format = ConsumeFormat(fdp);
            int count = fdp.ConsumeIntegral<int>();
            long long rec = 0;
            for (char c : format)
                rec += (c == 'f' || c == 'i') ? 4 : c == 'c' ? 1 : 0;
            long long to = before + rec * count;
            to = to > INT_MAX ? INT_MAX : to < INT_MIN ? INT_MIN : to;
            block.SkipData(&cursor, format.c_str(), count);
            if (cursor != to) abort();
            break;
        }
        case 2: {
            std::vector<unsigned char> copy(block.Ptr(), block.Ptr() + len);
            block.SetData(&cursor, "fic", 1.0, 2, 3);
            if (cursor != before || block.Len() != len || (len > 0 && memcmp(copy.data(), block.Ptr(), len) != 0))
                abort();
            break;
        }
        case 3:
            CheckAppendData(block, fdp);
            break;
        case 4:
            block.SkipToNextLine(&cursor);
            if (before < 0 || before >= len) {
                if (cursor != before) abort();
            } else {
                // On the first byte of the next line, or at the end.
                if (cursor < before || cursor > len) abort();
                if (cursor < len && (IsLineEnd(block.Ptr()[cursor]) || !IsLineEnd(block.Ptr()[cursor - 1])))
                    abort();
            }
            break;
        case 5:
            block.ToBeginningOfLine(&cursor);
            if (before <= 0) {
                if (cursor != before) abort();
            } else {
                // Just after the nearest line end before it, or at 0.
                int top = before < len ? before : len;
                if (cursor < 0 || cursor > top) abort();
                if (cursor > 0 && !IsLineEnd(block.Ptr()[cursor - 1])) abort();
                for (int b = cursor; b < top; b++)
                    if (IsLineEnd(block.Ptr()[b])) abort();
            }
            break;
        default:
            cursor = NewCursor(fdp, len);
            break;
        }
    }
    return 0;
}
