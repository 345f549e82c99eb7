// The one translation unit that compiles stb_image's implementation for the program.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
