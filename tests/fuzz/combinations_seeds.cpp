// Writes the starting corpus of fuzz_combinations into the directory given:
// the fuzz organ's definition file (which reads as a combination file) and
// combination files saved from it after captures into divisionals, generals
// and frames.

#include <cstdio>
#include <filesystem>
#include <string>

#include "fuzz/CombinationFuzzOrgan.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    std::filesystem::path corpus = argv[1];
    std::filesystem::create_directories(corpus);
    tessaline::test::CombinationFuzzOrgan fuzzOrgan;
    if (!fuzzOrgan.Load()) return 1;
    tessaline::Organ& organ = fuzzOrgan.model();
    std::filesystem::copy_file(fuzzOrgan.OrganPath(), corpus / "organ.cmb",
                               std::filesystem::copy_options::overwrite_existing);
    if (!organ.SaveCombinationFile((corpus / "defaults.cmb").string())) return 1;
    fuzzOrgan.SetRegistration("101010101010/011");
    organ.manuals[1].CouplerOn(0);
    organ.DivisionalCouplerOn(0);
    organ.captureMode = true;
    organ.PressDivisional(1, 1);
    organ.PressDivisional(2, 0);
    organ.PressGeneral(1);
    organ.NextFrame();
    organ.NextFrame();
    organ.captureMode = false;
    if (!organ.SaveCombinationFile((corpus / "captured.cmb").string())) return 1;
    return 0;
}
