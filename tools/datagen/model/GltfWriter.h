#pragma once
#include "model/Mesh.h"

#include <filesystem>

namespace gen {

// Writes `mesh` as <path> (.gltf JSON) with its buffer in <stem>.bin beside it.
// Game coordinates are mirrored to glTF's right-handed ones (z -> -z, winding
// swapped), which the game's loader undoes.
bool WriteGltf(const std::filesystem::path& path, const Mesh& mesh);

}  // namespace gen
