// programKind: which of the two programs this process is.
// velkRun keeps an older behaviour in a few places (no sound output, no path prefix,
// no save data, radians in GRotate, the older space mapper ...). Those places ask
// IsVelkRun() when their object is built or called, so both behaviours live in one
// library and the tests can exercise each.
#pragma once

enum class ProgramKind { Engine, Run };

ProgramKind CurrentProgram();
void SetCurrentProgram(ProgramKind kind);
inline bool IsVelkRun() { return CurrentProgram() == ProgramKind::Run; }
