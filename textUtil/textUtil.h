// Command-word helpers: split a line into words, recognise keywords, convert and join words.
#pragma once

// A word table is an array of text pointers, one per word, ended by a null entry.

// Cuts `string` into words at spaces (0x20 only: tabs and newlines stay inside words), in
// place: the first space after each word becomes a terminator. Each word is copied into a
// buffer of its own, exactly its length plus one byte, stored in `argtab` from entry 0, and
// the entry after the last word is set to null; `argtab` needs room for the words plus one.
// Returns the number of words (0 for an empty or all-space text). The caller releases
// every word with free().
// If a word buffer cannot be allocated, the words made so far are released, entry 0 is
// set to null and -1 is returned. -1 also when either argument is null (nothing written).
int str_split(char *string, char **argtab);

// 1 when `str` begins with `prefix` (byte for byte, case-sensitive), 0 when not,
// -1 when either argument is null.
int startswith(const char *prefix, const char *str);

// Converts words 2 to `nb` - 1 of `argtab_class` into numbers: set[i - 2] receives the value
// of word i, each character adding (its signed value - '0') to ten times the sum so far.
// No sign and no digit check: "-5" gives -25, "1a" gives 59, an empty word 0. The sum
// wraps around in 32 bits. Words 0 and 1 are never read; `set` needs `nb` - 2 entries.
// A null entry ends the table: neither it nor any later word is converted, and their
// places in `set` are left as they were. Nothing happens when an argument is null.
void argStringToNb(int nb, char **argtab_class, int *set);

// Joins the first `nbOfArgTab` words of `argtab` with '<' between them ("b<g<r") in a
// buffer that replaces word 0's: the old word 0 buffer is released, the new one is stored
// in argtab[0] and returned. The caller releases it with free(), like the other words,
// which are left as they were. A null entry ends the table early.
// With `nbOfArgTab` of 1 or less, argtab[0] is returned unchanged (null for an empty
// table). If the joined text cannot be allocated, null is returned and the table is left
// untouched, word 0 included. Null when `argtab` is null.
char *ToStringHis(int nbOfArgTab, char **argtab);

// Turns every '<' of `str` into a space, in place, and returns a copy of the result in a
// new buffer that the caller releases with free(). Returns null when `str` is null or the
// copy cannot be allocated (`str` is still converted then).
char *convertirString(char *str);

// The colour selector of a colour word: each b/B adds 1, g/G adds 10, r/R adds 100,
// wherever it stands ("green" gives 110). 0 for a null text.
int calculBgr(const char *str);
