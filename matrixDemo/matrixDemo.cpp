// Matrix printer of the matrix demo.
#include "matrixDemo/matrixDemo.h"

#include <cstdio>

#include "matrixDemo/messages.h"

int func(int *matrix, int rows, int cols) {
    if (rows <= 0 || (matrix == nullptr && cols > 0)) return 0;
    const auto width = static_cast<std::size_t>(cols > 0 ? cols : 0);
    for (std::size_t row = 0; row < static_cast<std::size_t>(rows); ++row) {
        for (std::size_t col = 0; col < width; ++col)
            std::printf(matrixDemo_msg::kValue, matrix[row * width + col]);
        std::putchar('\n');
    }
    return 0;
}
