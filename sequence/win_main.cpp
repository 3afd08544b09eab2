// The program's entry as a Windows GUI-subsystem program: no console is opened
// for it and it creates no window.
#include "sequence/install_sequence.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showState) {
    return RunInstallSequence(instance, previousInstance, commandLine, showState);
}
