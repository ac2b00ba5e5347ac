#pragma once

namespace kaplo {

// The one-line command console in the current text window: prints "Cmd>",
// reads a line and carries out one command. 0 recognised, 1 not.
int run_console();

}  // namespace kaplo
