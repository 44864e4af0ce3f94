// How much of an existing output can be trusted to hold a copy of the input: the one
// judge of every rerun, with or without a map.
#ifndef TAVO_INCLUDE_TRUSTED_COPY_H_
#define TAVO_INCLUDE_TRUSTED_COPY_H_

#include <cstdint>

struct TrustVerdict {
  int64_t end;    // the copy goes on from here; -1: no copy at all
  bool differed;  // a sector compared differs from the input
};

// The output is taken to hold the input up to `end`. A sector proves the copy when
// input and output hold it alike and it is not all zeros: a failed write, a failed
// read filled with zeros, a share's zero pages and a power cut all leave zeros. The
// copy goes on just after the nearest proven sector below the first one that differs.
// The last MiB below end is compared sector by sector; further back, one block at
// distances doubling from end down to floor, when that MiB differs somewhere, or
// when beyondZeros and it proves nothing. An input read that fails ends what is
// compared there: the copy goes on from that block at the latest, so that it is
// tried again. Nothing proven gives floor, or -1 when sectors differed.
TrustVerdict TrustedCopyEnd(int64_t floor, int64_t end, bool beyondZeros);

// Just after the sectors from `from` on that each prove the copy, up to end: the first
// that differs, holds only zeros, or cannot be read ends them.
int64_t ProvenFrom(int64_t from, int64_t end);

// The line that says the copy goes on from offset, and why.
void SayCopyGoesOnFrom(int64_t offset, bool differed);

#endif  // TAVO_INCLUDE_TRUSTED_COPY_H_
