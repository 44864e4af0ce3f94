/* The floor for "read the input in requests of SIZE bytes": one pread per request
   into one page-aligned buffer, ending at the first short read; with an output, one
   pwrite of what was read at the same offset, and one fsync at the end, as tavo
   flushes its output. Nothing else: no clock, no keys, no console.
   Usage: bare_loop INPUT SIZE [OUTPUT] */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    fputs("usage: bare_loop INPUT SIZE [OUTPUT]\n", stderr);
    return 2;
  }
  size_t size = strtoul(argv[2], NULL, 10);
  int in = open(argv[1], O_RDONLY);
  int out = argc == 4 ? open(argv[3], O_WRONLY | O_CREAT, 0666) : -1;
  void* buffer = NULL;
  if (size == 0 || in < 0 || (argc == 4 && out < 0) || posix_memalign(&buffer, 4096, size)) {
    perror("bare_loop");
    return 1;
  }
  for (off_t at = 0;; at += (off_t)size) {
    ssize_t got = pread(in, buffer, size, at);
    if (got < 0 || (out >= 0 && pwrite(out, buffer, (size_t)got, at) != got)) {
      perror("bare_loop");
      return 1;
    }
    if ((size_t)got < size) return out >= 0 && fsync(out) != 0 ? (perror("bare_loop"), 1) : 0;
  }
}
