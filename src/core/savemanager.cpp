// savemanager: save data as whole files.
#include "savemanager.h"
#include "programKind.h"
#include "wholefile.h"

SaveManager::SaveManager() : velkRun(IsVelkRun()) {}

SaveManager::~SaveManager() {}

void SaveManager::SetGame(const char* game) {
    // A null game name is kept as the empty string.
    gameName.Assign(game ? game : "");
}

void SaveManager::SaveData(const char* name, DataBlock* data) {
    if (velkRun || !name || !data) return;
    data->WriteFile(name);
}

void SaveManager::SaveBytes(const char* name, const char* bytes, size_t n) {
    if (velkRun || !name || (!bytes && n > 0)) return;
    WriteWholeFile(name, bytes, n);
}

void SaveManager::LoadData(const char* name, DataBlock* data) {
    if (velkRun || !name || !data) return;
    data->ReadFile(name);
}
