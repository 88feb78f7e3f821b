// datablock: the engine's one byte container (file contents, kept strings, vertex
// arrays, record tables, pixels, save data), its cursor reader for raw records and
// text words, the float array on top of it and two debug dumps to "VLLOG.txt".
#pragma once

class DataBlock {
  public:
    unsigned char* ptr; // owned storage; null until the first storage and after Delete
    int len;            // bytes in use
    int dim;            // bytes of storage
    bool eof;           // set by a 'w' read that reaches the end; never cleared

    // No copy constructor or assignment of our own on purpose: a copy shares the
    // storage (the space mapper keeps blocks inside another block's bytes).
    DataBlock(const char* s = nullptr);
    ~DataBlock();

    // Growing and filling.
    void Append(unsigned char* src, int n);
    void Append(const char* s, int n);
    void Append(DataBlock* other);
    void Append(char c);
    void AppendNull();
    void ResizeDim(int n);
    void Resize(int n);
    void RemoveEndNulls();
    void ZeroData();
    void Delete();

    // Assigning from strings and paths.
    void SetDataBuf(const char* s);
    void Assign(const char* s);
    void SetString(const char* s);
    void AssignFromDirectory(const char* path);
    void AssignFromFileFormat(const char* path);

    // Reading the contents.
    unsigned char* Ptr() { return ptr; }
    int Len() { return Size(); }
    int Size() { return len; }
    int NumFloats() { return len / 4; }
    bool EOFile() { return eof; }
    char* CStr();
    bool IsEqual(const char* s);

    // Whole files.
    bool ReadFile(const char* name);
    void WriteFile(const char* name);

    // Cursor reading: letters f (float), i (int), c (byte), w (word, 32-byte buffer).
    bool GetData(int* cursor, const char* format, ...);
    void SkipData(int* cursor, const char* format, int count);
    void SetData(int* cursor, const char* format, ...);
    void AppendData(const char* format, ...);
    void SkipToNextLine(int* cursor);
    void ToBeginningOfLine(int* cursor);
};

// A DataBlock used as an array of packed 4-byte floats.
class FloatDataBlock : public DataBlock {
  public:
    float* vals; // copy of ptr, refreshed by AddVal only

    FloatDataBlock();
    ~FloatDataBlock();

    void AddVal(float v);
    float GetVal(int i);
    int ValCount();
    float* GetPointer() { return vals; }
};

// Debug dumps (nothing in the engine calls them).
void LogBuffFloats(DataBlock* block, const char* label);
void ClearLog();
