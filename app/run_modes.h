// The modes of the program, one per entry of the command line.
#pragma once

#include "app/command_line.h"

int RunDecodeMode(const CCommandLine& commandLine);  // --wav and --raw
int RunInfoMode(const CCommandLine& commandLine);    // --info
int RunPlayMode(const CCommandLine& commandLine);    // --play
int RunWindowMode(int argc, char** argv, const CCommandLine& commandLine);
