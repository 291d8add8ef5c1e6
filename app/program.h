// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_PROGRAM_H_
#define VARNOKET_APP_PROGRAM_H_

#include <windows.h>

namespace varnoket::app {

// The whole life of the program on the calling thread: COM, the common
// controls and the main dialog from the resources of "instance", shown with
// "showCommand", with a message loop that offers the dialog each message
// first, until it quits. Returns the quit message's code (2 after Exit, Esc or Close), or
// 0 when the dialog cannot be created.
int RunProgram(HINSTANCE instance, int showCommand);

// The show command the process was started with, from its start-up
// information, or SW_SHOWDEFAULT when that carries none.
int StartupShowCommand();

}  // namespace varnoket::app

#endif  // VARNOKET_APP_PROGRAM_H_
