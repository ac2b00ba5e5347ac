// The process entry. The framework owns main(); the user program supplies
// UserInit and UserMain.
#include "shell/shell.h"

int main(int argc, char** argv) {
    return kaplo::run_shell(argc, argv);
}
