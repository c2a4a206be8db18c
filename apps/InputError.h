#pragma once
// InputError: bad input to the renderer (a mesh file, an option, an output path). Its message is
// one line naming what was wrong and where ("file.stl:12: ..."); the program prints it after its
// own name and exits with status 2. Thrown by the model readers, Options and the output writer.
// Control characters in the message (from a file name, say) are escaped as \n, \t or \xHH, so a
// message stays one line whatever the user's paths hold.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

class InputError : public std::runtime_error {
public:
    explicit InputError(const std::string& message) : std::runtime_error(Printable(message)) {}

    static std::string Printable(std::string_view text) {
        std::string result;
        result.reserve(text.size());
        for (const char character : text) {
            const auto byte = static_cast<unsigned char>(character);
            if (byte == '\n')
                result += "\\n";
            else if (byte == '\t')
                result += "\\t";
            else if (byte == '\r')
                result += "\\r";
            else if (byte < 0x20 || byte == 0x7f) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", unsigned(byte));
                result += escaped;
            } else
                result += character;
        }
        return result;
    }
};
