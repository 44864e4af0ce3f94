// Whether the output really holds a copy of the input where a resumed copy goes on.
#ifndef TAVO_INCLUDE_RESUME_CHECK_H_
#define TAVO_INCLUDE_RESUME_CHECK_H_

// With an output resumed at Position > 0 (and not in backup mode): compares the
// input's last MiB before where the copy goes on with the output there. Moves
// Position back to the first sector that differs, with a line that names it; ends
// the run with exit code 2, writing nothing, when the output is not a copy of the
// input at all. Its reads count nowhere.
void CheckResume();

#endif  // TAVO_INCLUDE_RESUME_CHECK_H_
