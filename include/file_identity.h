// Whether two names are one file: the same spelling, another spelling ("./out"), a
// symbolic or a hard link; or, for files not there yet, the same name in the same
// directory.
#ifndef TAVO_INCLUDE_FILE_IDENTITY_H_
#define TAVO_INCLUDE_FILE_IDENTITY_H_

// True when a and b name the same file, or would once it is created. Names whose
// file and directory cannot be had are compared by their spelling.
bool SameFile(const char* a, const char* b);

#endif  // TAVO_INCLUDE_FILE_IDENTITY_H_
