// The program's pictures as embedded BMP files, for backends without resources.
#pragma once

struct EmbeddedResource {
    int id;
    const unsigned char* begin;
    const unsigned char* end;
};

// The BMP file of bitmap resource id, or nullptr.
const EmbeddedResource* findEmbeddedResource(int id);
