// Seed maker: reads a .gltf with its external buffers and writes it back
// self-contained, as a .glb when the output name ends in .glb, otherwise as
// .gltf text with the buffers inline. Images stay references.
#include <tiny_gltf.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN.gltf OUT.(glb|gltf)\n", argv[0]);
        return 2;
    }
    tinygltf::TinyGLTF gltf;
    gltf.SetImageLoader([](tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*,
                           int, void*) { return true; },
                        nullptr);
    tinygltf::Model model;
    std::string err, warn;
    if (!gltf.LoadASCIIFromFile(&model, &err, &warn, argv[1])) {
        std::fprintf(stderr, "%s: %s\n", argv[1], err.c_str());
        return 1;
    }
    const std::string out = argv[2];
    const bool binary = out.size() > 4 && out.compare(out.size() - 4, 4, ".glb") == 0;
    if (!gltf.WriteGltfSceneToFile(&model, out, false, true, false, binary)) {
        std::fprintf(stderr, "%s: cannot write\n", out.c_str());
        return 1;
    }
    return 0;
}
