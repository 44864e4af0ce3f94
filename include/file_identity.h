// Whether two names are one file: the same spelling, another spelling ("./out"), a
// symbolic or a hard link; or, for files not there yet, the same name in the same
// directory.
#ifndef TAVO_INCLUDE_FILE_IDENTITY_H_
#define TAVO_INCLUDE_FILE_IDENTITY_H_

// True when a and b name the same file, or would once it is created. Names whose
// file and directory cannot be had are compared by their spelling.
bool SameFile(const char* a, const char* b);

// False when name is a directory, a FIFO or a device (a link to one included): what
// would hold a reader waiting, or feed it without end. True for a regular file, and
// for a name that cannot be opened, whose open for reading will say why.
bool NamesPlainFile(const char* name);

#endif  // TAVO_INCLUDE_FILE_IDENTITY_H_
