#pragma once

#include <string>

// Absolute path of the program file this process runs, as a scheduled work
// item must start it again (the current directory says nothing about where
// the program lives). Empty when the system does not tell.
std::string OwnExecutablePath();
