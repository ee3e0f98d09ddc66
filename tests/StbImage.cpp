// The image decoder the tests read screenshots and textures with, compiled
// once for every test program (the game keeps a private copy of its own).
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
