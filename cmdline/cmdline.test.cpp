// Every program asked for its help or its version, or given wrong arguments, run as a process.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/programCase.h"
#include "tests/support/tempdir.h"

namespace {

using tgatest::ProgramCase;

const std::string kOptions =
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

std::string version(const std::string &name) {
    return "tgakit-" + name +
           " (tgakit) " TGAKIT_VERSION "\nCopyright (c) 2026 the tgakit authors. MIT License.\n";
}

const std::string serverUsage = "Usage : @ port-number\n";
const std::string clientUsage = "Usage : @ machine port-number username\n";
const std::string analyserUsage = "Usage : @ [directory]\n";

// Help and version print on the standard output and touch nothing else: no chart is drawn, no
// port listened on, no input waited for. Usage errors keep their texts and statuses. Only the
// first argument is an option.
class Arguments : public testing::TestWithParam<ProgramCase> {};

TEST_P(Arguments, Case) {
    tgatest::TempDir dir;
    tgatest::expectCase(GetParam(), dir.path());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(
    sizeAnalyser, Arguments,
    testing::Values(
        ProgramCase{"help",
                    {"--help"},
                    "",
                    0,
                    analyserUsage +
                        "Prints the size figure (width x height x 3 / 1000) of every TGA image "
                        "of the directory\n(without one, of the images the program was installed "
                        "with), reads thresholds from the\nstandard input up to -1 and says how "
                        "many images fall into each class they bound.\n" +
                        kOptions,
                    ""},
        ProgramCase{"version", {"--version"}, "", 0, version("sizeAnalyser"), ""},
        ProgramCase{"helpSecond", {".", "--help"}, "", 2, "", analyserUsage},
        ProgramCase{"shortOption", {"-h"}, "", 2, "", analyserUsage},
        // One argument names the directory; any other shape is refused before anything is read.
        ProgramCase{"twoDirectories", {".", "."}, "", 2, "", analyserUsage, "-1\n"},
        ProgramCase{"otherOption", {"-x"}, "", 2, "", analyserUsage, "-1\n"},
        ProgramCase{"emptyArgument", {""}, "", 2, "", analyserUsage, "-1\n"}),
    tgatest::rowName);

INSTANTIATE_TEST_SUITE_P(
    histoDemo, Arguments,
    testing::Values(
        ProgramCase{"help",
                    {"--help", "x"},
                    "",
                    0,
                    "Usage : @ [file]\nDraws the colour histogram of a synthetic staircase, or of "
                    "the TGA image in file, into\ntest.tga in the working directory and prints "
                    "the colour selector and pixel count.\n" +
                        kOptions,
                    ""},
        ProgramCase{"version", {"--version"}, "", 0, version("histoDemo"), ""},
        ProgramCase{"helpSecond", {"a.tga", "--help"}, "", 2, "", "Usage : @ [file]\n"}),
    tgatest::rowName);

INSTANTIATE_TEST_SUITE_P(
    matrixDemo, Arguments,
    testing::Values(ProgramCase{"help",
                                {"--help"},
                                "",
                                0,
                                "Usage : @\nPrints the 3 x 3 matrix of the values 1 to 9, one row "
                                "per line, each value after a tab.\n" +
                                    kOptions,
                                ""},
                    ProgramCase{
                        "version", {"--version", "--help"}, "", 0, version("matrixDemo"), ""}),
    tgatest::rowName);

INSTANTIATE_TEST_SUITE_P(
    server, Arguments,
    testing::Values(
        ProgramCase{"help",
                    {"--help"},
                    "",
                    0,
                    serverUsage +
                        "Chats with one client: takes its service connection on port-number (1 "
                        "to 65535) and\nits talk connection on port 1111, shows its lines, "
                        "answers \"envoie\" with the image\ninput/vorla.tga and \"info\" with the "
                        "operator's next line.\n" +
                        kOptions,
                    ""},
        ProgramCase{"version", {"--version"}, "", 0, version("server"), ""},
        ProgramCase{"versionOnFullDisk",
                    {"--version"},
                    ">/dev/full",
                    1,
                    "",
                    "server: No space left on device\n"},
        ProgramCase{"helpSecond", {"5000", "--help"}, "", 1, "", serverUsage},
        // Usage errors come before anything is listened on.
        ProgramCase{"noArgument", {}, "", 1, "", serverUsage},
        ProgramCase{"twoArguments", {"1", "2"}, "", 1, "", serverUsage},
        // A port is a decimal number from 1 to 65535, and nothing else.
        ProgramCase{"portWithLetter", {"5000x"}, "", 1, "", serverUsage},
        ProgramCase{"portTooLarge", {"70000"}, "", 1, "", serverUsage},
        ProgramCase{"portOfLetters", {"abc"}, "", 1, "", serverUsage},
        ProgramCase{"portZero", {"0"}, "", 1, "", serverUsage},
        ProgramCase{"portNegative", {"-5000"}, "", 1, "", serverUsage}),
    tgatest::rowName);

INSTANTIATE_TEST_SUITE_P(
    client, Arguments,
    testing::Values(
        ProgramCase{"help",
                    {"--help", "a", "b"},
                    "",
                    0,
                    clientUsage +
                        "Chats as username with the server on machine, port-number (1 to 65535): "
                        "sends what is\ntyped, shows the server's info replies and stores the "
                        "image it sends on \"envoie\" as\noutput/testsortie.tga.\n" +
                        kOptions,
                    ""},
        ProgramCase{"version", {"--version"}, "", 0, version("client"), ""},
        ProgramCase{"helpSecond", {"127.0.0.1", "--help", "bob"}, "", 1, "", clientUsage},
        ProgramCase{"twoArguments", {"a", "1"}, "", 1, "", clientUsage},
        ProgramCase{"fourArguments", {"a", "1", "b", "c"}, "", 1, "", clientUsage},
        ProgramCase{"portTooLarge", {"127.0.0.1", "65536", "bob"}, "", 1, "", clientUsage},
        ProgramCase{"portEmpty", {"127.0.0.1", "", "bob"}, "", 1, "", clientUsage},
        ProgramCase{
            "portBeforeMachine", {"no.such.host.invalid", "5000x", "bob"}, "", 1, "", clientUsage}),
    tgatest::rowName);

}  // namespace
