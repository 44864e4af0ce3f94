// Whether the output really holds a copy of the input where a resumed copy goes on.
#ifndef TAVO_INCLUDE_RESUME_CHECK_H_
#define TAVO_INCLUDE_RESUME_CHECK_H_

// With an output resumed at Position > 0 (not in backup mode, and without a map read
// from its file, which is checked by the map itself): judges the output up to where
// the copy goes on as trusted_copy.h does, moves Position back to just after the last
// sector that proves the copy, with a line that names it, and ends the run with exit
// code 2, writing nothing, when sectors differ and none proves it. Its reads count
// nowhere.
void CheckResume();

#endif  // TAVO_INCLUDE_RESUME_CHECK_H_
