// Command-word helpers: split a line into words, recognise keywords, convert and join words.
#pragma once

// 1 when `str` begins with `prefix` (byte for byte, case-sensitive), 0 when not,
// -1 when either argument is null.
int startswith(const char *prefix, const char *str);

// The colour selector of a colour word: each b/B adds 1, g/G adds 10, r/R adds 100.
int calculBgr(const char *str);
