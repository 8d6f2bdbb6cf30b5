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
    testing::ValuesIn(std::vector<ProgramCase>{
        {"help",
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
        {"version", {"--version"}, "", 0, version("sizeAnalyser"), ""},
        {"helpSecond", {".", "--help"}, "", 2, "", analyserUsage},
        {"shortOption", {"-h"}, "", 2, "", analyserUsage},
        // One argument names the directory; any other shape is refused before anything is read.
        {"twoDirectories", {".", "."}, "", 2, "", analyserUsage, "-1\n"},
        {"otherOption", {"-x"}, "", 2, "", analyserUsage, "-1\n"},
        {"emptyArgument", {""}, "", 2, "", analyserUsage, "-1\n"}}),
    tgatest::rowName);

INSTANTIATE_TEST_SUITE_P(
    histoDemo, Arguments,
    testing::ValuesIn(std::vector<ProgramCase>{
        {"help",
         {"--help", "x"},
         "",
         0,
         "Usage : @ [file]\nDraws the colour histogram of a synthetic staircase, or of "
         "the TGA image in file, into\ntest.tga in the working directory and prints "
         "the colour selector and pixel count.\n" +
             kOptions,
         ""},
        {"version", {"--version"}, "", 0, version("histoDemo"), ""},
        {"helpSecond", {"a.tga", "--help"}, "", 2, "", "Usage : @ [file]\n"}}),
    tgatest::rowName);

INSTANTIATE_TEST_SUITE_P(
    matrixDemo, Arguments,
    testing::ValuesIn(std::vector<ProgramCase>{
        {"help",
         {"--help"},
         "",
         0,
         "Usage : @\nPrints the 3 x 3 matrix of the values 1 to 9, one row "
         "per line, each value after a tab.\n" +
             kOptions,
         ""},
        {"version", {"--version", "--help"}, "", 0, version("matrixDemo"), ""}}),
    tgatest::rowName);

INSTANTIATE_TEST_SUITE_P(
    server, Arguments,
    testing::ValuesIn(std::vector<ProgramCase>{
        {"help",
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
        {"version", {"--version"}, "", 0, version("server"), ""},
        {"versionOnFullDisk",
         {"--version"},
         ">/dev/full",
         1,
         "",
         "server: No space left on device\n"},
        {"helpSecond", {"5000", "--help"}, "", 1, "", serverUsage},
        // Usage errors come before anything is listened on.
        {"noArgument", {}, "", 1, "", serverUsage},
        {"twoArguments", {"1", "2"}, "", 1, "", serverUsage},
        // A port is a decimal number from 1 to 65535, and nothing else.
        {"portWithLetter", {"5000x"}, "", 1, "", serverUsage},
        {"portTooLarge", {"70000"}, "", 1, "", serverUsage},
        {"portOfLetters", {"abc"}, "", 1, "", serverUsage},
        {"portZero", {"0"}, "", 1, "", serverUsage},
        {"portNegative", {"-5000"}, "", 1, "", serverUsage},
        // The talk port can never be the service port too.
        {"talkPort",
         {"1111"},
         "",
         1,
         "",
         "Impossible d'etablir une liaison: Address already in use\n"}}),
    tgatest::rowName);

INSTANTIATE_TEST_SUITE_P(
    client, Arguments,
    testing::ValuesIn(std::vector<ProgramCase>{
        {"help",
         {"--help", "a", "b"},
         "",
         0,
         clientUsage +
             "Chats as username with the server on machine, port-number (1 to 65535): "
             "sends what is\ntyped, shows the server's info replies and stores the "
             "image it sends on \"envoie\" as\noutput/testsortie.tga.\n" +
             kOptions,
         ""},
        {"version", {"--version"}, "", 0, version("client"), ""},
        {"helpSecond", {"127.0.0.1", "--help", "bob"}, "", 1, "", clientUsage},
        {"twoArguments", {"a", "1"}, "", 1, "", clientUsage},
        {"fourArguments", {"a", "1", "b", "c"}, "", 1, "", clientUsage},
        {"portTooLarge", {"127.0.0.1", "65536", "bob"}, "", 1, "", clientUsage},
        {"portEmpty", {"127.0.0.1", "", "bob"}, "", 1, "", clientUsage},
        {"portBeforeMachine", {"no.such.host.invalid", "5000x", "bob"}, "", 1, "", clientUsage}}),
    tgatest::rowName);

}  // namespace
