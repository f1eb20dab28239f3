// What koru refuses, and how: every refusal is one line "koru: error: ..." on
// standard error, status 2 for a bad command line and 1 for anything else,
// nothing on standard output, and no file written, changed or left behind.
#include "koru_test_support.h"

#include <array>

namespace koru_cli_test {
namespace {

// A copy of `model` with one metadata line replaced (behind the checksum).
std::string Edited(const std::string& model, const std::string& from, const std::string& to) {
    std::string bytes = WithoutChecksum(ReadText(model));
    const std::string file = ScratchPath(to.substr(0, to.size() - 1) + ".net");
    WriteText(file, bytes.replace(bytes.find(from), from.size(), to));
    return file;
}

// The whole message for status 1, a part of it for usage errors.
struct Case { std::string label; std::vector<std::string> args; int status; std::string message; };

TEST(Refusals, OneLineAStatusAndNothingWrittenOrLeftBehind) {
    const std::string d = ScratchPath("d.csv"), f = ScratchPath("new.net"), dir = ScratchPath("");
    WriteText(d, ReadText(DataFile("iris.csv")));
    const std::string m = Train(d, {"--epochs", "20"}), pnn = Train(d, {"--paradigm", "pnn"}, "pnn.net");
    const std::string grnn = Train(DataFile("diabetes.csv"), {"--paradigm", "grnn"}, "grnn.net");
    const std::string asLvq = Edited(pnn, "paradigm=pnn\n", "paradigm=lvq\n");
    const std::string asXyz = Edited(pnn, "paradigm=pnn\n", "paradigm=xyz\n");
    const std::string hard = ScratchPath("d-link.csv"), sym = ScratchPath("m-link.net"), m2 = ScratchPath("./m.net");
    std::filesystem::create_hard_link(d, hard);
    std::filesystem::create_symlink(m, sym);
    auto file = [](const std::string& name, const std::string& text) { return WriteText(ScratchPath(name), text), ScratchPath(name); };
    const std::string tiny = file("tiny.net", "KORU"), foreign = file("foreign.net", std::string(600, '\x01'));
    const std::string daisy = file("daisy.csv", "sepal_length,sepal_width,petal_length,petal_width,species\n"
                                                "5.1,3.5,1.4,0.2,setosa\n5.0,3.4,1.5,0.2,daisy\n");
    const std::string noTarget = file("no-target.csv", "petal_width,petal_length,sepal_width,sepal_length\n0.2,1.4,3.5,5.1\n");
    const std::string noWidth = file("no-width.csv", "sepal_length,sepal_width,petal_length\n5.1,3.5,1.4\n");
    std::string wide, wideRow, tall = "x,class\n", thirtyLayers = "1";
    while (thirtyLayers.size() < 59) thirtyLayers += ",1";
    for (int c = 0; c < 100000; ++c) wide += 'c' + std::to_string(c) + ',', wideRow += "1,";
    for (int row = 0; row < 41000; ++row) tall += std::to_string(row % 97) + (row % 2 ? ",a\n" : ",b\n");
    const std::string columns = "(the columns are: sepal_length, sepal_width, petal_length, petal_width, species)";
    const std::string same = " is the same file as the ", tail = "; writing it would destroy it: choose another output file";
    const std::string floats = "is outside the range of 32-bit floats (about -3.4e38 to 3.4e38)";
    // Bad data, trained onto the existing model, which must survive.
    struct BadCsv { const char* label; std::string text, message; };
    // clang-format off
    const std::vector<BadCsv> badCsv = {
        {"missing value", "a,b,class\n1,2,x\n3,,y\n", ":3:2: missing value in column 'b'"},
        {"non-numeric", "a,b,class\n1,2,x\n\n3,4o,y\n", ":4:2: non-numeric value '4o' in column 'b'"},
        {"ragged", "a,b,class\n1,2,x\n3,4\n", ":3:3: ragged row: 2 fields, the header has 3"},
        {"no class", "a,b,class\n1,2,x\n3,4,\n", ":3:3: missing value in column 'class'"},
        {"not a number", "a,class\n1,p\nnan,q\n", ":3:1: missing value in column 'a'"},
        {"byte-order mark", "\xEF\xBB\xBF" "a,class\nz,p\n", ":2:1: non-numeric value 'z' in column 'a'"},
        {"NUL byte", std::string("a,class\n1\0x,p\n", 14), ":2:1: non-numeric value '1\\0x' in column 'a'"},
        {"line end in a cell", "a,class\n\"1\n2\",p\n", ":2:1: non-numeric value '1\\n2' in column 'a'"},
        {"long cell", "a,class\n" + std::string(1000, 'x') + ",p\n",
         ":2:1: non-numeric value '" + std::string(60, 'x') + "...' in column 'a'"},
        {"beyond float", "a,class\n1,p\n1e300,q\n", ":3:1: value '1e300' in column 'a' " + floats},
        {"unclosed quote", "a,class\n1,p\n1,\"p\n3,4\n", ":3: malformed CSV: a double quote that is never closed"},
        {"stray quote", "a,class\n1,p\n1\"x,p\n", ":3: malformed CSV: a stray double quote (error parsing data while strict checking enabled)"},
        {"empty file", "", ": empty file: a header row with column names is needed"},
        {"header alone", "a,class\n\n", ": no data rows after the header"},
        {"empty column name", "a, ,class\n1,2,p\n", ":1:2: empty column name in the header"},
        {"control bytes in a cell", "a,class\n\"1\r\x01\",p\n", ":2:1: non-numeric value '1\\r\\x01' in column 'a'"},
        {"wide, duplicate name", wide + "c99999\n", ":1:100001: duplicate column name 'c99999'"},
    };
    // clang-format on
    std::vector<Case> cases;
    for (size_t i = 0; i < badCsv.size(); ++i) {
        const std::string data = file("bad" + std::to_string(i) + ".csv", badCsv[i].text);
        cases.push_back({badCsv[i].label, {"train", data, "-o", m}, 1, data + badCsv[i].message});
    }
    const std::string wideFile = file("wide.csv", wide + "class\n" + wideRow + "p\n"), tallFile = file("tall.csv", tall);
    auto train = [&](std::vector<std::string> options) { return options.insert(options.begin(), {"train", d, "-o", f}), options; };
    // clang-format off
    const std::vector<Case> more = {
        {"no subcommand", {}, 2, "A subcommand is required"},
        {"unknown subcommand", {"frobnicate"}, 2, "unknown command 'frobnicate' (use train, cv, eval, predict,"},
        {"unknown option", train({"--bogus"}), 2, "The following argument was not expected: --bogus"},
        {"no output", {"train", d}, 2, "--output is required"},
        {"no data", {"eval", m}, 2, "DATA.csv is required"},
        {"a list takes one value", {"train", "--inputs", "a", "b", d, "-o", f}, 2, "not expected: " + d},
        {"unknown paradigm", train({"--paradigm", "som"}), 2, "som"},
        {"--hidden of pnn", train({"--paradigm", "pnn", "--hidden", "4"}), 2, "--hidden applies to --paradigm bp, not pnn"},
        {"--sigma of bp", train({"--sigma", "0.2"}), 2, "--sigma applies to --paradigm grnn or pnn, not bp"},
        {"lvq kernel", train({"--paradigm", "lvq", "--kernel", "city-block"}), 2, "city-block"},
        {"sigma and a search", train({"--paradigm", "pnn", "--sigma", "0.3", "--pick-sigma", "loo"}), 2,
         "--sigma sets the smoothing factor; it cannot go with --pick-sigma loo"},
        {"validation", train({"--validation", "0.95"}), 2, "--validation must be at least 0 and at most 0.9, not 0.95"},
        {"validation empty", train({"--validation", ""}), 2, "--validation needs a value, not an empty one"},
        {"bp rate", train({"--rate", "-1"}), 2, "--rate must be above 0 and at most 10, not -1"},
        {"momentum", train({"--momentum", "1"}), 2, "--momentum must be at least 0 and below 1, not 1"},
        {"grnn sigma", train({"--paradigm", "grnn", "--sigma", "-0.5"}), 2, "--sigma must be above 0 and at most 1e+06"},
        {"final rate", train({"--paradigm", "lvq", "--final-rate", "1.5"}), 2, "--final-rate must be at least 0 and at most 1"},
        {"unknown target", train({"--target", "colour"}), 1, d + ": unknown column 'colour' " + columns},
        {"unknown input", train({"--inputs", "sepal_length,petal_size"}), 1, d + ": unknown column 'petal_size' " + columns},
        {"text target regressed", train({"--task", "regress"}), 1, d + ":2:5: non-numeric value 'setosa' in column 'species'"},
        {"pnn regressing", train({"--paradigm", "pnn", "--task", "regress"}), 1, "pnn nets classify; use bp or grnn to regress"},
        {"plot without a curve", train({"--paradigm", "pnn", "--sigma", "0.1", "--plot", dir + "c.svg"}), 1,
         "--plot needs a training curve: pnn and grnn have one only with --pick-sigma loo or validation"},
        {"wide, unknown target", {"train", wideFile, "-o", m, "--target", "nope"}, 1, wideFile +
         ": unknown column 'nope' (the columns are: c0, c1, c2, c3, c4, c5, c6, c7, c8, c9 and 99991 more)"},
        {"more rows than a PNN holds", {"train", tallFile, "-o", m, "--paradigm", "pnn", "--sigma", "0.1"}, 1,
         "a PNN holds at most 32767 training patterns; this set has 41000 "
         "(--sample N trains on N rows drawn at random with --seed)"},
        {"-o DATA", {"train", d, "-o", d}, 1, "-o " + d + same + "input DATA.csv " + d + tail},
        {"--plot DATA", train({"--plot", d}), 1, "--plot " + d + same + "input DATA.csv " + d + tail},
        {"--plot = -o", {"train", d, "-o", m, "--plot", m2}, 1, "--plot " + m2 + same + "output -o " + m + tail},
        {"predict -o DATA", {"predict", m, d, "-o", hard}, 1, "-o " + hard + same + "input DATA.csv " + d + tail},
        {"predict -o MODEL", {"predict", m, d, "-o", sym}, 1, "-o " + sym + same + "input MODEL.net " + m + tail},
        {"predict -o MODEL spelt otherwise", {"predict", sym, d, "-o", m2}, 1, "-o " + m2 + same + "input MODEL.net " + sym + tail},
        {"-o in a missing folder", {"train", d, "-o", dir + "no/m.net"}, 1,
         "-o " + dir + "no/m.net: cannot write into the folder " + dir + "no (No such file or directory)"},
        {"-o a folder", {"train", d, "-o", dir}, 1, "-o " + dir + " is a folder, not a file to write"},
        {"-o not a regular file", {"train", d, "-o", "/dev/null"}, 1,
         "-o /dev/null is not a regular file; koru writes its outputs as regular files"},
        {"eval CSV as a model", {"eval", d, d}, 1, d + " looks like a CSV file, not a model; usage: koru eval MODEL.net DATA.csv"},
        {"predict a model as data", {"predict", pnn, pnn}, 1,
         pnn + " looks like a network file, not CSV data; usage: koru predict MODEL.net DATA.csv"},
        {"foreign file", {"info", foreign}, 1, foreign + ": not a network file (its table sizes are not 32 and 32)"},
        {"short file", {"info", tiny}, 1, tiny + ": not a network file, or a truncated one (it is shorter than the 530-byte header)"},
        {"missing file", {"eval", f, d}, 1, f + ": cannot open the file"},
        {"metadata of another paradigm", {"eval", asLvq, d}, 1,
         asLvq + ": the metadata does not fit the net (metadata for lvq, a net of paradigm 8)"},
        {"30 hidden layers", train({"--hidden", thirtyLayers}), 1, "--hidden: at most 29 hidden layers (a net has 32 slabs)"},
        {"unknown paradigm in the metadata", {"info", asXyz}, 1, asXyz + ": damaged model metadata: unknown paradigm 'xyz'"},
        {"unknown class", {"eval", pnn, daisy}, 1, daisy + ":3:5: class 'daisy' is not one the model knows"},
        {"an input missing", {"predict", pnn, noWidth}, 1,
         noWidth + ": unknown column 'petal_width' (the columns are: sepal_length, sepal_width, petal_length)"},
        {"eval without the target", {"eval", pnn, noTarget}, 1,
         noTarget + ": unknown column 'species' (the columns are: petal_width, petal_length, sepal_width, sepal_length)"},
        {"--proba of a regressor", {"predict", grnn, DataFile("diabetes.csv"), "--proba"}, 1,
         "--proba applies to classifiers; " + grnn + " is a regressor"},
    };
    // clang-format on
    cases.insert(cases.end(), more.begin(), more.end());
    // Damaged metadata behind the checksum: what each edit of the PNN model's damaged is named.
    // clang-format off
    const std::vector<std::array<std::string, 3>> damaged = {  // each edit keeps the block's length
        {"scaling=minmax\n", "scaling=logxyz\n", "unknown scaling 'logxyz'"},
        {"task=classify\n", "task=clusters\n", "unknown task 'clusters'"},
        {"scaling.offset=4.3,", "scaling.offset=4.x,", "'scaling.offset' holds '4.x', not a number"},
        {"scaling.offset=4.3,2,1,0.1\n", "scaling.offset=4.3,2,100.1\n", "the input columns and their scaling do not match"},
        {"scaling.scale=3.6000000000000005,", "scaling.scale=0.0000000000000000,", "an input scale of 0"},
        {"target=species\n", "target=sp%ZZes\n", "bad escape in 'target'"},
        {"unit_length=0\n", "unit_lengtX=0\n", "the 'unit_length' entry is missing"},
    };
    // clang-format on
    for (const auto& [from, to, message] : damaged) {
        const std::string edited = Edited(pnn, from, to);
        cases.push_back({to, {"eval", edited, d}, 1, edited + ": damaged model metadata: " + message});
    }
    const std::string dataBytes = ReadText(d), modelBytes = ReadText(m);
    const std::vector<std::string> files = ScratchFiles();
    for (Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (!c.args.empty() && c.args[0] == "train") c.args.push_back("-q");
        const CommandResult result = RunKoru(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, "");
        if (c.status == 1) { EXPECT_EQ(result.err, "koru: error: " + c.message + "\n"); }
        EXPECT_EQ(result.err.rfind("koru: error: ", 0), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(ReadText(d), dataBytes);
        EXPECT_EQ(ReadText(m), modelBytes);
        EXPECT_EQ(ScratchFiles(), files);
    }
    uint16_t free = 1;  // every net the commands made is released again
    ASSERT_EQ(GetNextNet(&free), KORU32_OK);
    EXPECT_EQ(free, 0);
}

// The program itself: help naming every subcommand, its version and the
// library's, and the exit status of a usage error and of a failure.
TEST(Refusals, TheProgramsHelpVersionAndExitStatus) {
    const std::string help = RunKoruProgram("--help").out, missing = ScratchPath("missing.net");
    for (const auto& [command, option] : std::vector<std::pair<std::string, std::string>>{
             {"train", "--pick-sigma"}, {"cv", "--folds"}, {"eval", "DATA.csv"}, {"predict", "--output"},
             {"info", "MODEL.net"}, {"demo", "--data"}}) {
        EXPECT_NE(help.find(command), std::string::npos) << command;
        EXPECT_NE(RunKoru({command, "--help"}).out.find(option), std::string::npos) << command;
    }
    const std::string release = std::to_string(KORU32_VERSION_MAJOR) + "." + std::to_string(KORU32_VERSION_MINOR) + "." +
                                std::to_string(KORU32_VERSION_PATCH);
    EXPECT_EQ(RunKoruProgram("--version").out, "koru " + release + "\nKORU32 library " + release + "\n");
    EXPECT_EQ(RunKoruProgram("train --bogus").status, 2);
    const CommandResult failure = RunKoruProgram("info " + missing);
    EXPECT_EQ(failure.status, 1);
    EXPECT_EQ(failure.err, "koru: error: " + missing + ": cannot open the file\n");
}

}  // namespace
}  // namespace koru_cli_test
