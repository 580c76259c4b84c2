#pragma once

// Copies a NUL-terminated text into a fixed buffer of `size` bytes: the whole buffer is zeroed,
// then at most `size - reserve` bytes of the text are copied (a reserve of 1 keeps room for the
// terminator). Returns the number of bytes copied; 0 for a negative size or a null pointer.
int CopyBounded(char* destination, int size, const char* source, int reserve);
