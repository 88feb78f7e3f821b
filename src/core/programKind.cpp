#include "programKind.h"

static ProgramKind gProgram = ProgramKind::Engine;

ProgramKind CurrentProgram() { return gProgram; }
void SetCurrentProgram(ProgramKind kind) { gProgram = kind; }
