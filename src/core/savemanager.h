// savemanager: the script's save data, kept as whole files named by the script's key.
#pragma once
#include "datablock.h"

#include <cstddef>

class SaveManager {
  public:
    DataBlock gameName; // set on every save call; nothing reads it
    // Built inside velkRun, which has no save data: saving and loading do nothing there.
    bool velkRun;

    SaveManager();
    ~SaveManager();

    void SetGame(const char* game);
    // Writes the block's bytes to the file named exactly `name` (nothing when it cannot be created).
    void SaveData(const char* name, DataBlock* data);
    // Writes exactly `n` bytes (a final zero byte included) to the file named exactly `name`:
    // a script's text may be longer than a block can hold.
    void SaveBytes(const char* name, const char* bytes, size_t n);
    // Reads the file named exactly `name` into the block; a missing file leaves it as it was.
    void LoadData(const char* name, DataBlock* data);
};
