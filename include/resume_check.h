// Whether the output really holds a copy of the input where a resumed copy goes on.
#ifndef TAVO_INCLUDE_RESUME_CHECK_H_
#define TAVO_INCLUDE_RESUME_CHECK_H_

// With an output resumed at Position > 0 (and not in backup mode): compares the
// input's last MiB before where the copy goes on with the output there, and blocks
// further back where that MiB begins with a difference. Moves Position back to where
// the output stops agreeing with the input, with a line that names it; ends the run
// with exit code 2, writing nothing, when it agrees nowhere. Its reads count nowhere.
void CheckResume();

#endif  // TAVO_INCLUDE_RESUME_CHECK_H_
