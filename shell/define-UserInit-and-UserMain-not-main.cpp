// The process entry. The framework owns main(); the user program supplies
// UserInit and UserMain.
//
// Every way of linking a user program (kaplo::main, kaplo.pc) asks the
// linker for kaplo_framework_main, so this object is always linked and a
// program that defines its own main() fails with "multiple definition of
// `main'". The linker names this file in that message: its name is the
// advice.
#include "shell/shell.h"

extern "C" {
extern const char kaplo_framework_main[];
const char kaplo_framework_main[] = "KAPLO: define UserInit and UserMain, not main";
}

int main(int argc, char** argv) {
    return kaplo::run_shell(argc, argv);
}
