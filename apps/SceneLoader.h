#pragma once
// SceneLoader: builds the scene a command line names, for every program that draws one: the model
// files through ModelReader (one colour each, in turn, with --alpha as their opacity; a textured
// mesh shows its image's own colours), or without files the built-in scene --scene chooses.
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
