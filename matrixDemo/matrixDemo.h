// Matrix printer: prints a matrix of ints held row after row in one array.
#pragma once

// Prints each of the `rows` rows of `matrix` (`cols` values per row, the value of row i and
// column j at i * cols + j) on one line, every value as "\t%d". Prints nothing when
// `rows` is 0 or less, and one empty line per row when `cols` is 0 or less. A null
// `matrix` with values to print prints nothing. Returns 0.
int func(int *matrix, int rows, int cols);
