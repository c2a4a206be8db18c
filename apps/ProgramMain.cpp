#include "apps/ProgramMain.h"

#include "apps/InputError.h"

#include <iostream>
#include <new>

int ProgramMain::Run(const std::string& program, Body body, int argc, char** argv) {
    try {
        return body(argc, argv);
    } catch (const InputError& error) {
        std::cerr << program << ": " << error.what() << std::endl;
        return 2;
    } catch (const std::bad_alloc&) {
        std::cerr << program << ": out of memory" << std::endl;
        return 1;
    } catch (const std::exception& error) {
        std::cerr << program << ": " << InputError::Printable(error.what()) << std::endl;
        return 1;
    }
}
