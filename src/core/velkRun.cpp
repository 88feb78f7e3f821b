// velkRun: runs the one script named on the command line, with the window options given
// there and no launcher.
#include "luathingy.h"
#include "programKind.h"

#include <cstdio>

int main(int argc, char** argv) {
    // Log lines reach a pipe or a file as they are printed, not at exit.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    // Chosen before the host is built: the objects read it when they are constructed.
    SetCurrentProgram(ProgramKind::Run);
    LuaThingy host;
    host.DeclareArgs(argc, argv);
    host.ParseArgs();
    host.SetupStandardWindow();
    int r = host.Init();
    while (r == 0)
        r = host.TimeStep();
    return 0;
}
