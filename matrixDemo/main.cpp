// matrixDemo: prints the 3 x 3 matrix of the values 1 to 9.
#include <cstdlib>

#include "cmdline/cmdline.h"
#include "matrixDemo/matrixDemo.h"
#include "matrixDemo/messages.h"
#include "stdstreams/stdstreams.h"

int main(int argc, char **argv) try {
    stdstreams::openMissing();
    using namespace matrixDemo_msg;
    // Other arguments are ignored.
    if (const auto status = cmdline::standardOption(argc, argv, {kProgram, kUsage, kDescription}))
        return *status;
    int matrix[3 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    func(matrix, 3, 3);
    // Output that could not be written is a failure, not a normal end.
    return stdstreams::finish(kProgram, EXIT_SUCCESS);
} catch (...) {
    return stdstreams::escaped(matrixDemo_msg::kProgram);
}
