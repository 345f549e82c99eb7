// The one translation unit that compiles stb_image's implementation for the program. It is not
// made for hostile files; only its PNG and BMP decoders are built (JPEG goes to libjpeg-turbo).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#include <stb/stb_image.h>
