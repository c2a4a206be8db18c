#pragma once
// ProgramMain: the outer frame of every command-line program here: runs the program's body and turns
// what escapes it into one line on standard error after the program's name and an exit status:
// 2 for bad input (InputError), 1 for running out of memory or any other failure.
#include <string>

class ProgramMain {
public:
    using Body = int (*)(int argc, char** argv);

    static int Run(const std::string& program, Body body, int argc, char** argv);
};
