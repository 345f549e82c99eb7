// The one translation unit that compiles stb_image_write's implementation for the program.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
