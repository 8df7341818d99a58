// Writes the starting corpus of fuzz_combinations into the directory given:
// the fuzz organ's definition file (which reads as a combination file) and
// combination files saved from it after captures into divisionals, generals
// and frames.

#include <filesystem>
#include <string>

#include "fuzz/SeedCorpus.h"
#include "fuzz/CombinationFuzzOrgan.h"

int main(int argc, char** argv) {
    const std::filesystem::path corpus = tessaline::test::CorpusDirectory(argc, argv);
    if (corpus.empty()) return 2;
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
