// Every program asked for its help or its version, or given wrong arguments, run as a process.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/tempdir.h"

namespace {

const std::string kOptions =
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

std::string version(const std::string &name) {
    return "tgakit-" + name +
           " (tgakit) " TGAKIT_VERSION "\nCopyright (c) 2026 the tgakit authors. MIT License.\n";
}

struct Case {
    std::string program;            // run by its path in the build
    std::vector<std::string> args;  // after the program
    int status;
    std::string out, err;  // "@" stands for the program as invoked
};

std::string expand(std::string text, const std::string &path) {
    for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size()))
        text.replace(at, 1, path);
    return text;
}

// Help and version print on the standard output and touch nothing else: no chart is drawn, no
// port listened on, no input waited for. Usage errors keep their texts and statuses.
TEST(programs, HelpVersionAndUsageErrors) {
    const std::string serverUsage = "Usage : @ port-number\n";
    const std::string clientUsage = "Usage : @ machine port-number username\n";
    const std::string analyserUsage = "Usage : @ [directory]\n";
    const Case cases[] = {
        {"sizeAnalyser",
         {"--help"},
         0,
         analyserUsage +
             "Prints the size figure (width x height x 3 / 1000) of every TGA image of the "
             "directory\n(without one, of the images the program was installed with), reads "
             "thresholds from the\nstandard input up to -1 and says how many images fall into "
             "each class they bound.\n" +
             kOptions,
         ""},
        {"histoDemo",
         {"--help", "x"},
         0,
         "Usage : @ [file]\nDraws the colour histogram of a synthetic staircase, or of the TGA "
         "image in file, into\ntest.tga in the working directory and prints the colour selector "
         "and pixel count.\n" +
             kOptions,
         ""},
        {"matrixDemo",
         {"--help"},
         0,
         "Usage : @\nPrints the 3 x 3 matrix of the values 1 to 9, one row per line, each value "
         "after a tab.\n" +
             kOptions,
         ""},
        {"server",
         {"--help"},
         0,
         serverUsage +
             "Chats with one client: takes its service connection on port-number (1 to 65535) "
             "and\nits talk connection on port 1111, shows its lines, answers \"envoie\" with the "
             "image\ninput/vorla.tga and \"info\" with the operator's next line.\n" +
             kOptions,
         ""},
        {"client",
         {"--help", "a", "b"},
         0,
         clientUsage +
             "Chats as username with the server on machine, port-number (1 to 65535): sends what "
             "is\ntyped, shows the server's info replies and stores the image it sends on "
             "\"envoie\" as\noutput/testsortie.tga.\n" +
             kOptions,
         ""},
        {"sizeAnalyser", {"--version"}, 0, version("sizeAnalyser"), ""},
        {"histoDemo", {"--version"}, 0, version("histoDemo"), ""},
        {"matrixDemo", {"--version", "--help"}, 0, version("matrixDemo"), ""},
        {"server", {"--version"}, 0, version("server"), ""},
        {"client", {"--version"}, 0, version("client"), ""},

        // Only the first argument is an option.
        {"sizeAnalyser", {".", "--help"}, 2, "", analyserUsage},
        {"sizeAnalyser", {"-h"}, 2, "", analyserUsage},
        {"histoDemo", {"a.tga", "--help"}, 2, "", "Usage : @ [file]\n"},
        {"server", {"5000", "--help"}, 1, "", serverUsage},
        {"client", {"127.0.0.1", "--help", "bob"}, 1, "", clientUsage},
        // A port is a decimal number from 1 to 65535, and nothing else.
        {"server", {"5000x"}, 1, "", serverUsage},
        {"server", {"70000"}, 1, "", serverUsage},
        {"server", {"abc"}, 1, "", serverUsage},
        {"server", {"0"}, 1, "", serverUsage},
        {"server", {"-5000"}, 1, "", serverUsage},
        {"client", {"127.0.0.1", "65536", "bob"}, 1, "", clientUsage},
        {"client", {"127.0.0.1", "", "bob"}, 1, "", clientUsage},
        {"client", {"no.such.host.invalid", "5000x", "bob"}, 1, "", clientUsage},
    };
    for (const Case &c : cases) {
        tgatest::TempDir dir;
        const std::string path = tgatest::program(c.program).string();
        std::vector<std::string> argv{path};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        tgatest::RunOptions options;
        options.cwd = dir.path();
        options.timeout = std::chrono::seconds(10);
        const auto r = tgatest::run(argv, options);
        const std::string what = c.program + (c.args.empty() ? "" : " " + c.args[0]);
        EXPECT_EQ(r.exitCode, c.status) << what;
        EXPECT_EQ(r.out, expand(c.out, path)) << what;
        EXPECT_EQ(r.err, expand(c.err, path)) << what;
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << what;
    }
}

TEST(programs, HelpThatCannotBeWrittenFails) {
    const auto r = tgatest::run(
        {"/bin/sh", "-c", "exec \"$0\" --version >/dev/full", tgatest::program("server").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "server: No space left on device\n");
}

}  // namespace
