#pragma once

#include <string>

// The TTable engine is built into the program: its start checks that it has
// a table driver to serve tables with, which on this platform always holds.
// An open that fails because the engine did not start raises an error whose
// message contains "initialized".

// Whether the engine has started.
bool BDELoaded();
// Starts the engine; runs once, later calls do nothing. Failures only leave
// BDELoaded false.
void InitializeBDE();
// The engine library's path from the registry. There is no engine library
// and no registry here, so it is empty.
std::string GetBDEDllPath();
