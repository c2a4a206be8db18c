#pragma once
// SceneLoader: builds the scene a command line names, for every program that draws one: the model
// files through ModelReader (a mesh takes its material's colour, or else its file's colour in
// turn; a textured mesh shows its image's own colours; the opacity is the material's times
// --alpha, transparent below 1), or without files the built-in scene --scene chooses.
// Triangles the readers left out are counted on `errors` as one line after the program's name.
// Bad input throws InputError. Stateless.
#include "apps/Options.h"
#include "apps/Scene.h"

#include <ostream>
#include <string>

class SceneLoader {
public:
    static Scene Load(const Options& options, const std::string& program, std::ostream& errors);
};
