// The stb image decoder's code, for the web build: on Linux the Debian
// package ships it as a library. Only the formats the artwork uses (BMP
// face strip, GIF frame). Its own warnings are not ours.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#include <stb_image.h>
