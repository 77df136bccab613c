// The hasher is header-only; this unit makes sure the header compiles on its own and gives the
// library a translation unit that links BLAKE3.
#include "audio/hash/Blake3.h"
