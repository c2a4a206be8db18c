#pragma once
// InputError: bad input to the renderer (a mesh file, an option, an output path). Its message is
// one line naming what was wrong and where ("file.stl:12: ..."); the program prints it after its
// own name and exits with status 2. Thrown by StlReader, Options and the output writer.
#include <stdexcept>
#include <string>

class InputError : public std::runtime_error {
public:
    explicit InputError(const std::string& message) : std::runtime_error(message) {}
};
