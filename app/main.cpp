// SPDX-License-Identifier: MIT
// Varnoket.exe: cleans a folder of SGF game records into another folder. The
// command line is ignored.
#include <windows.h>

#include "app/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return varnoket::app::RunProgram(instance, varnoket::app::StartupShowCommand());
}
